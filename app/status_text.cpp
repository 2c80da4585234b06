#include "app/status_text.h"

#include <cstdio>

namespace quz {

std::string BusyTrayText(int32_t progress, int32_t count, int32_t generationReady) {
  std::string text;
  if (count > 0) {
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "quz - 処理中(%d%%  : %d/%d)",
                  static_cast<int>(static_cast<int64_t>(progress) * 100 / count), static_cast<int>(progress),
                  static_cast<int>(count));
    text = buffer;
  }
  if (progress == 0) text = "quz - ファイル調査中";
  if (generationReady == 0 && progress == -1) text = "quz - 世代管理システム準備中";
  // Between the end of a check and the idle picture the animation finishes
  // its cycle; the progress format with -1 would read as nonsense then.
  if (progress == -1 && generationReady != 0) text = "quz - 処理中";
  return text;
}

std::string IdleTrayText() { return "quz - 待機中"; }

}  // namespace quz

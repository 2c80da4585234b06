#include "settings/sheet_values.h"

#include "app/text.h"

namespace quz {

int IntervalPosition(int32_t seconds) {
  for (int i = 0; i < kIntervalPositions; ++i)
    if (kIntervalChoices[i].seconds == seconds) return i;
  return 0;
}

bool IsFullFolderPath(const std::string& folder) {
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (folder.size() >= 3 && letter(folder[0]) && folder[1] == ':' && folder[2] == '\\') return true;
  // "\\server\share": both names present.
  if (folder.size() < 5 || folder[0] != '\\' || folder[1] != '\\' || folder[2] == '\\') return false;
  size_t share = FindChars(std::string_view(folder).substr(2), "\\");
  return share != kNone && 2 + share + 1 < folder.size() && folder[2 + share + 1] != '\\';
}

}  // namespace quz

#include "engine/file_copy.h"

#include <memory>

#include "engine/crash_point.h"

namespace quz {

const char kDiskFullText[] =
    "ディスクの空き容量が足りません\r\n保存場所を変更するか、不要なファイルを削除してください";
const char kDiskFullCaption[] = "ファイル書きこみエラー";

bool ReadFully(plat::File& file, char* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    int64_t got = file.Read(buffer + done, count - done);
    if (got <= 0) return false;
    done += got;
  }
  return true;
}

void ReportWriteFailure(std::atomic<int32_t>* stop, plat::IUserInteraction* ui) {
  if (!stop) return;
  int32_t clear = 0;
  // Only the copy that sets the flag warns: the message appears once
  // however many copies fail after it.
  if (stop->compare_exchange_strong(clear, 1) && ui)
    ui->Message(kDiskFullText, kDiskFullCaption, plat::kButtonsOk | plat::kIconWarning);
}

int CopyFileData(plat::File& source, plat::File& destination, int64_t limit,
                 std::atomic<int32_t>* stop, plat::IUserInteraction* ui) {
  int64_t position = source.Position();
  int64_t size = source.Size();
  if (position < 0 || size < 0) return 0;
  int64_t length = size > position ? size - position : 0;
  if (limit != kCopyAll && limit >= 0 && limit < length) length = limit;
  // One buffer per copy: copies run on several threads, and thread-local
  // buffers with destructors crash at thread exit in the static Windows
  // build; the allocation is nothing next to the copy.
  std::unique_ptr<char[]> block(new char[kCopyBlock]);
  char* buffer = block.get();
  int64_t blocks = length / kCopyBlock;
  int64_t rest = length % kCopyBlock;
  for (int64_t k = 0; k < blocks; ++k) {
    if (!ReadFully(source, buffer, kCopyBlock)) return 0;
    if (destination.Write(buffer, kCopyBlock) != kCopyBlock) {
      ReportWriteFailure(stop, ui);
      return 0;
    }
    CrashPoint("copy-block");
    if (stop && stop->load() != 0) return 0;
  }
  if (rest > 0) {
    if (!ReadFully(source, buffer, rest)) return 0;
    if (destination.Write(buffer, rest) != rest) {
      ReportWriteFailure(stop, ui);
      return 0;
    }
  }
  return 1;
}

}  // namespace quz

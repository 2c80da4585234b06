// libFuzzer entry: any bytes as an archive, every entry read, its name
// judged and its data decoded and checked.  Built with clang when present.
#include <cstddef>
#include <cstdint>

#include "archiver/archive.h"
#include "archiver/names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quz::lzh::MemorySource src(data, size);
  quz::lzh::ArchiveReader reader(src);
  for (int i = 0; i < 1000; ++i) {
    quz::lzh::Entry e;
    bool atEnd = false;
    if (reader.Next(e, atEnd) != quz::lzh::Error::kOk || atEnd) break;
    (void)quz::lzh::IsSafePath(e.path);
    quz::lzh::DiscardSink sink;
    if (reader.Extract(e, sink) != quz::lzh::Error::kOk) break;
  }
  return 0;
}

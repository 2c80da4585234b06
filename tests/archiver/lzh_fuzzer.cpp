// libFuzzer entry: any bytes as an archive, every entry read, its name
// judged and its data decoded and counted.  Built with clang when present;
// the fuzz test runs the same reading over mutated archives on every build.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "archiver/archive.h"
#include "archiver/names.h"

namespace {

// Counts what the decoder writes, and refuses it (and the archive's further
// entries) once a budget for the whole archive is spent: a few bytes of
// tables whose codes take no bits decode to gigabytes, and the time is
// better spent on new inputs than on the same loop.  A window is at most
// 64 KiB, so twice that still wraps every one.
class BoundedSink : public quz::lzh::ByteSink {
 public:
  explicit BoundedSink(std::uint64_t& budget) : budget_(budget) {}
  bool Write(const void*, std::size_t n) override {
    count += n;
    budget_ = n > budget_ ? 0 : budget_ - n;
    return budget_ > 0;
  }
  bool Seek(std::uint64_t position) override {
    count = position;
    return true;
  }
  std::uint64_t Tell() const override { return count; }
  std::uint64_t count = 0;

 private:
  std::uint64_t& budget_;
};

}  // namespace

// The number of entries whose data decoded whole.  An entry that decodes to
// more than its size, or a file to another size while its extraction
// succeeds, ends the program as a crash would.
int ReadEveryEntry(const std::uint8_t* data, std::size_t size) {
  quz::lzh::MemorySource src(data, size);
  quz::lzh::ArchiveReader reader(src);
  int extracted = 0;
  std::uint64_t budget = 128 << 10;
  for (int i = 0; i < 1000; ++i) {
    quz::lzh::Entry e;
    bool atEnd = false;
    if (reader.Next(e, atEnd) != quz::lzh::Error::kOk || atEnd) break;
    (void)quz::lzh::IsSafePath(e.path);
    BoundedSink sink(budget);
    const bool ok = reader.Extract(e, sink) == quz::lzh::Error::kOk;
    if (sink.count > e.originalSize || (ok && !e.isFolder() && sink.count != e.originalSize)) std::abort();
    extracted += ok;
    if (budget == 0) break;
  }
  return extracted;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReadEveryEntry(data, size);
  return 0;
}

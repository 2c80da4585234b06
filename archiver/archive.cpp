#include "archiver/archive.h"

#include "archiver/decoder.h"

namespace quz::lzh {

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr std::uint64_t kMaxEntrySize = 0xFFFFFFFFull;

// Passes data through to another sink while counting it.
class CountingSink : public ByteSink {
 public:
  explicit CountingSink(ByteSink& out) : out_(out) {}
  bool Write(const void* data, std::size_t n) override {
    if (!out_.Write(data, n)) return false;
    count_ += n;
    return true;
  }
  bool Seek(std::uint64_t) override { return false; }
  std::uint64_t Tell() const override { return count_; }

 private:
  ByteSink& out_;
  std::uint64_t count_ = 0;
};

}  // namespace

Error ArchiveReader::Next(Entry& entry, bool& atEnd) {
  if (started_ && !in_.Seek(next_)) return Error::kReadFailed;
  started_ = true;
  Error e = ReadHeader(in_, entry, atEnd);
  if (e != Error::kOk || atEnd) return e;
  next_ = entry.dataOffset + entry.packedSize;
  if (next_ < entry.dataOffset) return Error::kBadHeader;
  return Error::kOk;
}

Error ArchiveReader::Extract(const Entry& entry, ByteSink& out) {
  if (!entry.knownMethod) return Error::kUnknownMethod;
  if (entry.isFolder()) return Error::kOk;
  if (!in_.Seek(entry.dataOffset)) return Error::kReadFailed;
  CountingSink counted(out);
  std::uint16_t crc = 0;
  Error e = DecodeData(entry.method, in_, entry.packedSize, counted, entry.originalSize, crc);
  if (e != Error::kOk) return e;
  if (counted.Tell() != entry.originalSize) return Error::kBadData;
  if (crc != entry.crc) return Error::kCrcMismatch;
  return Error::kOk;
}

Error ArchiveWriter::AddFolder(const Entry& entry) {
  Entry folder = entry;
  folder.method = Method::kFolder;
  folder.packedSize = folder.originalSize = 0;
  folder.crc = 0;
  folder.attributes |= 0x10;
  std::vector<std::uint8_t> header;
  Error e = BuildLevel2Header(folder, header);
  if (e != Error::kOk) return e;
  return out_.Write(header.data(), header.size()) ? Error::kOk : Error::kWriteFailed;
}

Error ArchiveWriter::Store(ByteSource& data, std::uint64_t start, std::uint64_t size, std::uint16_t& crc) {
  if (!data.Seek(start)) return Error::kReadFailed;
  crc = 0;
  buffer_.resize(kChunk);
  for (std::uint64_t left = size; left > 0;) {
    std::size_t want = left < kChunk ? static_cast<std::size_t>(left) : kChunk;
    std::int64_t got = data.Read(buffer_.data(), want);
    if (got < 0) return Error::kReadFailed;
    if (got == 0) return Error::kSizeChanged;
    crc = Crc16(buffer_.data(), static_cast<std::size_t>(got), crc);
    if (!out_.Write(buffer_.data(), static_cast<std::size_t>(got))) return Error::kWriteFailed;
    left -= static_cast<std::uint64_t>(got);
  }
  return Error::kOk;
}

Error ArchiveWriter::AddFile(const Entry& entry, ByteSource& data, std::uint64_t size, Method method, Method* used) {
  if (size > kMaxEntrySize) return Error::kTooLarge;
  if (!IsCompressed(method) || size == 0) method = Method::kStored;
  Entry file = entry;
  file.method = method;
  file.packedSize = 0;
  file.originalSize = size;
  file.crc = 0;
  file.attributes &= static_cast<std::uint16_t>(~0x10);
  std::vector<std::uint8_t> header;
  Error e = BuildLevel2Header(file, header);
  if (e != Error::kOk) return e;
  const std::uint64_t headerStart = out_.Tell();
  const std::uint64_t sourceStart = data.Tell();
  if (!out_.Write(header.data(), header.size())) return Error::kWriteFailed;
  const std::uint64_t dataStart = out_.Tell();

  std::uint16_t crc = 0;
  bool stored = method == Method::kStored;
  if (!stored) {
    // Packing pays only when the result is smaller than the data.
    Encoder encoder(method, out_, size - 1, options_);
    buffer_.resize(kChunk);
    EncodeStatus status = EncodeStatus::kOk;
    for (std::uint64_t left = size; left > 0 && status == EncodeStatus::kOk;) {
      std::size_t want = left < kChunk ? static_cast<std::size_t>(left) : kChunk;
      std::int64_t got = data.Read(buffer_.data(), want);
      if (got < 0) return Error::kReadFailed;
      if (got == 0) return Error::kSizeChanged;
      crc = Crc16(buffer_.data(), static_cast<std::size_t>(got), crc);
      status = encoder.Write(buffer_.data(), static_cast<std::size_t>(got));
      left -= static_cast<std::uint64_t>(got);
    }
    if (status == EncodeStatus::kOk) status = encoder.Finish();
    switch (status) {
      case EncodeStatus::kOk: file.packedSize = encoder.packedSize(); break;
      case EncodeStatus::kNoGain: stored = true; break;
      case EncodeStatus::kWriteFailed: return Error::kWriteFailed;
      case EncodeStatus::kTooLarge: return Error::kTooLarge;
    }
  }
  if (stored) {
    // The packed bytes written so far are fewer than the data, so storing
    // over them leaves nothing of them behind.
    if (!out_.Seek(dataStart)) return Error::kWriteFailed;
    file.method = Method::kStored;
    file.packedSize = size;
    e = Store(data, sourceStart, size, crc);
    if (e != Error::kOk) return e;
  }
  file.crc = crc;
  e = BuildLevel2Header(file, header);
  if (e != Error::kOk) return e;
  const std::uint64_t end = dataStart + file.packedSize;
  if (!out_.Seek(headerStart) || !out_.Write(header.data(), header.size()) || !out_.Seek(end))
    return Error::kWriteFailed;
  if (used) *used = file.method;
  return Error::kOk;
}

Error ArchiveWriter::Finish() {
  const std::uint8_t mark = 0;
  return out_.Write(&mark, 1) ? Error::kOk : Error::kWriteFailed;
}

}  // namespace quz::lzh

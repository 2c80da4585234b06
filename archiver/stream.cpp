#include "archiver/stream.h"

#include <cstring>

namespace quz::lzh {

namespace {

bool SeekFile(std::FILE* file, std::uint64_t position) {
  if (position > static_cast<std::uint64_t>(INT64_MAX)) return false;
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

}  // namespace

std::int64_t MemorySource::Read(void* buffer, std::size_t n) {
  std::size_t left = pos_ < size_ ? size_ - pos_ : 0;
  if (n > left) n = left;
  if (n) std::memcpy(buffer, data_ + pos_, n);
  pos_ += n;
  return static_cast<std::int64_t>(n);
}

bool MemorySource::Seek(std::uint64_t position) {
  if (position > size_) return false;
  pos_ = static_cast<std::size_t>(position);
  return true;
}

bool MemorySink::Write(const void* data, std::size_t n) {
  if (pos_ + n > data_.size()) data_.resize(pos_ + n);
  if (n) std::memcpy(&data_[pos_], data, n);
  pos_ += n;
  return true;
}

bool MemorySink::Seek(std::uint64_t position) {
  if (position > data_.size()) return false;
  pos_ = static_cast<std::size_t>(position);
  return true;
}

FileSource::~FileSource() { Close(); }

bool FileSource::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "rb");
  pos_ = 0;
  return file_ != nullptr;
}

void FileSource::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

std::int64_t FileSource::Read(void* buffer, std::size_t n) {
  if (!file_) return -1;
  std::size_t got = std::fread(buffer, 1, n, file_);
  pos_ += got;
  if (got < n && std::ferror(file_)) return -1;
  return static_cast<std::int64_t>(got);
}

bool FileSource::Seek(std::uint64_t position) {
  if (!file_ || !SeekFile(file_, position)) return false;
  pos_ = position;
  return true;
}

std::int64_t FileSource::Size() {
  if (!file_) return -1;
#ifdef _WIN32
  if (_fseeki64(file_, 0, SEEK_END) != 0) return -1;
  std::int64_t size = _ftelli64(file_);
#else
  if (fseeko(file_, 0, SEEK_END) != 0) return -1;
  std::int64_t size = ftello(file_);
#endif
  if (!SeekFile(file_, pos_)) return -1;
  return size;
}

FileSink::~FileSink() {
  if (file_) std::fclose(file_);
}

bool FileSink::Create(const std::string& path) {
  if (file_) Close();
  file_ = std::fopen(path.c_str(), "wb");
  pos_ = 0;
  failed_ = false;
  return file_ != nullptr;
}

void FileSink::Attach(std::FILE* file) {
  if (file_) Close();
  file_ = file;
  pos_ = 0;
  failed_ = false;
}

bool FileSink::Close() {
  if (!file_) return !failed_;
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  if (std::fclose(file_) != 0) ok = false;
  file_ = nullptr;
  return ok && !failed_;
}

bool FileSink::Write(const void* data, std::size_t n) {
  if (!file_ || failed_) return false;
  if (n && std::fwrite(data, 1, n, file_) != n) {
    failed_ = true;
    return false;
  }
  pos_ += n;
  return true;
}

bool FileSink::Seek(std::uint64_t position) {
  if (!file_ || failed_) return false;
  if (std::fflush(file_) != 0 || !SeekFile(file_, position)) {
    failed_ = true;
    return false;
  }
  pos_ = position;
  return true;
}

}  // namespace quz::lzh

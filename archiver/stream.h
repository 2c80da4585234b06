// Byte sources and sinks the LZH reader and writer work over: memory
// buffers, and plain files through the C library (64-bit offsets).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quz::lzh {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to n bytes; 0 at the end, -1 on a read error.
  virtual std::int64_t Read(void* buffer, std::size_t n) = 0;
  // Absolute position of the next read.
  virtual bool Seek(std::uint64_t position) = 0;
  virtual std::uint64_t Tell() const = 0;
  // The whole size, or -1 when it cannot be told.
  virtual std::int64_t Size() { return -1; }
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const void* data, std::size_t n) = 0;
  // Absolute position of the next write; writing there overwrites.
  virtual bool Seek(std::uint64_t position) = 0;
  virtual std::uint64_t Tell() const = 0;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const void* data, std::size_t size) : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
  explicit MemorySource(const std::string& data) : MemorySource(data.data(), data.size()) {}
  explicit MemorySource(std::string&&) = delete;  // would read a destroyed string
  std::int64_t Read(void* buffer, std::size_t n) override;
  bool Seek(std::uint64_t position) override;
  std::uint64_t Tell() const override { return pos_; }
  std::int64_t Size() override { return static_cast<std::int64_t>(size_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

class MemorySink : public ByteSink {
 public:
  bool Write(const void* data, std::size_t n) override;
  bool Seek(std::uint64_t position) override;
  std::uint64_t Tell() const override { return pos_; }
  const std::string& data() const { return data_; }
  std::string& data() { return data_; }

 private:
  std::string data_;
  std::size_t pos_ = 0;
};

// A sink that only counts (and optionally checks) what passes through.
class DiscardSink : public ByteSink {
 public:
  bool Write(const void*, std::size_t n) override {
    pos_ += n;
    return true;
  }
  bool Seek(std::uint64_t position) override {
    pos_ = position;
    return true;
  }
  std::uint64_t Tell() const override { return pos_; }

 private:
  std::uint64_t pos_ = 0;
};

// A file opened by the C library with a path in the system's own narrow
// encoding (the ANSI code page on Windows, UTF-8 on Linux).
class FileSource : public ByteSource {
 public:
  FileSource() = default;
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  bool Open(const std::string& path);
  void Close();
  bool isOpen() const { return file_ != nullptr; }
  std::int64_t Read(void* buffer, std::size_t n) override;
  bool Seek(std::uint64_t position) override;
  std::uint64_t Tell() const override { return pos_; }
  std::int64_t Size() override;

 private:
  std::FILE* file_ = nullptr;
  std::uint64_t pos_ = 0;
};

class FileSink : public ByteSink {
 public:
  FileSink() = default;
  ~FileSink() override;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  // Creates or empties the file.
  bool Create(const std::string& path);
  // Takes over a file opened for writing elsewhere (closed with this sink).
  void Attach(std::FILE* file);
  // Flushes and closes; false when buffered data could not be written.
  bool Close();
  bool isOpen() const { return file_ != nullptr; }
  bool Write(const void* data, std::size_t n) override;
  bool Seek(std::uint64_t position) override;
  std::uint64_t Tell() const override { return pos_; }

 private:
  std::FILE* file_ = nullptr;
  std::uint64_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace quz::lzh

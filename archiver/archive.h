// Reading and writing whole LZH archives over a byte source or sink.
#pragma once

#include <cstdint>
#include <vector>

#include "archiver/encoder.h"
#include "archiver/header.h"
#include "archiver/lzh.h"
#include "archiver/stream.h"

namespace quz::lzh {

class ArchiveReader {
 public:
  explicit ArchiveReader(ByteSource& in) : in_(in) {}
  // The next entry; atEnd at the end of the archive.  After an error the
  // rest of the archive cannot be trusted and reading should stop.
  Error Next(Entry& entry, bool& atEnd);
  // Decodes the data of the entry Next gave last, checking its size and
  // CRC.  kUnknownMethod for an entry packed with a method this library
  // lacks; a folder writes nothing.  `out` may have received data before a
  // failure: the caller discards it.
  Error Extract(const Entry& entry, ByteSink& out);

 private:
  ByteSource& in_;
  std::uint64_t next_ = 0;
  bool started_ = false;
};

class ArchiveWriter {
 public:
  explicit ArchiveWriter(ByteSink& out, EncoderOptions options = {}) : out_(out), options_(options) {}
  // A folder entry (-lhd-) for entry.path, with its attributes and times.
  Error AddFolder(const Entry& entry);
  // Packs `size` bytes of `data`, read from its current position, with
  // `method`; where that does not make the data smaller it is stored
  // (-lh0-).  entry gives the path, attributes and times; `used` receives
  // the method written.  Files of 4 GiB or more are refused before
  // anything is written.  After a failure the archive is unusable.
  Error AddFile(const Entry& entry, ByteSource& data, std::uint64_t size, Method method, Method* used = nullptr);
  // Writes the end mark.
  Error Finish();

 private:
  Error Store(ByteSource& data, std::uint64_t start, std::uint64_t size, std::uint16_t& crc);

  ByteSink& out_;
  EncoderOptions options_;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace quz::lzh

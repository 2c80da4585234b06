// LZH entry headers: levels 0, 1 and 2 are read; level 2 is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archiver/lzh.h"
#include "archiver/stream.h"

namespace quz::lzh {

struct Entry {
  // Code page 932 bytes, folders separated by "\" (see names.h); a folder
  // entry's path has no trailing separator.
  std::string path;
  Method method = Method::kStored;
  bool knownMethod = true;
  char methodId[6] = "-lh0-";
  std::uint64_t packedSize = 0;    // of the data alone
  std::uint64_t originalSize = 0;
  std::uint16_t crc = 0;           // of the original data
  std::uint16_t attributes = 0x20; // MS-DOS attribute bits
  int level = 2;
  char osId = 'M';
  // Modification time, as the header gives it: Unix seconds (levels 1 and
  // 2 with the stamp) or an MS-DOS local date and time (levels 0 and 1).
  bool hasUnixTime = false;
  std::int64_t unixTime = 0;
  bool hasDosTime = false;
  std::uint32_t dosTime = 0;
  // Windows FILETIMEs: creation, last write, last access.
  bool hasWindowsTimes = false;
  std::uint64_t created = 0, modified = 0, accessed = 0;
  // Where the header and the data start in the archive.
  std::uint64_t headerOffset = 0;
  std::uint64_t dataOffset = 0;

  bool isFolder() const { return method == Method::kFolder; }
};

// Reads the header at the source's position.  atEnd is set (with kOk) at
// the end mark or the end of the source.  Sizes are checked against each
// other and, where the source can tell, against its size; the source is
// left at the start of the entry's data.
Error ReadHeader(ByteSource& in, Entry& entry, bool& atEnd);

// A level-2 header for the entry: method, sizes, CRC, Unix time, OS id
// 'M', name and folder, attribute and, when present, the Windows times.
// kBadName for a path that cannot be stored; kTooLarge for sizes of 4 GiB
// or more.
Error BuildLevel2Header(const Entry& entry, std::vector<std::uint8_t>& header);

}  // namespace quz::lzh

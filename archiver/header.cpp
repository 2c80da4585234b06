#include "archiver/header.h"

#include <cstring>

#include "archiver/names.h"

namespace quz::lzh {

namespace {

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint64_t Get64(const std::uint8_t* p) { return Get32(p) | static_cast<std::uint64_t>(Get32(p + 4)) << 32; }

void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
void Put64(std::vector<std::uint8_t>& v, std::uint64_t x) {
  Put32(v, static_cast<std::uint32_t>(x));
  Put32(v, static_cast<std::uint32_t>(x >> 32));
}

// Reads exactly n bytes; the count actually read, -1 on a read error.
std::int64_t ReadFully(ByteSource& in, std::uint8_t* buffer, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    std::int64_t got = in.Read(buffer + done, n - done);
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(done);
}

// What the extended headers of levels 1 and 2 add to an entry.
struct Extensions {
  bool hasName = false, hasFolder = false;
  std::string name, folder;
  bool hasHeaderCrc = false;
  std::uint16_t headerCrc = 0;
  std::size_t headerCrcOffset = 0;
  bool hasLargeSizes = false;
  std::uint64_t largePacked = 0, largeOriginal = 0;
};

// One extended header: type, then its data.  `offset` is where the data
// starts within the header buffer (for level 2's header CRC).
void TakeExtension(std::uint8_t type, const std::uint8_t* data, std::size_t size, std::size_t offset, Entry& entry,
                   Extensions& ext) {
  switch (type) {
    case 0x00:
      if (size >= 2) {
        ext.hasHeaderCrc = true;
        ext.headerCrc = Get16(data);
        ext.headerCrcOffset = offset;
      }
      break;
    case 0x01:
      ext.hasName = true;
      ext.name.assign(reinterpret_cast<const char*>(data), size);
      break;
    case 0x02:
      ext.hasFolder = true;
      ext.folder.assign(reinterpret_cast<const char*>(data), size);
      break;
    case 0x40:
      if (size >= 2) entry.attributes = Get16(data);
      break;
    case 0x41:
      if (size >= 24) {
        entry.hasWindowsTimes = true;
        entry.created = Get64(data);
        entry.modified = Get64(data + 8);
        entry.accessed = Get64(data + 16);
      }
      break;
    case 0x42:
      if (size >= 16) {
        ext.hasLargeSizes = true;
        ext.largePacked = Get64(data);
        ext.largeOriginal = Get64(data + 8);
      }
      break;
    case 0x54:
      if (size >= 4) {
        entry.hasUnixTime = true;
        entry.unixTime = Get32(data);
      }
      break;
    default:
      break;  // permissions, owners, comments: nothing this library keeps
  }
}

std::string TrimSeparators(std::string path) {
  while (!path.empty() && path.back() == '\\') {
    // A trailing 0x5C may be the second byte of a character.
    std::vector<std::string> parts = SplitPath(path);
    if (!parts.back().empty()) break;
    path.pop_back();
  }
  return path;
}

Error ReadLevel01(ByteSource& in, const std::uint8_t* start, Entry& entry) {
  // The first byte counts the header from its third byte on.
  const std::size_t total = static_cast<std::size_t>(start[0]) + 2;
  std::uint8_t h[257 + 2];
  std::memcpy(h, start, 21);
  if (total < 24) return Error::kBadHeader;
  std::int64_t got = ReadFully(in, h + 21, total - 21);
  if (got < 0) return Error::kReadFailed;
  if (static_cast<std::size_t>(got) != total - 21) return Error::kBadHeader;
  unsigned sum = 0;
  for (std::size_t i = 2; i < total; ++i) sum += h[i];
  if ((sum & 0xFF) != h[1]) return Error::kBadHeader;
  const std::size_t nameLength = h[21];
  if (22 + nameLength + 2 > total) return Error::kBadHeader;
  std::string name(reinterpret_cast<const char*>(h + 22), nameLength);
  entry.crc = Get16(h + 22 + nameLength);
  entry.hasDosTime = true;
  entry.dosTime = Get32(h + 15);
  std::uint64_t packed = Get32(h + 7);
  entry.originalSize = Get32(h + 11);
  Extensions ext;
  if (entry.level == 0) {
    entry.attributes = h[19];
    entry.osId = 0;
  } else {
    // Level 1: the OS id, then the size of the first extended header in
    // the last two bytes; the packed size counts the extended headers.
    if (22 + nameLength + 2 + 3 > total) return Error::kBadHeader;
    entry.osId = static_cast<char>(h[22 + nameLength + 2]);
    std::size_t next = Get16(h + total - 2);
    std::vector<std::uint8_t> e;
    while (next != 0) {
      if (next < 3 || next > packed) return Error::kBadHeader;
      packed -= next;
      e.resize(next);
      got = ReadFully(in, e.data(), next);
      if (got < 0) return Error::kReadFailed;
      if (static_cast<std::size_t>(got) != next) return Error::kBadHeader;
      TakeExtension(e[0], e.data() + 1, next - 3, 0, entry, ext);
      next = Get16(e.data() + next - 2);
    }
  }
  entry.packedSize = packed;
  std::string path = ext.hasName ? ext.name : name;
  if (ext.hasFolder) {
    std::string folder = NormaliseSeparators(ext.folder);
    path = folder.empty() ? path : TrimSeparators(folder) + "\\" + path;
  }
  entry.path = TrimSeparators(NormaliseSeparators(path));
  return Error::kOk;
}

Error ReadLevel2(ByteSource& in, const std::uint8_t* start, Entry& entry) {
  const std::size_t total = Get16(start);
  if (total < 26) return Error::kBadHeader;
  std::vector<std::uint8_t> h(total);
  std::memcpy(h.data(), start, 21);
  std::int64_t got = ReadFully(in, h.data() + 21, total - 21);
  if (got < 0) return Error::kReadFailed;
  if (static_cast<std::size_t>(got) != total - 21) return Error::kBadHeader;
  entry.packedSize = Get32(&h[7]);
  entry.originalSize = Get32(&h[11]);
  entry.hasUnixTime = true;
  entry.unixTime = Get32(&h[15]);
  entry.crc = Get16(&h[21]);
  entry.osId = static_cast<char>(h[23]);
  Extensions ext;
  std::size_t pos = 24;
  std::size_t next = Get16(&h[pos]);
  pos += 2;
  while (next != 0) {
    if (next < 3 || pos + next > total) return Error::kBadHeader;
    TakeExtension(h[pos], &h[pos + 1], next - 3, pos + 1, entry, ext);
    pos += next;
    next = Get16(&h[pos - 2]);
  }
  if (ext.hasHeaderCrc) {
    h[ext.headerCrcOffset] = h[ext.headerCrcOffset + 1] = 0;
    if (Crc16(h.data(), h.size()) != ext.headerCrc) return Error::kBadHeader;
  }
  if (ext.hasLargeSizes) {
    entry.packedSize = ext.largePacked;
    entry.originalSize = ext.largeOriginal;
  }
  std::string path = NormaliseSeparators(ext.name);
  if (ext.hasFolder) {
    std::string folder = TrimSeparators(NormaliseSeparators(ext.folder));
    if (!folder.empty()) path = path.empty() ? folder : folder + "\\" + path;
  }
  entry.path = TrimSeparators(path);
  return Error::kOk;
}

}  // namespace

Error ReadHeader(ByteSource& in, Entry& entry, bool& atEnd) {
  entry = Entry();
  atEnd = false;
  entry.headerOffset = in.Tell();
  std::uint8_t start[21];
  std::int64_t got = ReadFully(in, start, 1);
  if (got < 0) return Error::kReadFailed;
  if (got == 0 || start[0] == 0) {
    atEnd = true;
    return Error::kOk;
  }
  got = ReadFully(in, start + 1, 20);
  if (got < 0) return Error::kReadFailed;
  if (got != 20) return Error::kBadHeader;
  std::memcpy(entry.methodId, start + 2, 5);
  entry.methodId[5] = 0;
  entry.level = start[20];
  entry.knownMethod = ParseMethodId(entry.methodId, entry.method);
  Error e;
  switch (entry.level) {
    case 0:
    case 1: e = ReadLevel01(in, start, entry); break;
    case 2: e = ReadLevel2(in, start, entry); break;
    case 3: return Error::kUnsupportedLevel;
    default: return Error::kBadHeader;
  }
  if (e != Error::kOk) return e;
  if (!entry.knownMethod) {
    // Still an entry: its header is sound, only its data cannot be read.
    entry.method = Method::kStored;
  } else if (entry.method == Method::kFolder) {
    entry.attributes |= 0x10;
  }
  entry.dataOffset = in.Tell();
  std::int64_t size = in.Size();
  if (size >= 0 && entry.packedSize > static_cast<std::uint64_t>(size) - entry.dataOffset) return Error::kTruncated;
  if (entry.knownMethod && entry.method == Method::kStored && entry.packedSize != entry.originalSize)
    return Error::kBadHeader;
  return Error::kOk;
}

Error BuildLevel2Header(const Entry& entry, std::vector<std::uint8_t>& h) {
  h.clear();
  if (entry.packedSize > 0xFFFFFFFFull || entry.originalSize > 0xFFFFFFFFull) return Error::kTooLarge;
  std::vector<std::string> parts = SplitPath(entry.path);
  for (const std::string& part : parts)
    if (part.empty() || part == "." || part == "..") return Error::kBadName;
  std::string name, folder;
  if (entry.isFolder()) {
    for (const std::string& part : parts) folder += part + '\xFF';
  } else {
    name = parts.back();
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) folder += parts[i] + '\xFF';
  }
  if (name.size() > 60000 || folder.size() > 60000 || name.size() + folder.size() > 65000) return Error::kBadName;

  const char* id = MethodId(entry.method);
  h.insert(h.end(), {0, 0});
  h.insert(h.end(), id, id + 5);
  Put32(h, static_cast<std::uint32_t>(entry.packedSize));
  Put32(h, static_cast<std::uint32_t>(entry.originalSize));
  std::int64_t t = entry.unixTime < 0 ? 0 : entry.unixTime > 0xFFFFFFFFll ? 0xFFFFFFFFll : entry.unixTime;
  Put32(h, static_cast<std::uint32_t>(t));
  h.push_back(0x20);
  h.push_back(2);
  Put16(h, entry.crc);
  h.push_back('M');
  // Each extended header: its size (counting the size of the next one,
  // which ends it), type, data.
  auto extension = [&](std::uint8_t type, const void* data, std::size_t size) {
    Put16(h, static_cast<std::uint32_t>(size + 3));
    h.push_back(type);
    const auto* p = static_cast<const std::uint8_t*>(data);
    h.insert(h.end(), p, p + size);
  };
  const std::uint8_t noCrc[2] = {0, 0};
  extension(0x00, noCrc, 2);
  const std::size_t crcOffset = h.size() - 2;
  extension(0x01, name.data(), name.size());
  if (!folder.empty()) extension(0x02, folder.data(), folder.size());
  std::uint8_t attr[2] = {static_cast<std::uint8_t>(entry.attributes), static_cast<std::uint8_t>(entry.attributes >> 8)};
  extension(0x40, attr, 2);
  if (entry.hasWindowsTimes) {
    std::vector<std::uint8_t> times;
    Put64(times, entry.created);
    Put64(times, entry.modified);
    Put64(times, entry.accessed);
    extension(0x41, times.data(), times.size());
  }
  Put16(h, 0);
  // A header may not start with a 0 byte, which would read as the end.
  if ((h.size() & 0xFF) == 0) h.push_back(0);
  h[0] = static_cast<std::uint8_t>(h.size());
  h[1] = static_cast<std::uint8_t>(h.size() >> 8);
  std::uint16_t crc = Crc16(h.data(), h.size());
  h[crcOffset] = static_cast<std::uint8_t>(crc);
  h[crcOffset + 1] = static_cast<std::uint8_t>(crc >> 8);
  return Error::kOk;
}

}  // namespace quz::lzh

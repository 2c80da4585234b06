#include "archiver/lzh.h"

#include <array>
#include <cstring>

namespace quz::lzh {

namespace {

struct MethodRow {
  Method method;
  char id[6];
  int windowBits;
  int positionCodes;
  int positionCountBits;
};

// lh4 shares lh5's position code table: only its window is smaller.
constexpr MethodRow kMethods[] = {
    {Method::kStored, "-lh0-", 0, 0, 0},  {Method::kLh4, "-lh4-", 12, 14, 4},
    {Method::kLh5, "-lh5-", 13, 14, 4},   {Method::kLh6, "-lh6-", 15, 16, 5},
    {Method::kLh7, "-lh7-", 16, 17, 5},   {Method::kFolder, "-lhd-", 0, 0, 0},
};

const MethodRow& Row(Method method) {
  for (const auto& row : kMethods)
    if (row.method == method) return row;
  return kMethods[0];
}

// Four tables, so that four bytes are folded per step.
struct CrcTables {
  std::array<std::array<std::uint16_t, 256>, 4> t{};
  CrcTables() {
    for (unsigned i = 0; i < 256; ++i) {
      unsigned c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
      t[0][i] = static_cast<std::uint16_t>(c);
    }
    for (unsigned i = 0; i < 256; ++i)
      for (int k = 1; k < 4; ++k) t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
  }
};

const CrcTables& Tables() {
  static const CrcTables tables;
  return tables;
}

}  // namespace

const char* MethodId(Method method) { return Row(method).id; }

bool ParseMethodId(const char id[5], Method& method) {
  for (const auto& row : kMethods)
    if (std::memcmp(row.id, id, 5) == 0) {
      method = row.method;
      return true;
    }
  return false;
}

bool IsCompressed(Method method) { return Row(method).windowBits != 0; }
int WindowBits(Method method) { return Row(method).windowBits; }
int PositionCodes(Method method) { return Row(method).positionCodes; }
int PositionCountBits(Method method) { return Row(method).positionCountBits; }

const char* ErrorText(Error error) {
  switch (error) {
    case Error::kOk: return "no error";
    case Error::kReadFailed: return "read error";
    case Error::kWriteFailed: return "write error";
    case Error::kBadHeader: return "damaged header";
    case Error::kBadData: return "damaged compressed data";
    case Error::kTruncated: return "compressed data ends early";
    case Error::kCrcMismatch: return "CRC mismatch";
    case Error::kUnknownMethod: return "unknown compression method";
    case Error::kUnsupportedLevel: return "unsupported header level";
    case Error::kTooLarge: return "file too large for an LZH header";
    case Error::kBadName: return "unusable entry name";
    case Error::kSizeChanged: return "file shorter than announced";
  }
  return "unknown error";
}

std::uint16_t Crc16(const void* data, std::size_t size, std::uint16_t crc) {
  const auto& t = Tables().t;
  const auto* p = static_cast<const std::uint8_t*>(data);
  unsigned c = crc;
  while (size >= 4) {
    c ^= static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
    c = t[3][c & 0xFF] ^ t[2][c >> 8] ^ t[1][p[2]] ^ t[0][p[3]];
    p += 4;
    size -= 4;
  }
  while (size--) c = (c >> 8) ^ t[0][(c ^ *p++) & 0xFF];
  return static_cast<std::uint16_t>(c);
}

}  // namespace quz::lzh

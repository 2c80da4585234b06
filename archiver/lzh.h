// Common definitions of the LZH reader and writer: compression methods,
// results, and the CRC-16 both data and level-2 headers are checked with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quz::lzh {

enum class Method {
  kStored,  // -lh0-
  kLh4,     // 4 KiB window
  kLh5,     // 8 KiB window, the usual one
  kLh6,     // 32 KiB window
  kLh7,     // 64 KiB window
  kFolder,  // -lhd-: a folder, no data
};

// The five-byte method id ("-lh5-"), and back; false for methods this
// library does not know.
const char* MethodId(Method method);
bool ParseMethodId(const char id[5], Method& method);
bool IsCompressed(Method method);
// Window size in bytes, position code count and the bit width of that
// count for the compressed methods.
int WindowBits(Method method);
int PositionCodes(Method method);
int PositionCountBits(Method method);

enum class Error {
  kOk,
  kReadFailed,     // the source could not be read
  kWriteFailed,    // the sink refused data
  kBadHeader,      // a header that is malformed, truncated or fails its check
  kBadData,        // compressed data that cannot be decoded
  kTruncated,      // compressed data ends before the entry does
  kCrcMismatch,    // decoded data does not match the stored CRC-16
  kUnknownMethod,  // an entry packed with a method this library lacks
  kUnsupportedLevel,
  kTooLarge,       // a file of 4 GiB or more, which the headers cannot hold
  kBadName,        // an entry name that cannot be stored or is unsafe
  kSizeChanged,    // a source that gave fewer bytes than announced
};

// A short English description, for logs and tests.
const char* ErrorText(Error error);

// CRC-16 with the reflected polynomial 0xA001, starting from `crc` (0 for a
// fresh sum); feed consecutive pieces to sum a whole stream.
std::uint16_t Crc16(const void* data, std::size_t size, std::uint16_t crc = 0);

}  // namespace quz::lzh

// Small helpers shared by the engine tests.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace enginetest {

inline std::string Pattern(size_t n, unsigned seed = 1) {
  std::string s(n, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>(x >> 24);
  }
  return s;
}

inline bool IsFile(const std::string& path) {
  plat::FileStatus status;
  return plat::GetFileStatus(path, status) && !status.isDirectory;
}

inline void U32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A fragment built by hand: header T, then (offset, bytes) records.
struct FragmentBuilder {
  std::string bytes;
  explicit FragmentBuilder(uint32_t total) { U32(bytes, total); }
  FragmentBuilder& Record(uint32_t offset, const std::string& data) {
    U32(bytes, offset);
    U32(bytes, static_cast<uint32_t>(data.size()));
    bytes += data;
    return *this;
  }
};

}  // namespace enginetest

// Test data shared by the tests and the benchmarks.  Header-only, so that a
// benchmark uses it without linking the test libraries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quztest {

// n bytes of a fixed pseudo-random sequence: the same seed always gives the
// same bytes, a longer pattern starts with the shorter one of its seed, and
// different seeds differ from the first byte on.
inline std::string Pattern(size_t n, uint32_t seed = 1) {
  std::string s(n, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>(x >> 24);
  }
  return s;
}

// Little-endian integers, as the archive headers and the fragments store
// them, appended to s.
inline void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
// The four bytes of v on their own.
inline std::string Le32(uint32_t v) {
  std::string s;
  Put32(s, v);
  return s;
}

// A fragment of a differential save as the engine writes it: the file's
// total length, then each record's offset, length and bytes.
struct Record {
  uint32_t offset;
  std::string data;
};
inline std::string Fragment(uint32_t total, const std::vector<Record>& records = {}) {
  std::string f = Le32(total);
  for (const Record& r : records) f += Le32(r.offset) + Le32(static_cast<uint32_t>(r.data.size())) + r.data;
  return f;
}

}  // namespace quztest

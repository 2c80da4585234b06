// Reproducible test data for the archiver tests.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "archiver/lzh.h"
#include "tests/support/test_data.h"

namespace lzhtest {

inline std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// The header checksum of a level-0/1 entry, set again after a test changed
// a header byte on purpose, so that only the change itself is wrong.
inline void FixChecksum(std::string& entry) {
  unsigned sum = 0;
  for (std::size_t i = 2; i < static_cast<unsigned char>(entry[0]) + 2u; ++i) sum += static_cast<unsigned char>(entry[i]);
  entry[1] = static_cast<char>(sum & 0xFF);
}

// Text-like data: words from a small vocabulary, lines of varying length.
inline std::string Text(std::size_t n, unsigned seed) {
  static const char* const words[] = {"backup", "file", "folder", "the", "of", "and", "保存", "フォルダ",
                                      "archive", "LZH", "ソース", "表示", "能力", "window", "0123", "data"};
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(n + 32);
  while (s.size() < n) {
    s += words[rng() % 16];
    s += rng() % 9 == 0 ? "\r\n" : " ";
  }
  s.resize(n);
  return s;
}

// Short patterns repeated with small variations.
inline std::string Repetitive(std::size_t n) {
  std::string s;
  s.reserve(n + 64);
  for (unsigned i = 0; s.size() < n; ++i) {
    s += "abcabcabc";
    s += static_cast<char>('0' + i % 10);
    if (i % 7 == 0) s += std::string(i % 300, 'z');
  }
  s.resize(n);
  return s;
}

// A level-0 or level-1 entry as older archivers write it, with any name at
// all (a hostile archive's too).  `extensions` are level 1's extended
// headers, each "type + data".
inline std::string OldEntry(int level, const std::string& method, const std::string& name, const std::string& data,
                            std::size_t originalSize, std::uint16_t crc,
                            const std::vector<std::string>& extensions = {}) {
  std::string h = method, ext;
  for (std::size_t i = 0; i < extensions.size(); ++i) {
    ext += extensions[i];
    quztest::Put16(ext, i + 1 < extensions.size() ? static_cast<unsigned>(extensions[i + 1].size() + 2) : 0);
  }
  quztest::Put32(h, static_cast<std::uint32_t>(data.size() + ext.size()));
  quztest::Put32(h, static_cast<std::uint32_t>(originalSize));
  quztest::Put32(h, 0x5A2B6C3Du);  // MS-DOS date and time
  h += '\x20';
  h += static_cast<char>(level);
  h += static_cast<char>(name.size());
  h += name;
  quztest::Put16(h, crc);
  if (level == 1) {
    h += 'M';
    quztest::Put16(h, extensions.empty() ? 0 : static_cast<unsigned>(extensions[0].size() + 2));
  }
  std::string out(2, '\0');
  out[0] = static_cast<char>(h.size());
  out += h + ext + data;
  FixChecksum(out);
  return out;
}

// A level-0 entry stored (-lh0-).
inline std::string StoredLevel0(const std::string& name, const std::string& data) {
  return OldEntry(0, "-lh0-", name, data, data.size(), quz::lzh::Crc16(data.data(), data.size()));
}

}  // namespace lzhtest

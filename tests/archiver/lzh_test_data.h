// Reproducible test data for the archiver tests.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "archiver/lzh.h"
#include "tests/support/test_data.h"

namespace lzhtest {

inline std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
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

// A level-0 entry, as old archivers write it, with any name at all (a
// hostile archive's too).
inline std::string Level0(const std::string& method, const std::string& name, const std::string& packed,
                          std::uint32_t originalSize, std::uint16_t crc) {
  std::string h = method;
  quztest::Put32(h, static_cast<std::uint32_t>(packed.size()));
  quztest::Put32(h, originalSize);
  quztest::Put32(h, 0x5A2B6C3Du);  // MS-DOS date and time
  h += '\x20';
  h += '\0';
  h += static_cast<char>(name.size());
  h += name;
  quztest::Put16(h, crc);
  unsigned sum = 0;
  for (unsigned char c : h) sum += c;
  std::string out;
  out += static_cast<char>(h.size());
  out += static_cast<char>(sum & 0xFF);
  return out + h + packed;
}

// The same, stored (-lh0-).
inline std::string StoredLevel0(const std::string& name, const std::string& data) {
  return Level0("-lh0-", name, data, static_cast<std::uint32_t>(data.size()),
                quz::lzh::Crc16(data.data(), data.size()));
}

}  // namespace lzhtest

// Reproducible test data for the archiver tests.
#pragma once

#include <random>
#include <string>

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

}  // namespace lzhtest

#include "app/text.h"

namespace quz {

namespace {
unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }
}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  size_t i = 0;
  while (i < a.size()) {
    size_t len = CharLength(a, i);
    if (len == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (Lower(static_cast<unsigned char>(a[i])) != Lower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
    i += len;
  }
  return true;
}

size_t FindBytes(std::string_view text, std::string_view s) {
  if (text.empty()) return kNone;
  return text.find(s);
}

size_t FindChars(std::string_view text, std::string_view s) {
  if (text.empty()) return kNone;
  if (s.empty()) return 0;
  for (size_t i = 0; i + s.size() <= text.size(); i += CharLength(text, i)) {
    if (text.compare(i, s.size(), s) == 0) return i;
  }
  return kNone;
}

size_t LastCharPos(std::string_view text, char c) {
  size_t last = kNone;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (text[i] == c) last = i;
  }
  return last;
}

bool EndsWithChar(std::string_view text, char c) {
  // Most texts end with another byte; only a match needs the walk that
  // tells a character from a trail byte.
  if (text.empty() || text.back() != c) return false;
  return LastCharPos(text, c) == text.size() - 1;
}

}  // namespace quz

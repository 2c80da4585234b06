// Comparisons and searches over code page 932 text that never split a
// double-byte character.
#pragma once

#include <cstddef>
#include <string_view>

namespace quz {

constexpr size_t kNone = std::string_view::npos;

// A byte that starts a double-byte character in code page 932.
constexpr bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
constexpr bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Length of the character that starts at text[i]: 2 for a lead byte followed
// by a valid trail byte, else 1.
inline size_t CharLength(std::string_view text, size_t i) {
  return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                 IsTrailByte(static_cast<unsigned char>(text[i + 1]))
             ? 2
             : 1;
}

// Equal ignoring the case of single-byte ASCII letters; the second byte of
// a double-byte character must match exactly.
bool EqualNoCase(std::string_view a, std::string_view b);
// First byte offset of s in text; kNone when text is empty or s is absent.
size_t FindBytes(std::string_view text, std::string_view s);
// As FindBytes, but s is only looked for at character starts.
size_t FindChars(std::string_view text, std::string_view s);
// Position of the last character c in text (at a character start), or kNone.
size_t LastCharPos(std::string_view text, char c);

// True when the text's last character is c (not a trail byte equal to c).
bool EndsWithChar(std::string_view text, char c);

}  // namespace quz

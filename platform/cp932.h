// Code page 932 text: the one double-byte rule of the program and the text
// and path operations built on it, so that a trail byte equal to "\" (as in
// ソ or 表) is never taken for a separator and a cut never splits a
// character.
//
// Header-only: the platform layer, the engine, the windows and the archiver
// (which links none of quz's libraries) all follow the same rule.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

constexpr size_t kNone = std::string_view::npos;

// A byte that starts a double-byte character, and the bytes that may
// follow one.
constexpr bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
constexpr bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Length of the character that starts at text[i]: 2 for a lead byte followed
// by a valid trail byte, else 1.
constexpr size_t CharLength(std::string_view text, size_t i) {
  return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                 IsTrailByte(static_cast<unsigned char>(text[i + 1]))
             ? 2
             : 1;
}

// Position of the last character c in text (at a character start), or kNone.
constexpr size_t LastCharPos(std::string_view text, char c) {
  size_t last = kNone;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i))
    if (text[i] == c) last = i;
  return last;
}

// True when the text's last character is c (not a trail byte equal to c).
constexpr bool EndsWithChar(std::string_view text, char c) {
  // Most texts end with another byte; only a match needs the walk that
  // tells a character from a trail byte.
  return !text.empty() && text.back() == c && LastCharPos(text, c) == text.size() - 1;
}

// Equal ignoring the case of single-byte ASCII letters; the second byte of
// a double-byte character must match exactly.
constexpr bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; };
  for (size_t i = 0; i < a.size();) {
    size_t len = CharLength(a, i);
    if (len == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
    i += len;
  }
  return true;
}

// The longest start of text of at most maxBytes bytes that does not end in
// the first half of a double-byte character.
constexpr size_t CutLength(std::string_view text, size_t maxBytes) {
  size_t end = 0;
  while (end < text.size()) {
    size_t next = end + CharLength(text, end);
    if (next > maxBytes) break;
    end = next;
  }
  return end;
}
inline std::string CutText(std::string_view text, size_t maxBytes) {
  return std::string(text.substr(0, CutLength(text, maxBytes)));
}

// ---------------------------------------------------------------- paths

// A folder path as the program keeps it: ending with "\".  An empty path
// stays empty (it names no folder; "\" would be the root of the current
// drive).
inline std::string WithSeparator(std::string folder) {
  if (!folder.empty() && !EndsWithChar(folder, '\\')) folder += '\\';
  return folder;
}

// The path without its trailing "\"s: the form a folder is named by in a
// tree and joined to "\name".  With keepRoot a drive root keeps its "\", as
// the system's calls need it: "C:" alone is the current folder of drive C.
inline std::string StripTrailingSeparator(std::string path, bool keepRoot = false) {
  const size_t root = keepRoot && path.size() >= 3 && path[1] == ':' ? 3 : keepRoot ? 1 : 0;
  while (path.size() > root && EndsWithChar(path, '\\')) path.pop_back();
  return path;
}

// The folder of a path: the path cut after its last "\", which it keeps;
// empty when there is none.
inline std::string FolderOf(std::string_view path) {
  size_t slash = LastCharPos(path, '\\');
  return slash == kNone ? std::string() : std::string(path.substr(0, slash + 1));
}

}  // namespace plat

// Entry names: code page 932 bytes, folders separated by "\" in the form
// this library hands out.  Archives separate folders with "\", "/" or
// 0xFF; a 0x5C that is the second byte of a double-byte character is part
// of that character, never a separator.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/cp932.h"

namespace quz::lzh {

using plat::CharLength;

// True when the text ends with a "\" or "/" of its own, not the second
// byte of a double-byte character.
inline bool EndsWithSeparator(std::string_view s) {
  return plat::EndsWithChar(s, '\\') || (!s.empty() && s.back() == '/');
}

// Every separator of a stored name turned into "\", characters kept whole.
std::string NormaliseSeparators(const std::string& stored);
// The components between separators, empty ones included (a leading
// separator gives an empty first component).
std::vector<std::string> SplitPath(const std::string& path);
// True when extracting the name below a folder stays inside it: not
// absolute, no drive or stream (":"), no "." or ".." component, no
// component Windows would shorten to one (only dots and spaces), no
// control characters, and not empty.
bool IsSafePath(const std::string& path);

}  // namespace quz::lzh

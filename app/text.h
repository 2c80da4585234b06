// Comparisons and searches over code page 932 text that never split a
// double-byte character.  The double-byte rule itself and the path helpers
// are the platform layer's (platform/cp932.h), shared with the archiver.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/cp932.h"

namespace quz {

using plat::CharLength;
using plat::CutLength;
using plat::CutText;
using plat::EndsWithChar;
using plat::EqualNoCase;
using plat::FolderOf;
using plat::IsLeadByte;
using plat::IsTrailByte;
using plat::kNone;
using plat::LastCharPos;
using plat::StripTrailingSeparator;
using plat::WithSeparator;

// First byte offset of s in text; kNone when text is empty or s is absent.
size_t FindBytes(std::string_view text, std::string_view s);
// As FindBytes, but s is only looked for at character starts.
size_t FindChars(std::string_view text, std::string_view s);

}  // namespace quz

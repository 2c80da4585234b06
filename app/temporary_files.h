// Files written under a temporary name and put in place by a rename once
// they are whole, so that a kill or a power cut never leaves a partial file
// under a name that counts.  Every such name has one shape, "~quz", eight
// hexadecimal digits and ".tmp" (or ".pnd" for the note of a copy being put
// in place), so that what a killed process left behind is told apart from
// real files: the next save in that folder removes it, and the export, the
// import and the restore table pass it over.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quz {

// True for a name of that shape, in any letter case (Windows names ignore
// case, so a copy must never be able to look like one).
bool IsTemporaryName(std::string_view name);
// The note form: the temporary shape ending with ".pnd".
bool IsPendingNoteName(std::string_view name);

// A fresh temporary name (not yet taken, as far as chance goes).
std::string TemporaryName(bool pending = false);

// Creates a new, empty file of temporary name in folder (which ends with
// "\"; empty: the current folder), open for reading and writing and shared
// for reading.  Returns its path, or an empty string when no file could be
// created (the folder is missing or not writable).  pending chooses the
// note form.
std::string CreateTemporaryFile(const std::string& folder, plat::File& file, bool pending = false);

}  // namespace quz

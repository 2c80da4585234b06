// "FileList.txt": the catalogue on disk, one "path<saved<type<looked" line
// per entry, code page 932 with CR LF.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/file_list.h"

namespace quz {

extern const char kFileListName[];

// How often, and how far apart, a catalogue that cannot be read is tried.
constexpr int kLoadAttempts = 10;
constexpr uint32_t kLoadRetryMs = 100;

// Fills list from file (created empty when missing).  A malformed line ends
// loading; duplicate paths keep their first line.  False, with the reason
// in plat::LastError(), when the file cannot be read within the tries; the
// list then refuses to be saved (CFileList::RefuseSaving), so that what
// could not be read is never replaced.
bool LoadFileList(CFileList& list, const std::string& file);
bool LoadFileList(CFileList& list);  // the file beside the executable
// Writes every entry that is not withdrawn.  The new catalogue is written
// beside the old one and then put in its place, so a failure or a crash
// while saving leaves the previous catalogue whole.  A list whose load
// failed is never written.
bool SaveFileList(const CFileList& list, const std::string& file);
bool SaveFileList(const CFileList& list);

}  // namespace quz

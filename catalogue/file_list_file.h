// "FileList.txt": the catalogue on disk, one "path<saved<type<looked" line
// per entry, code page 932 with CR LF.
#pragma once

#include <string>

#include "catalogue/file_list.h"

namespace quz {

extern const char kFileListName[];

// Fills list from file (created empty when missing).  A malformed line ends
// loading; duplicate paths keep their first line.  False when the file
// cannot be opened.
bool LoadFileList(CFileList& list, const std::string& file);
bool LoadFileList(CFileList& list);  // the file beside the executable
// Writes every entry that is not withdrawn.  The new catalogue is written
// beside the old one and then put in its place, so a failure or a crash
// while saving leaves the previous catalogue whole.
bool SaveFileList(const CFileList& list, const std::string& file);
bool SaveFileList(const CFileList& list);

}  // namespace quz

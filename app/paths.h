// Where the program's own files live, and creating folder paths.
#pragma once

#include <string>

namespace quz {

// The folder of the executable, with its trailing "\".
std::string ProgramFolder();
// A file beside the executable ("quz.ini", "FileList.txt", ...).
std::string ExePath(const std::string& name);
// Makes ProgramFolder() answer another folder, for tests that keep their
// state files in a temporary folder; an empty folder restores the default.
void OverrideProgramFolder(const std::string& folder);

// Makes sure `path` ends with "\" (appending it to the caller's string), then
// creates every level of it in turn, ignoring levels that exist or cannot be
// made.  Returns true when the whole path exists as a folder afterwards.
bool CreateSaveFolder(std::string& path);

}  // namespace quz

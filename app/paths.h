// Where the program's own files live, and creating folder paths.
#pragma once

#include <string>
#include <string_view>

namespace quz {

// The folder of the executable, with its trailing "\".
std::string ProgramFolder();
// A file beside the executable ("quz.ini", "FileList.txt", ...).
std::string ExePath(const std::string& name);
// Makes ProgramFolder() answer another folder, for tests that keep their
// state files in a temporary folder; an empty folder restores the default.
void OverrideProgramFolder(const std::string& folder);

// The save folder as the resident program and quzctl settle it at start:
// the value of "quz保存先フォルダ" in the settings file, or, when that is
// shorter than 2 bytes (none was chosen), "Save\" beside the executable,
// which is then written back.  Always ends with "\"; not created here.
std::string SettledSaveFolder(std::string_view settingsFile);
std::string SettledSaveFolder();

// Makes sure `path` ends with "\" (appending it to the caller's string), then
// creates every level of it in turn, ignoring levels that exist or cannot be
// made.  Returns true when the whole path exists as a folder afterwards.
bool CreateSaveFolder(std::string& path);

}  // namespace quz

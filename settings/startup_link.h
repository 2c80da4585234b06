// Start-up registration: the program starts at logon while the shortcut
// "quz.lnk" to it lies in the user's start-up folder.  The shortcut's
// existence is the whole state.  Windows only.
#pragma once

#include <string>

namespace quz {

// The shortcut's path in the user's start-up folder; empty when the shell
// names no start-up folder.
std::string StartupShortcutPath();
// Creates (or overwrites) the shortcut to the running executable, started
// in its own folder, with its own icon; 0 on success, else the system's
// result code.
long CreateStartupShortcut();
bool StartupShortcutExists();
// Deletes the shortcut; false when there was none or it could not be
// deleted.
bool DeleteStartupShortcut();

}  // namespace quz

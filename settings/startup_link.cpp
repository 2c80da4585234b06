#include "settings/startup_link.h"

#include <shlobj.h>

#include "app/text.h"
#include "platform/platform.h"
#include "platform/window.h"

namespace quz {

std::string StartupShortcutPath() {
  std::string startup = plat::SpecialFolder(CSIDL_STARTUP);
  return startup.empty() ? std::string() : startup + "\\quz.lnk";
}

long CreateStartupShortcut() {
  std::string shortcut = StartupShortcutPath();
  if (shortcut.empty()) return E_FAIL;
  std::string exe = plat::ExecutablePath();
  return plat::CreateShellLink(exe, shortcut, "", "", FolderOf(exe), exe, 0);
}

bool StartupShortcutExists() {
  std::string shortcut = StartupShortcutPath();
  plat::FileStatus status;
  return !shortcut.empty() && plat::GetFileStatus(shortcut, status) && !status.isDirectory;
}

bool DeleteStartupShortcut() {
  std::string shortcut = StartupShortcutPath();
  return !shortcut.empty() && plat::DeleteFile(shortcut);
}

}  // namespace quz

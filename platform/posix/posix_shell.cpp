#include <cstdlib>

#include "platform/cp932.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace plat {

namespace {
bool SameFolder(const std::string& a, const std::string& b) {
  return !a.empty() && !b.empty() && WithSeparator(a) == WithSeparator(b);
}
}  // namespace

std::string ShellTypeName(const std::string& folder) {
  // The freedesktop trash: $XDG_DATA_HOME/Trash, by default under
  // ~/.local/share; its "files" folder holds what was thrown away.
  std::string native;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
    native = data;
  else if (const char* home = std::getenv("HOME"); home && *home == '/')
    native = std::string(home) + "/.local/share";
  else
    return std::string();
  std::string text, trash;
  if (!ConsoleToEngine(native + "/Trash", text) || !ToEnginePath(text, trash)) return std::string();
  if (SameFolder(folder, trash) || SameFolder(folder, trash + "\\files")) return "ごみ箱";
  return std::string();
}

}  // namespace plat

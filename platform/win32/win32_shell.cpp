#include <windows.h>
#include <shellapi.h>

#include "platform/cp932.h"
#include "platform/shell.h"

namespace plat {

std::string ShellTypeName(const std::string& folder) {
  // The shell wants the folder without its trailing separator, except for a
  // drive root.
  std::string path = StripTrailingSeparator(folder, true);
  SHFILEINFOA info{};
  if (!SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_TYPENAME)) return std::string();
  return info.szTypeName;
}

}  // namespace plat

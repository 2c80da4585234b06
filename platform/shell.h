// What the Windows shell says about a folder.
#pragma once

#include <string>

namespace plat {

// The shell's type name of a folder (as Explorer's "type" column shows it).
// The posix backend has no shell: it names the user's trash folder "ごみ箱",
// as the Japanese shell names the recycle bin, and gives every other folder
// an empty name.
std::string ShellTypeName(const std::string& folder);

}  // namespace plat

// The little the archiver's commands need from the file system.  Paths are
// given as the command line gives them: code page 932 text in Windows form.
// On Windows they are used as they are; elsewhere they are mapped the way
// Wine maps them ("Z:\" is "/", "\" is "/", names are UTF-8 on disk), so
// that the same command lines work on both systems.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quz::lzh::files {

// The path the system opens for a command-line path; false when it has no
// such form (another drive on Linux, a name with no UTF-8 form).
bool ToNative(const std::string& path, std::string& native);

struct Item {
  std::string name;        // code page 932
  std::string nativeName;  // as the system spells it
  bool isFolder = false;
  std::uint64_t size = 0;
  std::uint16_t attributes = 0;  // MS-DOS attribute bits
  std::int64_t unixTime = 0;     // modification time
  // FILETIMEs: creation, last write, last access.
  std::uint64_t created = 0, modified = 0, accessed = 0;
};

// One level of a folder (native path), without "." and "..", sorted by
// name.  False when the folder cannot be read or holds a name that has no
// code page 932 form (it could not be stored faithfully).  `badName`
// receives such a name, in the system's form.
bool ListFolder(const std::string& native, std::vector<Item>& items, std::string* badName = nullptr);

// The status of one path; false when it does not exist.
bool Stat(const std::string& native, Item& item);

// Creates a folder and every missing level above it; true when it exists
// as a folder afterwards.
bool MakeFolders(const std::string& native);

// Creates a file that did not exist before (for temporaries).
bool CreateNewFile(const std::string& native, std::FILE*& file);

bool RemoveFile(const std::string& native);

// Puts `from` in the place of `to`, replacing a file there (read-only ones
// too), in one step where the system allows it.
bool ReplaceWith(const std::string& from, const std::string& to);

// Restores what the archive says about a file written from it: the
// modification time (FILETIME when nonzero, else Unix seconds) and, when
// `attributes` is set, its MS-DOS attribute bits.
bool SetTimes(const std::string& native, std::int64_t unixTime, std::uint64_t created, std::uint64_t modified,
              std::uint64_t accessed);
bool SetAttributes(const std::string& native, std::uint16_t attributes);

// True when a folder on the way from `folder` down to `path` (both native,
// `path` below `folder`) is a link or junction, which could lead outside.
bool LinkOnTheWay(const std::string& folder, const std::string& path);

// The native separator, and one native path below another.
char Separator();
std::string Join(const std::string& folder, const std::string& name);

// FILETIME (100 ns since 1601) and Unix seconds.
constexpr std::int64_t kFileTimeEpoch = 116444736000000000LL;
inline std::uint64_t UnixToFileTime(std::int64_t t) {
  return static_cast<std::uint64_t>(t * 10000000LL + kFileTimeEpoch);
}
inline std::int64_t FileTimeToUnix(std::uint64_t ft) {
  return (static_cast<std::int64_t>(ft) - kFileTimeEpoch) / 10000000LL;
}

}  // namespace quz::lzh::files

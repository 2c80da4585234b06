#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>

#include "archiver/files.h"
#include "archiver/names.h"

namespace quz::lzh::files {

namespace {

std::uint64_t Combine(const FILETIME& ft) {
  return static_cast<std::uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}
FILETIME Split(std::uint64_t v) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(v);
  ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
  return ft;
}

// The folder above a path, or empty at a root.
std::string Parent(const std::string& path) {
  std::size_t cut = std::string::npos;
  for (std::size_t i = 0; i < path.size(); i += CharLength(path, i)) {
    if ((path[i] == '\\' || path[i] == '/') && i + 1 < path.size()) cut = i;
  }
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

void Fill(const WIN32_FIND_DATAA& d, Item& item) {
  item.name = d.cFileName;
  item.nativeName = d.cFileName;
  item.isFolder = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  item.size = item.isFolder ? 0 : (static_cast<std::uint64_t>(d.nFileSizeHigh) << 32 | d.nFileSizeLow);
  item.attributes = static_cast<std::uint16_t>(d.dwFileAttributes & 0x3F);
  item.created = Combine(d.ftCreationTime);
  item.modified = Combine(d.ftLastWriteTime);
  item.accessed = Combine(d.ftLastAccessTime);
  item.unixTime = FileTimeToUnix(item.modified);
}

}  // namespace

bool ToNative(const std::string& path, std::string& native) {
  native = path;
  return true;
}

bool ListFolder(const std::string& native, std::vector<Item>& items, std::string* badName) {
  items.clear();
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA(Join(native, "*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool ok = true;
  do {
    std::string name = d.cFileName;
    if (name == "." || name == "..") continue;
    // A name the ANSI code page cannot spell comes back with "?" in it.
    if (name.find('?') != std::string::npos) {
      ok = false;
      if (badName) *badName = Join(native, name);
      break;
    }
    // Junctions and links to folders may lead back up the tree.
    if ((d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    Item item;
    Fill(d, item);
    items.push_back(std::move(item));
  } while (FindNextFileA(h, &d));
  if (ok && GetLastError() != ERROR_NO_MORE_FILES) ok = false;
  FindClose(h);
  std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.name < b.name; });
  return ok;
}

bool Stat(const std::string& native, Item& item) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  std::string path = native;
  if (path.size() > 3 && EndsWithSeparator(path)) path.pop_back();
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return false;
  item.isFolder = (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  item.size = item.isFolder ? 0 : (static_cast<std::uint64_t>(a.nFileSizeHigh) << 32 | a.nFileSizeLow);
  item.attributes = static_cast<std::uint16_t>(a.dwFileAttributes & 0x3F);
  item.created = Combine(a.ftCreationTime);
  item.modified = Combine(a.ftLastWriteTime);
  item.accessed = Combine(a.ftLastAccessTime);
  item.unixTime = FileTimeToUnix(item.modified);
  return true;
}

bool MakeFolders(const std::string& native) {
  std::string path = native;
  while (path.size() > 3 && EndsWithSeparator(path)) path.pop_back();
  DWORD a = GetFileAttributesA(path.c_str());
  if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::string parent = Parent(path);
  if (!parent.empty() && parent.size() > 2 && !MakeFolders(parent)) return false;
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateNewFile(const std::string& native, std::FILE*& file) {
  int fd = _open(native.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  file = _fdopen(fd, "wb");
  if (!file) {
    _close(fd);
    DeleteFileA(native.c_str());
    return false;
  }
  return true;
}

bool RemoveFile(const std::string& native) { return DeleteFileA(native.c_str()) != 0; }

bool ReplaceWith(const std::string& from, const std::string& to) {
  DWORD a = GetFileAttributesA(to.c_str());
  if (a != INVALID_FILE_ATTRIBUTES) {
    if (a & FILE_ATTRIBUTE_DIRECTORY) return false;
    if (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
      SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool SetTimes(const std::string& native, std::int64_t unixTime, std::uint64_t created, std::uint64_t modified,
              std::uint64_t accessed) {
  HANDLE h = CreateFileA(native.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME m = Split(modified ? modified : UnixToFileTime(unixTime));
  FILETIME c = Split(created), ac = Split(accessed);
  BOOL ok = ::SetFileTime(h, created ? &c : nullptr, accessed ? &ac : nullptr, &m);
  CloseHandle(h);
  return ok != 0;
}

bool SetAttributes(const std::string& native, std::uint16_t attributes) {
  DWORD a = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_ARCHIVE);
  return SetFileAttributesA(native.c_str(), a ? a : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool LinkOnTheWay(const std::string& folder, const std::string& path) {
  for (std::size_t i = folder.size(); i < path.size(); i += CharLength(path, i)) {
    char c = path[i];
    if ((c != '\\' && c != '/') || i <= folder.size()) continue;
    DWORD a = GetFileAttributesA(path.substr(0, i).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return true;
  }
  return false;
}

char Separator() { return '\\'; }

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (EndsWithSeparator(folder)) return folder + name;
  return folder + "\\" + name;
}

}  // namespace quz::lzh::files

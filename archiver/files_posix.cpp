#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "archiver/files.h"
#include "platform/posix/wine_path.h"

namespace quz::lzh::files {

namespace {

bool FromStat(const struct stat& st, const std::string& name, Item& item) {
  item.isFolder = S_ISDIR(st.st_mode);
  item.size = item.isFolder ? 0 : static_cast<std::uint64_t>(st.st_size);
  std::uint16_t a = item.isFolder ? 0x10 : 0x20;
  if (!(st.st_mode & S_IWUSR)) a |= 0x01;
  if (name.size() > 1 && name[0] == '.') a |= 0x02;
  item.attributes = a;
  item.unixTime = st.st_mtime;
  item.modified = UnixToFileTime(st.st_mtim.tv_sec) + static_cast<std::uint64_t>(st.st_mtim.tv_nsec / 100);
  item.accessed = UnixToFileTime(st.st_atim.tv_sec) + static_cast<std::uint64_t>(st.st_atim.tv_nsec / 100);
  // Linux keeps no creation time in struct stat; the change time is the
  // nearest it has.
  item.created = UnixToFileTime(st.st_ctim.tv_sec);
  return true;
}

}  // namespace

bool ToNative(const std::string& path, std::string& native) {
  // A path without a drive is already rooted or relative to the current
  // folder; of the drives only Z: exists here.
  if (!plat::wine::HasDrive(path)) return plat::wine::ToNativeText(path, native);
  if (!plat::wine::OnDriveZ(path)) return false;
  if (!plat::wine::ToNativeText(std::string_view(path).substr(2), native)) return false;
  if (native.empty()) native = "/";
  return true;
}

bool ListFolder(const std::string& native, std::vector<Item>& items, std::string* badName) {
  items.clear();
  DIR* dir = opendir(native.c_str());
  if (!dir) return false;
  bool ok = true;
  errno = 0;
  while (dirent* d = readdir(dir)) {
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    std::string full = Join(native, name);
    if (lstat(full.c_str(), &st) != 0) {
      ok = false;
      if (badName) *badName = full;
      break;
    }
    if (S_ISLNK(st.st_mode)) {
      // A link to a file is packed as that file; links to folders are left
      // out, since they may lead back up the tree.
      if (stat(full.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    }
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
    Item item;
    if (!plat::wine::Utf8ToCp932(name, item.name)) {
      ok = false;
      if (badName) *badName = full;
      break;
    }
    item.nativeName = name;
    FromStat(st, name, item);
    items.push_back(std::move(item));
  }
  closedir(dir);
  std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.name < b.name; });
  return ok;
}

bool Stat(const std::string& native, Item& item) {
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return false;
  std::size_t slash = native.find_last_of('/');
  return FromStat(st, slash == std::string::npos ? native : native.substr(slash + 1), item);
}

bool MakeFolders(const std::string& native) {
  struct stat st;
  if (stat(native.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string path = native;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) return false;
  if (mkdir(path.c_str(), 0777) == 0) return true;
  return errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateNewFile(const std::string& native, std::FILE*& file) {
  int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  file = fdopen(fd, "wb");
  if (!file) {
    close(fd);
    unlink(native.c_str());
    return false;
  }
  return true;
}

bool RemoveFile(const std::string& native) { return unlink(native.c_str()) == 0; }

bool ReplaceWith(const std::string& from, const std::string& to) {
  struct stat st;
  if (lstat(to.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
  return rename(from.c_str(), to.c_str()) == 0;
}

bool SetTimes(const std::string& native, std::int64_t unixTime, std::uint64_t created, std::uint64_t modified,
              std::uint64_t accessed) {
  struct timespec ts[2];
  auto fill = [](struct timespec& t, std::uint64_t ft, std::int64_t fallback) {
    if (ft >= static_cast<std::uint64_t>(kFileTimeEpoch)) {
      std::uint64_t rel = ft - static_cast<std::uint64_t>(kFileTimeEpoch);
      t.tv_sec = static_cast<time_t>(rel / 10000000ULL);
      t.tv_nsec = static_cast<long>((rel % 10000000ULL) * 100);
    } else {
      t.tv_sec = static_cast<time_t>(fallback);
      t.tv_nsec = 0;
    }
  };
  fill(ts[1], modified, unixTime);
  if (accessed)
    fill(ts[0], accessed, unixTime);
  else
    ts[0] = ts[1];
  return utimensat(AT_FDCWD, native.c_str(), ts, 0) == 0;
}

bool SetAttributes(const std::string& native, std::uint16_t attributes) {
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if (attributes & 0x01)
    mode &= static_cast<mode_t>(~0222);
  else
    mode |= S_IWUSR;
  return mode == (st.st_mode & 07777) || chmod(native.c_str(), mode) == 0;
}

bool LinkOnTheWay(const std::string& folder, const std::string& path) {
  for (std::size_t at = path.find('/', folder.size()); at != std::string::npos; at = path.find('/', at + 1)) {
    if (at <= folder.size()) continue;
    struct stat st;
    if (lstat(path.substr(0, at).c_str(), &st) != 0) return false;  // nothing further exists yet
    if (S_ISLNK(st.st_mode)) return true;
  }
  return false;
}

char Separator() { return '/'; }

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace quz::lzh::files

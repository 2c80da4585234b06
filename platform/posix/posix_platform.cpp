// The posix backend: Linux system calls under Wine's view of paths.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <map>
#include <mutex>

#include "platform/cp932.h"
#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/posix/wine_path.h"

namespace plat {

namespace {

// ---------------------------------------------------------------- errors

ErrorKind KindOfErrno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case EILSEQ:
      return ErrorKind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ErrorKind::AccessDenied;
    case EEXIST:
      return ErrorKind::AlreadyExists;
    case ENOSPC:
    case EDQUOT:
      return ErrorKind::DiskFull;
    default:
      return ErrorKind::Other;
  }
}

bool FailErrno(int e = errno) {
  SetLastError(KindOfErrno(e), e);
  return false;
}

// ---------------------------------------------------------------- paths

using wine::Cp932ToUtf8;
using wine::FromNative;
using wine::Utf8ToCp932;

// A name with no code page 932 form as near as code page 932 comes: each
// character that has none (or each byte that is no UTF-8) becomes "?".
std::string NearestCp932(std::string_view in) {
  std::string out, one;
  for (size_t i = 0; i < in.size();) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + n > in.size()) n = 1;
    if (Utf8ToCp932(in.substr(i, n), one))
      out += one;
    else
      out += '?';
    i += n;
  }
  return out;
}

// "Z:\a\b" -> "/a/b"; any other drive has no native form.
bool ToNative(const std::string& path, std::string& native) {
  if (!wine::OnDriveZ(path)) {
    SetLastError(ErrorKind::NotFound, ENOENT);
    return false;
  }
  if (!wine::ToNativeText(std::string_view(path).substr(2), native)) {
    SetLastError(ErrorKind::NotFound, EILSEQ);
    return false;
  }
  if (native.empty()) native = "/";
  return true;
}

bool ToNative(const std::string& path, std::string& native, bool dropTrailingSlash) {
  if (!ToNative(path, native)) return false;
  if (dropTrailingSlash)
    while (native.size() > 1 && native.back() == '/') native.pop_back();
  return true;
}

Time32 ClampTime(time_t t) {
  if (t > INT32_MAX) return INT32_MAX;
  if (t < INT32_MIN) return INT32_MIN;
  return static_cast<Time32>(t);
}

uint32_t AttributesOf(const struct stat& st, std::string_view name) {
  uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) {
    a |= kAttrDirectory;
  } else {
    a |= kAttrArchive;
    if (!(st.st_mode & S_IWUSR)) a |= kAttrReadOnly;
  }
  if (name.size() > 1 && name[0] == '.' && name != "..") a |= kAttrHidden;
  return a;
}

std::string_view BaseName(std::string_view native) {
  size_t p = native.find_last_of('/');
  return p == std::string_view::npos ? native : native.substr(p + 1);
}

// ---------------------------------------------------------------- share modes

// Windows refuses an open that conflicts with the share mode of another
// handle to the same file; Linux does not.  The posix backend keeps the
// handles of this process in a registry so that quz sees the same rules.
struct OpenRecord {
  dev_t dev;
  ino_t ino;
  Access access;
  unsigned share;
};

std::mutex registryMutex;
std::map<int, OpenRecord> registry;
int nextRegistration = 1;

bool Reads(Access a) { return a != Access::Write; }
bool Writes(Access a) { return a != Access::Read; }

bool Compatible(const OpenRecord& existing, Access access, unsigned share) {
  if (Reads(access) && !(existing.share & kShareRead)) return false;
  if (Writes(access) && !(existing.share & kShareWrite)) return false;
  if (Reads(existing.access) && !(share & kShareRead)) return false;
  if (Writes(existing.access) && !(share & kShareWrite)) return false;
  return true;
}

// True when some handle of this process forbids deleting or renaming the file.
bool DeleteBlocked(const struct stat& st) {
  std::lock_guard<std::mutex> lock(registryMutex);
  for (const auto& [id, rec] : registry)
    if (rec.dev == st.st_dev && rec.ino == st.st_ino && !(rec.share & kShareDelete)) return true;
  return false;
}

bool CheckDeletable(const std::string& native) {
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) return FailErrno();
  if (!S_ISLNK(st.st_mode) && DeleteBlocked(st)) {
    SetLastError(ErrorKind::SharingViolation, EBUSY);
    return false;
  }
  return true;
}

}  // namespace

std::string ErrorMessage(int code) {
  char buffer[256];
  const char* text = strerror_r(code, buffer, sizeof buffer);
  std::string out;
  if (!Utf8ToCp932(text, out)) out = "error " + std::to_string(code);
  return out;
}

// ---------------------------------------------------------------- status

bool GetFileStatus(const std::string& path, FileStatus& status) {
  std::string native;
  if (!ToNative(path, native, true)) return false;
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return FailErrno();
  status.size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
  status.mtime = ClampTime(st.st_mtime);
  status.isDirectory = S_ISDIR(st.st_mode);
  status.attributes = AttributesOf(st, BaseName(native));
  return true;
}

uint32_t GetAttributes(const std::string& path) {
  FileStatus st;
  return GetFileStatus(path, st) ? st.attributes : kInvalidAttributes;
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
  std::string native;
  if (!ToNative(path, native, true)) return false;
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return FailErrno();
  if (S_ISDIR(st.st_mode)) return true;
  mode_t mode = st.st_mode & 07777;
  if (attributes & kAttrReadOnly)
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  else
    mode |= S_IWUSR;
  if (chmod(native.c_str(), mode) != 0) return FailErrno();
  return true;
}

bool SetFileTime(const std::string& path, Time32 mtime) {
  std::string native;
  if (!ToNative(path, native, true)) return false;
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = mtime;
  times[0].tv_nsec = times[1].tv_nsec = 0;
  if (utimensat(AT_FDCWD, native.c_str(), times, 0) != 0) return FailErrno();
  return true;
}

// ---------------------------------------------------------------- File

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(other.handle_), registration_(other.registration_) {
  other.handle_ = -1;
  other.registration_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    registration_ = other.registration_;
    other.handle_ = -1;
    other.registration_ = -1;
  }
  return *this;
}

bool File::Open(const std::string& path, Access access, Disposition disposition, unsigned share) {
  Close();
  std::string native;
  if (!ToNative(path, native)) return false;
  if (!native.empty() && native.back() == '/' && native.size() > 1) {
    SetLastError(ErrorKind::NotFound, ENOENT);
    return false;
  }
  bool truncate = disposition == Disposition::CreateAlways || disposition == Disposition::TruncateExisting;
  int flags = O_CLOEXEC;
  if (access == Access::ReadWrite || (truncate && access == Access::Read))
    flags |= O_RDWR;
  else if (access == Access::Write)
    flags |= O_WRONLY;
  else
    flags |= O_RDONLY;
  switch (disposition) {
    case Disposition::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case Disposition::CreateAlways:
    case Disposition::OpenAlways: flags |= O_CREAT; break;
    default: break;
  }
  // Windows refuses to write into a read-only file even for administrators.
  if (Writes(access) || truncate) {
    struct stat pre;
    if (stat(native.c_str(), &pre) == 0 && S_ISREG(pre.st_mode) && !(pre.st_mode & S_IWUSR)) {
      SetLastError(ErrorKind::AccessDenied, EACCES);
      return false;
    }
  }
  int fd;
  do {
    fd = ::open(native.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return FailErrno();
  struct stat st;
  if (fstat(fd, &st) != 0) {
    int e = errno;
    ::close(fd);
    return FailErrno(e);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    SetLastError(ErrorKind::AccessDenied, EISDIR);
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    for (const auto& [id, rec] : registry) {
      if (rec.dev == st.st_dev && rec.ino == st.st_ino && !Compatible(rec, access, share)) {
        ::close(fd);
        SetLastError(ErrorKind::SharingViolation, EBUSY);
        return false;
      }
    }
    registration_ = nextRegistration++;
    registry[registration_] = OpenRecord{st.st_dev, st.st_ino, access, share};
  }
  handle_ = fd;
  if (truncate && st.st_size != 0 && ftruncate(fd, 0) != 0) {
    int e = errno;
    Close();
    return FailErrno(e);
  }
  return true;
}

void File::Close() {
  // The record goes first: once the descriptor is closed, the system may
  // give its inode number to a file created at that moment, which a
  // record left behind would wrongly show as open here.
  if (registration_ >= 0) {
    std::lock_guard<std::mutex> lock(registryMutex);
    registry.erase(registration_);
    registration_ = -1;
  }
  if (handle_ >= 0) {
    ::close(static_cast<int>(handle_));
    handle_ = -1;
  }
}

int64_t File::Read(void* buffer, int64_t count) {
  if (handle_ < 0) {
    SetLastError(ErrorKind::Other, EBADF);
    return -1;
  }
  int64_t total = 0;
  char* p = static_cast<char*>(buffer);
  while (total < count) {
    ssize_t n = ::read(static_cast<int>(handle_), p + total,
                       static_cast<size_t>(std::min<int64_t>(count - total, 1 << 30)));
    if (n < 0) {
      if (errno == EINTR) continue;
      FailErrno();
      return -1;
    }
    if (n == 0) break;
    total += n;
  }
  return total;
}

int64_t File::Write(const void* buffer, int64_t count) {
  if (handle_ < 0) {
    SetLastError(ErrorKind::Other, EBADF);
    return -1;
  }
  int64_t total = 0;
  const char* p = static_cast<const char*>(buffer);
  while (total < count) {
    ssize_t n = ::write(static_cast<int>(handle_), p + total,
                        static_cast<size_t>(std::min<int64_t>(count - total, 1 << 30)));
    if (n < 0) {
      if (errno == EINTR) continue;
      FailErrno();
      return -1;
    }
    total += n;
  }
  return total;
}

int64_t File::Seek(int64_t offset, Origin origin) {
  int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
  off_t r = lseek(static_cast<int>(handle_), static_cast<off_t>(offset), whence);
  if (r < 0) {
    FailErrno();
    return -1;
  }
  return r;
}

bool File::Truncate() {
  int64_t pos = Position();
  if (pos < 0) return false;
  if (ftruncate(static_cast<int>(handle_), static_cast<off_t>(pos)) != 0) return FailErrno();
  return true;
}

bool File::SetLength(int64_t length) {
  if (ftruncate(static_cast<int>(handle_), static_cast<off_t>(length)) != 0) return FailErrno();
  return true;
}

int64_t File::Size() {
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) {
    FailErrno();
    return -1;
  }
  return st.st_size;
}

bool File::Flush() {
  if (fsync(static_cast<int>(handle_)) != 0) return FailErrno();
  return true;
}

bool File::GetStatus(FileStatus& status) {
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) return FailErrno();
  status.size = st.st_size;
  status.mtime = ClampTime(st.st_mtime);
  status.isDirectory = false;
  status.attributes = AttributesOf(st, "");
  return true;
}

bool File::SetModifiedTime(Time32 mtime) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = mtime;
  times[0].tv_nsec = times[1].tv_nsec = 0;
  if (futimens(static_cast<int>(handle_), times) != 0) return FailErrno();
  return true;
}

// ---------------------------------------------------------------- folders

struct DirReader::Impl {
  std::string native;
  DIR* dir = nullptr;
  int stage = 0;  // 0: ".", 1: "..", 2: the folder's own entries
  bool namesOnly = false;
};

DirReader::DirReader() = default;
DirReader::~DirReader() { Close(); }

bool DirReader::Open(const std::string& folder, bool namesOnly) {
  Close();
  leftOut_.clear();
  auto impl = std::make_unique<Impl>();
  impl->namesOnly = namesOnly;
  if (!ToNative(folder, impl->native, true)) return false;
  impl->dir = opendir(impl->native.c_str());
  if (!impl->dir) return FailErrno();
  // A drive root reports no "." and "..".
  if (impl->native == "/") impl->stage = 2;
  impl_ = std::move(impl);
  return true;
}

bool DirReader::Next(DirEntry& entry) {
  if (!impl_) return false;
  std::string base = impl_->native == "/" ? "" : impl_->native;
  for (;;) {
    std::string name;
    unsigned char type = DT_UNKNOWN;
    if (impl_->stage < 2) {
      name = impl_->stage == 0 ? "." : "..";
      ++impl_->stage;
      type = DT_DIR;
    } else {
      errno = 0;
      struct dirent* d = readdir(impl_->dir);
      if (!d) return false;
      name = d->d_name;
      type = d->d_type;
      if (name == "." || name == "..") continue;
    }
    if (impl_->namesOnly && (type == DT_DIR || type == DT_REG)) {
      std::string cp;
      if (!Utf8ToCp932(name, cp)) {
        leftOut_.push_back(NearestCp932(name));
        continue;
      }
      entry = DirEntry();
      entry.name = std::move(cp);
      entry.isDirectory = type == DT_DIR;
      return true;
    }
    // Links and file systems that give no type are looked at.
    struct stat st;
    if (stat((base + "/" + name).c_str(), &st) != 0) continue;  // a dangling link
    std::string cp;
    if (!Utf8ToCp932(name, cp)) {  // no code page 932 form: unreadable
      leftOut_.push_back(NearestCp932(name));
      continue;
    }
    entry.name = std::move(cp);
    entry.isDirectory = S_ISDIR(st.st_mode);
    entry.size = entry.isDirectory ? 0 : static_cast<int64_t>(st.st_size);
    entry.mtime = ClampTime(st.st_mtime);
    entry.attributes = AttributesOf(st, name);
    return true;
  }
}

void DirReader::Close() {
  if (impl_ && impl_->dir) closedir(impl_->dir);
  impl_.reset();
}

bool CreateFolder(const std::string& path) {
  std::string native;
  if (!ToNative(path, native, true)) return false;
  if (mkdir(native.c_str(), 0777) != 0) return FailErrno();
  return true;
}

bool RemoveFolder(const std::string& path) {
  std::string native;
  if (!ToNative(path, native, true)) return false;
  if (rmdir(native.c_str()) != 0) return FailErrno(errno == ENOTEMPTY || errno == EEXIST ? ENOTEMPTY : errno);
  return true;
}

bool DeleteFile(const std::string& path) {
  std::string native;
  if (!ToNative(path, native)) return false;
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) return FailErrno();
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))) {
    SetLastError(ErrorKind::AccessDenied, EACCES);
    return false;
  }
  if (!CheckDeletable(native)) return false;
  if (unlink(native.c_str()) != 0) return FailErrno();
  return true;
}

namespace {

// Moves a regular file to another file system, as Windows' MoveFile does.
bool CopyAcross(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailErrno();
  struct stat st;
  fstat(in, &st);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) {
    int e = errno;
    ::close(in);
    return FailErrno(e);
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 || ::write(out, buffer, static_cast<size_t>(n)) != n) {
      ok = false;
      FailErrno();
      break;
    }
  }
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (ok) futimens(out, times);
  ::close(in);
  if (::close(out) != 0 && ok) ok = FailErrno();
  if (!ok) {
    unlink(to.c_str());
    return false;
  }
  unlink(from.c_str());
  return true;
}

}  // namespace

bool MoveFile(const std::string& from, const std::string& to) {
  std::string src, dst;
  if (!ToNative(from, src, true) || !ToNative(to, dst, true)) return false;
  if (!CheckDeletable(src)) return false;
  struct stat st;
  if (lstat(dst.c_str(), &st) == 0) {
    SetLastError(ErrorKind::AlreadyExists, EEXIST);
    return false;
  }
  if (renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EINVAL || errno == ENOSYS) {  // a file system without no-replace renames
    if (rename(src.c_str(), dst.c_str()) == 0) return true;
  }
  if (errno == EXDEV) {
    struct stat s;
    if (stat(src.c_str(), &s) == 0 && S_ISREG(s.st_mode)) return CopyAcross(src, dst);
  }
  return FailErrno();
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  std::string src, dst;
  if (!ToNative(from, src, true) || !ToNative(to, dst, true)) return false;
  // As on Windows, a handle without delete sharing on either file refuses
  // the replace; such a handle is usually a reader that is about to close
  // it, so try a few times before giving up.
  for (int attempt = 0;; ++attempt) {
    bool blocked = false;
    struct stat st;
    if (lstat(src.c_str(), &st) != 0) return FailErrno();
    if (!S_ISLNK(st.st_mode) && DeleteBlocked(st)) blocked = true;
    if (!blocked && lstat(dst.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        SetLastError(ErrorKind::AccessDenied, EISDIR);
        return false;
      }
      blocked = DeleteBlocked(st);
    }
    if (!blocked) break;
    if (attempt >= 50) {
      SetLastError(ErrorKind::SharingViolation, EBUSY);
      return false;
    }
    Sleep(10);
  }
  if (rename(src.c_str(), dst.c_str()) != 0) return FailErrno();
  return true;
}

int64_t FreeDiskSpace(const std::string& path) {
  std::string native;
  if (!ToNative(path, native, true)) return -1;
  // The path itself may not exist yet: ask for the nearest folder that does.
  for (;;) {
    struct statvfs vfs;
    if (statvfs(native.c_str(), &vfs) == 0)
      return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    if (errno != ENOENT || native == "/") {
      FailErrno();
      return -1;
    }
    size_t p = native.find_last_of('/');
    native = p == 0 ? "/" : native.substr(0, p);
  }
}

// ---------------------------------------------------------------- places

std::string TempFolder() {
  const char* env = getenv("TMPDIR");
  std::string native = env && *env == '/' ? env : "/tmp";
  std::string path;
  if (!FromNative(native, path)) FromNative("/tmp", path);
  return WithSeparator(path);
}

std::string ExecutablePath() {
  std::string buffer(PATH_MAX, '\0');
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) return std::string();
  buffer.resize(static_cast<size_t>(n));
  std::string path;
  if (!FromNative(buffer, path)) return std::string();
  return path;
}

std::string WindowsFolder() { return std::string(); }

bool ToEnginePath(const std::string& userPath, std::string& enginePath) {
  if (userPath.size() >= 2 && userPath[1] == ':') {
    // Already an engine path; keep it (engine text, code page 932).
    enginePath = userPath;
    return true;
  }
  // The text arrives in the engine's encoding, as on Windows; the file
  // system wants it as UTF-8.
  std::string absolute;
  if (!Cp932ToUtf8(userPath, absolute)) return false;
  if (absolute.empty() || absolute[0] != '/') {
    std::string cwd(PATH_MAX, '\0');
    if (!getcwd(cwd.data(), cwd.size())) return false;
    cwd.resize(strlen(cwd.c_str()));
    absolute = cwd + "/" + absolute;
  }
  bool trailing = absolute.size() > 1 && absolute.back() == '/';
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= absolute.size()) {
    size_t end = absolute.find('/', start);
    if (end == std::string::npos) end = absolute.size();
    std::string part = absolute.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string native;
  for (const auto& p : parts) native += "/" + p;
  if (native.empty()) native = "/";
  else if (trailing) native += "/";
  return FromNative(native, enginePath);
}

bool ConsoleToEngine(const std::string& text, std::string& out) { return Utf8ToCp932(text, out); }

std::string EngineToConsole(const std::string& text) {
  std::string out;
  if (Cp932ToUtf8(text, out)) return out;
  // Show what can be shown: convert character by character, '?' for the rest.
  out.clear();
  for (size_t i = 0; i < text.size();) {
    size_t len = CharLength(text, i);
    std::string piece;
    out += Cp932ToUtf8(std::string_view(text).substr(i, len), piece) ? piece : "?";
    i += len;
  }
  return out;
}

// ---------------------------------------------------------------- time

Time32 Now() { return ClampTime(time(nullptr)); }

int32_t TimeZoneOffset() {
  tzset();
  return static_cast<int32_t>(timezone);
}

CalendarTime BreakDownLocal(Time32 t) {
  time_t tt = t;
  struct tm tm;
  CalendarTime c;
  if (!localtime_r(&tt, &tm)) return BreakDownUtc(t);
  c.year = tm.tm_year + 1900;
  c.month = tm.tm_mon + 1;
  c.day = tm.tm_mday;
  c.hour = tm.tm_hour;
  c.minute = tm.tm_min;
  c.second = tm.tm_sec;
  c.weekday = tm.tm_wday;
  return c;
}

uint32_t TickCount() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                               static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

void Sleep(uint32_t milliseconds) {
  struct timespec ts;
  ts.tv_sec = milliseconds / 1000;
  ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

namespace detail {

void SetCurrentThreadPriority(Priority priority) {
  if (priority == Priority::Idle) {
    struct sched_param param {};
    param.sched_priority = 0;
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
  } else if (priority == Priority::BelowNormal) {
    // Niceness is per thread on Linux.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 5);
  }
}

}  // namespace detail

// ---------------------------------------------------------------- Event

struct Event::Impl {
  std::mutex mutex;
  std::condition_variable cv;
  bool manual;
  bool set;
  // Made on first use by a wait that polls descriptors (the change
  // notifications): readable exactly while the event is set.
  int fd = -1;

  void Drain() {
    uint64_t value;
    while (fd >= 0 && ::read(fd, &value, sizeof value) > 0) {
    }
  }
};

Event::Event(bool manualReset, bool initiallySet) : impl_(new Impl) {
  impl_->manual = manualReset;
  impl_->set = initiallySet;
}

Event::~Event() {
  if (impl_->fd >= 0) ::close(impl_->fd);
  delete impl_;
}

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (!impl_->set && impl_->fd >= 0) {
      uint64_t one = 1;
      ssize_t written = ::write(impl_->fd, &one, sizeof one);
      (void)written;
    }
    impl_->set = true;
  }
  impl_->cv.notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->set = false;
  impl_->Drain();
}

bool Event::Wait(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  auto ready = [this] { return impl_->set; };
  if (timeoutMs == kInfinite)
    impl_->cv.wait(lock, ready);
  else if (!impl_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
    return false;
  if (!impl_->manual) {
    impl_->set = false;
    impl_->Drain();
  }
  return true;
}

void* Event::NativeHandle() const { return impl_; }

// ---------------------------------------------------------------- Lock

struct Lock::Impl {
  std::recursive_mutex mutex;
};

Lock::Lock() : impl_(new Impl) {}
Lock::~Lock() { delete impl_; }
void Lock::Enter() { impl_->mutex.lock(); }
void Lock::Leave() { impl_->mutex.unlock(); }
bool Lock::TryEnter() { return impl_->mutex.try_lock(); }

// ---------------------------------------------------------------- FileLock

bool FileLock::Acquire(const std::string& lockPath, uint32_t timeoutMs) {
  Release();
  std::string native;
  if (!ToNative(lockPath, native)) return false;
  int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return FailErrno();
  uint32_t start = TickCount();
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      handle_ = fd;
      return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (TickCount() - start >= timeoutMs) {
      errno = EWOULDBLOCK;
      break;
    }
    Sleep(2);
  }
  int e = errno;
  ::close(fd);
  return FailErrno(e);
}

void FileLock::Release() {
  if (handle_ >= 0) {
    ::close(static_cast<int>(handle_));  // closing drops the lock
    handle_ = -1;
  }
}

// ---------------------------------------------------------------- Library

bool Library::Load(const std::string& name) {
  Unload();
  std::string file;
  if (name.find_first_of("\\/:") == std::string::npos) {
    // A bare Windows library name: "UNLHA32.DLL" is "libunlha32.so" beside us.
    std::string stem = name;
    if (stem.size() > 4) {
      std::string ext = stem.substr(stem.size() - 4);
      std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
      if (ext == ".dll") stem.resize(stem.size() - 4);
    }
    std::transform(stem.begin(), stem.end(), stem.begin(), ::tolower);
    std::string exe;
    ToNative(ExecutablePath(), exe);
    size_t slash = exe.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
    file = dir + "/lib" + stem + ".so";
  } else if (!ToNative(name, file)) {
    return false;
  }
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    SetLastError(ErrorKind::NotFound, ENOENT);
    return false;
  }
  return true;
}

void* Library::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  void* p = dlsym(handle_, name);
  if (!p) SetLastError(ErrorKind::NotFound, ENOENT);
  return p;
}

void Library::Unload() {
  if (handle_) {
    dlclose(handle_);
    handle_ = nullptr;
  }
}

namespace detail {

bool EngineToNativePath(const std::string& path, std::string& native) {
  return ToNative(path, native, true);
}

int EventDescriptor(Event& event) {
  Event::Impl* impl = static_cast<Event::Impl*>(event.NativeHandle());
  std::lock_guard<std::mutex> lock(impl->mutex);
  if (impl->fd < 0) {
    impl->fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (impl->fd >= 0 && impl->set) {
      uint64_t one = 1;
      ssize_t written = ::write(impl->fd, &one, sizeof one);
      (void)written;
    }
  }
  return impl->fd;
}

}  // namespace detail

}  // namespace plat

// The thin layer between quz's engine and the operating system.
//
// Everything the catalogue, engine, restore and transfer code needs from the
// file system, the clock and the thread library goes through this header, so
// that the same engine builds for Windows (win32 backend) and for Linux
// (posix backend).  Paths are engine paths: code page 932 text in Windows
// form ("Z:\tmp\a.txt").  The posix backend maps them the way Wine does:
// "Z:\" is "/", "\" is "/", and names are UTF-8 on disk.  A path it cannot
// map (another drive, a name with no UTF-8 form) fails like a missing file.
//
// Operations return true (or a count) on success and false (or -1) on
// failure; the reason is available from LastError() on the same thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// windows.h maps these names to their ANSI functions; here they are ours.
#undef DeleteFile
#undef MoveFile
#undef ReplaceFile

namespace plat {

using Time32 = int32_t;  // seconds since 1970-01-01 UTC, as stored everywhere

// ---------------------------------------------------------------- errors

enum class ErrorKind {
  None,
  NotFound,           // file or a folder on the way does not exist / unmappable
  AccessDenied,       // permissions, read-only file, folder where a file was expected
  SharingViolation,   // another open handle's share mode forbids this
  AlreadyExists,
  DiskFull,
  Other,
};

struct Error {
  ErrorKind kind = ErrorKind::None;
  int code = 0;  // GetLastError() on Windows, errno on Linux
};

// The last failure on the calling thread.
Error LastError();
void SetLastError(ErrorKind kind, int code);
// The system's text for an error code, code page 932, no trailing line end.
std::string ErrorMessage(int code);

// ---------------------------------------------------------------- files

// Windows attribute bits; the posix backend reports and keeps what it can
// (read-only from the write permission, hidden for dot names).
enum : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

struct FileStatus {
  int64_t size = 0;
  Time32 mtime = 0;
  bool isDirectory = false;
  uint32_t attributes = 0;
};

bool GetFileStatus(const std::string& path, FileStatus& status);
uint32_t GetAttributes(const std::string& path);  // kInvalidAttributes on failure
bool SetAttributes(const std::string& path, uint32_t attributes);
// Sets the modification (and access) time of a file or folder.
bool SetFileTime(const std::string& path, Time32 mtime);

enum class Access { Read, Write, ReadWrite };
enum class Disposition {
  OpenExisting,      // fail when missing
  CreateNew,         // fail when it exists
  CreateAlways,      // create or truncate
  OpenAlways,        // create when missing, keep contents
  TruncateExisting,  // fail when missing, else truncate
};
enum : unsigned { kShareNone = 0, kShareRead = 1, kShareWrite = 2, kShareDelete = 4 };
constexpr unsigned kShareAll = kShareRead | kShareWrite | kShareDelete;
enum class Origin { Begin, Current, End };

class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  // Opens with Windows share semantics: an open fails with SharingViolation
  // when it conflicts with the share mode of another open handle (the posix
  // backend enforces this between handles of the same process).
  bool Open(const std::string& path, Access access, Disposition disposition,
            unsigned share = kShareRead);
  bool IsOpen() const { return handle_ >= 0; }
  void Close();

  int64_t Read(void* buffer, int64_t count);         // bytes read, 0 at end, -1 on error
  int64_t Write(const void* buffer, int64_t count);  // bytes written, -1 on error
  bool WriteAll(std::string_view data) {
    return Write(data.data(), static_cast<int64_t>(data.size())) ==
           static_cast<int64_t>(data.size());
  }
  bool ReadAll(std::string& out);  // from the current position to the end
  int64_t Seek(int64_t offset, Origin origin = Origin::Begin);  // new position or -1
  int64_t Position() { return Seek(0, Origin::Current); }
  bool Truncate();                 // cut the file at the current position
  bool SetLength(int64_t length);  // keeps the current position
  int64_t Size();                  // -1 on error
  bool Flush();                    // down to the disk
  bool GetStatus(FileStatus& status);
  bool SetModifiedTime(Time32 mtime);

 private:
  intptr_t handle_ = -1;
  int registration_ = -1;  // posix share-mode bookkeeping
};

// Reads or writes a whole file in one call (share read on reading).
bool ReadWholeFile(const std::string& path, std::string& out);
bool WriteWholeFile(const std::string& path, std::string_view data);

// ---------------------------------------------------------------- folders

struct DirEntry {
  std::string name;  // code page 932; "." and ".." are reported as well
  int64_t size = 0;
  Time32 mtime = 0;
  bool isDirectory = false;
  uint32_t attributes = 0;
};

// One-level listing of a folder (path with or without the trailing "\").
// "." and ".." come first, as Windows reports them; entries whose names have
// no code page 932 form are left out.
class DirReader {
 public:
  DirReader();
  ~DirReader();
  DirReader(const DirReader&) = delete;
  DirReader& operator=(const DirReader&) = delete;
  // With namesOnly, entries carry only their names and isDirectory (what a
  // folder search needs), which saves the posix backend a status call per
  // entry; Windows reports everything at no extra cost either way.
  bool Open(const std::string& folder, bool namesOnly = false);
  bool Next(DirEntry& entry);
  void Close();
  // The entries Next left out because their names have no code page 932
  // form, each as near as code page 932 comes ("?" for what it cannot
  // show), so that a caller can say which files it could not take.
  const std::vector<std::string>& LeftOut() const { return leftOut_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::vector<std::string> leftOut_;
};
bool ListDirectory(const std::string& folder, std::vector<DirEntry>& entries);

bool CreateFolder(const std::string& path);  // one level; fails when it exists
bool RemoveFolder(const std::string& path);  // must be empty
bool DeleteFile(const std::string& path);
// Renames; fails when the destination exists.
bool MoveFile(const std::string& from, const std::string& to);
// Atomically puts `from` in the place of `to`, replacing it if it exists.
bool ReplaceFile(const std::string& from, const std::string& to);

// Bytes free for the caller on the volume that holds path; -1 on failure.
int64_t FreeDiskSpace(const std::string& path);

// ---------------------------------------------------------------- places

std::string TempFolder();      // ends with "\"
std::string ExecutablePath();  // full path of the running program
// The Windows folder, without the trailing "\".  The posix backend has none
// and returns an empty string.
std::string WindowsFolder();
// Turns a path typed by the user (relative, or a Linux path on the posix
// backend), given in engine text, into an absolute engine path; false when
// it has no engine form.
bool ToEnginePath(const std::string& userPath, std::string& enginePath);
// Text from and to the console (UTF-8 on Linux, the ANSI code page on
// Windows); false when the text cannot be converted.
bool ConsoleToEngine(const std::string& text, std::string& out);
std::string EngineToConsole(const std::string& text);

// ---------------------------------------------------------------- time

struct CalendarTime {
  int year = 1970, month = 1, day = 1;  // month 1..12
  int hour = 0, minute = 0, second = 0;
  int weekday = 4;  // 0 = Sunday
};

Time32 Now();
// Seconds to subtract from UTC to get local standard time (negative east of
// Greenwich: -32400 in Japan), without any daylight-saving correction.
int32_t TimeZoneOffset();
// Breaks a time down as UTC; pass t - TimeZoneOffset() for local standard time.
CalendarTime BreakDownUtc(int64_t t);
// Local time with the system's daylight-saving rules.
CalendarTime BreakDownLocal(Time32 t);
uint32_t TickCount();  // milliseconds, wraps around
void Sleep(uint32_t milliseconds);

// ---------------------------------------------------------------- threads

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

enum class Priority { Idle, BelowNormal, Normal };

class Thread {
 public:
  Thread() = default;
  ~Thread();  // a thread still running is left to run on (abandoned)
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // An exception that escapes the body ends the thread as if the body had
  // returned; it goes to plat::ReportCurrentException (platform/
  // exceptions.h) with `name` as the place, and the program goes on.
  bool Start(std::function<void()> body, Priority priority = Priority::Normal,
             const char* name = "thread");
  // True when the thread has ended (at once when none was started).
  bool Join(uint32_t timeoutMs = kInfinite);
  bool Running() const;
  bool Started() const { return state_ != nullptr; }

  struct State;

 private:
  std::shared_ptr<State> state_;
};

// Manual-reset (or auto-reset) event, as the Windows kernel object.
class Event {
 public:
  explicit Event(bool manualReset = true, bool initiallySet = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  void Set();
  void Reset();
  bool Wait(uint32_t timeoutMs = kInfinite);  // true when signalled
  bool IsSet() { return Wait(0); }
  void* NativeHandle() const;  // HANDLE on Windows

  struct Impl;

 private:
  Impl* impl_;
};

// A recursive lock, as a critical section.
class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  void Enter();
  void Leave();
  bool TryEnter();

 private:
  struct Impl;
  Impl* impl_;
};

class LockGuard {
 public:
  explicit LockGuard(Lock& lock) : lock_(lock) { lock_.Enter(); }
  ~LockGuard() { lock_.Leave(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Lock& lock_;
};

// Exclusive lock between processes, held on a lock file.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Acquire(const std::string& lockPath, uint32_t timeoutMs);
  void Release();

 private:
  intptr_t handle_ = -1;
};

// ---------------------------------------------------------------- change notifications

// What a folder's change notification reports (the Windows
// FILE_NOTIFY_CHANGE_* bits).
enum : uint32_t {
  kNotifyFileName = 0x01,
  kNotifyDirName = 0x02,
  kNotifyAttributes = 0x04,
  kNotifySize = 0x08,
  kNotifyLastWrite = 0x10,
};
// A wait takes at most 64 handles; one of them is the caller's event.
constexpr int kMaxWatchedFolders = 63;
constexpr int kWaitTimedOut = -2;
constexpr int kWaitFailed = -1;

// Change notifications on up to 63 folders and one wait on all of them
// together with an event, used by one thread.  A folder that reported a
// change stays signalled until it is re-armed.
//
// Windows: FindFirstChangeNotification and WaitForMultipleObjects.  The
// posix backend builds the same on inotify: a folder watched with its
// subfolders also covers subfolders created (or moved in) later.
class ChangeWatchSet {
 public:
  ChangeWatchSet();
  ~ChangeWatchSet();
  ChangeWatchSet(const ChangeWatchSet&) = delete;
  ChangeWatchSet& operator=(const ChangeWatchSet&) = delete;

  // Requests notifications for folder (with or without the trailing ""),
  // with subtree also for everything below it.  False when the folder
  // cannot be watched (missing, no rights) or the set holds 63 folders.
  bool Add(const std::string& folder, bool subtree, uint32_t filter);
  int Count() const;
  // Waits until event is set (returns 0) or a folder reports a change
  // (returns its number, 1 for the first one added); the lowest number wins
  // when several are signalled.  kWaitTimedOut when the time ran out,
  // kWaitFailed when waiting itself failed.
  int Wait(Event& event, uint32_t timeoutMs = kInfinite);
  // Arms folder n (from 1) again after it reported a change.
  bool Rearm(int n);
  // Closes every notification.
  void Clear();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Ctrl-C, Ctrl-Break and closing the console (Windows), SIGINT and SIGTERM
// (Linux) set event instead of ending the program; null restores the
// default handling.  The event must outlive its installation.
void SetInterruptEvent(Event* event);

// ---------------------------------------------------------------- libraries

// A library loaded at run time.  On the posix backend a bare Windows name
// ("UNLHA32.DLL") stands for "libunlha32.so" beside the executable.
class Library {
 public:
  Library() = default;
  ~Library() { Unload(); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  bool Load(const std::string& name);
  void* Symbol(const char* name) const;
  void Unload();
  bool IsLoaded() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

}  // namespace plat

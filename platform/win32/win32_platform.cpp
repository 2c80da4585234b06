// The win32 backend: the ANSI Windows API, code page 932 throughout.
#include <windows.h>

#include <algorithm>
#include <climits>

#include "platform/cp932.h"
#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace plat {

namespace {

ErrorKind KindOfError(DWORD e) {
  switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_NOT_READY:
      return ErrorKind::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return ErrorKind::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return ErrorKind::SharingViolation;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return ErrorKind::AlreadyExists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ErrorKind::DiskFull;
    default:
      return ErrorKind::Other;
  }
}

bool Fail(DWORD e = ::GetLastError()) {
  SetLastError(KindOfError(e), static_cast<int>(e));
  return false;
}

constexpr int64_t kEpochDifference = 116444736000000000LL;  // 1601 to 1970 in 100 ns

int64_t SizeOf(DWORD high, DWORD low) {
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

Time32 FromFileTime(const FILETIME& ft) {
  int64_t v = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  int64_t s = (v - kEpochDifference) / 10000000LL;
  if (v < kEpochDifference && (v - kEpochDifference) % 10000000LL != 0) --s;
  if (s > INT32_MAX) return INT32_MAX;
  if (s < INT32_MIN) return INT32_MIN;
  return static_cast<Time32>(s);
}

FILETIME ToFileTime(Time32 t) {
  int64_t v = static_cast<int64_t>(t) * 10000000LL + kEpochDifference;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(v & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(v) >> 32);
  return ft;
}

// The form the system's calls take: no trailing separators, but a drive
// root keeps its "\".
std::string ApiPath(const std::string& path) { return StripTrailingSeparator(path, true); }

HANDLE H(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

std::string ErrorMessage(int code) {
  char buffer[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "error " + std::to_string(code);
  return text;
}

// ---------------------------------------------------------------- status

bool GetFileStatus(const std::string& path, FileStatus& status) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(ApiPath(path).c_str(), GetFileExInfoStandard, &data))
    return Fail();
  status.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.size = status.isDirectory ? 0 : SizeOf(data.nFileSizeHigh, data.nFileSizeLow);
  status.mtime = FromFileTime(data.ftLastWriteTime);
  status.attributes = data.dwFileAttributes;
  return true;
}

uint32_t GetAttributes(const std::string& path) {
  DWORD a = GetFileAttributesA(ApiPath(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    Fail();
    return kInvalidAttributes;
  }
  return a;
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
  if (!SetFileAttributesA(ApiPath(path).c_str(), attributes)) return Fail();
  return true;
}

bool SetFileTime(const std::string& path, Time32 mtime) {
  HANDLE h = CreateFileA(ApiPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail();
  FILETIME ft = ToFileTime(mtime);
  BOOL ok = ::SetFileTime(h, nullptr, &ft, &ft);
  DWORD e = ::GetLastError();
  CloseHandle(h);
  if (!ok) return Fail(e);
  return true;
}

// ---------------------------------------------------------------- File

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(other.handle_), registration_(other.registration_) {
  other.handle_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

bool File::Open(const std::string& path, Access access, Disposition disposition, unsigned share) {
  Close();
  DWORD desired = access == Access::Read ? GENERIC_READ
                  : access == Access::Write ? GENERIC_WRITE
                                            : GENERIC_READ | GENERIC_WRITE;
  DWORD shareMode = 0;
  if (share & kShareRead) shareMode |= FILE_SHARE_READ;
  if (share & kShareWrite) shareMode |= FILE_SHARE_WRITE;
  if (share & kShareDelete) shareMode |= FILE_SHARE_DELETE;
  DWORD creation = OPEN_EXISTING;
  switch (disposition) {
    case Disposition::OpenExisting: creation = OPEN_EXISTING; break;
    case Disposition::CreateNew: creation = CREATE_NEW; break;
    case Disposition::CreateAlways: creation = CREATE_ALWAYS; break;
    case Disposition::OpenAlways: creation = OPEN_ALWAYS; break;
    case Disposition::TruncateExisting:
      creation = TRUNCATE_EXISTING;
      desired |= GENERIC_WRITE;
      break;
  }
  HANDLE h = CreateFileA(path.c_str(), desired, shareMode, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail();
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

void File::Close() {
  if (handle_ != -1) {
    CloseHandle(H(handle_));
    handle_ = -1;
  }
}

int64_t File::Read(void* buffer, int64_t count) {
  int64_t total = 0;
  char* p = static_cast<char*>(buffer);
  while (total < count) {
    DWORD chunk = static_cast<DWORD>(std::min<int64_t>(count - total, 1 << 30));
    DWORD got = 0;
    if (!ReadFile(H(handle_), p + total, chunk, &got, nullptr)) {
      Fail();
      return -1;
    }
    if (got == 0) break;
    total += got;
  }
  return total;
}

int64_t File::Write(const void* buffer, int64_t count) {
  int64_t total = 0;
  const char* p = static_cast<const char*>(buffer);
  while (total < count) {
    DWORD chunk = static_cast<DWORD>(std::min<int64_t>(count - total, 1 << 30));
    DWORD put = 0;
    if (!WriteFile(H(handle_), p + total, chunk, &put, nullptr)) {
      Fail();
      return -1;
    }
    if (put == 0) {
      Fail(ERROR_DISK_FULL);
      return -1;
    }
    total += put;
  }
  return total;
}

int64_t File::Seek(int64_t offset, Origin origin) {
  LARGE_INTEGER distance, result;
  distance.QuadPart = offset;
  DWORD method = origin == Origin::Begin ? FILE_BEGIN : origin == Origin::Current ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(H(handle_), distance, &result, method)) {
    Fail();
    return -1;
  }
  return result.QuadPart;
}

bool File::Truncate() {
  if (!SetEndOfFile(H(handle_))) return Fail();
  return true;
}

bool File::SetLength(int64_t length) {
  int64_t pos = Position();
  if (pos < 0 || Seek(length) < 0) return false;
  bool ok = SetEndOfFile(H(handle_)) != 0;
  DWORD e = ::GetLastError();
  Seek(pos);
  if (!ok) return Fail(e);
  return true;
}

int64_t File::Size() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(H(handle_), &size)) {
    Fail();
    return -1;
  }
  return size.QuadPart;
}

bool File::Flush() {
  if (!FlushFileBuffers(H(handle_))) return Fail();
  return true;
}

bool File::GetStatus(FileStatus& status) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(H(handle_), &info)) return Fail();
  status.size = SizeOf(info.nFileSizeHigh, info.nFileSizeLow);
  status.mtime = FromFileTime(info.ftLastWriteTime);
  status.isDirectory = false;
  status.attributes = info.dwFileAttributes;
  return true;
}

bool File::SetModifiedTime(Time32 mtime) {
  FILETIME ft = ToFileTime(mtime);
  if (!::SetFileTime(H(handle_), nullptr, &ft, &ft)) return Fail();
  return true;
}

// ---------------------------------------------------------------- folders

struct DirReader::Impl {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data;
  bool pending = false;  // `data` holds an entry not yet handed out
};

namespace {
// The ANSI form of a wide name; false when it has none: a character the
// code page lacks would come out as "?" or as a look-alike, which names
// another file or none.
bool AnsiName(const wchar_t* wide, std::string& name) {
  int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) {
    name.assign(1, '?');
    return false;
  }
  name.assign(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, name.data(), n, nullptr, nullptr);
  name.resize(static_cast<size_t>(n - 1));
  int back = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, nullptr, 0);
  if (back <= 0) return false;
  std::wstring again(static_cast<size_t>(back), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, again.data(), back);
  again.resize(static_cast<size_t>(back - 1));
  return again == wide;
}

std::wstring WideOf(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}
}  // namespace

DirReader::DirReader() = default;
DirReader::~DirReader() { Close(); }

bool DirReader::Open(const std::string& folder, bool /*namesOnly*/) {
  Close();
  leftOut_.clear();
  auto impl = std::make_unique<Impl>();
  std::string pattern = WithSeparator(ApiPath(folder));
  pattern += '*';
  // The wide listing, so that a name the code page cannot show is seen as
  // such instead of coming back with "?" in it.
  impl->find = FindFirstFileW(WideOf(pattern).c_str(), &impl->data);
  if (impl->find == INVALID_HANDLE_VALUE) {
    DWORD e = ::GetLastError();
    if (e != ERROR_FILE_NOT_FOUND) return Fail(e);
    // An empty drive root: a valid folder without entries.
  } else {
    impl->pending = true;
  }
  impl_ = std::move(impl);
  return true;
}

bool DirReader::Next(DirEntry& entry) {
  while (impl_ && impl_->pending) {
    const WIN32_FIND_DATAW& d = impl_->data;
    std::string name;
    bool named = AnsiName(d.cFileName, name);
    if (named) {
      entry.name = std::move(name);
      entry.isDirectory = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entry.size = entry.isDirectory ? 0 : SizeOf(d.nFileSizeHigh, d.nFileSizeLow);
      entry.mtime = FromFileTime(d.ftLastWriteTime);
      entry.attributes = d.dwFileAttributes;
    } else {
      leftOut_.push_back(name);
    }
    impl_->pending = FindNextFileW(impl_->find, &impl_->data) != 0;
    if (named) return true;
  }
  return false;
}

void DirReader::Close() {
  if (impl_ && impl_->find != INVALID_HANDLE_VALUE) FindClose(impl_->find);
  impl_.reset();
}

bool CreateFolder(const std::string& path) {
  if (!CreateDirectoryA(ApiPath(path).c_str(), nullptr)) return Fail();
  return true;
}

bool RemoveFolder(const std::string& path) {
  if (!RemoveDirectoryA(ApiPath(path).c_str())) return Fail();
  return true;
}

bool DeleteFile(const std::string& path) {
  if (!DeleteFileA(path.c_str())) return Fail();
  return true;
}

bool MoveFile(const std::string& from, const std::string& to) {
  if (!MoveFileExA(ApiPath(from).c_str(), ApiPath(to).c_str(),
                   MOVEFILE_COPY_ALLOWED))
    return Fail();
  return true;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  // A reader holding the old file open without delete sharing makes the
  // replace fail for a moment; try a few times before giving up.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DWORD e = ::GetLastError();
    if ((e != ERROR_SHARING_VIOLATION && e != ERROR_ACCESS_DENIED) || attempt >= 50) return Fail(e);
    ::Sleep(10);
  }
}

int64_t FreeDiskSpace(const std::string& path) {
  // The path itself may not exist yet: ask for the nearest folder that does.
  std::string p = ApiPath(path);
  for (;;) {
    ULARGE_INTEGER available;
    std::string q = p.size() == 2 && p[1] == ':' ? p + "\\" : p;
    if (GetDiskFreeSpaceExA(q.c_str(), &available, nullptr, nullptr))
      return static_cast<int64_t>(available.QuadPart);
    DWORD e = ::GetLastError();
    size_t slash = LastCharPos(p, '\\');
    if ((e != ERROR_PATH_NOT_FOUND && e != ERROR_FILE_NOT_FOUND) || slash == kNone || slash < 2) {
      Fail(e);
      return -1;
    }
    p.resize(slash);
  }
}

// ---------------------------------------------------------------- places

std::string TempFolder() {
  char buffer[MAX_PATH + 2];
  DWORD n = GetTempPathA(sizeof buffer, buffer);
  return WithSeparator(n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string("C:\\"));
}

std::string ExecutablePath() {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string WindowsFolder() {
  char buffer[MAX_PATH + 1];
  UINT n = GetWindowsDirectoryA(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return std::string();
  return std::string(buffer, n);
}

bool ToEnginePath(const std::string& userPath, std::string& enginePath) {
  DWORD n = GetFullPathNameA(userPath.c_str(), 0, nullptr, nullptr);
  if (n == 0) return Fail();
  std::string buffer(n, '\0');
  n = GetFullPathNameA(userPath.c_str(), n, buffer.data(), nullptr);
  if (n == 0 || n >= buffer.size()) return Fail();
  buffer.resize(n);
  enginePath = buffer;
  return true;
}

bool ConsoleToEngine(const std::string& text, std::string& out) {
  out = text;  // command lines arrive in the ANSI code page
  return true;
}

std::string EngineToConsole(const std::string& text) { return text; }

// ---------------------------------------------------------------- time

Time32 Now() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return FromFileTime(ft);
}

int32_t TimeZoneOffset() {
  TIME_ZONE_INFORMATION tz;
  GetTimeZoneInformation(&tz);
  return static_cast<int32_t>(tz.Bias) * 60;
}

CalendarTime BreakDownLocal(Time32 t) {
  FILETIME ft = ToFileTime(t), local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToSystemTime(&local, &st))
    return BreakDownUtc(t);
  CalendarTime c;
  c.year = st.wYear;
  c.month = st.wMonth;
  c.day = st.wDay;
  c.hour = st.wHour;
  c.minute = st.wMinute;
  c.second = st.wSecond;
  c.weekday = st.wDayOfWeek;
  return c;
}

uint32_t TickCount() { return GetTickCount(); }

void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

namespace detail {

void SetCurrentThreadPriority(Priority priority) {
  int p = priority == Priority::Idle          ? THREAD_PRIORITY_IDLE
          : priority == Priority::BelowNormal ? THREAD_PRIORITY_BELOW_NORMAL
                                              : THREAD_PRIORITY_NORMAL;
  SetThreadPriority(GetCurrentThread(), p);
}

}  // namespace detail

// ---------------------------------------------------------------- Event

Event::Event(bool manualReset, bool initiallySet)
    : impl_(reinterpret_cast<Impl*>(CreateEventA(nullptr, manualReset, initiallySet, nullptr))) {}

Event::~Event() {
  if (impl_) CloseHandle(reinterpret_cast<HANDLE>(impl_));
}

void Event::Set() { SetEvent(reinterpret_cast<HANDLE>(impl_)); }
void Event::Reset() { ResetEvent(reinterpret_cast<HANDLE>(impl_)); }

bool Event::Wait(uint32_t timeoutMs) {
  return WaitForSingleObject(reinterpret_cast<HANDLE>(impl_), timeoutMs) == WAIT_OBJECT_0;
}

void* Event::NativeHandle() const { return impl_; }

// ---------------------------------------------------------------- Lock

struct Lock::Impl {
  CRITICAL_SECTION cs;
};

Lock::Lock() : impl_(new Impl) { InitializeCriticalSection(&impl_->cs); }
Lock::~Lock() {
  DeleteCriticalSection(&impl_->cs);
  delete impl_;
}
void Lock::Enter() { EnterCriticalSection(&impl_->cs); }
void Lock::Leave() { LeaveCriticalSection(&impl_->cs); }
bool Lock::TryEnter() { return TryEnterCriticalSection(&impl_->cs) != 0; }

// ---------------------------------------------------------------- FileLock

bool FileLock::Acquire(const std::string& lockPath, uint32_t timeoutMs) {
  Release();
  DWORD start = GetTickCount();
  for (;;) {
    // No sharing at all: a second opener gets a sharing violation until we close.
    // The lock file goes when its holder closes it, leaving nothing beside the settings.
    HANDLE h = CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<intptr_t>(h);
      return true;
    }
    DWORD e = ::GetLastError();
    if ((e != ERROR_SHARING_VIOLATION && e != ERROR_ACCESS_DENIED) || GetTickCount() - start >= timeoutMs)
      return Fail(e);
    ::Sleep(2);
  }
}

void FileLock::Release() {
  if (handle_ != -1) {
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
  }
}

// ---------------------------------------------------------------- Library

bool Library::Load(const std::string& name) {
  Unload();
  handle_ = reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
  if (!handle_) return Fail();
  return true;
}

void* Library::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  void* p = reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
  if (!p) Fail();
  return p;
}

void Library::Unload() {
  if (handle_) {
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
    handle_ = nullptr;
  }
}

}  // namespace plat

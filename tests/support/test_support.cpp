#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
// Before the platform header, which takes back the names windows.h maps.
#include <windows.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "app/text.h"
#include "platform/platform.h"
#include "platform/platform_internal.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace quztest {

std::string TempRoot() {
  const char* root = std::getenv("QUZ_TEST_TEMP");
  if (!root || !*root) return plat::TempFolder();
  std::string path = BuildPath(root);
  return path.back() == '\\' ? path : path + "\\";
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  const std::string root = TempRoot();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = root + "quztest-" + std::to_string(rd() % 100000000) + "-" + std::to_string(counter++);
    if (plat::CreateFolder(candidate)) {
      path_ = candidate + "\\";
      return;
    }
  }
  ADD_FAILURE() << "cannot create a temporary folder under " << root;
}

TempDir::~TempDir() {
  if (!path_.empty()) RemoveTree(path_);
}

bool UnderWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

void RemoveTree(const std::string& path) {
  // A name may end in a double-byte character whose second byte is "\"
  // (ソ, 表): only a real separator goes.
  const std::string p = plat::StripTrailingSeparator(path, true);
  plat::FileStatus st;
  if (!plat::GetFileStatus(p, st)) return;
  if (!st.isDirectory) {
    plat::SetAttributes(p, plat::kAttrNormal);
    plat::DeleteFile(p);
    return;
  }
  std::vector<plat::DirEntry> entries;
  plat::ListDirectory(p, entries);
  for (const auto& e : entries)
    if (e.name != "." && e.name != "..") RemoveTree(p + "\\" + e.name);
  plat::RemoveFolder(p);
}

void WriteFile(const std::string& path, const std::string& data) {
  ASSERT_TRUE(plat::WriteWholeFile(path, data)) << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
  std::string data;
  EXPECT_TRUE(plat::ReadWholeFile(path, data)) << "cannot read " << path;
  return data;
}

void WriteFileOfSize(const std::string& path, int64_t size) {
  plat::File f;
  ASSERT_TRUE(f.Open(path, plat::Access::Write, plat::Disposition::CreateAlways)) << path;
  ASSERT_TRUE(f.SetLength(size)) << path;
}

void WriteLongPathFile(const std::string& path, const std::string& data) {
#ifdef _WIN32
  std::vector<wchar_t> wide(path.size() + 1);
  int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  ASSERT_GT(n, 0);
  std::wstring full = L"\\\\?\\" + std::wstring(wide.data(), static_cast<size_t>(n - 1));
  HANDLE h = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
  CloseHandle(h);
#else
  WriteFile(path, data);
#endif
}

void WriteFileNamedOutsideCodePage932(const std::string& folder) {
#ifdef _WIN32
  wchar_t wide[1024];
  int n = MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, 1000);
  ASSERT_GT(n, 0);
  std::wstring path = std::wstring(wide, static_cast<size_t>(n - 1)) + L"report-\xD55C.txt";
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
#else
  std::string native;
  ASSERT_TRUE(plat::detail::EngineToNativePath(folder, native));
  std::FILE* f = std::fopen((native + "/report-\xED\x95\x9C.txt").c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
#endif
}

bool Exists(const std::string& path) {
  plat::FileStatus st;
  return plat::GetFileStatus(path, st);
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<plat::DirEntry> entries;
  plat::ListDirectory(folder, entries);
  std::vector<std::string> names;
  for (const auto& e : entries)
    if (!e.isDirectory) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

bool IsFile(const std::string& path) {
  plat::FileStatus st;
  return plat::GetFileStatus(path, st) && !st.isDirectory;
}

bool IsFolder(const std::string& path) {
  plat::FileStatus st;
  return plat::GetFileStatus(path, st) && st.isDirectory;
}

int64_t SizeOf(const std::string& path) {
  plat::FileStatus st;
  return plat::GetFileStatus(path, st) ? st.size : -1;
}

int64_t TimeOf(const std::string& path) {
  plat::FileStatus st;
  return plat::GetFileStatus(path, st) ? st.mtime : -1;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  return lines;
}

#ifndef _WIN32
void WithFileSizeLimit(int64_t bytes, const std::function<void()>& body) {
  struct rlimit was;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
  // Without this the first write past the limit ends the process.
  auto previous = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = was;
  limited.rlim_cur = static_cast<rlim_t>(bytes);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  body();
  setrlimit(RLIMIT_FSIZE, &was);
  signal(SIGXFSZ, previous);
}
#endif

std::string BuildPath(const std::string& hostPath) {
#ifdef _WIN32
  if (!hostPath.empty() && hostPath[0] == '/') {
    std::string p = "Z:" + hostPath;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
  }
  return hostPath;
#else
  std::string text, p;
  EXPECT_TRUE(plat::ConsoleToEngine(hostPath, text));
  EXPECT_TRUE(plat::ToEnginePath(text, p));
  return p;
#endif
}

std::string HostPath(const std::string& enginePath) {
#ifdef _WIN32
  return enginePath;
#else
  // Still engine text: RunCommand converts the whole line.  Only real
  // separators change, never a trail byte 0x5C.
  std::string p = enginePath.size() >= 2 && enginePath[1] == ':' ? enginePath.substr(2) : enginePath;
  for (size_t i = 0; i < p.size(); i += quz::CharLength(p, i))
    if (p[i] == '\\') p[i] = '/';
  return p.empty() ? "/" : p;
#endif
}

std::string Quote(const std::string& argument) {
#ifdef _WIN32
  // Backslashes before the closing quote must be doubled, or the last one
  // escapes the quote.  A trail byte 0x5C is no backslash.
  size_t trailing = 0;
  for (size_t i = 0; i < argument.size(); i += quz::CharLength(argument, i))
    trailing = argument[i] == '\\' ? trailing + 1 : 0;
  return "\"" + argument + std::string(trailing, '\\') + "\"";
#else
  std::string q = "'";
  for (char c : argument) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
#endif
}

int RunCommand(const std::string& commandLine, std::string* output) {
  std::fflush(nullptr);
#ifdef _WIN32
  // cmd.exe strips the outer quotes of a line that starts with one.
  std::string line = "\"" + commandLine + "\"";
#else
  std::string line = plat::EngineToConsole(commandLine);
#endif
  std::FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  std::string out;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int status = pclose(pipe);
  if (output && !plat::ConsoleToEngine(out, *output)) *output = out;
#ifdef _WIN32
  return status;
#else
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

namespace {
std::atomic<int> permissionsApplied{0};

#ifndef _WIN32
// The rights that let a process past file permissions, in the effective
// set of the calling thread (threads started later inherit it).
constexpr unsigned kOverrideRights = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

bool OverrideRights(bool on) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  if (on)
    data[0].effective |= data[0].permitted & kOverrideRights;
  else
    data[0].effective &= ~kOverrideRights;
  return syscall(SYS_capset, &header, data) == 0;
}
#endif
}  // namespace

PermissionsApply::PermissionsApply() {
  ++permissionsApplied;
#ifndef _WIN32
  EXPECT_TRUE(OverrideRights(false)) << "cannot give up the rights that override file permissions";
#endif
}

PermissionsApply::~PermissionsApply() {
#ifndef _WIN32
  OverrideRights(true);
#endif
  --permissionsApplied;
}

#ifndef _WIN32
void SetMode(const std::string& path, unsigned mode) {
  std::string native;
  ASSERT_TRUE(plat::detail::EngineToNativePath(path, native)) << path;
  ASSERT_EQ(::chmod(native.c_str(), mode), 0) << native;
}
#endif

Unreadable::Unreadable(const std::string& path) : path_(path) {
#ifdef _WIN32
  // Windows shares between processes: a handle without sharing keeps
  // quzctl out too.  A folder needs backup semantics to be opened.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
  if (h != INVALID_HANDLE_VALUE) holder_ = h;
#else
  SetMode(path, 0);
#endif
}

Unreadable::~Unreadable() {
#ifdef _WIN32
  if (holder_) CloseHandle(static_cast<HANDLE>(holder_));
#else
  SetMode(path_, IsFolder(path_) ? 0755 : 0644);
#endif
}

ChildProcess::~ChildProcess() { Kill(); }

#ifdef _WIN32

constexpr UINT kTerminatedCode = 137;

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& outputFile, const std::vector<std::string>& environment) {
  Kill();
  std::string line = Quote(program);
  for (const auto& a : args) line += " " + Quote(a);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE || in == INVALID_HANDLE_VALUE) return false;
  // The child takes this process's environment as it is at the start.
  std::vector<std::pair<std::string, std::string>> previous;
  for (const std::string& e : environment) {
    std::string name = e.substr(0, e.find('='));
    char old[4096];
    DWORD n = GetEnvironmentVariableA(name.c_str(), old, sizeof old);
    previous.emplace_back(name, n > 0 && n < sizeof old ? std::string(old, n) : std::string(1, '\0'));
    SetEnvironmentVariableA(name.c_str(), e.substr(name.size() + 1).c_str());
  }
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = out;
  PROCESS_INFORMATION pi{};
  BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  for (const auto& [name, value] : previous)
    SetEnvironmentVariableA(name.c_str(), value == std::string(1, '\0') ? nullptr : value.c_str());
  CloseHandle(out);
  CloseHandle(in);
  if (!started) return false;
  CloseHandle(pi.hThread);
  handle_ = reinterpret_cast<intptr_t>(pi.hProcess);
  ended_ = false;
  return true;
}

bool ChildProcess::Wait(uint32_t timeoutMs) {
  if (ended_) return true;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  if (WaitForSingleObject(h, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  GetExitCodeProcess(h, &code);
  exitCode_ = code == kTerminatedCode ? kKilled : static_cast<int>(code);
  CloseHandle(h);
  handle_ = -1;
  ended_ = true;
  return true;
}

void ChildProcess::Kill() {
  if (ended_) return;
  TerminateProcess(reinterpret_cast<HANDLE>(handle_), kTerminatedCode);
  Wait(INFINITE);
}

#else

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& outputFile, const std::vector<std::string>& environment) {
  Kill();
  // Everything the child needs is made before the fork: between fork and
  // exec only async-signal-safe calls are allowed.
  std::vector<std::string> argv{plat::EngineToConsole(HostPath(program))};
  for (const auto& a : args) argv.push_back(plat::EngineToConsole(a));
  std::vector<char*> argp;
  for (auto& a : argv) argp.push_back(a.data());
  argp.push_back(nullptr);
  std::vector<std::string> env(environment);
  for (char** e = environ; *e; ++e) {
    std::string entry = *e, name = entry.substr(0, entry.find('=') + 1);
    auto replaces = [&](const std::string& extra) { return extra.compare(0, name.size(), name) == 0; };
    if (std::none_of(environment.begin(), environment.end(), replaces)) env.push_back(entry);
  }
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string output = plat::EngineToConsole(HostPath(outputFile));
  int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (fd < 0 || null < 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(null, 0);
    dup2(fd, 1);
    dup2(fd, 2);
    execve(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  ::close(fd);
  ::close(null);
  if (pid < 0) return false;
  handle_ = pid;
  ended_ = false;
  return true;
}

bool ChildProcess::Wait(uint32_t timeoutMs) {
  if (ended_) return true;
  for (uint32_t waited = 0;; waited += 2) {
    int status = 0;
    // A child that cannot be waited for any more counts as killed.
    pid_t r = waitpid(static_cast<pid_t>(handle_), &status, WNOHANG);
    if (r != 0) {
      exitCode_ = r > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : kKilled;
      ended_ = true;
      return true;
    }
    if (waited >= timeoutMs) return false;
    plat::Sleep(2);
  }
}

void ChildProcess::Kill() {
  if (ended_) return;
  ::kill(static_cast<pid_t>(handle_), SIGKILL);
  Wait(0xFFFFFFFFu);
}

#endif

Quzctl::Quzctl(const TempDir& dir, const std::string& builtAt) : dir_(dir) {
  std::string built = BuildPath(builtAt), program;
  if (!plat::ReadWholeFile(built, program)) {
    ADD_FAILURE() << "cannot read " << built;
    return;
  }
  exe_ = dir / built.substr(built.rfind('\\') + 1);
  WriteFile(exe_, program);
#ifndef _WIN32
  EXPECT_EQ(RunCommand("chmod +x " + Quote(HostPath(exe_))), 0);
#endif
}

int Quzctl::Run(const std::vector<std::string>& args, std::string* out, const std::string& input) {
  std::string line = Quote(HostPath(exe_));
#ifndef _WIN32
  // A program root starts gets every right back unless they are taken
  // from the set it may ever have.
  if (permissionsApplied.load() > 0 && geteuid() == 0)
    line = "setpriv --bounding-set -dac_override,-dac_read_search " + line;
#endif
  for (const auto& a : args) line += " " + Quote(a);
  const std::string run = std::to_string(++runs_);
  const std::string in = dir_ / ("stdin" + run + ".txt"), errors = dir_ / ("stderr" + run + ".txt");
  WriteFile(in, input);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_ = errors;
  }
  std::string output;
  const std::string command = line + " <" + Quote(HostPath(in)) + " 2>" + Quote(HostPath(errors));
  int rc = RunCommand(command, &output);
#ifdef _WIN32
  // cmd.exe answers 9009 when it could not start the program at all (quzctl
  // itself never ends so); under Wine that happens now and then for a moment
  // after a killed child's end, so a start that never happened is tried again.
  for (int attempt = 0; rc == 9009 && attempt < 5; ++attempt) {
    plat::Sleep(200);
    rc = RunCommand(command, &output);
  }
#endif
  output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
  if (out) *out = output;
  return rc;
}

std::string Quzctl::Stderr() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string raw, text;
  if (errors_.empty() || !plat::ReadWholeFile(errors_, raw)) return "";
  return plat::ConsoleToEngine(raw, text) ? text : raw;
}

}  // namespace quztest

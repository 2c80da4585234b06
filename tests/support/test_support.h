// Shared helpers for quz's tests: temporary folders on the real file system
// of the backend under test, and running programs.
#pragma once

#include <cstdint>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quztest {

// Where TempDir makes its folders: QUZ_TEST_TEMP (a host path; the build
// names a memory file system there, as the disk makes thousands of files
// cost seconds), else the system's temporary folder.  Ends with "\".
std::string TempRoot();

// A fresh folder under TempRoot(), removed with all its contents when the
// object goes.  path() is an engine path ending with "\".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// True when the program runs under Wine rather than on Windows itself (and
// false on the posix backend).
bool UnderWine();

// Deletes a file or a folder with everything below it (read-only files too).
void RemoveTree(const std::string& path);

// Writes and reads whole files, failing the current test on error.
void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// Makes a file of `size` bytes without writing them (sparse where the file
// system allows), so that sizes past 32 bits cost nothing.
void WriteFileOfSize(const std::string& path, int64_t size);

// Writes a file whose path may be longer than the system's ANSI file
// functions take (on Windows through the wide "\\?\" form).
void WriteLongPathFile(const std::string& path, const std::string& data);

// Creates folder + "report-" + a Hangul letter + ".txt", a name code page
// 932 cannot show (the engine sees no such file), through the system's own
// wide or UTF-8 names; fails the current test on error.
void WriteFileNamedOutsideCodePage932(const std::string& folder);

// The names of the files (not the folders) directly in folder, sorted.
std::vector<std::string> FileNames(const std::string& folder);

// What the file system says of a path: whether it is a file or a folder,
// its size and its modification time (-1 when it is not there).
bool IsFile(const std::string& path);
bool IsFolder(const std::string& path);
int64_t SizeOf(const std::string& path);
int64_t TimeOf(const std::string& path);

// The lines of a text, each ended by CR LF; a last line without one is
// left out.
std::vector<std::string> Lines(const std::string& text);
// The texts of messages shown (anything with a `text`), in order; with
// their captions, each "caption | text".
template <class Message>
std::vector<std::string> TextsOf(const std::vector<Message>& messages) {
  std::vector<std::string> texts;
  for (const Message& m : messages) texts.push_back(m.text);
  return texts;
}
template <class Message>
std::vector<std::string> CaptionsAndTexts(const std::vector<Message>& messages) {
  std::vector<std::string> shown;
  for (const Message& m : messages) shown.push_back(m.caption + " | " + m.text);
  return shown;
}

#ifndef _WIN32
// Runs body with every write past `bytes` of a file failing, as on a full
// disk.
void WithFileSizeLimit(int64_t bytes, const std::function<void()>& body);
#endif

// The engine path of a file the build made (CMake gives Linux paths; under
// Wine they live on drive Z:).
std::string BuildPath(const std::string& hostPath);

// The path the system's shell knows an engine path by ("Z:\a" is "/a" on
// the posix backend), still in engine text for RunCommand.
std::string HostPath(const std::string& enginePath);

// Runs a command line (engine text, code page 932) through the system's
// shell, collecting what it writes on stdout, converted back to engine text;
// returns its exit status.
int RunCommand(const std::string& commandLine, std::string* output = nullptr);
// The quoting the shell of this backend needs around one argument.
std::string Quote(const std::string& argument);

// File permissions hold nothing back from a process that may override
// them, and tests often run as root.  While one of these lives, they hold
// back the calling thread, the threads it starts from then on and the
// programs Quzctl runs, as they would hold back any user.  Nothing on
// Windows, where the tests make files unreadable by sharing instead.
class PermissionsApply {
 public:
  PermissionsApply();
  ~PermissionsApply();
  PermissionsApply(const PermissionsApply&) = delete;
  PermissionsApply& operator=(const PermissionsApply&) = delete;
};

#ifndef _WIN32
// chmod of an engine path; fails the current test on error.
void SetMode(const std::string& path, unsigned mode);
#endif

// A file (or folder) made unreadable for this process's threads and for
// quzctl the way it happens on each system, until the object goes: on
// Windows another program holds it without sharing; on posix its
// permissions deny everything (with PermissionsApply, so also as root).
class Unreadable {
 public:
  explicit Unreadable(const std::string& path);
  ~Unreadable();

 private:
  std::string path_;
  PermissionsApply permissions_;
#ifdef _WIN32
  void* holder_ = nullptr;
#endif
};

// A program run in the background with its output in a file, which a test
// can kill at any moment, as the task manager or a power cut would end it:
// SIGKILL on Linux, TerminateProcess on Windows.
class ChildProcess {
 public:
  static constexpr int kKilled = -9;

  ChildProcess() = default;
  ~ChildProcess();  // kills a child that still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts program (an engine path) with args (engine text), stdout and
  // stderr into outputFile, with this process's environment plus the
  // "NAME=value" entries of `environment`.  False when it could not start.
  bool Start(const std::string& program, const std::vector<std::string>& args, const std::string& outputFile,
             const std::vector<std::string>& environment = {});
  // True once the child has ended, waiting up to timeoutMs for it.
  bool Wait(uint32_t timeoutMs);
  // Ends the child at once, unless it has ended already, and reaps it.
  void Kill();
  // The exit status of an ended child; kKilled when Kill ended it (a child
  // that ended on its own just before keeps its own status).
  int ExitCode() const { return exitCode_; }

 private:
  intptr_t handle_ = -1;  // the pid, or the process handle
  bool ended_ = true;
  int exitCode_ = 0;
};

// quzctl copied into a test's folder, so that the state files beside it
// ("quz.ini", "FileList.txt", ...) are the test's own, and run there.
class Quzctl {
 public:
  // builtAt: the built program as CMake names it.  A failed copy fails the
  // current test.
  Quzctl(const TempDir& dir, const std::string& builtAt);
  const std::string& exe() const { return exe_; }
  // Runs it with each argument quoted, `input` on stdin and stderr kept
  // for Stderr(); returns its exit status.  out receives stdout without
  // its carriage returns.  Runs may be made from several threads at once.
  int Run(const std::vector<std::string>& args, std::string* out = nullptr, const std::string& input = "");
  // What the last run wrote on stderr, in engine text.
  std::string Stderr() const;

 private:
  const TempDir& dir_;
  std::string exe_, errors_;
  std::atomic<int> runs_{0};
  mutable std::mutex mutex_;  // guards errors_
};

}  // namespace quztest

// Shared helpers for quz's tests: temporary folders on the real file system
// of the backend under test, and running programs.
#pragma once

#include <string>
#include <vector>

namespace quztest {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes.  path() is an engine path ending with "\".
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

// Deletes a file or a folder with everything below it (read-only files too).
void RemoveTree(const std::string& path);

// Writes and reads whole files, failing the current test on error.
void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// Writes a file whose path may be longer than the system's ANSI file
// functions take (on Windows through the wide "\\?\" form).
void WriteLongPathFile(const std::string& path, const std::string& data);

// Creates folder + "report-" + a Hangul letter + ".txt", a name code page
// 932 cannot show (the engine sees no such file), through the system's own
// wide or UTF-8 names; fails the current test on error.
void WriteFileNamedOutsideCodePage932(const std::string& folder);

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
  Unreadable(const Unreadable&) = delete;
  Unreadable& operator=(const Unreadable&) = delete;

 private:
  std::string path_;
  PermissionsApply permissions_;
#ifdef _WIN32
  void* holder_ = nullptr;
#endif
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
  // its carriage returns.
  int Run(const std::vector<std::string>& args, std::string* out = nullptr, const std::string& input = "");
  // What the last run wrote on stderr, in engine text.
  std::string Stderr() const;

 private:
  const TempDir& dir_;
  std::string exe_, errors_;
  int runs_ = 0;
};

}  // namespace quztest

// "lasterror.txt" beside the executable: what an operation could not do,
// one entry per failure, for the user and for support.  Each entry is the
// local time as the 24-character date text with its line feed, a blank,
// the path (or the place) concerned, a blank, the system's message (at most
// 500 bytes) and CR LF.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace quz {

extern const char kErrorLogName[];  // "lasterror.txt"

// Appends one entry.  Callers on several threads may append at once.
// False when the log cannot be written.
bool AppendErrorLog(const std::string& where, std::string message);

// The system's message for the calling thread's last platform failure;
// `fallback` when the platform reported none (a copy cut short by a file
// that shrank, for instance).
std::string LastErrorText(const std::string& fallback);

// One file an operation could not read, copy or record, and why.  Checks
// and exports hand every such file to one of these; quzctl prints them,
// the resident program writes them to the log.
using FailureReport = std::function<void(const std::string& path, const std::string& reason)>;

// The error log as the resident program keeps it through a long run: the
// same failure of the same path (a file held open for hours, a folder
// closed to the user) is written once a day, not at every check.
class CFailureLog {
 public:
  static constexpr int32_t kRepeatSeconds = 24 * 3600;
  // Appends path and reason, unless path failed for the same reason less
  // than kRepeatSeconds before `now`.
  void Report(const std::string& path, const std::string& reason, int32_t now);

 private:
  struct Logged {
    std::string reason;
    int32_t time = 0;
  };
  std::mutex mutex_;
  std::unordered_map<std::string, Logged> logged_;
};

// Makes every exception caught at a boundary of the program (a window or
// dialog procedure, a task of the window thread, a thread body) leave an
// entry in the log, with the boundary as its place.
void LogExceptions();

}  // namespace quz

// "lasterror.txt" beside the executable: what an operation could not do,
// one entry per failure, for the user and for support.  Each entry is the
// local time as the 24-character date text with its line feed, a blank,
// the path (or the place) concerned, a blank, the system's message (at most
// 500 bytes) and CR LF.
#pragma once

#include <functional>
#include <string>

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

// Makes a failure that ends a thread body leave an entry in the log (the
// platform's threads catch it; this says where it goes).
void LogThreadFailures();

}  // namespace quz

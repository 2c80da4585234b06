#include "app/error_log.h"

#include <cstdio>
#include <mutex>

#include "app/paths.h"
#include "platform/exceptions.h"
#include "platform/platform.h"

namespace quz {

const char kErrorLogName[] = "lasterror.txt";

namespace {

// The standard 24-character date text with its line feed, as ctime writes it.
std::string DateText(plat::CalendarTime c) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  std::snprintf(text, sizeof text, "%.3s %.3s%3d %02d:%02d:%02d %d\n", kDays[(c.weekday % 7 + 7) % 7],
                kMonths[(c.month + 11) % 12], c.day, c.hour, c.minute, c.second, c.year);
  return text;
}

std::mutex logMutex;

}  // namespace

bool AppendErrorLog(const std::string& where, std::string message) {
  if (message.size() > 500) message.resize(500);
  const std::string entry = DateText(plat::BreakDownLocal(plat::Now())) + " " + where + " " + message + "\r\n";
  // The log is held without write sharing while an entry goes in: entries
  // from this process wait for each other, and another process (quzctl
  // beside the resident program) gets a few tries.
  std::lock_guard<std::mutex> lock(logMutex);
  plat::File log;
  for (int attempt = 0;; ++attempt) {
    if (log.Open(ExePath(kErrorLogName), plat::Access::ReadWrite, plat::Disposition::OpenAlways, plat::kShareRead))
      break;
    if (plat::LastError().kind != plat::ErrorKind::SharingViolation || attempt >= 20) return false;
    plat::Sleep(10);
  }
  if (log.Seek(0, plat::Origin::End) < 0) return false;
  return log.WriteAll(entry);
}

std::string LastErrorText(const std::string& fallback) {
  int code = plat::LastError().code;
  return code ? plat::ErrorMessage(code) : fallback;
}

void CFailureLog::Report(const std::string& path, const std::string& reason, int32_t now) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = logged_.find(path);
    if (found != logged_.end() && found->second.reason == reason && now - found->second.time < kRepeatSeconds &&
        now >= found->second.time)
      return;
    // What it remembers stays bounded however many files fail.
    if (logged_.size() >= 100000) logged_.clear();
    logged_[path] = Logged{reason, now};
  }
  AppendErrorLog(path, reason);
}

void LogExceptions() {
  plat::SetExceptionHandler([](const std::string& where, const std::string& what) { AppendErrorLog(where, what); });
}

}  // namespace quz

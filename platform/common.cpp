// Parts of the platform layer that are the same on every backend.
#include <thread>

#include "platform/exceptions.h"
#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace plat {

namespace {
thread_local Error tlsError;
}

Error LastError() { return tlsError; }
void SetLastError(ErrorKind kind, int code) { tlsError = Error{kind, code}; }

bool File::ReadAll(std::string& out) {
  out.clear();
  int64_t size = Size();
  int64_t pos = Position();
  if (size > pos && pos >= 0) out.reserve(static_cast<size_t>(size - pos));
  char buffer[65536];
  for (;;) {
    int64_t n = Read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
  }
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  File f;
  if (!f.Open(path, Access::Read, Disposition::OpenExisting, kShareRead | kShareWrite | kShareDelete))
    return false;
  return f.ReadAll(out);
}

bool WriteWholeFile(const std::string& path, std::string_view data) {
  File f;
  if (!f.Open(path, Access::Write, Disposition::CreateAlways, kShareRead)) return false;
  return f.WriteAll(data);
}

bool ListDirectory(const std::string& folder, std::vector<DirEntry>& entries) {
  entries.clear();
  DirReader reader;
  if (!reader.Open(folder)) return false;
  DirEntry e;
  while (reader.Next(e)) entries.push_back(e);
  return true;
}

CalendarTime BreakDownUtc(int64_t t) {
  // Days from the civil date algorithm (proleptic Gregorian calendar).
  int64_t days = t / 86400;
  int64_t secs = t % 86400;
  if (secs < 0) {
    secs += 86400;
    --days;
  }
  CalendarTime c;
  c.hour = static_cast<int>(secs / 3600);
  c.minute = static_cast<int>(secs / 60 % 60);
  c.second = static_cast<int>(secs % 60);
  c.weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2 ? 1 : 0));
  return c;
}

// ---------------------------------------------------------------- threads

struct Thread::State {
  std::function<void()> body;
  Priority priority = Priority::Normal;
  const char* name = "thread";
  Event done{true, false};
  std::thread thread;
  std::mutex joinMutex;
};

bool Thread::Start(std::function<void()> body, Priority priority, const char* name) {
  if (state_ && Running()) return false;
  if (state_) Join();
  auto state = std::make_shared<State>();
  state->body = std::move(body);
  state->priority = priority;
  state->name = name ? name : "thread";
  try {
    state->thread = std::thread([state] {
      detail::SetCurrentThreadPriority(state->priority);
      // Nothing may leave a thread body: an exception there would end the
      // whole program.
      try {
        state->body();
      } catch (...) {
        ReportCurrentException(state->name);
      }
      state->body = nullptr;  // release what the body captured before signalling
      state->done.Set();
    });
  } catch (...) {
    SetLastError(ErrorKind::Other, 0);
    return false;
  }
  state_ = std::move(state);
  return true;
}

bool Thread::Join(uint32_t timeoutMs) {
  if (!state_) return true;
  if (!state_->done.Wait(timeoutMs)) return false;
  std::lock_guard<std::mutex> lock(state_->joinMutex);
  if (state_->thread.joinable()) state_->thread.join();
  return true;
}

bool Thread::Running() const { return state_ && !state_->done.IsSet(); }

Thread::~Thread() {
  if (!state_) return;
  std::lock_guard<std::mutex> lock(state_->joinMutex);
  if (!state_->thread.joinable()) return;
  if (state_->done.IsSet())
    state_->thread.join();
  else
    state_->thread.detach();  // abandoned: it keeps its own reference to the state
}

}  // namespace plat

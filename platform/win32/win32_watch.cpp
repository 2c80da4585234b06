// Folder change notifications and the console's interrupt on Windows.
#include <windows.h>

#include <atomic>
#include <vector>

#include "platform/platform.h"

namespace plat {

struct ChangeWatchSet::Impl {
  std::vector<HANDLE> handles;
};

ChangeWatchSet::ChangeWatchSet() : impl_(std::make_unique<Impl>()) {}
ChangeWatchSet::~ChangeWatchSet() { Clear(); }

bool ChangeWatchSet::Add(const std::string& folder, bool subtree, uint32_t filter) {
  if (static_cast<int>(impl_->handles.size()) >= kMaxWatchedFolders) {
    SetLastError(ErrorKind::Other, ERROR_TOO_MANY_OPEN_FILES);
    return false;
  }
  HANDLE h = FindFirstChangeNotificationA(folder.c_str(), subtree ? TRUE : FALSE, filter);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = ::GetLastError();
    SetLastError(e == ERROR_ACCESS_DENIED ? ErrorKind::AccessDenied : ErrorKind::NotFound,
                 static_cast<int>(e));
    return false;
  }
  impl_->handles.push_back(h);
  return true;
}

int ChangeWatchSet::Count() const { return static_cast<int>(impl_->handles.size()); }

int ChangeWatchSet::Wait(Event& event, uint32_t timeoutMs) {
  HANDLE all[MAXIMUM_WAIT_OBJECTS];
  all[0] = reinterpret_cast<HANDLE>(event.NativeHandle());
  DWORD n = 1;
  for (HANDLE h : impl_->handles) all[n++] = h;
  DWORD r = WaitForMultipleObjects(n, all, FALSE, timeoutMs);
  if (r == WAIT_TIMEOUT) return kWaitTimedOut;
  if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + n) return static_cast<int>(r - WAIT_OBJECT_0);
  SetLastError(ErrorKind::Other, static_cast<int>(::GetLastError()));
  return kWaitFailed;
}

bool ChangeWatchSet::Rearm(int n) {
  if (n < 1 || n > Count()) return false;
  return FindNextChangeNotification(impl_->handles[n - 1]) != 0;
}

void ChangeWatchSet::Clear() {
  for (HANDLE h : impl_->handles) FindCloseChangeNotification(h);
  impl_->handles.clear();
}

// ---------------------------------------------------------------- interrupt

namespace {

std::atomic<Event*> interruptEvent{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
  Event* event = interruptEvent.load();
  if (!event) return FALSE;
  event->Set();
  // Closing the console ends the process as soon as this returns: give the
  // program a moment to finish its shutdown (writing its state).
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
    ::Sleep(5000);
  return TRUE;
}

}  // namespace

void SetInterruptEvent(Event* event) {
  Event* before = interruptEvent.exchange(event);
  if (event && !before)
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  else if (!event && before)
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

}  // namespace plat

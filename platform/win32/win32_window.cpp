#include <algorithm>
#include <cassert>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

#include "platform/exceptions.h"
#include "platform/win32/win32_ui_internal.h"
#include "platform/window.h"

namespace plat {

HINSTANCE ResourceInstance() { return GetModuleHandleA(nullptr); }

// ---- what windows and dialogs share

WindowBase::~WindowBase() {
  for (Control* control : controls_) control->owner_ = nullptr;
}

void WindowBase::StartTimer(UINT_PTR id, UINT periodMs) {
  if (!hwnd_) return;
  SetTimer(hwnd_, id, periodMs, nullptr);
  timers_[id] = periodMs;
}

void WindowBase::StopTimer(UINT_PTR id) {
  if (hwnd_) KillTimer(hwnd_, id);
  timers_.erase(id);
}

UINT WindowBase::TimerPeriod(UINT_PTR id) const {
  auto it = timers_.find(id);
  return it == timers_.end() ? 0 : it->second;
}

bool WindowBase::RouteNotify(NMHDR& header, LRESULT& result) {
  // By index: a handler may attach or detach controls.
  for (size_t i = 0; i < controls_.size(); ++i) {
    Control* control = controls_[i];
    if (control->hwnd_ == header.hwndFrom && control->OnNotify(header, result)) return true;
  }
  return OnNotify(header, result);
}

bool WindowBase::Crack(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY:
      return RouteNotify(*reinterpret_cast<NMHDR*>(lParam), result);
    case WM_TIMER:
      OnTimer(wParam);
      return true;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
      return false;
    case WM_CLOSE:
      return OnClose();
    case WM_DESTROY:
      OnDestroy();
      return false;
  }
  return false;
}

void WindowBase::Bind(HWND hwnd) { hwnd_ = hwnd; }

void WindowBase::Unbind() {
  hwnd_ = nullptr;
  timers_.clear();
  for (Control* control : controls_) {
    control->hwnd_ = nullptr;
    control->owner_ = nullptr;
  }
  controls_.clear();
}

namespace {
// A window that outlives its object could only reach a half-destroyed one:
// the object is cut off from it first, then the window goes.
void DestroyOrphan(HWND hwnd, int userIndex) {
  assert(!"a window must be destroyed before its object");
  SetWindowLongPtrA(hwnd, userIndex, 0);
  DestroyWindow(hwnd);
}
}  // namespace

// ---- windows

Window::~Window() {
  if (HWND hwnd = Handle()) {
    Unbind();
    DestroyOrphan(hwnd, GWLP_USERDATA);
  }
}

bool Window::CreateTopLevel(const char* className, const char* title, DWORD style, HWND owner) {
  PrepareUiThread();
  static std::mutex registering;
  static std::set<std::string> registered;
  {
    std::lock_guard<std::mutex> lock(registering);
    if (!registered.count(className)) {
      WNDCLASSA wc{};
      wc.style = CS_DBLCLKS;
      wc.lpfnWndProc = Procedure;
      wc.hInstance = ResourceInstance();
      wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
      wc.lpszClassName = className;
      if (!RegisterClassA(&wc)) return false;
      registered.insert(className);
    }
  }
  HWND hwnd = CreateWindowExA(0, className, title, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, owner, nullptr, ResourceInstance(), this);
  return hwnd != nullptr;
}

void Window::Destroy() {
  if (Handle()) DestroyWindow(Handle());
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Crack(message, wParam, lParam, result)) return result;
  return DefWindowProcA(Handle(), message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* self;
  if (message == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->Bind(hwnd);
  } else {
    self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_DESTROY) ui_internal::WindowClosing(hwnd);
  LRESULT result = 0;
  try {
    result = self->OnMessage(message, wParam, lParam);
  } catch (...) {
    ReportCurrentException("window procedure");
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->Unbind();
    ui_internal::WindowGone(hwnd);
    try {
      self->OnFinalMessage();
    } catch (...) {
      ReportCurrentException("window procedure");
    }
  }
  return result;
}

// ---- dialogs

namespace {
// Dialogs whose window exists, in the order they were initialised.
std::vector<Dialog*>& OpenDialogs() {
  static std::vector<Dialog*> dialogs;
  return dialogs;
}
// The modeless ones of this thread, for its message loop.
std::vector<Dialog*>& ModelessDialogs() {
  thread_local std::vector<Dialog*> dialogs;
  return dialogs;
}
void Forget(std::vector<Dialog*>& dialogs, Dialog* dialog) {
  dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end());
}
}  // namespace

bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
  }
  return false;
}

Dialog::~Dialog() {
  if (HWND hwnd = Handle()) {
    Forget(OpenDialogs(), this);
    Forget(ModelessDialogs(), this);
    Unbind();
    DestroyOrphan(hwnd, DWLP_USER);
  }
}

Dialog* Dialog::Current() {
  auto& dialogs = OpenDialogs();
  return dialogs.empty() ? nullptr : dialogs.back();
}

INT_PTR Dialog::DoModal(HWND owner) {
  PrepareUiThread();
  modal_ = true;
  modeless_ = false;
  INT_PTR result = DialogBoxParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId_), owner, Procedure,
                                   reinterpret_cast<LPARAM>(this));
  modal_ = false;
  return result;
}

bool Dialog::CreateModeless(HWND owner) {
  PrepareUiThread();
  modal_ = false;
  modeless_ = true;
  return CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId_), owner, Procedure,
                            reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::Destroy() {
  if (Handle() && !modal_) DestroyWindow(Handle());
}

void Dialog::End(INT_PTR result) {
  if (!Handle()) return;
  if (modal_)
    EndDialog(Handle(), result);
  else
    DestroyWindow(Handle());
}

std::string Dialog::ItemText(int id) const {
  HWND item = Item(id);
  if (!item) return std::string();
  int length = GetWindowTextLengthA(item);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(item, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

void Dialog::SetItemText(int id, const std::string& text) { SetDlgItemTextA(Handle(), id, text.c_str()); }

std::optional<int> Dialog::ItemInt(int id) const {
  std::string text = ItemText(id);
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(start, &end, 10);
  if (end == start || errno == ERANGE || value < INT_MIN || value > INT_MAX) return std::nullopt;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return std::nullopt;
  return static_cast<int>(value);
}

void Dialog::SetItemInt(int id, int value) { SetDlgItemInt(Handle(), id, static_cast<UINT>(value), TRUE); }

bool Dialog::IsChecked(int id) const { return IsDlgButtonChecked(Handle(), id) == BST_CHECKED; }

void Dialog::SetChecked(int id, bool checked) {
  CheckDlgButton(Handle(), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Dialog::EnableItem(int id, bool enabled) {
  if (HWND item = Item(id)) EnableWindow(item, enabled ? TRUE : FALSE);
}

void Dialog::ShowItem(int id, bool shown) {
  if (HWND item = Item(id)) ShowWindow(item, shown ? SW_SHOW : SW_HIDE);
}

bool Dialog::OnCommand(int id, int code, HWND control) {
  if (id == IDOK || id == IDCANCEL) {
    End(id);
    return true;
  }
  return false;
}

INT_PTR CALLBACK Dialog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self = message == WM_INITDIALOG ? reinterpret_cast<Dialog*>(lParam)
                                          : reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  return Route(self, hwnd, message, wParam, lParam);
}

INT_PTR Dialog::Route(Dialog* self, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!self) return FALSE;
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->Bind(hwnd);
    OpenDialogs().push_back(self);
    if (self->modeless_) ModelessDialogs().push_back(self);
    try {
      return self->OnInitDialog() ? TRUE : FALSE;
    } catch (...) {
      ReportCurrentException("dialog procedure");
      return TRUE;
    }
  }
  if (message == WM_DESTROY) ui_internal::WindowClosing(hwnd);
  INT_PTR answer = FALSE;
  try {
    INT_PTR result = 0;
    bool handled = self->OnMessage(message, wParam, lParam, result);
    if (!handled) {
      LRESULT cracked = 0;
      handled = self->Crack(message, wParam, lParam, cracked);
      result = cracked;
    }
    if (handled) {
      if (ReturnsResultDirectly(message)) {
        answer = result;
      } else {
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        answer = TRUE;
      }
    }
  } catch (...) {
    ReportCurrentException("dialog procedure");
  }
  // The object lets go of the window whatever an override did with the
  // message.
  if (message == WM_NCDESTROY) {
    Forget(OpenDialogs(), self);
    Forget(ModelessDialogs(), self);
    SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    self->Unbind();
    ui_internal::WindowGone(hwnd);
  }
  return answer;
}

// ---- the message loop

bool TranslateDialogMessage(MSG& message) {
  if (!message.hwnd) return false;
  auto& dialogs = ModelessDialogs();
  for (size_t i = dialogs.size(); i-- > 0;) {
    Dialog* dialog = dialogs[i];
    HWND hwnd = dialog->Handle();
    if (!hwnd || (message.hwnd != hwnd && !IsChild(hwnd, message.hwnd))) continue;
    try {
      if (dialog->PreTranslate(message)) return true;
    } catch (...) {
      ReportCurrentException("dialog key handling");
      return true;
    }
    // PreTranslate may have closed it.
    if (!IsWindow(hwnd)) return true;
    return IsDialogMessageA(hwnd, &message) != FALSE;
  }
  return false;
}

namespace {
void Dispatch(MSG& message) {
  if (TranslateDialogMessage(message)) return;
  TranslateMessage(&message);
  try {
    DispatchMessageA(&message);
  } catch (...) {
    // Our procedures catch their own; this is a timer procedure or the like.
    ReportCurrentException("message dispatch");
  }
}
}  // namespace

int RunMessageLoop() {
  PrepareUiThread();
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) Dispatch(message);
  return static_cast<int>(message.wParam);
}

bool PumpWaitingMessages() {
  bool quit = false;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      continue;
    }
    Dispatch(message);
  }
  return !quit;
}

}  // namespace plat

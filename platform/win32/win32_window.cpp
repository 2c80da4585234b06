#include <algorithm>
#include <mutex>
#include <set>
#include <vector>

#include "platform/window.h"

namespace plat {

HINSTANCE ResourceInstance() { return GetModuleHandleA(nullptr); }

// ---- windows

Window::~Window() { Destroy(); }

bool Window::CreateTopLevel(const char* className, const char* title, DWORD style, HWND owner) {
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
  if (hwnd_) DestroyWindow(hwnd_);
}

void Window::StartTimer(UINT_PTR id, UINT periodMs) {
  if (!hwnd_) return;
  SetTimer(hwnd_, id, periodMs, nullptr);
  timers_[id] = periodMs;
}

void Window::StopTimer(UINT_PTR id) {
  if (hwnd_) KillTimer(hwnd_, id);
  timers_.erase(id);
}

UINT Window::TimerPeriod(UINT_PTR id) const {
  auto it = timers_.find(id);
  return it == timers_.end() ? 0 : it->second;
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* self;
  if (message == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  LRESULT result = self->OnMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->timers_.clear();
    self->OnFinalMessage();
  }
  return result;
}

// ---- dialogs

namespace {
std::vector<Dialog*>& OpenDialogs() {
  static std::vector<Dialog*> dialogs;
  return dialogs;
}
}  // namespace

Dialog::~Dialog() { Destroy(); }

Dialog* Dialog::Current() {
  auto& dialogs = OpenDialogs();
  return dialogs.empty() ? nullptr : dialogs.back();
}

INT_PTR Dialog::DoModal(HWND owner) {
  modal_ = true;
  INT_PTR result = DialogBoxParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId_), owner, Procedure,
                                   reinterpret_cast<LPARAM>(this));
  modal_ = false;
  return result;
}

bool Dialog::CreateModeless(HWND owner) {
  modal_ = false;
  return CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId_), owner, Procedure,
                            reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::Destroy() {
  if (hwnd_ && !modal_) DestroyWindow(hwnd_);
}

void Dialog::End(INT_PTR result) {
  if (!hwnd_) return;
  if (modal_)
    EndDialog(hwnd_, result);
  else
    DestroyWindow(hwnd_);
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

void Dialog::SetItemText(int id, const std::string& text) { SetDlgItemTextA(hwnd_, id, text.c_str()); }

bool Dialog::OnCommand(int id, int code, HWND control) {
  if (id == IDOK || id == IDCANCEL) {
    End(id);
    return true;
  }
  return false;
}

bool Dialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) { return false; }

INT_PTR CALLBACK Dialog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    OpenDialogs().push_back(self);
    return self->OnInitDialog() ? TRUE : FALSE;
  }
  self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (!self) return FALSE;
  INT_PTR result = 0;
  if (message == WM_COMMAND) {
    if (self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return TRUE;
  } else if (self->OnMessage(message, wParam, lParam, result)) {
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORDLG || message == WM_CTLCOLORBTN)
      return result;
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
  }
  if (message == WM_NCDESTROY) {
    auto& dialogs = OpenDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), self), dialogs.end());
    SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  return FALSE;
}

// ---- message boxes

namespace {
std::mutex responderMutex;
MessageResponder& Responder() {
  static MessageResponder responder;
  return responder;
}
}  // namespace

void SetMessageResponder(MessageResponder responder) {
  std::lock_guard<std::mutex> lock(responderMutex);
  Responder() = std::move(responder);
}

int ShowMessage(HWND owner, const std::string& text, const std::string& caption, unsigned style) {
  MessageResponder responder;
  {
    std::lock_guard<std::mutex> lock(responderMutex);
    responder = Responder();
  }
  if (responder) return responder(owner, text, caption, style);
  return MessageBoxA(owner, text.c_str(), caption.c_str(), style);
}

int WindowInteraction::Message(const std::string& text, const std::string& caption, unsigned style) {
  return ShowMessage(owner_, text, caption, style);
}

OverwriteAnswer WindowInteraction::AskOverwrite(const OverwriteQuestion& question) {
  // The overwrite dialog belongs to the restore window; until it exists the
  // question is asked as a plain box.
  int answer = ShowMessage(owner_, question.path + "\r\nを上書きしますか？", "ファイルの上書きの確認",
                           kButtonsYesNo | kIconQuestion);
  return answer == kAnswerYes ? OverwriteAnswer::Yes : OverwriteAnswer::No;
}

}  // namespace plat

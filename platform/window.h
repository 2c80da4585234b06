// The thin window layer of the resident program: windows and dialogs as
// classes with virtual operations over the ANSI Win32 functions (code page
// 932 texts), message boxes through one replaceable responder, and the
// shell helpers the windows share.  Built only for Windows.
#pragma once

#ifndef _WIN32
#error "platform/window.h is the Windows user interface; it is not built elsewhere"
#endif

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "platform/interaction.h"

namespace plat {

// The instance whose resources (dialogs, menus, icons) the windows use.
HINSTANCE ResourceInstance();

// A window of our own class.  The object outlives its window: it is created
// by Create and the window is destroyed by DestroyWindow or by the object's
// destructor.
class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const { return hwnd_; }
  // Creates a top-level window of the class `className` (registered once).
  bool CreateTopLevel(const char* className, const char* title, DWORD style = WS_OVERLAPPEDWINDOW,
                      HWND owner = nullptr);
  void Destroy();

  // Timers of this window; the periods set are remembered so that the
  // schedule can be read back.
  void StartTimer(UINT_PTR id, UINT periodMs);
  void StopTimer(UINT_PTR id);
  // The period of a running timer, 0 when it is not running.
  UINT TimerPeriod(UINT_PTR id) const;

 protected:
  // Every message of the window; the default hands it to DefWindowProc.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Called with WM_NCDESTROY, after which the handle is gone.
  virtual void OnFinalMessage() {}

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
  std::map<UINT_PTR, UINT> timers_;
};

// A dialog from a resource template, modal or modeless.
class Dialog {
 public:
  explicit Dialog(int templateId) : templateId_(templateId) {}
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally; returns the code given to End (-1 on failure).
  INT_PTR DoModal(HWND owner);
  // Creates it modeless (not shown unless the template says so).
  bool CreateModeless(HWND owner);
  void Destroy();
  // Ends a modal dialog with `result`; a modeless one is destroyed.
  void End(INT_PTR result);

  HWND Handle() const { return hwnd_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  std::string ItemText(int id) const;
  void SetItemText(int id, const std::string& text);
  bool IsModal() const { return modal_; }

  // The dialog that is open, for the tests and the screenshots that drive
  // it while its modal loop runs: the most recently initialised one.
  static Dialog* Current();

 protected:
  // WM_INITDIALOG; true lets the system set the focus.
  virtual bool OnInitDialog() { return true; }
  // WM_COMMAND; true when handled.  The defaults end the dialog with the
  // button's id for OK (1) and cancel (2).
  virtual bool OnCommand(int id, int code, HWND control);
  // Any other message; true when handled, with `result` as the answer.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  int templateId_;
  HWND hwnd_ = nullptr;
  bool modal_ = false;
};

// Message boxes.  Every box the program shows goes through ShowMessage; a
// responder, when set, answers instead of a real box (the tests script the
// answers this way).
using MessageResponder =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, unsigned style)>;
void SetMessageResponder(MessageResponder responder);
int ShowMessage(HWND owner, const std::string& text, const std::string& caption, unsigned style);

// The engine's questions and messages as message boxes owned by a window.
class WindowInteraction : public IUserInteraction {
 public:
  explicit WindowInteraction(HWND owner = nullptr) : owner_(owner) {}
  void SetOwner(HWND owner) { owner_ = owner; }
  int Message(const std::string& text, const std::string& caption, unsigned style) override;
  OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) override;
  void Progress(int percent, const std::string& caption) override {}

 private:
  HWND owner_;
};

// Shell helpers.
// The shell's folder browser; false when the user cancels.
bool BrowseFolder(HWND owner, std::string& folder);
// Opens a file or folder with its associated program, shown normally.
void ShellOpen(const std::string& path);
// Opens a page beside the executable ("readme.htm", "help\taisyo.htm").
void OpenHelpPage(const std::string& relativePath);
// Creates or overwrites a shell shortcut; 0 on success, else the system's
// result code.
long CreateShellLink(const std::string& target, const std::string& shortcut,
                     const std::string& arguments, const std::string& description,
                     const std::string& workingFolder, const std::string& iconPath, int iconIndex);
// A special folder of the shell (CSIDL number); empty when unknown.
std::string SpecialFolder(int csidl);
// Makes an edit control take files dropped on it: its text becomes the
// path of the first dropped item and the owner hears an ordinary change.
void AcceptDroppedPath(HWND edit);

}  // namespace plat

// The thin window layer of the resident program, over the ANSI Win32
// functions (code page 932 texts).  Built only for Windows.
//
//   WindowBase   what windows and dialogs share: the handle, timers, the
//                cracked messages (OnCommand, OnNotify, OnTimer, OnSize,
//                OnClose, OnDestroy) and the controls attached to them
//   Window       a top-level window of our own class (the hidden main window)
//   Dialog       a dialog from a template in the .rc, modal or modeless
//   PropertyPage, PropertySheet
//                tabbed sheets and wizards made of dialog templates
//   ListView, TreeView, ListBox, ComboBox, ScrollBar, SpinButton, ImageList
//                the controls the windows use, declared in the .rc and
//                taken over by id
//   UI tasks     PostUiTask, RunUiTask, CallUiTask: any thread hands work
//                to the thread of a window; WindowInteraction asks the
//                engine's questions there
//   the message loop
//                RunMessageLoop / PumpWaitingMessages, which give the open
//                modeless dialogs Tab, Enter and Esc
//   responders   message boxes, the shell's dialogs and pop-up menus go
//                through replaceable responders, so that tests answer them
//   handles      owners for icons, menus, brushes, DCs and image lists
//
// Rules every window follows:
// - A window is destroyed before its object: the owner destroys a modeless
//   dialog (or its own window) in the derived class's destructor at the
//   latest.  A window owned by another is destroyed with it by the system.
// - Exceptions never leave a window or dialog procedure or a UI task: they
//   are caught there and handed to plat::ReportCurrentException
//   (platform/exceptions.h), and the message loop goes on.
// - Worker threads never touch a window: they post a task to its thread.
#pragma once

#ifndef _WIN32
#error "platform/window.h is the Windows user interface; it is not built elsewhere"
#endif

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/interaction.h"

// prsht.h names the ANSI or wide function PropertySheet; ours is the class
// below, and the function is called by its ANSI name.
#undef PropertySheet

namespace plat {

// The instance whose resources (dialogs, menus, icons) the windows use.
HINSTANCE ResourceInstance();

class Control;

// ---- windows and dialogs

// The part every window and dialog of ours shares.  Messages arrive cracked
// through the virtual operations below; each returns whether it handled
// the message, and an unhandled message gets the system's default.
class WindowBase {
 public:
  virtual ~WindowBase();
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  HWND Handle() const { return hwnd_; }

  // Timers of this window, arriving at OnTimer; the periods set are
  // remembered so that the schedule can be read back.
  void StartTimer(UINT_PTR id, UINT periodMs);
  void StopTimer(UINT_PTR id);
  // The period of a running timer, 0 when it is not running.
  UINT TimerPeriod(UINT_PTR id) const;

 protected:
  WindowBase() = default;

  // WM_COMMAND: a menu command, a control's notification or an accelerator.
  virtual bool OnCommand(int id, int code, HWND control) { return false; }
  // WM_NOTIFY, after the attached control it comes from (if any) has left
  // it; `result` is the answer.
  virtual bool OnNotify(NMHDR& header, LRESULT& result) { return false; }
  virtual void OnTimer(UINT_PTR id) {}
  // WM_SIZE; the default handling runs as well.
  virtual void OnSize(UINT kind, int width, int height) {}
  // WM_CLOSE; unhandled, a window is destroyed and a dialog gets IDCANCEL.
  virtual bool OnClose() { return false; }
  // WM_DESTROY: the controls still exist.  Stop what works for the window
  // here (threads, timers of others).
  virtual void OnDestroy() {}

  // Where WM_NOTIFY goes: to the attached control it comes from, then to
  // OnNotify.  Property pages put the sheet's notifications first.
  virtual bool RouteNotify(NMHDR& header, LRESULT& result);

  // The cracked messages above, for the procedures of the derived kinds.
  bool Crack(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Ties the object to its window, and undoes it at WM_NCDESTROY.
  void Bind(HWND hwnd);
  void Unbind();

 private:
  friend class Control;
  HWND hwnd_ = nullptr;
  std::map<UINT_PTR, UINT> timers_;
  std::vector<Control*> controls_;
};

// A top-level window of our own class.
class Window : public WindowBase {
 public:
  Window() = default;
  // The window must be gone (Destroy in the derived destructor).
  ~Window() override;

  // Creates a top-level window of the class `className` (registered once).
  bool CreateTopLevel(const char* className, const char* title, DWORD style = WS_OVERLAPPEDWINDOW,
                      HWND owner = nullptr);
  void Destroy();

 protected:
  // Every message of the window; the default cracks the messages above and
  // hands the rest to DefWindowProc.  Overrides call it for what they leave.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Called with WM_NCDESTROY, after which the handle is gone.
  virtual void OnFinalMessage() {}

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// A dialog from a resource template, modal or modeless.  A modeless one
// takes part in the message loop: Tab, Enter and Esc work in it, and its
// PreTranslate sees its keys first.
class Dialog : public WindowBase {
 public:
  explicit Dialog(int templateId) : templateId_(templateId) {}
  // The window must be gone: a modal dialog is, once DoModal returns; a
  // modeless one is destroyed by its owner (Destroy) or with its owner
  // window.
  ~Dialog() override;

  // Runs the dialog modally; returns the code given to End (-1 on failure).
  INT_PTR DoModal(HWND owner);
  // Creates it modeless (not shown unless the template says WS_VISIBLE).
  bool CreateModeless(HWND owner);
  void Destroy();
  // Ends a modal dialog with `result`; a modeless one is destroyed.
  void End(INT_PTR result);
  bool IsModal() const { return modal_; }
  int TemplateId() const { return templateId_; }

  // The controls of the template, by id.
  HWND Item(int id) const { return GetDlgItem(Handle(), id); }
  std::string ItemText(int id) const;
  void SetItemText(int id, const std::string& text);
  // The text as a whole number (blanks around it allowed); none when it is
  // not one.
  std::optional<int> ItemInt(int id) const;
  void SetItemInt(int id, int value);
  bool IsChecked(int id) const;
  void SetChecked(int id, bool checked);
  void EnableItem(int id, bool enabled);
  void ShowItem(int id, bool shown);

  // The dialog that is open, for the tests and the screenshots that drive
  // it while its modal loop runs: the most recently initialised one.
  static Dialog* Current();

 protected:
  // WM_INITDIALOG: attach the controls and fill them here.  True lets the
  // system set the focus.
  virtual bool OnInitDialog() { return true; }
  // The defaults end the dialog with the button's id for OK (1) and
  // cancel (2).
  bool OnCommand(int id, int code, HWND control) override;
  // Every message before it is cracked; true when handled, with `result`
  // as the answer.  For the messages whose answer a dialog procedure
  // returns itself (ReturnsResultDirectly), `result` is that answer.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) { return false; }
  // A modeless dialog's look at a message for it or one of its controls,
  // before the message loop's IsDialogMessage: true when it took it (the
  // target window's Delete key).
  virtual bool PreTranslate(MSG& message) { return false; }

  // The message procedure behind every dialog and page, once the object
  // has been found for its window.
  static INT_PTR Route(Dialog* self, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  friend bool TranslateDialogMessage(MSG& message);
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  int templateId_;
  bool modal_ = false;
  bool modeless_ = false;
};

// Whether a dialog procedure returns its answer to `message` itself instead
// of through DWLP_MSGRESULT: the WM_CTLCOLOR* messages, WM_COMPAREITEM,
// WM_VKEYTOITEM, WM_CHARTOITEM, WM_QUERYDRAGICON and WM_INITDIALOG.
bool ReturnsResultDirectly(UINT message);

// ---- property sheets and wizards

// One page of a PropertySheet: a dialog template (WS_CHILD, no caption
// needed) whose window the sheet creates when the page is first shown, so
// the page's controls exist only from then on; keep values in members and
// read the controls in OnKillActive or OnApply.
class PropertyPage : public Dialog {
 public:
  // `title` replaces the template's caption on the tab when given.
  explicit PropertyPage(int templateId, std::string title = std::string());

  // The sheet's window, while the page's window exists.
  HWND Sheet() const { return Handle() ? GetParent(Handle()) : nullptr; }
  // Enables or disables the sheet's "apply" button for this page.
  void SetModified(bool modified = true);
  // Wizard buttons (PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH), usually
  // set in OnSetActive.
  void SetWizardButtons(DWORD buttons);

 protected:
  // The page becomes the shown one; false keeps it from being shown.
  virtual bool OnSetActive() { return true; }
  // The page is left (another tab, OK, a wizard button): false keeps it
  // shown, after the page has told the user why.
  virtual bool OnKillActive() { return true; }
  // OK or apply: take the values; false keeps the sheet open on this page.
  virtual bool OnApply() { return true; }
  // Cancel.
  virtual void OnReset() {}
  // The help button of the sheet.
  virtual void OnHelp() {}
  // Wizard buttons: 0 goes to the next (previous) page, -1 stays, another
  // value is the template id of the page to go to.
  virtual int OnWizardNext() { return 0; }
  virtual int OnWizardBack() { return 0; }
  // Finish: false keeps the wizard open.
  virtual bool OnWizardFinish() { return true; }

  bool RouteNotify(NMHDR& header, LRESULT& result) override;

 private:
  friend class PropertySheet;
  static INT_PTR CALLBACK PageProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  std::string title_;
  class PropertySheet* sheet_ = nullptr;
};

// A modal tabbed sheet, or a wizard, of PropertyPages.
class PropertySheet {
 public:
  explicit PropertySheet(std::string title) : title_(std::move(title)) {}
  PropertySheet(const PropertySheet&) = delete;
  PropertySheet& operator=(const PropertySheet&) = delete;

  // Pages in tab order; they must outlive DoModal.
  void AddPage(PropertyPage& page);
  // A wizard: Back, Next and Finish instead of tabs, OK and cancel.
  void SetWizard(bool wizard) { wizard_ = wizard; }
  // A help button that asks the shown page (OnHelp).
  void SetHelpButton(bool shown) { help_ = shown; }
  void SetStartPage(int index) { startPage_ = index; }

  // Runs the sheet; true when it was closed with OK (or Finish) and every
  // page that was shown accepted it.
  bool DoModal(HWND owner);

  // While it runs: its window, the shown page and the buttons.
  HWND Handle() const { return hwnd_; }
  int ActivePage() const;
  bool SelectPage(int index);
  // Presses a button as the user would: PSBTN_OK, PSBTN_CANCEL,
  // PSBTN_NEXT, PSBTN_BACK, PSBTN_FINISH, PSBTN_APPLYNOW, PSBTN_HELP.
  void Press(int button);

  // The sheet that runs, for the tests that drive it: the innermost one.
  static PropertySheet* Current();

 private:
  friend class PropertyPage;
  static int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM lParam);
  std::string title_;
  std::vector<PropertyPage*> pages_;
  bool wizard_ = false;
  bool help_ = false;
  int startPage_ = 0;
  HWND hwnd_ = nullptr;
  bool accepted_ = false;
};

// ---- controls

// A control declared in the owner's template, taken over by id.  Attached
// controls see their own WM_NOTIFY messages before the owner's OnNotify;
// what they leave reaches it.
class Control {
 public:
  Control() = default;
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // Takes control `id` of the owner's window (each time it is created,
  // from OnInitDialog); false when there is no such control.
  bool Attach(WindowBase& owner, int id);
  HWND Handle() const { return hwnd_; }

 protected:
  virtual bool OnNotify(NMHDR& header, LRESULT& result) { return false; }

 private:
  friend class WindowBase;
  void Detach();
  HWND hwnd_ = nullptr;
  WindowBase* owner_ = nullptr;
};

// A column of a report list view.
struct ListColumn {
  const char* header;
  int format = LVCFMT_LEFT;  // LVCFMT_LEFT or LVCFMT_RIGHT
  int width = kHeaderWidth;  // pixels
  // As wide as the header text plus 15 pixels.
  static constexpr int kHeaderWidth = -1;
};

// A report list view.  Declared LVS_OWNERDATA in the template it is
// virtual: it holds only a row count and asks CellText (and RowImage) for
// what it shows, ANSI or wide requests alike.  Without LVS_OWNERDATA it
// holds items (AddItem).
class ListView : public Control {
 public:
  using CellText = std::function<std::string(int row, int column)>;
  using RowImage = std::function<int(int row)>;

  // Adds the columns in order (after those already there).
  void SetColumns(std::span<const ListColumn> columns);
  // LVS_EX_* styles, such as LVS_EX_FULLROWSELECT.
  void SetExtendedStyle(DWORD style);
  // The image list shown for the rows; the caller keeps it (the list is
  // made to share it, not to destroy it).
  void SetImageList(HIMAGELIST images, int which = LVSIL_SMALL);

  // Virtual lists.
  void SetCellText(CellText text) { cellText_ = std::move(text); }
  void SetRowImage(RowImage image) { rowImage_ = std::move(image); }
  // The number of rows; the rows shown are asked for again.
  void SetRowCount(int rows);
  // Asks again for the rows first..last as they are shown.
  void RedrawRows(int first, int last);

  // Lists with items.
  int AddItem(const std::string& text, LPARAM data = 0);
  LPARAM ItemData(int row) const;
  void Clear();

  int RowCount() const;
  int FocusedRow() const;  // -1: none
  std::vector<int> SelectedRows() const;
  void SelectRow(int row, bool selected = true);
  // The text the list shows in a cell (for a virtual list, asked of
  // CellText through the list as for painting).
  std::string ShownText(int row, int column) const;

 protected:
  bool OnNotify(NMHDR& header, LRESULT& result) override;

 private:
  CellText cellText_;
  RowImage rowImage_;
};

// A tree view.  Items carry a number (LPARAM) for their owner.
class TreeView : public Control {
 public:
  // Called with the newly selected item (TVN_SELCHANGED, ANSI or wide).
  using SelectionHandler = std::function<void(HTREEITEM item, LPARAM data)>;

  void SetImageList(HIMAGELIST images);
  void SetSelectionHandler(SelectionHandler handler) { onSelect_ = std::move(handler); }
  // Appends an item under `parent` (null: at the top); image -1: none.
  HTREEITEM Add(HTREEITEM parent, const std::string& text, LPARAM data = 0, int image = -1,
                int selectedImage = -1);
  void Clear();
  void Expand(HTREEITEM item);
  bool Select(HTREEITEM item);

  HTREEITEM Selected() const;
  HTREEITEM Root() const;
  HTREEITEM FirstChild(HTREEITEM item) const;
  HTREEITEM NextSibling(HTREEITEM item) const;
  int Count() const;
  std::string Text(HTREEITEM item) const;
  LPARAM Data(HTREEITEM item) const;
  bool IsExpanded(HTREEITEM item) const;

 protected:
  bool OnNotify(NMHDR& header, LRESULT& result) override;

 private:
  SelectionHandler onSelect_;
};

// What list boxes and combo boxes share: items with texts and numbers, and
// a selection.  Used through ListBox and ComboBox, made from the control's
// window (for instance `ListBox files(Item(1033))`).
class ItemControl {
 public:
  HWND Handle() const { return hwnd_; }
  // The index the item got (sorted controls insert in order); -1 on
  // failure.
  int Add(const std::string& text, LPARAM data = 0);
  void Remove(int index);
  void Clear();
  int Count() const;
  std::string Text(int index) const;
  LPARAM Data(int index) const;
  // The selected index (single selection), -1 for none.
  int Selection() const;
  void Select(int index);
  // Selects the item with exactly this text; false when there is none.
  bool SelectText(const std::string& text);

  // The control's own messages for each of these.
  struct Messages {
    UINT add, remove, reset, count, textLength, text, getData, setData, getSelection, setSelection;
  };

 protected:
  ItemControl(HWND hwnd, const Messages& messages) : hwnd_(hwnd), messages_(messages) {}

 private:
  HWND hwnd_;
  const Messages& messages_;
};

class ListBox : public ItemControl {
 public:
  explicit ListBox(HWND hwnd = nullptr);
  // Multiple or extended selection.
  std::vector<int> SelectedIndexes() const;
  void SetHorizontalExtent(int pixels);
};

class ComboBox : public ItemControl {
 public:
  explicit ComboBox(HWND hwnd = nullptr);
};

// A scroll bar control (SBS_HORZ or SBS_VERT), by its window.
class ScrollBar {
 public:
  explicit ScrollBar(HWND hwnd = nullptr) : hwnd_(hwnd) {}
  void SetRange(int min, int max);
  void SetPosition(int position);
  int Position() const;
  // The position a WM_HSCROLL / WM_VSCROLL from this bar asks for: one step
  // for an arrow or a page click, the thumb's place while it is dragged,
  // the ends for Home and End; within the range.
  int Requested(WPARAM wParam) const;

 private:
  HWND hwnd_;
};

// An up-down (spin) control, by its window; its buddy is set in the
// template (UDS_AUTOBUDDY | UDS_SETBUDDYINT).
class SpinButton {
 public:
  explicit SpinButton(HWND hwnd = nullptr) : hwnd_(hwnd) {}
  void SetRange(int min, int max);
  void SetPosition(int position);
  int Position() const;

 private:
  HWND hwnd_;
};

// ---- owned handles

// Owns a handle and frees it with `Free` when it goes.
template <class H, auto Free>
class Unique {
 public:
  Unique() = default;
  explicit Unique(H handle) : handle_(handle) {}
  ~Unique() { Reset(); }
  Unique(Unique&& other) noexcept : handle_(other.Release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  H Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  H Release() {
    H handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void Reset(H handle = nullptr) {
    if (handle_) Free(handle_);
    handle_ = handle;
  }

 private:
  H handle_ = nullptr;
};
// Icons from LoadImage (not shared) or CreateIcon*; menus from LoadMenu or
// CreatePopupMenu; brushes, pens, fonts and bitmaps.
using UniqueIcon = Unique<HICON, &DestroyIcon>;
using UniqueMenu = Unique<HMENU, &DestroyMenu>;
using UniqueBrush = Unique<HBRUSH, &DeleteObject>;
using UniqueGdiObject = Unique<HGDIOBJ, &DeleteObject>;
using UniqueMemoryDC = Unique<HDC, &DeleteDC>;

// The DC of a window's client area (GetDC), released when it goes.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A program icon from the resources at a size (0: the system's small icon
// size), owned.
UniqueIcon LoadProgramIcon(int id, int size = 0);

// An image list of small masked icons.
class ImageList {
 public:
  ImageList() = default;
  ~ImageList();
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;

  // 16 x 16 images with mask, growing by `grow`.
  bool Create(int grow = 10);
  HIMAGELIST Handle() const { return list_; }
  // Adds a copy of `icon`; returns its index, -1 on failure.
  int AddIcon(HICON icon);
  // Adds an icon of the program's resources.
  int AddProgramIcon(int id);
  int Count() const;

 private:
  HIMAGELIST list_ = nullptr;
};

// ---- work for a window's thread

// Any thread can hand work to the thread that owns a window: the task goes
// into that thread's locked queue, and a WM_APP message posted to a hidden
// message-only window makes whatever message loop the thread runs (ours, a
// dialog's, a menu's, a message box's) carry it out.  A task runs only
// while its window exists: one for a window that is gone, or being
// destroyed, is dropped.  A thread takes tasks once it has created one of
// our windows or dialogs, or called PrepareUiThread.

// Lets the calling thread take tasks.
void PrepareUiThread();
// Queues `task` for the thread of `window` and returns at once; false when
// that thread takes no tasks or the window is gone.
bool PostUiTask(HWND window, std::function<void()> task);
// Runs `task` on the thread of `window` and waits until it has run; on that
// thread itself it runs at once.  False when it did not run to its end: the
// window is gone, or it was destroyed while the caller waited.  The
// destruction of a window releases every thread waiting on it, even while
// its task still runs (a message box the task shows), so that a window that
// waits for a worker while it is destroyed never waits for a worker that
// waits for it.  A released task goes on after its caller has left: it must
// own what it uses (capture by value); results come back through CallUiTask.
bool RunUiTask(HWND window, std::function<void()> task);
// RunUiTask for a task with a result: the result, or none when it did not
// run to its end.
template <class R>
std::optional<R> CallUiTask(HWND window, std::function<R()> task) {
  auto result = std::make_shared<std::optional<R>>();
  bool ran = RunUiTask(window, [task = std::move(task), result] { *result = task(); });
  if (!ran) return std::nullopt;
  return *result;
}

// ---- the message loop

// The message loop of a user-interface thread, until WM_QUIT; returns its
// code.  Messages for an open modeless dialog go through its PreTranslate
// and IsDialogMessage.
int RunMessageLoop();
// Dispatches every message waiting for this thread in the same way; false
// when one of them was WM_QUIT (which is not dispatched).
bool PumpWaitingMessages();
// The modeless dialogs' part of the loop for one message: true when a
// dialog took it (then it is not to be dispatched).
bool TranslateDialogMessage(MSG& message);

// ---- message boxes, the shell's dialogs, menus

// Message boxes.  Every box the program shows goes through ShowMessage; a
// responder, when set, answers instead of a real box (the tests script the
// answers this way).
using MessageResponder =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, unsigned style)>;
void SetMessageResponder(MessageResponder responder);
int ShowMessage(HWND owner, const std::string& text, const std::string& caption, unsigned style);

// The engine's questions and messages as message boxes owned by a window,
// asked on that window's thread whichever thread asks: a worker waits for
// the answer.  When the window is destroyed before it answers, the answer is
// the one of a dismissed box (cancel, no, or OK).
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

// The shell's dialogs and services.  Each member of a responder, when set,
// answers instead of the shell (the tests script them this way); an unset
// member leaves that one to the shell.
struct ShellResponder {
  // The folder browser: the chosen folder, or none for cancel.
  std::function<std::optional<std::string>(HWND owner)> browseFolder;
  // The file chooser: the chosen files, or none for cancel.
  std::function<std::optional<std::vector<std::string>>(HWND owner, const std::string& filter)> chooseFiles;
  // A special folder by CSIDL number (empty when unknown); none leaves
  // this one to the shell.
  std::function<std::optional<std::string>(int csidl)> specialFolder;
  // Opening a path with a verb ("open"; empty for the default verb).
  std::function<void(const std::string& path, const std::string& verb)> open;
  // The program the shell opens a file with (empty when none); none leaves
  // this one to the shell.
  std::function<std::optional<std::string>(const std::string& path)> associatedProgram;
};
void SetShellResponder(ShellResponder responder);

// The shell's folder browser, titled "フォルダまたはドライブを選んでください",
// file-system folders only; false when the user cancels.
bool BrowseFolder(HWND owner, std::string& folder);
// The file-open chooser, several files at once, the read-only box hidden.
// `filter` is written "全てのファイル|*.*||".  Full paths in the order the
// chooser gives them; false when the user cancels.
bool ChooseFiles(HWND owner, const std::string& filter, std::vector<std::string>& files);
// A special folder of the shell (CSIDL number, CSIDL_WINDOWS too), without a
// trailing "\"; empty when unknown.
std::string SpecialFolder(int csidl);
// Opens a path with a verb of the shell (null: its default verb), shown
// normally.
void ShellOpen(const std::string& path, const char* verb = "open");
// The program the shell opens `path` with; empty when there is none.
std::string AssociatedProgram(const std::string& path);
// Opens a page beside the executable ("readme.htm", "help\taisyo.htm").
void OpenHelpPage(const std::string& relativePath);
// Creates or overwrites a shell shortcut; 0 on success, else the system's
// result code.
long CreateShellLink(const std::string& target, const std::string& shortcut,
                     const std::string& arguments, const std::string& description,
                     const std::string& workingFolder, const std::string& iconPath, int iconIndex);
// Makes an edit control take files dropped on it: its text becomes the
// path of the first dropped item and the owner hears an ordinary change.
void AcceptDroppedPath(HWND edit);
// The paths of a drop (WM_DROPFILES), in drop order; the drop is not
// released.
std::vector<std::string> DroppedPaths(HDROP drop);

// Pop-up menus.  TrackMenu shows `menu` at a screen point for `owner` and
// returns the chosen command (0: none); a responder, when set, chooses
// instead of the user.
using MenuResponder = std::function<int(HWND owner, HMENU menu)>;
void SetMenuResponder(MenuResponder responder);
int TrackMenu(HWND owner, HMENU menu, POINT at, UINT flags = TPM_RIGHTBUTTON);

}  // namespace plat

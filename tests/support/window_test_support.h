// Helpers for the test programs that drive quz's windows in-process under
// Wine: pumping messages, acting from inside a modal loop, reading what
// windows show, handing them dropped files, answering message boxes, the
// shell's dialogs and pop-up menus from a script, and a fixture with a
// display and a program folder of its own.  Windows only.
#pragma once

#ifndef _WIN32
#error "window tests run only on Windows"
#endif

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_wnd.h"
#include "catalogue/file_list_file.h"
#include "engine/check.h"
#include "platform/window.h"
#include "tests/support/test_support.h"

namespace quztest {

// Dispatches every waiting message of this thread as the program's message
// loop does.  A WM_QUIT (from a destroyed main window) is dropped: it must
// not end a later modal loop.
void Pump();
// Pumps until `done` holds; false after `timeoutMs` (a hung window fails the
// test instead of hanging it).
bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs = 60000);
// Pumps for a while.
void PumpFor(uint32_t ms);

// Runs `action` from inside the next modal loop of this thread (a dialog's,
// a sheet's, a message box's, a menu's): a thread timer's message is
// dispatched by whatever loop runs.  The timer goes with the object, so an
// action that no loop ran is not left for a later one.
class WhileModal {
 public:
  explicit WhileModal(std::function<void()> action);
  ~WhileModal();
  WhileModal(const WhileModal&) = delete;
  WhileModal& operator=(const WhileModal&) = delete;
  bool Ran() const { return ran_; }

 private:
  static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD);
  std::function<void()> action_;
  UINT_PTR timer_ = 0;
  bool ran_ = false;
};

// Runs each step inside the next modal loop of this thread, one after the
// other: a step that ends its dialog leaves the next step to the dialog (or
// box) that follows.
class ModalSteps {
 public:
  explicit ModalSteps(std::vector<std::function<void()>> steps) : steps_(std::move(steps)) { Arm(); }
  // Every step ran.
  bool Done() const { return next_ == steps_.size() && waiting_.back()->Ran(); }

 private:
  void Arm() {
    if (next_ == steps_.size()) return;
    std::function<void()> step = steps_[next_++];
    waiting_.push_back(std::make_unique<WhileModal>([this, step] {
      Arm();
      step();
    }));
  }
  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
  std::vector<std::unique_ptr<WhileModal>> waiting_;
};

std::string WindowText(HWND window);
// Presses a dialog's button as a click does: BN_CLICKED from the button.
void Click(HWND dialog, int id);
inline bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
// The text of a list view cell, as the list shows it.
std::string ListCell(HWND list, int row, int column);
// A drop of files as the shell hands it over with WM_DROPFILES; the
// receiver releases it.
HDROP MakeDrop(const std::vector<std::string>& paths);

// While it lives, answers every message box, shell dialog and pop-up menu
// of the process from a script and records what was asked.
class ScriptedUi {
 public:
  struct Box {
    std::string text, caption;
    unsigned style = 0;
    DWORD thread = 0;  // the thread that showed it
  };

  ScriptedUi();
  ~ScriptedUi();

  // Answers in order; when none is left, the box's first button.
  void QueueAnswer(int answer) { Add(answers_, answer); }
  // The folder browser's answers in order (none: cancel); when none is
  // left, cancel.
  void QueueFolder(std::optional<std::string> folder) { Add(folders_, std::move(folder)); }
  // The file chooser's answers in order; when none is left, cancel.
  void QueueFiles(std::optional<std::vector<std::string>> files) { Add(files_, std::move(files)); }
  // The commands chosen from pop-up menus in order; when none is left, none.
  void QueueMenuCommand(int command) { Add(menuCommands_, command); }
  // A special folder as the shell would give it; the others are the
  // shell's own.
  void SetSpecialFolder(int csidl, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    specialFolders_[csidl] = path;
  }
  // The program associated with a path; unset (or answering none), the
  // shell's own answer.
  std::function<std::optional<std::string>(const std::string& path)> associatedProgram;

  std::vector<Box> Boxes() const { return Copy(boxes_); }
  // What was opened through the shell: path and verb ("" the default).
  std::vector<std::pair<std::string, std::string>> Opened() const { return Copy(opened_); }
  // The item texts of each pop-up menu shown.
  std::vector<std::vector<std::string>> Menus() const { return Copy(menus_); }
  int FoldersAsked() const { return Copy(foldersAsked_); }
  std::vector<std::string> FileFiltersAsked() const { return Copy(filters_); }

 private:
  // The responders run on whichever thread shows a box or a dialog.
  template <class T, class V>
  void Add(std::deque<T>& queue, V&& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue.push_back(std::forward<V>(value));
  }
  template <class T>
  T Copy(const T& member) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return member;
  }
  mutable std::mutex mutex_;
  std::deque<int> answers_, menuCommands_;
  std::deque<std::optional<std::string>> folders_;
  std::deque<std::optional<std::vector<std::string>>> files_;
  std::map<int, std::string> specialFolders_;
  std::vector<Box> boxes_;
  std::vector<std::pair<std::string, std::string>> opened_;
  std::vector<std::vector<std::string>> menus_;
  std::vector<std::string> filters_;
  int foldersAsked_ = 0;
};

// A test that drives windows: it needs a display; its program folder (where
// quz finds "quz.ini" and its other files) is `dir`, holding a "quz.ini"
// that names the save folder SaveFolder(); `ui` answers what the windows
// ask.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string SaveFolder() const { return dir / "Save\\"; }

  TempDir dir;
  ScriptedUi ui;
};

// A test over the resident program's main window, made by Start() over the
// catalogue file (when one is given) with its loaders done; its end ends no
// message loop, and a check it left running is waited for.
class MainWindowTest : public WindowTest {
 protected:
  class MainWnd : public quz::CMainWnd {
   public:
    MainWnd() { SetQuitOnDestroy(false); }
    void Command(int id) { SendMessageA(Handle(), WM_COMMAND, id, 0); }
  };
  void Start(const std::optional<std::string>& catalogue = std::nullopt) {
    if (catalogue) WriteFile(dir / quz::kFileListName, *catalogue);
    main = std::make_unique<MainWnd>();
    ASSERT_TRUE(main->Create());
    if (main->Context().loader) main->Context().loader->Join();
  }
  void TearDown() override {
    if (main) {
      EXPECT_TRUE(quz::WaitForCheck(main->Context(), 60000));
    }
    main.reset();
    WindowTest::TearDown();
  }
  // A catalogue line.
  static std::string Line(const std::string& path, int saveType, int savedTime = 0) {
    return path + "<" + std::to_string(savedTime) + "<" + std::to_string(saveType) + "<0\r\n";
  }

  std::unique_ptr<MainWnd> main;
};

}  // namespace quztest

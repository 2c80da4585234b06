// The hidden main window of the resident program: it owns the catalogue,
// the generation index, the rules, the run-time state and the check
// context for the whole run, shows the tray icon and its command menu, and
// runs the check scheduler on its timers.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/error_log.h"
#include "app/run_state.h"
#include "app/tray_icon_wnd.h"
#include "catalogue/file_list.h"
#include "catalogue/generation_index.h"
#include "catalogue/rules.h"
#include "engine/check.h"
#include "engine/watcher.h"
#include "platform/window.h"
#include "settings/sheet_values.h"

namespace quz {

// Timers of the main window.
inline constexpr UINT_PTR kIntervalTimer = 3;
inline constexpr UINT_PTR kAnimationTimer = 6;
inline constexpr UINT_PTR kEmptyListTimer = 7;
inline constexpr UINT_PTR kStartCheckTimer = 8;

// The message shown when "FileList.txt" cannot be read at start: the file's
// path, this text, the system's reason, then the second text.
extern const char kCatalogueUnreadableText[];
extern const char kCatalogueKeptText[];
// Which window opened from the menu is open: 0 none, 1 the target window
// while it is being shown, then each modal window by its number.  Windows
// open only while it is 0 and exit is refused while it is not; from the
// restore window on (4 or more) checks are blocked too.
enum ModalWindow : int32_t {
  kModalNone = 0,
  kModalOpeningTargets = 1,
  kModalVersion = 2,
  kModalRestore = 4,
  kModalExport = 5,
  kModalHistory = 6,
  kModalImport = 7,
  kModalSettings = 8,
};

class CMainWnd : public CTrayIconWnd {
 public:
  // Reads the settings, settles the save folder and starts the generation
  // index loader.
  CMainWnd();
  // Writes the settings kept in memory.
  ~CMainWnd() override;

  // Creates the hidden window, then adds the tray icon, loads the
  // catalogue, starts the timers and (when switched on) the change watcher.
  bool Create() override;

  // Clears stopRequested and starts a check when allowed.
  bool CheckNow();
  // Starts a whole check on its own thread unless a window that blocks
  // checks is open, a check runs or the change watcher checks changed files.
  bool StartCheck();

  int32_t ModalState() const { return modalState_; }
  // Records which window is open, and blocks checks while it is one of
  // the restore window and those after it.
  void SetModalState(int32_t window);

  void OnTrayRightClick() override;
  void OnTrayDoubleClick() override;

  // Writes "チェック間隔", "quz保存先フォルダ" and the generation values
  // that differ from the file.
  void WriteSettings();

  RunState& State() { return state_; }
  CFileList& FileList() { return list_; }
  CheckContext& Context() { return *context_; }
  int32_t CheckInterval() const { return checkInterval_; }
  // Whether the last shutdown had to leave a check (or the change watcher)
  // running.
  bool CheckAbandoned() const { return checkAbandoned_; }
  // The change watcher; none when the setting was off at start.
  CChangeWatcher* Watcher() { return watcher_.get(); }
  // How long shutdown waits for the check thread and for the watcher.
  void SetShutdownWaits(uint32_t checkMs, uint32_t watcherMs) {
    checkWaitMs_ = checkMs;
    watcherWaitMs_ = watcherMs;
  }
  // Whether the window's destruction ends the message loop.
  void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }
  // The target window; none before Create or while there is none.
  plat::Dialog* TargetWindow() { return targets_.get(); }

  // The settings sheet ("設定全般"): the values it opens with (those in
  // memory, the exclusion switches as stored, the generation statistics),
  // and taking back those of an accepted sheet.
  SettingsValues CurrentSettings();
  void ApplySettings(const SettingsValues& edited);
  const CRuleTable& Rules() const { return rules_; }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnTimer(UINT_PTR id) override;
  bool OnCommand(int id, int code, HWND control) override;
  // Tracks the command menu at the cursor; the chosen command arrives as a
  // command message.
  virtual void TrackCommandMenu(HMENU menu, POINT at);
  // Runs a window opened from the menu.
  virtual INT_PTR RunDialog(plat::Dialog& dialog);
  // Runs `open`, which opens a window from the menu: nothing while another
  // one is open; the modal state holds `window` while it is open, and is
  // cleared however `open` ends.
  void RunModal(int32_t window, const std::function<void()>& open);
  // Shows the target window (command 32772).
  void ShowTargets();

  // The windows of the command menu, one place each (app/menu_windows.cpp).
  // The target window: made once with the main window, created hidden.
  virtual std::unique_ptr<plat::Dialog> MakeTargetWindow();
  void OpenHistoryWindow();
  void OpenRestoreWindow();
  void OpenExportWindow();
  void OpenImportWindow();
  void OpenSettingsWindow();
  void OpenVersionWindow();

  // The change watcher runs while the program runs when "TidemarkTechnology
  // の利用" was on at start.
  void StartWatcher();
  void StopWatcher();

 private:
  void InitialiseTray();
  // Tells the user that the catalogue file could not be read, and why.
  void ReportUnreadableCatalogue();
  void StartTimers();
  void Animate();
  void Shutdown();
  // Runs `work` on a thread of its own while this thread goes on
  // dispatching its messages, so that the tray stays alive; returns when
  // it has ended.
  void RunWhileResponsive(const std::function<void()>& work);

  RunState state_;
  CFileList list_;
  CRuleTable rules_;
  CGenerationIndex index_;
  plat::WindowInteraction ui_;
  CFailureLog failureLog_;
  std::unique_ptr<CheckContext> context_;
  std::unique_ptr<CChangeWatcher> watcher_;
  std::unique_ptr<plat::Dialog> targets_;

  plat::UniqueIcon trayIcons_[9];
  int32_t checkInterval_ = 300;
  bool checkAtStartOnly_ = false;
  bool useChangeWatcher_ = false;
  int32_t maxGenerations_ = 0;
  int32_t minimumTime_ = 0;
  int32_t minimumTimeOn_ = 0;
  int32_t modalState_ = kModalNone;
  int32_t animationStep_ = 0;
  bool idleShown_ = false;
  bool trayAdded_ = false;
  bool checkAbandoned_ = false;
  bool quitOnDestroy_ = true;
  uint32_t checkWaitMs_ = 30000;
  uint32_t watcherWaitMs_ = 30000;
};

}  // namespace quz

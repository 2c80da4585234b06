#include "app/main_wnd.h"

#include <cstdio>

#include "app/dialogs.h"
#include "app/error_log.h"
#include "app/paths.h"
#include "app/settings.h"
#include "app/settings_keys.h"
#include "app/status_text.h"
#include "app/text.h"
#include "catalogue/file_list_file.h"
#include "engine/generations.h"
#include "engine/history.h"
#include "restore/reassembly.h"
#include "resources/resource.h"

namespace quz {

const char kCatalogueUnreadableText[] = "\r\nを読み込めませんでした\r\n\r\n";
const char kCatalogueKeptText[] =
    "\r\n\r\n登録内容を失わないよう、終了するまでこのファイルには書き込みません";

CMainWnd::CMainWnd() : list_(&state_) {
  LoadRules(rules_, kSettingsFile);
  list_.SetClassifier([this](const std::string& path) { return Classify(rules_, path); });
  context_ = std::make_unique<CheckContext>(list_, index_, state_, &ui_);
  // What a check could not save goes to the log, for the user and for
  // support, once a day while it lasts; the checks stay silent towards the
  // user.
  context_->reportFailure = [this](const std::string& path, const std::string& reason) {
    failureLog_.Report(path, reason, plat::Now());
  };
  context_->reportSetAside = [this](const std::string& path) {
    failureLog_.Report(path, kDamagedFragmentText, plat::Now());
  };

  // The index loader reads the folder as it is in memory: with its "\".
  state_.saveFolder = SettledSaveFolder();
  StartIndexLoader(index_, state_, context_->loader);
  CreateSaveFolder(state_.saveFolder);

  std::string interval = ReadSetting(kSettingsFile, kIntervalKey);
  checkInterval_ = interval.empty() ? 300 : SettingToInt(interval);
  checkAtStartOnly_ = ReadIntSetting(kSettingsFile, kAtStartOnlyKey) != 0;
  useChangeWatcher_ = ReadIntSetting(kSettingsFile, kChangeWatcherKey) != 0;
  maxGenerations_ = ReadIntSetting(kSettingsFile, kMaxGenerationsKey);
  minimumTime_ = ReadIntSetting(kSettingsFile, kMinimumTimeKey);
  minimumTimeOn_ = ReadIntSetting(kSettingsFile, kMinimumTimeOnKey);
  context_->maxGenerations = maxGenerations_;
  state_.stopRequested = 0;
  state_.progress = -1;
}

CMainWnd::~CMainWnd() {
  Destroy();
  WriteSettings();
  // The context waits for the index loader; the check thread was stopped
  // (or the caller kept this object alive because it was not).
  context_.reset();
}

void CMainWnd::WriteSettings() {
  WriteIntSetting(kSettingsFile, checkInterval_, kIntervalKey);
  WriteSetting(kSettingsFile, state_.saveFolder, kSaveFolderKey);
  const std::pair<const char*, int32_t> generationValues[] = {
      {kMaxGenerationsKey, maxGenerations_}, {kMinimumTimeKey, minimumTime_}, {kMinimumTimeOnKey, minimumTimeOn_}};
  for (const auto& [key, value] : generationValues)
    if (ReadIntSetting(kSettingsFile, key) != value) WriteIntSetting(kSettingsFile, value, key);
}

bool CMainWnd::Create() {
  if (!CTrayIconWnd::Create()) return false;
  ui_.SetOwner(Handle());
  InitialiseTray();
  if (!LoadFileList(list_)) ReportUnreadableCatalogue();
  StartTimers();
  targets_ = MakeTargetWindow();
  if (targets_ && !targets_->CreateModeless(Handle())) targets_.reset();
  if (useChangeWatcher_) StartWatcher();
  return true;
}

void CMainWnd::ReportUnreadableCatalogue() {
  // The list stays empty and is never saved (the catalogue refuses it), so
  // the file keeps everything it holds until it can be read again.
  std::string reason = LastErrorText("");
  plat::ShowMessage(Handle(), ExePath(kFileListName) + kCatalogueUnreadableText + reason + kCatalogueKeptText, "quz",
              plat::kButtonsOk | plat::kIconWarning);
}

void CMainWnd::InitialiseTray() {
  for (int i = 0; i < 9; ++i) trayIcons_[i] = plat::LoadProgramIcon(i < 8 ? IDI_ANIMATION_FIRST + i : IDI_IDLE);
  for (;;) {
    BOOL result = NotifyTray(kTrayAdd, trayIcons_[8].Get(), "quz - 初期化処理中...");
    if (result) {
      trayAdded_ = true;
      return;
    }
    char text[80];
    std::snprintf(text, sizeof text, "%d,%d,%d", static_cast<int>(reinterpret_cast<intptr_t>(Handle())),
                  static_cast<int>(reinterpret_cast<intptr_t>(trayIcons_[8].Get())), static_cast<int>(result));
    if (plat::ShowMessage(Handle(), text, "アイコン登録失敗", plat::kButtonsRetryCancel | plat::kIconWarning) !=
        plat::kAnswerRetry)
      return;
  }
}

void CMainWnd::StartTimers() {
  if (checkInterval_ != 0 && !checkAtStartOnly_) StartTimer(kIntervalTimer, static_cast<UINT>(checkInterval_) * 1000);
  if (checkAtStartOnly_) StartTimer(kStartCheckTimer, 10000);
  StartTimer(kAnimationTimer, 100);
  StartTimer(kEmptyListTimer, 300);
}

// The change watcher runs on its own thread from here while the program
// runs, when "TidemarkTechnologyの利用" was on at start; StopWatcher waits
// for it within the shutdown bound.
void CMainWnd::StartWatcher() {
  if (watcher_) return;
  watcher_ = std::make_unique<CChangeWatcher>(*context_);
  watcher_->watcherWaitMs = watcherWaitMs_;
  if (!watcher_->Start()) watcher_.reset();
}

void CMainWnd::StopWatcher() {
  if (!watcher_) return;
  watcher_->Stop();
  // Threads that outlived the wait still use the check context: the main
  // window must then stay, as after an abandoned check.
  if (watcher_->WatcherRunning() || watcher_->WorkerRunning()) checkAbandoned_ = true;
}

bool CMainWnd::CheckNow() {
  state_.stopRequested = 0;
  return StartCheck();
}

bool CMainWnd::StartCheck() { return StartFullCheck(*context_); }

void CMainWnd::SetModalState(int32_t window) {
  modalState_ = window;
  state_.checksBlocked = window >= kModalRestore;
}

void CMainWnd::OnTimer(UINT_PTR id) {
  switch (id) {
    case kIntervalTimer:
      CheckNow();
      break;
    case kAnimationTimer:
      Animate();
      break;
    case kEmptyListTimer:
      StopTimer(kEmptyListTimer);
      if (list_.Count() == 0) ShowTargets();
      break;
    case kStartCheckTimer:
      StopTimer(kStartCheckTimer);
      CheckNow();
      break;
  }
}

void CMainWnd::Animate() {
  // A folder check leaves the catalogue changed; it is written here, on
  // this thread, once no check is changing it any more.  The target window
  // does this itself (and rebuilds its rows) while there is one.
  if (!targets_ && state_.catalogueChanged.load() && context_->checkRunning.load() == 0 &&
      state_.changeCheckRunning.load() == 0) {
    state_.catalogueChanged = 0;
    SaveFileList(list_);
  }

  int32_t progress = state_.progress.load();
  int32_t ready = state_.generationReady.load();
  if (progress == -1 && animationStep_ % 8 == 0 && ready == 1) {
    if (!idleShown_) {
      NotifyTray(kTrayModify, trayIcons_[8].Get(), IdleTrayText().c_str());
      idleShown_ = true;
    }
    return;
  }
  idleShown_ = false;
  std::string text = BusyTrayText(progress, list_.Count(), ready);
  NotifyTray(kTrayModify, trayIcons_[animationStep_ % 8].Get(), text.c_str());
  ++animationStep_;
}

void CMainWnd::OnTrayRightClick() {
  POINT at{};
  GetCursorPos(&at);
  plat::UniqueMenu menu(LoadMenuA(plat::ResourceInstance(), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
  if (!menu) return;
  HMENU commands = GetSubMenu(menu.Get(), 0);
  SetMenuDefaultItem(commands, ID_SHOW_TARGETS, FALSE);
  // In the foreground, so that the menu closes when the user clicks
  // elsewhere.
  SetForegroundWindow(Handle());
  TrackCommandMenu(commands, at);
}

void CMainWnd::TrackCommandMenu(HMENU menu, POINT at) {
  if (int command = plat::TrackMenu(Handle(), menu, at)) PostMessageA(Handle(), WM_COMMAND, command, 0);
}

void CMainWnd::OnTrayDoubleClick() {
  SetForegroundWindow(Handle());
  ShowTargets();
}

void CMainWnd::ShowTargets() {
  // The target window is modeless; modalState says "being opened" only
  // while it is made visible.
  if (modalState_ != kModalNone) return;
  SetModalState(kModalOpeningTargets);
  if (targets_ && targets_->Handle()) {
    ShowWindow(targets_->Handle(), SW_SHOW);
    SetForegroundWindow(targets_->Handle());
  }
  SetModalState(kModalNone);
}

INT_PTR CMainWnd::RunDialog(plat::Dialog& dialog) { return dialog.DoModal(Handle()); }

void CMainWnd::RunModal(int32_t window, const std::function<void()>& open) {
  if (modalState_ != kModalNone) return;
  SetModalState(window);
  // Cleared even when the window ends by an exception, which the window
  // procedure catches: a modal state left set would block checks and exit
  // for the rest of the run.
  struct Clear {
    CMainWnd& window;
    ~Clear() { window.SetModalState(kModalNone); }
  } clear{*this};
  if (open) open();
}

bool CMainWnd::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case ID_HISTORY:
      OpenHistoryWindow();
      break;
    case ID_SHOW_TARGETS:
      ShowTargets();
      break;
    case ID_RESTORE:
      OpenRestoreWindow();
      break;
    case ID_EXPORT:
      OpenExportWindow();
      break;
    case ID_IMPORT:
      OpenImportWindow();
      break;
    case ID_SETTINGS:
      OpenSettingsWindow();
      break;
    case ID_OPEN_SAVE_FOLDER:
      plat::ShellOpen(state_.saveFolder);
      break;
    case ID_OPEN_PROGRAM_FOLDER:
      plat::ShellOpen(ProgramFolder());
      break;
    case ID_HELP_README:
      plat::ShellOpen(ExePath("readme.htm"));
      break;
    case ID_APP_ABOUT:
      OpenVersionWindow();
      break;
    case ID_CHECK_NOW:
      CheckNow();
      break;
    case ID_APP_EXIT_RESIDENT:
      if (modalState_ == kModalNone) PostMessageA(Handle(), WM_CLOSE, 0, 0);
      break;
    default:
      return false;
  }
  return true;
}

LRESULT CMainWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  switch (message) {
    case WM_CLOSE:
      if (modalState_ == kModalNone) DestroyWindow(Handle());
      return 0;
    case WM_DESTROY:
      Shutdown();
      if (quitOnDestroy_) PostQuitMessage(0);
      return 0;
  }
  if (message == taskbarCreated && trayAdded_) {
    // The notification area was restarted and forgot our icon.
    NotifyTray(kTrayAdd, LastTrayIcon(), LastTrayText().c_str());
    return 0;
  }
  return CTrayIconWnd::OnMessage(message, wParam, lParam);
}

void CMainWnd::Shutdown() {
  // The threads are told first: removing the icon can take the shell a
  // while, and a check should not save on meanwhile.
  state_.stopEvent.Set();
  state_.stopRequested = 1;
  state_.watchEvent.Set();
  if (trayAdded_) NotifyTray(kTrayRemove, nullptr, nullptr);
  trayAdded_ = false;
  checkAbandoned_ = !WaitForCheck(*context_, checkWaitMs_);
  StopWatcher();
  // The catalogue is written only once nothing changes it: a check left
  // running after the wait would change it while it is written.  Its saved
  // times are then lost, and the files are simply saved again next time.
  if (!checkAbandoned_ && state_.changeCheckRunning.load() == 0) SaveFileList(list_);
}

// ---- the settings sheet

SettingsValues CMainWnd::CurrentSettings() {
  SettingsValues values;
  values.checkInterval = checkInterval_;
  values.checkAtStartOnly = checkAtStartOnly_;
  values.useChangeWatcher = useChangeWatcher_;
  values.saveFolder = state_.saveFolder;
  values.rules = rules_;
  values.skipRecycleBin = ReadIntSetting(kSettingsFile, kSkipRecycleBinKey) != 0;
  values.skipSaveFolder = ReadIntSetting(kSettingsFile, kSkipSaveFolderKey) != 0;
  values.skipTempFolder = ReadIntSetting(kSettingsFile, kSkipTempFolderKey) != 0;
  values.skipOwnFolder = ReadIntSetting(kSettingsFile, kSkipOwnFolderKey) != 0;
  values.maxGenerations = maxGenerations_;
  values.minimumTime = minimumTime_;
  values.minimumTimeOn = minimumTimeOn_;
  values.statistics = GetGenerationStats(index_);
  return values;
}

// Takes the values in this order: the rules (asking whether the listed
// files are to be classified anew), the start-only and change-watcher
// flags (written, in effect from the next start), the interval (the timer
// restarts at once; written at exit), the save folder, the exclusion
// switches, the generation values (written at exit).
void CMainWnd::ApplySettings(const SettingsValues& edited) {
  const bool newFolder = !EqualNoCase(edited.saveFolder, state_.saveFolder);
  // Checks read the rules, the save folder and the generation limit
  // without a lock, so a check that was running when the sheet opened ends
  // before they change; none starts meanwhile, the sheet's modal state
  // blocks them.
  if (edited.rulesChanged || newFolder || edited.maxGenerations != maxGenerations_) {
    RunWhileResponsive([this] {
      while (context_->checkRunning.load() != 0 || state_.changeCheckRunning.load() != 0) plat::Sleep(20);
    });
  }

  if (edited.rulesChanged) {
    const auto oldCount = static_cast<int32_t>(rules_.rules.size());
    rules_ = edited.rules;
    SaveRules(rules_, oldCount);
    if (plat::ShowMessage(Handle(),
                          "新しい振り分け条件を現在のリストに適用しますか？\r\n\r\n注意：設定した保存方法は上書きされます",
                          "quz", plat::kButtonsYesNo | plat::kIconQuestion) == plat::kAnswerYes) {
      RunWhileResponsive([this] { list_.Reclassify(); });
      state_.catalogueChanged = 1;
    }
  }

  if (edited.checkAtStartOnly != checkAtStartOnly_ || edited.useChangeWatcher != useChangeWatcher_) {
    checkAtStartOnly_ = edited.checkAtStartOnly;
    useChangeWatcher_ = edited.useChangeWatcher;
    WriteIntSetting(kSettingsFile, checkAtStartOnly_ ? 1 : 0, kAtStartOnlyKey);
    WriteIntSetting(kSettingsFile, useChangeWatcher_ ? 1 : 0, kChangeWatcherKey);
    plat::ShowMessage(Handle(),
                      "次の起動時からこの設定が適用されます\r\n今すぐ適用したい場合、一度終了して起動し直して下さい"
                      "          ",
                      "quz", plat::kButtonsOk | plat::kIconInformation);
  }

  if (edited.checkInterval != checkInterval_) {
    checkInterval_ = edited.checkInterval;
    StopTimer(kIntervalTimer);
    if (checkInterval_ != 0) StartTimer(kIntervalTimer, static_cast<UINT>(checkInterval_) * 1000);
  }

  if (newFolder) {
    std::string folder = edited.saveFolder;
    CreateSaveFolder(folder);  // made by the sheet already; settles the "\"
    state_.saveFolder = folder;
    WriteSetting(kSettingsFile, folder, kSaveFolderKey);
  }

  const std::pair<const char*, bool> switches[] = {{kSkipRecycleBinKey, edited.skipRecycleBin},
                                                   {kSkipSaveFolderKey, edited.skipSaveFolder},
                                                   {kSkipTempFolderKey, edited.skipTempFolder},
                                                   {kSkipOwnFolderKey, edited.skipOwnFolder}};
  for (const auto& [key, on] : switches)
    if ((ReadIntSetting(kSettingsFile, key) != 0) != on) WriteIntSetting(kSettingsFile, on ? 1 : 0, key);

  maxGenerations_ = edited.maxGenerations;
  context_->maxGenerations = maxGenerations_;
  minimumTime_ = edited.minimumTime;
  minimumTimeOn_ = edited.minimumTimeOn;
}

void CMainWnd::RunWhileResponsive(const std::function<void()>& work) {
  plat::Thread worker;
  if (!worker.Start(work)) {
    work();
    return;
  }
  // A WM_QUIT met meanwhile is for the message loop outside: it is posted
  // again once the work is done.
  bool quit = false;
  while (!worker.Join(20))
    if (!plat::PumpWaitingMessages()) quit = true;
  if (quit) PostQuitMessage(0);
}

}  // namespace quz

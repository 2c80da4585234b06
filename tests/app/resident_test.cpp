// The resident program's windows driven through their real messages: tray,
// timers, modal windows, shutdown, first-run setup and the progress window.
// Message boxes and the shell are answered by a script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/backup_app.h"
// After windows.h, which the window layer brings.
#include <commctrl.h>

#include "app/dialogs.h"
#include "app/main_wnd.h"
#include "app/settings.h"
#include "catalogue/file_list_file.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "tests/support/test_support.h"
#include "tests/support/window_test_support.h"

namespace {

using quz::CMainWnd;

using quztest::Pump;
using quztest::PumpUntil;
using quztest::WhileModal;

// The main window with the tray's clicks counted and the command menu
// recorded instead of tracked (tracking would wait for a user).
class TestMainWnd : public CMainWnd {
 public:
  TestMainWnd() { SetQuitOnDestroy(false); }
  void OnTraySingleClick() override {
    ++singleClicks;
    CMainWnd::OnTraySingleClick();
  }
  void OnTrayDoubleClick() override {
    ++doubleClicks;
    CMainWnd::OnTrayDoubleClick();
  }
  void TrackCommandMenu(HMENU menu, POINT) override {
    ++menusShown;
    menuDefault = GetMenuDefaultItem(menu, FALSE, 0);
  }
  int singleClicks = 0, doubleClicks = 0, menusShown = 0;
  UINT menuDefault = 0;  // drawn in bold
};

// Without a target window, the main window writes a changed catalogue
// itself (with one, the target window does: tests/targets).
class NoTargetsMainWnd : public TestMainWnd {
  std::unique_ptr<plat::Dialog> MakeTargetWindow() override { return nullptr; }
};

// Without settings of their own, the tests run with a check every 300 s.
class Resident : public quztest::WindowTest {
 protected:
  // A catalogue of `count` files of `size` bytes in a source folder.
  void WriteCatalogue(int count, size_t size) {
    std::string source = dir / "source\\";
    ASSERT_TRUE(plat::CreateFolder(source));
    std::string lines;
    for (int i = 0; i < count; ++i) {
      std::string path = source + "file" + std::to_string(i) + ".dat";
      quztest::WriteFile(path, std::string(size, static_cast<char>('a' + i % 26)));
      lines += path + "<0<0<0\r\n";
    }
    quztest::WriteFile(dir / quz::kFileListName, lines);
  }
  // The main window once the generation index has loaded: the tray shows checks, not loading.
  template <class Window = TestMainWnd>
  std::unique_ptr<Window> Start() {
    auto window = std::make_unique<Window>();
    EXPECT_TRUE(window->Create());
    if (window->Context().loader) window->Context().loader->Join();
    return window;
  }
  void Tray(CMainWnd& window, UINT mouse, UINT icon = quz::kTrayIconId) {
    SendMessageA(window.Handle(), quz::kTrayMessage, icon, mouse);
  }
  void Command(CMainWnd& window, int id) { SendMessageA(window.Handle(), WM_COMMAND, id, 0); }
  void Timer(CMainWnd& window, UINT_PTR id) { SendMessageA(window.Handle(), WM_TIMER, id, 0); }
  bool CheckRan(CMainWnd& window) {
    EXPECT_TRUE(quz::WaitForCheck(window.Context(), 60000));
    return window.Context().savedCount.load() > 0;
  }
};

TEST_F(Resident, TrayClicksGiveSingleDoubleAndRightClickAndTheMenusCommandsOpenThroughTheShell) {
  auto window = Start();

  // A release alone does nothing yet; when the double-click time is over, one single click.
  Tray(*window, WM_LBUTTONDOWN);
  Tray(*window, WM_LBUTTONUP);
  Pump();
  EXPECT_EQ(window->doubleClicks, 0);
  ASSERT_TRUE(PumpUntil([&] { return window->singleClicks == 1; }));
  EXPECT_EQ(window->TimerPeriod(quz::kClickTimer), 0u);

  // A double click acts once, when its button is released, and no single click follows.
  Tray(*window, WM_LBUTTONDOWN);
  Tray(*window, WM_LBUTTONUP);
  Tray(*window, WM_LBUTTONDBLCLK);
  Pump();
  EXPECT_EQ(window->doubleClicks, 0);
  Tray(*window, WM_LBUTTONUP);
  ASSERT_TRUE(PumpUntil([&] { return window->doubleClicks == 1; }));
  EXPECT_EQ(window->TimerPeriod(quz::kClickTimer), 0u);  // no single click can follow
  EXPECT_EQ(window->singleClicks, 1);
  EXPECT_EQ(window->ModalState(), quz::kModalNone);

  // The right button's release shows the command menu, the target window its default.
  Tray(*window, WM_RBUTTONDOWN);
  Pump();
  EXPECT_EQ(window->menusShown, 0);
  Tray(*window, WM_RBUTTONUP);
  ASSERT_TRUE(PumpUntil([&] { return window->menusShown == 1; }));
  EXPECT_EQ(window->menuDefault, static_cast<UINT>(ID_SHOW_TARGETS));

  // Notifications of another icon are not ours.
  Tray(*window, WM_RBUTTONUP, quz::kTrayIconId + 1);
  Tray(*window, WM_LBUTTONDOWN, quz::kTrayIconId + 1);
  Pump();
  EXPECT_EQ(window->menusShown, 1);
  EXPECT_EQ(window->TimerPeriod(quz::kClickTimer), 0u);

  // The menu's folders and help open through the shell.
  for (int id : {ID_OPEN_SAVE_FOLDER, ID_OPEN_PROGRAM_FOLDER, ID_HELP_README}) Command(*window, id);
  std::vector<std::pair<std::string, std::string>> expected = {
      {SaveFolder(), "open"}, {dir.path(), "open"}, {dir / "readme.htm", "open"}};
  EXPECT_EQ(ui.Opened(), expected);
  EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(Resident, TheAnimationTickShowsProgressAndIdleAndWritesAChangedCatalogue) {
  // (The texts at their edges: the text test.)
  auto window = Start<NoTargetsMainWnd>();
  EXPECT_EQ(window->LastTrayText(), "quz - 初期化処理中...");
  for (int i = 0; i < 1000; ++i)
    ASSERT_TRUE(
        window->FileList().AddLoaded("C:\\data\\f" + std::to_string(i) + ".txt", 0, quz::SaveType::Normal, 0));

  quz::RunState& state = window->State();
  state.progress = 250;
  Timer(*window, quz::kAnimationTimer);
  EXPECT_EQ(window->LastTrayText(), "quz - 処理中(25%  : 250/1000)");

  // The frames finish their cycle of eight before the idle picture returns.
  state.progress = -1;
  int ticks = 0;
  while (window->LastTrayText() != "quz - 待機中" && ticks < 20) {
    Timer(*window, quz::kAnimationTimer);
    ++ticks;
  }
  EXPECT_EQ(ticks, 8);  // steps 1 to 7, then the idle tick at step 8

  // A catalogue a folder check changed is written, but not while a change check works on it.
  ASSERT_TRUE(
      window->FileList().AddLoaded("C:\\changed\\by a folder check.txt", 0, quz::SaveType::Normal, 0));
  state.catalogueChanged = 1;
  state.changeCheckRunning = 1;
  Timer(*window, quz::kAnimationTimer);
  EXPECT_EQ(state.catalogueChanged.load(), 1);
  EXPECT_EQ(quztest::ReadFile(dir / quz::kFileListName).find("by a folder check"), std::string::npos);
  state.changeCheckRunning = 0;
  Timer(*window, quz::kAnimationTimer);
  EXPECT_EQ(state.catalogueChanged.load(), 0);
  EXPECT_NE(quztest::ReadFile(dir / quz::kFileListName).find("C:\\changed\\by a folder check.txt<"),
            std::string::npos);
}

TEST_F(Resident, SchedulerTimersFollowTheSettingsAndFilesACheckCannotReadGoToTheErrorLog) {
  WriteCatalogue(3, 10);
  {
    auto window = Start();
    EXPECT_EQ(window->TimerPeriod(quz::kStartCheckTimer), 0u);
    EXPECT_NE(window->TimerPeriod(quz::kAnimationTimer), 0u);
    EXPECT_EQ(window->Watcher(), nullptr);  // switched off
    // Timer 3 checks now: stopRequested is cleared first.  A file it cannot
    // read goes to the error log, without a box.
    window->State().stopRequested = 1;
    const std::string locked = dir / "source\\file1.dat";
    {
      quztest::Unreadable held(locked);
      Timer(*window, quz::kIntervalTimer);
      EXPECT_TRUE(CheckRan(*window));
    }
    EXPECT_EQ(window->Context().savedCount.load(), 2);
    EXPECT_TRUE(ui.Boxes().empty());
    const std::string log = quztest::ReadFile(dir / "lasterror.txt");
    EXPECT_NE(log.find(" " + locked + " "), std::string::npos) << log;
    EXPECT_EQ(window->TimerPeriod(quz::kIntervalTimer), 300000u);
  }
  {
    ASSERT_TRUE(quz::WriteIntSetting(quz::kSettingsFile, 1, "全体チェックは起動時のみ"));
    auto window = Start();
    EXPECT_EQ(window->TimerPeriod(quz::kIntervalTimer), 0u);
    EXPECT_NE(window->TimerPeriod(quz::kStartCheckTimer), 0u);
    quztest::WriteFile(dir / "source\\file0.dat", "changed");
    plat::SetFileTime(dir / "source\\file0.dat", 1000000000);
    Timer(*window, quz::kStartCheckTimer);
    EXPECT_EQ(window->TimerPeriod(quz::kStartCheckTimer), 0u);
    EXPECT_TRUE(CheckRan(*window));
  }
  // A stored interval is the interval timer's; 0 starts neither and is written back at the end.
  ASSERT_TRUE(quz::WriteIntSetting(quz::kSettingsFile, 0, "全体チェックは起動時のみ"));
  ASSERT_TRUE(quz::WriteIntSetting(quz::kSettingsFile, 45, "チェック間隔"));
  EXPECT_EQ(Start()->TimerPeriod(quz::kIntervalTimer), 45000u);
  ASSERT_TRUE(quz::WriteIntSetting(quz::kSettingsFile, 0, "チェック間隔"));
  {
    auto window = Start();
    EXPECT_EQ(window->TimerPeriod(quz::kIntervalTimer), 0u);
    EXPECT_EQ(window->TimerPeriod(quz::kStartCheckTimer), 0u);
  }
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "チェック間隔"), "0");
}

TEST_F(Resident, HistoryAndVersionWindowsShowTheirTextsAndBlockWhatMustWait) {
  WriteCatalogue(1, 100);
  quztest::WriteFile(dir / "Rireki.txt",
                     "1052300000 0 0 C:\\a b\\c d.txt\r\n"
                     "1052300000 5000 1200 C:\\x\\y.dat\r\n"
                     "broken\r\n"
                     "1 2 3 C:\\not\\ended.txt");
  auto window = Start();
  HWND handle = window->Handle();

  // The history window lists the history's rows, the broken one empty.  It
  // holds modalState 6: other windows, checks and exit wait for it.
  WhileModal modal1([&] {
    auto* history = dynamic_cast<quz::CRirekiDlg*>(plat::Dialog::Current());
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(window->ModalState(), quz::kModalHistory);
    HWND list = history->List();
    ASSERT_EQ(ListView_GetItemCount(list), 3);
    // (Each cell's text: the history's tests.)
    EXPECT_EQ(quztest::ListCell(list, 0, 0), "c d.txt");
    EXPECT_EQ(quztest::ListCell(list, 1, 1), "C:\\x\\");
    EXPECT_EQ(quztest::ListCell(list, 1, 3), "2KB");
    EXPECT_EQ(quztest::ListCell(list, 2, 0), "");

    Command(*window, ID_APP_ABOUT);
    Command(*window, ID_SETTINGS);
    EXPECT_EQ(window->ModalState(), quz::kModalHistory);
    Timer(*window, quz::kIntervalTimer);
    Command(*window, ID_CHECK_NOW);
    EXPECT_FALSE(window->StartCheck());
    EXPECT_EQ(window->Context().checkRunning.load(), 0);
    Command(*window, ID_APP_EXIT_RESIDENT);
    SendMessageA(handle, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(handle));
    SendMessageA(history->Handle(), WM_COMMAND, IDOK, 0);
  });
  Command(*window, ID_HISTORY);
  EXPECT_TRUE(modal1.Ran());
  EXPECT_EQ(window->ModalState(), quz::kModalNone);
  EXPECT_EQ(window->Context().savedCount.load(), 0);

  // The version window (2) lets checks run but still refuses exit.
  WhileModal modal2([&] {
    auto* version = dynamic_cast<quz::CVersionDlg*>(plat::Dialog::Current());
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(window->ModalState(), quz::kModalVersion);
    EXPECT_EQ(version->ItemText(IDC_VERSION_TEXT).rfind("quz バージョン ", 0), 0u);
    EXPECT_TRUE(window->CheckNow());
    EXPECT_TRUE(quz::WaitForCheck(window->Context(), 60000));
    SendMessageA(handle, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(handle));
    SendMessageA(version->Handle(), WM_COMMAND, IDOK, 0);
  });
  Command(*window, ID_APP_ABOUT);
  EXPECT_TRUE(modal2.Ran());
  EXPECT_EQ(window->Context().savedCount.load(), 1);

  // With nothing open, exit closes the main window.
  Command(*window, ID_APP_EXIT_RESIDENT);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(handle); }));
  EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(Resident, ExitDuringALongCheckStopsItAndWritesTheCatalogue) {
  WriteCatalogue(100, 1 << 20);
  auto window = Start();
  HWND handle = window->Handle();
  quztest::WriteFile(dir / quz::kFileListName, "");  // so that its rewrite shows
  // Exit as soon as the check has started.
  ASSERT_TRUE(window->CheckNow());
  Command(*window, ID_APP_EXIT_RESIDENT);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(handle); }));
  EXPECT_FALSE(window->CheckAbandoned());
  EXPECT_EQ(window->Context().checkRunning.load(), 0);
  EXPECT_EQ(window->State().stopRequested.load(), 1);
  EXPECT_TRUE(window->State().stopEvent.IsSet());
  // The check stopped early, and the catalogue written after it holds every entry.
  EXPECT_LT(window->Context().savedCount.load(), 100);
  EXPECT_NE(quztest::ReadFile(dir / quz::kFileListName).find("file99.dat<"), std::string::npos);
}

TEST_F(Resident, AnUnreadableCatalogueIsReportedAndNeverWrittenOver) {
  WriteCatalogue(2, 10);
  const std::string catalogue = quztest::ReadFile(dir / quz::kFileListName);
  std::unique_ptr<NoTargetsMainWnd> window;
  {
    // Another program holds it through the whole start.
    quztest::Unreadable held(dir / quz::kFileListName);
    window = Start<NoTargetsMainWnd>();
  }
  auto shown = ui.Boxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find(dir / quz::kFileListName), std::string::npos) << shown[0].text;
  EXPECT_EQ(shown[0].caption, "quz");
  // It runs on, saving what is added, but no check, timer or exit writes the catalogue.
  ASSERT_TRUE(window->FileList().AddEntry(dir / "source\\", quz::SaveType::Search));
  ASSERT_TRUE(window->CheckNow());
  EXPECT_TRUE(CheckRan(*window));
  window->State().catalogueChanged = 1;
  Timer(*window, quz::kAnimationTimer);
  HWND handle = window->Handle();
  Command(*window, ID_APP_EXIT_RESIDENT);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(handle); }));
  EXPECT_EQ(quztest::ReadFile(dir / quz::kFileListName), catalogue);
  EXPECT_EQ(ui.Boxes().size(), 1u);
  EXPECT_FALSE(quztest::Exists(dir / "lasterror.txt"));
}

TEST_F(Resident, ChangeWatcherSwitchedOnSavesChangedFilesAndEndsWithTheProgram) {
  WriteCatalogue(3, 100);
  ASSERT_TRUE(quz::WriteIntSetting(quz::kSettingsFile, 1, "TidemarkTechnologyの利用"));
  auto window = Start();
  quz::CChangeWatcher* watcher = window->Watcher();
  ASSERT_NE(watcher, nullptr);
  // (What it watches, and that it is off unless switched on: other tests.)
  ASSERT_TRUE(PumpUntil([&] { return watcher->Builds() >= 1; }));

  // A changed file is saved by a folder check while the window runs its
  // own timers; the catalogue written at exit holds its new time.
  std::string path = dir / "source\\file1.dat";
  quztest::WriteFile(path, "changed while watched");
  ASSERT_TRUE(plat::SetFileTime(path, 1100000100));
  quz::FileEntry* entry = window->FileList().FindEntry(path);
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return entry->savedTime.load() == 1100000100; }));
  HWND handle = window->Handle();
  Command(*window, ID_APP_EXIT_RESIDENT);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(handle); }));
  EXPECT_FALSE(watcher->WatcherRunning());
  EXPECT_FALSE(watcher->WorkerRunning());
  EXPECT_FALSE(window->CheckAbandoned());
  EXPECT_NE(quztest::ReadFile(dir / quz::kFileListName).find("file1.dat<1100000100<"), std::string::npos);
}

TEST_F(Resident, FirstRunSetupWritesTheFolderOnOkOnly) {
  quztest::RemoveTree(dir / "quz.ini");
  // "終了": the program ends and nothing is written.
  {
    quz::CBackupApp app;
    WhileModal modal([&] {
      auto* setup = dynamic_cast<quz::CSetupDlg*>(plat::Dialog::Current());
      ASSERT_NE(setup, nullptr);
      std::string folder = setup->ItemText(IDC_SAVE_FOLDER);
      EXPECT_EQ(folder.substr(folder.size() - 11), "\\QUZ_BACKUP");
      EXPECT_EQ(IsDlgButtonChecked(setup->Handle(), IDC_REGISTER_STARTUP), BST_UNCHECKED);
      // "参照": a cancelled browser leaves the field; a chosen folder replaces it, ending with "\".
      ui.QueueFolder(std::nullopt);
      quztest::Click(setup->Handle(), IDC_BROWSE);
      EXPECT_EQ(setup->ItemText(IDC_SAVE_FOLDER), folder);
      ui.QueueFolder("D:\\選んだ");
      quztest::Click(setup->Handle(), IDC_BROWSE);
      EXPECT_EQ(setup->ItemText(IDC_SAVE_FOLDER), "D:\\選んだ\\");
      SendMessageA(setup->Handle(), WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(modal.Ran());
    EXPECT_FALSE(quztest::Exists(dir / "quz.ini"));
  }
  // A value of one byte counts as missing; OK with an empty field is
  // refused with a message, then OK with a folder writes it.
  quztest::WriteFile(dir / "quz.ini", "[quz保存先フォルダ]C\r\n");
  {
    quz::CBackupApp app;
    std::string chosen = dir / "バックアップ";
    WhileModal modal([&] {
      auto* setup = dynamic_cast<quz::CSetupDlg*>(plat::Dialog::Current());
      ASSERT_NE(setup, nullptr);
      setup->SetItemText(IDC_SAVE_FOLDER, "");
      SendMessageA(setup->Handle(), WM_COMMAND, IDOK, 0);
      EXPECT_EQ(quztest::CaptionsAndTexts(ui.Boxes()),
                std::vector<std::string>{"quzセットアップ | 保存先を正しく入力して下さい    "});
      EXPECT_EQ(ui.Boxes().back().style, plat::kButtonsOk | plat::kIconWarning);
      EXPECT_EQ(plat::Dialog::Current(), setup);
      setup->SetItemText(IDC_SAVE_FOLDER, chosen);
      SendMessageA(setup->Handle(), WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(modal.Ran());
    EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "quz保存先フォルダ"), chosen);
    ASSERT_NE(app.MainWnd(), nullptr);
    EXPECT_TRUE(IsWindow(app.MainWnd()->Handle()));
    // Every level of the folder exists, and it ends with "\" in memory.
    EXPECT_EQ(app.MainWnd()->State().saveFolder, chosen + "\\");
    EXPECT_TRUE(quztest::Exists(chosen));
    app.ExitInstance();
  }
  Pump();
  // The folder as it is in memory is written at the end.
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "quz保存先フォルダ"), dir / "バックアップ\\");
  // With a folder set, start-up shows no setup.
  {
    quz::CBackupApp app;
    {
      // Only a modal loop inside the start-up may run the action; the
      // pump below must not (the action goes with the object).
      WhileModal modal([] { ADD_FAILURE() << "a dialog was shown"; });
      ASSERT_TRUE(app.InitInstance());
    }
    Pump();
    app.ExitInstance();
  }
}

TEST_F(Resident, ProgressBarIsGreenOnWhiteInASunkenFrame) {
  // A dark top and left edge, a light bottom and right one, and inside them
  // as much green as the percentage asks, white after it; also after the
  // system repainted it (with the last percentage and the caption "処理中";
  // the texts themselves: the target window's tests).
  quz::CProgressDlg progress;
  ASSERT_TRUE(progress.Open(nullptr));
  Pump();
  EXPECT_TRUE(GetWindowLongA(progress.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  HWND bar = progress.Item(IDC_PROGRESS_BAR);
  RECT client{};
  GetClientRect(bar, &client);
  const int w = client.right, mid = client.bottom / 2;
  ASSERT_GT(w, 10);
  const COLORREF green = RGB(0, 255, 0), white = RGB(255, 255, 255), dark = RGB(80, 80, 80),
                 light = RGB(200, 200, 200);
  auto expectBar = [&](int percent) {
    HDC dc = GetDC(bar);
    for (int x = 0; x < w; ++x) {
      const COLORREF expected = x == w - 1 ? light : x == 0 ? dark : x < percent * w / 100 ? green : white;
      EXPECT_EQ(GetPixel(dc, x, mid), expected) << percent << "%: " << x;
    }
    EXPECT_EQ(GetPixel(dc, w / 2, 0), dark) << percent << "%";
    EXPECT_EQ(GetPixel(dc, w / 2, client.bottom - 1), light) << percent << "%";
    ReleaseDC(bar, dc);
  };
  for (int percent : {0, 40, 100}) {
    progress.SetProgress(percent, "処理中(1/2)");
    expectBar(percent);
  }
  progress.SetProgress(70, "ファイル調査中");
  RedrawWindow(progress.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  ASSERT_TRUE(PumpUntil([&] { return progress.ItemText(IDC_PROGRESS_CAPTION) == "処理中"; }));
  Pump();
  expectBar(70);
  EXPECT_EQ(progress.ItemText(IDC_PROGRESS_PERCENT), "70%");
  progress.Destroy();
}

}  // namespace

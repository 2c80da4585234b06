// The restore window driven through its real controls under Wine: loading
// save folders typed or dropped, the folder tree, the file and candidate
// lists filled by the worker, starting over while they fill, and restores
// elsewhere and in place answered through the real dialogs, checked byte
// for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/main_wnd.h"
#include "app/paths.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "restore/restore_dlg.h"
#include "tests/restore/save_fixture.h"
#include "tests/support/test_data.h"
#include "tests/support/test_support.h"
#include "tests/support/window_test_support.h"

namespace {

using quztest::Click;
using quztest::ListCell;
using quztest::PumpUntil;
using quztest::WindowText;
using SavedFolder = restoretest::SaveFolder;
using restoretest::Seconds;

// The program's own dialogs answered in order: each step waits for a dialog
// of its template.
using DialogSteps = std::vector<std::pair<int, std::function<void(plat::Dialog&)>>>;

class RestoreWindowTest : public quztest::MainWindowTest {
 protected:
  void SetUp() override {
    quztest::MainWindowTest::SetUp();
    save = std::make_unique<SavedFolder>(SaveFolder(), plat::TimeZoneOffset());
  }
  void TearDown() override {
    if (window) window->Destroy();
    window.reset();
    quztest::MainWindowTest::TearDown();
  }

  // Opens the window as the program does, on the save folder, and waits
  // until the folder is loaded.
  void Open() {
    window = std::make_unique<quz::CRestoreDlg>(SaveFolder());
    ASSERT_TRUE(window->CreateModeless(nullptr));
    ShowWindow(window->Handle(), SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return window->LoadsDone() > 0 && !window->Busy(); }));
  }
  HWND Item(int id) const { return GetDlgItem(window->Handle(), id); }
  void Settle() { ASSERT_TRUE(PumpUntil([&] { return !window->Busy(); })); }

  int TreeImage(const std::string& folder) {
    TVITEMA info{};
    info.mask = TVIF_IMAGE;
    info.hItem = window->TreeItemOf(folder);
    SendMessageA(Item(IDC_RESTORE_TREE), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info));
    return info.iImage;
  }
  // The labels the tree shows below a folder ("" is 全体).
  std::vector<std::string> ChildLabels(const std::string& folder) {
    std::vector<std::string> children;
    const plat::TreeView& tree = window->Tree();
    for (HTREEITEM c = tree.FirstChild(window->TreeItemOf(folder)); c; c = tree.NextSibling(c))
      children.push_back(tree.Text(c));
    return children;
  }
  // Selects a folder as a click does, without waiting for its lists.
  void Choose(const std::string& folder) {
    HTREEITEM item = window->TreeItemOf(folder);
    ASSERT_NE(item, nullptr) << folder;
    TreeView_SelectItem(Item(IDC_RESTORE_TREE), item);
  }
  void Select(const std::string& folder) {
    Choose(folder);
    Settle();
  }

  // The file list's lines: as many as the list box has, drawn from these.
  std::vector<std::string> Files() {
    std::vector<std::string> files = window->FileLines();
    EXPECT_EQ(SendMessageA(Item(IDC_RESTORE_FILES), LB_GETCOUNT, 0, 0), static_cast<LRESULT>(files.size()));
    return files;
  }
  // Presses one of the window's buttons, the dialogs that follow answered
  // by `steps` from a timer as their modal loops run; every step must have
  // run.
  void Press(int button, DialogSteps steps) {
    static DialogSteps* pending;
    static HWND answered;
    pending = &steps;
    answered = nullptr;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
      plat::Dialog* dialog = plat::Dialog::Current();
      if (pending->empty() || !dialog || dialog->Handle() == answered || dialog->TemplateId() != pending->front().first)
        return;
      answered = dialog->Handle();
      const auto step = pending->front().second;
      pending->erase(pending->begin());
      step(*dialog);
    });
    Click(window->Handle(), button);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(steps.empty());
  }
  std::vector<std::string> Candidates() {
    std::vector<std::string> rows;
    HWND list = Item(IDC_RESTORE_CANDIDATES);
    for (int row = 0; row < ListView_GetItemCount(list); ++row) rows.push_back(ListCell(list, row, 0));
    return rows;
  }
  // Selects these files as Ctrl-clicks do, and waits for their candidates.
  void SelectFiles(const std::vector<std::string>& names) {
    HWND list = Item(IDC_RESTORE_FILES);
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    std::vector<std::string> lines = Files();
    for (const std::string& name : names) {
      auto it = std::find(lines.begin(), lines.end(), name);
      ASSERT_NE(it, lines.end()) << name;
      SendMessageA(list, LB_SETSEL, TRUE, it - lines.begin());
    }
    SendMessageA(window->Handle(), WM_COMMAND, MAKEWPARAM(IDC_RESTORE_FILES, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    Settle();
  }
  void SelectCandidate(const std::string& text) {
    std::vector<std::string> rows = Candidates();
    auto it = std::find(rows.begin(), rows.end(), text);
    ASSERT_NE(it, rows.end()) << text;
    ListView_SetItemState(Item(IDC_RESTORE_CANDIDATES), static_cast<int>(it - rows.begin()),
                          LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }

  std::unique_ptr<SavedFolder> save;
  std::unique_ptr<quz::CRestoreDlg> window;
  const int64_t day = Seconds(2026, 12, 7);
};

TEST_F(RestoreWindowTest, TheTreeTheFilesOneCandidatePerSlotAndOtherFoldersTypedOrDropped) {
  save->SaveCopy("C:\\a\\x.txt", "1", day + 10 * 3600);
  save->SaveCopy("C:\\a\\x.txt", "3", day + 86400 + 9 * 3600);  // another date folder
  save->SaveFragment("C:\\m\\in.mbx", "mail", day + 11 * 3600);
  save->SetTime(save->FragmentFolder("C:\\m\\in.mbx"), day + 11 * 3600);
  Open();
  EXPECT_EQ(WindowText(Item(IDC_RESTORE_SOURCE)), SaveFolder());
  EXPECT_EQ(WindowText(window->Handle()), "quz - ファイル復元");

  // 全体 > C: > a, m; the drive and the folders have icons of their own.
  const plat::TreeView& tree = window->Tree();
  EXPECT_EQ(tree.Text(tree.Root()), "全体");
  EXPECT_TRUE(tree.IsExpanded(tree.Root()));
  EXPECT_EQ(ChildLabels(""), (std::vector<std::string>{"C:"}));
  EXPECT_EQ(ChildLabels("C:"), (std::vector<std::string>{"a", "m"}));
  EXPECT_NE(TreeImage("C:"), TreeImage("C:\\a"));
  EXPECT_EQ(TreeImage("C:\\a"), TreeImage("C:\\m"));
  EXPECT_NE(TreeImage(""), TreeImage("C:"));

  const std::vector<std::string> xTimes{"全ての最新ファイル", "2026年12月08日09時00分", "2026年12月07日10時00分"};
  Select("C:\\a");
  EXPECT_EQ(Files(), (std::vector<std::string>{"x.txt"}));
  EXPECT_EQ(Candidates(), xTimes);

  // The drive holds the times of both folders.
  Select("C:");
  EXPECT_TRUE(Files().empty());
  EXPECT_EQ(Candidates().size(), 4u);

  // 全体: every source in full, no candidate until files are chosen.
  Select("");
  EXPECT_EQ(Files(), (std::vector<std::string>{"C:\\a\\x.txt", "C:\\m\\in.mbx"}));
  EXPECT_TRUE(Candidates().empty());
  SelectFiles({"C:\\a\\x.txt"});
  EXPECT_EQ(Candidates(), xTimes);
  SelectFiles({"C:\\a\\x.txt", "C:\\m\\in.mbx"});
  EXPECT_EQ(Candidates().size(), 4u);
  SelectFiles({});
  EXPECT_TRUE(Candidates().empty());
  EXPECT_TRUE(ui.Boxes().empty());

  // Another save folder typed without its "\" gets it, and loads.
  SavedFolder other(dir / "Other\\", plat::TimeZoneOffset());
  other.SaveCopy("D:\\o\\p.txt", "p", day + 10 * 3600);
  SetWindowTextA(Item(IDC_RESTORE_SOURCE), (dir / "Other").c_str());
  ASSERT_TRUE(PumpUntil([&] { return window->LoadsDone() == 2 && !window->Busy(); }));
  EXPECT_EQ(WindowText(Item(IDC_RESTORE_SOURCE)), dir / "Other\\");
  EXPECT_EQ(window->LoadedFolder(), dir / "Other\\");
  EXPECT_EQ(ChildLabels(""), (std::vector<std::string>{"D:"}));

  // Texts that name no folder load nothing and are left as typed.
  for (std::string text : {dir / "nothere", dir / "Other\\quzFileList.txt", std::string("Other")}) {
    SetWindowTextA(Item(IDC_RESTORE_SOURCE), text.c_str());
    quztest::PumpFor(100);
    EXPECT_EQ(WindowText(Item(IDC_RESTORE_SOURCE)), text);
    EXPECT_EQ(window->LoadsDone(), 2);
  }

  // A dropped folder replaces the text and loads.
  std::string dropped = SaveFolder().substr(0, SaveFolder().size() - 1);
  SendMessageA(Item(IDC_RESTORE_SOURCE), WM_DROPFILES, reinterpret_cast<WPARAM>(quztest::MakeDrop({dropped})), 0);
  ASSERT_TRUE(PumpUntil([&] { return window->LoadsDone() == 3 && !window->Busy(); }));
  EXPECT_EQ(WindowText(Item(IDC_RESTORE_SOURCE)), SaveFolder());
  EXPECT_EQ(ChildLabels(""), (std::vector<std::string>{"C:"}));
}

TEST_F(RestoreWindowTest, AnotherFolderWhileTheListsFillStartsOverCleanly) {
  // Enough copies that the listing of C:\big takes a while.
  // Written directly: one list for the whole day, a copy a minute.
  const int kFiles = 1500;
  const std::string dated = SaveFolder() + "2026-12-7\\";
  ASSERT_TRUE(plat::CreateFolder(dated));
  std::string list;
  std::vector<std::string> names;
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%04d.txt", i);
    names.push_back(name);
    quztest::WriteFile(dated + name, "b");
    ASSERT_TRUE(plat::SetFileTime(dated + name, save->FileTime(day + 60 * i)));
    list += std::string(name) + "<C:\\big\\" + name + "\r\n";
  }
  quztest::WriteFile(dated + "quzFileList.txt", list);
  save->SaveCopy("C:\\small\\s.txt", "s", day + 2 * 86400);
  Open();

  // Started and replaced before any of its results came: none of them shows.
  Choose("C:\\big");
  Choose("C:\\small");
  Settle();
  EXPECT_EQ(Files(), (std::vector<std::string>{"s.txt"}));
  EXPECT_EQ(Candidates(), (std::vector<std::string>{"全ての最新ファイル", "2026年12月09日00時00分"}));

  // Replaced while its results come in.
  Choose("C:\\big");
  ASSERT_TRUE(PumpUntil([&] { return Files().size() == static_cast<size_t>(kFiles); }));
  Choose("C:\\small");
  Settle();
  EXPECT_EQ(Files(), (std::vector<std::string>{"s.txt"}));
  EXPECT_EQ(Candidates().size(), 2u);

  // Left to run, every file in order and a candidate per five minutes.
  Select("C:\\big");
  EXPECT_EQ(Files(), names);
  std::vector<std::string> candidates = Candidates();
  ASSERT_EQ(candidates.size(), 1u + kFiles / 5);
  EXPECT_EQ(candidates[1], "2026年12月08日00時55分");
  EXPECT_EQ(window->ProgressWindow(), nullptr);

  // Closing while the lists fill stops the worker.
  Choose("C:\\big");
  window->Destroy();
  window.reset();
  quztest::PumpFor(100);
}

TEST_F(RestoreWindowTest, RestoresElsewhereAndInPlaceComeBackByteForByte) {
  const std::string src = dir / "src\\";
  const std::string a = src + "docs\\a.txt", c = src + "docs\\sub\\c.txt";
  const std::string mail = src + "mail\\in.mbx";
  const int64_t t1 = day + 10 * 3600, t2 = day + 11 * 3600;
  const std::string a1 = quztest::Pattern(3000, 1), a2 = quztest::Pattern(5000, 2);
  const std::string c1 = quztest::Pattern(70000, 4), m1 = quztest::Pattern(20000, 5);
  const std::string m2 = m1.substr(0, 15000) + quztest::Pattern(9000, 6);
  for (const char* f : {"", "docs", "docs\\sub", "mail"}) ASSERT_TRUE(plat::CreateFolder(src + f));
  save->SaveCopy(a, a1, t1);
  save->SaveCopy(a, a2, t2);
  save->SaveCopy(c, c1, t1);
  save->SaveFragment(mail, m1, t1);
  save->SaveFragment(mail, m2, t2);
  save->SetTime(save->FragmentFolder(mail), t2);
  Open();

  std::vector<std::vector<std::string>> results;
  auto result = [&](plat::Dialog& d) {
    results.push_back({WindowText(d.Item(IDC_RESULT_RESTORED)), WindowText(d.Item(IDC_RESULT_FAILED))});
    Click(d.Handle(), IDOK);
  };

  // Single files elsewhere at "全ての最新ファイル", the differential one
  // rebuilt from its fragments: they land directly in the destination.  The
  // folder dialog offers the last destination and keeps the new one.
  ASSERT_TRUE(quz::WriteSetting(quz::kSettingsFile, dir / "last", quz::kRestoreFolderKey));
  Select("");
  SelectFiles({a, mail});
  SelectCandidate("全ての最新ファイル");
  std::string offered;
  auto into = [&](plat::Dialog& d) {
    offered = WindowText(d.Item(IDC_RESTORE_DESTINATION));
    // A folder that is no full path is refused, and the dialog stays.
    SetWindowTextA(d.Item(IDC_RESTORE_DESTINATION), "");
    Click(d.Handle(), IDOK);
    EXPECT_TRUE(IsWindow(d.Handle()));
    SetWindowTextA(d.Item(IDC_RESTORE_DESTINATION), (dir / "out").c_str());
    Click(d.Handle(), IDOK);
  };
  Press(IDC_RESTORE_ELSEWHERE, {{IDD_RESTORE_FOLDER, into}, {IDD_RESTORE_RESULT, result}});
  EXPECT_EQ(offered, dir / "last");
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, quz::kRestoreFolderKey), dir / "out");
  EXPECT_TRUE(quztest::ReadFile(dir / "out\\a.txt") == a2);
  EXPECT_TRUE(quztest::ReadFile(dir / "out\\in.mbx") == m2);
  ASSERT_EQ(ui.Boxes().size(), 1u);  // the refused folder
  EXPECT_EQ(results[0], (std::vector<std::string>{"2個のファイルを復元しました", "復元処理は正常に終了しました"}));

  // In place at the earlier time: the warning, then the overwrite dialog
  // for each file that is there; "いいえ" keeps the file and counts it.
  quztest::WriteFile(a, "changed a");
  quztest::WriteFile(mail, "changed mail");
  SelectFiles({a, mail});
  SelectCandidate("2026年12月07日10時00分");
  std::vector<std::vector<std::string>> asked;
  auto answer = [&](int button) {
    return [&asked, button](plat::Dialog& d) {
      asked.push_back({WindowText(d.Item(IDC_OVERWRITE_NAME)), WindowText(d.Item(IDC_OVERWRITE_NEW_SIZE)),
                       WindowText(d.Item(IDC_OVERWRITE_NEW_TIME))});
      Click(d.Handle(), button);
    };
  };
  Press(IDOK, {{IDD_OVERWRITE, answer(IDYES)}, {IDD_OVERWRITE, answer(IDNO)}, {IDD_RESTORE_RESULT, result}});
  ASSERT_EQ(ui.Boxes().size(), 2u);
  EXPECT_EQ(ui.Boxes()[1].caption, "元の場所に戻す - 警告");
  EXPECT_TRUE(quztest::ReadFile(a) == a1);
  EXPECT_TRUE(quztest::ReadFile(mail) == "changed mail");
  EXPECT_EQ(asked, (std::vector<std::vector<std::string>>{
                       {"a.txt", "サイズ : 2.93KB", "更新日時 : 2026年12月7日、10:0:0"},
                       {"in.mbx", "サイズ : (差分保存のため不明)", "更新日時 : (差分保存のため不明)"}}));
  EXPECT_EQ(results[1], (std::vector<std::string>{"1個のファイルを復元しました",
                                                  "1個のファイルの復元に失敗したかキャンセルされました"}));

  // A whole folder in place at "全ての最新ファイル": "全て上書き" answers the
  // rest of that restore.
  quztest::WriteFile(c, "changed c");
  Select(src + "docs");
  SelectCandidate("全ての最新ファイル");
  Press(IDOK, {{IDD_OVERWRITE, answer(IDC_OVERWRITE_ALL)}, {IDD_RESTORE_RESULT, result}});
  EXPECT_TRUE(quztest::ReadFile(a) == a2);
  EXPECT_TRUE(quztest::ReadFile(c) == c1);

  // Without a candidate the restore only asks for one.
  SelectFiles({});
  Select("");
  ui.QueueAnswer(plat::kAnswerOk);
  Click(window->Handle(), IDOK);
  EXPECT_EQ(ui.Boxes().back().text, "復元するファイルまたはフォルダの最終更新日時を選んで下さい");
}

// The main window opens it from its menu, on the save folder, while no
// check may start.
TEST_F(RestoreWindowTest, TheCommandMenuOpensItOnTheSaveFolder) {
  save->SaveCopy("C:\\a\\x.txt", "1", day + 10 * 3600);
  Start();
  quztest::WhileModal modal([&] {
    auto* restore = dynamic_cast<quz::CRestoreDlg*>(plat::Dialog::Current());
    ASSERT_NE(restore, nullptr);
    EXPECT_EQ(main->ModalState(), quz::kModalRestore);
    EXPECT_TRUE(main->State().checksBlocked.load());
    EXPECT_TRUE(PumpUntil([&] { return restore->LoadsDone() > 0 && !restore->Busy(); }));
    EXPECT_EQ(restore->LoadedFolder(), SaveFolder());
    EXPECT_EQ(restore->Table().Count(), 1);
    Click(restore->Handle(), IDCANCEL);
  });
  main->Command(ID_RESTORE);
  EXPECT_TRUE(modal.Ran());
  EXPECT_EQ(main->ModalState(), quz::kModalNone);
}

}  // namespace

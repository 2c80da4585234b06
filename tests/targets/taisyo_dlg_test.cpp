// The target window driven through its real messages under Wine, inside
// the resident program's main window: rows and cells of a real catalogue,
// icons, header clicks, the focused row, the context menu, check progress,
// the timer that writes a changed catalogue, its buttons, and hiding and
// showing again.  Message boxes, menus and the shell answer from a script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_wnd.h"
#include "app/settings.h"
#include "catalogue/file_list_file.h"
#include "engine/check.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "targets/taisyo_dlg.h"
#include "tests/support/test_support.h"
#include "tests/support/window_test_support.h"

namespace {

using quz::CTaisyoDlg;
using quztest::ListCell;
using quztest::Pump;
using quztest::PumpUntil;
using quztest::WindowText;

class MainWnd : public quz::CMainWnd {
 public:
  MainWnd() { SetQuitOnDestroy(false); }
};

class TargetWindow : public quztest::WindowTest {
 protected:
  void SetUp() override {
    quztest::WindowTest::SetUp();
    ASSERT_TRUE(quz::WriteIntSetting(quz::kSettingsFile, 0, "チェック間隔"));
  }
  // The main window over `catalogue` (lines of FileList.txt), with its
  // target window.
  void Start(const std::string& catalogue) {
    quztest::WriteFile(dir / quz::kFileListName, catalogue);
    main = std::make_unique<MainWnd>();
    ASSERT_TRUE(main->Create());
    if (main->Context().loader) main->Context().loader->Join();
    targets = dynamic_cast<CTaisyoDlg*>(main->TargetWindow());
    ASSERT_NE(targets, nullptr);
    ASSERT_TRUE(IsWindow(targets->Handle()));
  }
  void Show() { SendMessageA(main->Handle(), WM_COMMAND, ID_SHOW_TARGETS, 0); }
  HWND Window() const { return targets->Handle(); }
  std::string Text(int id) const { return WindowText(GetDlgItem(Window(), id)); }
  std::vector<std::string> Column(int column) const {
    std::vector<std::string> texts;
    for (int row = 0; row < ListView_GetItemCount(targets->List()); ++row)
      texts.push_back(ListCell(targets->List(), row, column));
    return texts;
  }
  int Image(int row) const {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(targets->List(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
  }
  // A click on a column's header, as the mouse gives it.
  void ClickHeader(int column) {
    HWND header = ListView_GetHeader(targets->List());
    RECT r{};
    Header_GetItemRect(header, column, &r);
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(header, WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(PumpUntil([&] { return !targets->SortingBySize(); }));
  }
  // "fN.txt" in a folder of the test.
  std::string Numbered(const std::string& folder, int i) const {
    char name[32];
    std::snprintf(name, sizeof name, "f%d.txt", i);
    return dir / (folder + name);
  }
  static std::string Line(const std::string& path, int saveType, int savedTime = 0) {
    return path + "<" + std::to_string(savedTime) + "<" + std::to_string(saveType) + "<0\r\n";
  }

  std::unique_ptr<MainWnd> main;
  CTaisyoDlg* targets = nullptr;
};

TEST_F(TargetWindow, EmptyCatalogueShowsNoRowsAndTheWindowHidesAndShowsAgain) {
  Start("");
  EXPECT_FALSE(IsWindowVisible(Window()));
  EXPECT_FALSE(targets->IsShown());
  EXPECT_EQ(WindowText(Window()), "quz - 対象設定");
  EXPECT_EQ(Text(IDC_TAISYO_COUNT), "0個(最大250000個)");
  EXPECT_EQ(Text(IDC_TAISYO_SAVE_FOLDER), SaveFolder());
  EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(targets->List())), 6);
  // The empty catalogue opens the window by itself after 300 ms.
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(Window()); }));
  EXPECT_TRUE(targets->IsShown());

  // "閉じる", the title bar's close and Esc only hide it; the command
  // shows it again.
  for (auto close : {+[](HWND w) { quztest::Click(w, IDOK); }, +[](HWND w) { SendMessageA(w, WM_CLOSE, 0, 0); },
                     +[](HWND w) { SendMessageA(w, WM_COMMAND, IDCANCEL, 0); }}) {
    close(Window());
    EXPECT_TRUE(IsWindow(Window()));
    EXPECT_FALSE(IsWindowVisible(Window()));
    EXPECT_FALSE(targets->IsShown());
    Show();
    EXPECT_TRUE(IsWindowVisible(Window()));
    EXPECT_TRUE(targets->IsShown());
    EXPECT_EQ(main->ModalState(), quz::kModalNone);
  }
  // Help opens the window's page beside the program.
  quztest::Click(Window(), IDC_TAISYO_HELP);
  ASSERT_EQ(ui.Opened().size(), 1u);
  EXPECT_TRUE(ui.Opened()[0].first.ends_with("\\help\\taisyo.htm")) << ui.Opened()[0].first;
}

TEST_F(TargetWindow, RowsShowEveryListedEntryWithItsCellsAndIcons) {
  ASSERT_TRUE(plat::CreateFolder(dir / "deep"));
  ASSERT_TRUE(plat::CreateFolder(dir / "ten"));
  ASSERT_TRUE(plat::CreateFolder(dir / "all"));
  quztest::WriteFile(dir / "empty.txt", "");
  quztest::WriteFile(dir / "a.TXT", "1");
  quztest::WriteFile(dir / "b.txt", std::string(1024, 'b'));
  quztest::WriteFile(dir / "one.exe", "MZ");
  quztest::WriteFile(dir / "two.exe", "MZ");
  Start(Line("C:\\", 3) + Line(dir / "deep\\", 13) + Line(dir / "ten\\", 10) + Line(dir / "all\\", 3) +
        Line(dir / "gone.txt", 0, -1) + Line(dir / "empty.txt", 0) + Line(dir / "a.TXT", 1) +
        Line(dir / "b.txt", 2) + Line(dir / "one.exe", 0) + Line(dir / "two.exe", 0));
  Show();
  EXPECT_EQ(Text(IDC_TAISYO_COUNT), "9個(最大250000個)");
  using Texts = std::vector<std::string>;
  EXPECT_EQ(Column(0), (Texts{"", "deep", "ten", "all", "empty.txt", "a.TXT", "b.txt", "one.exe", "two.exe"}));
  std::string folder = dir.path();
  EXPECT_EQ(Column(1), (Texts{"C:", folder, folder, folder, folder, folder, folder, folder, folder}));
  EXPECT_EQ(Column(2), (Texts{"", "", "", "", "0KB", "1KB", "2KB", "1KB", "1KB"}));
  EXPECT_EQ(Column(5), (Texts{"ファイル検索", "3階層まで検索", "保存しない", "ファイル検索", "通常保存", "差分保存",
                              "保存しない", "通常保存", "通常保存"}));
  Texts types = Column(3);
  EXPECT_EQ(types[0], "ハードディスクドライブ");
  for (const std::string& type : types) EXPECT_FALSE(type.empty());
  EXPECT_EQ(Column(4)[4], quz::LookedAtText(0));

  // The drive root and folders have fixed images; a.TXT and b.txt differ
  // in their extension's case and get one image each, as the two programs.
  EXPECT_EQ(Image(0), quz::CListIcons::kDriveImage);
  for (int row : {1, 2, 3}) EXPECT_EQ(Image(row), quz::CListIcons::kFolderImage);
  std::vector<int> files = {Image(4), Image(5), Image(6), Image(7), Image(8)};
  for (int image : files) EXPECT_GT(image, quz::CListIcons::kDriveImage);
  EXPECT_NE(files[1], files[2]);
  EXPECT_NE(files[3], files[4]);
  EXPECT_EQ(files[0], files[2]);  // .txt twice: one image
  EXPECT_EQ(targets->Icons().ImageCount(), 3 + 4);
}

TEST_F(TargetWindow, TheFocusedRowShowsItsPathAndSaveType) {
  Start(Line(dir / "a.txt", 0) + Line(dir / "b.dat", 1));
  Show();
  ListView_SetItemState(targets->List(), 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  EXPECT_EQ(Text(IDC_TAISYO_PATH), dir / "b.dat");
  EXPECT_EQ(Text(IDC_TAISYO_SAVE_TYPE), "差分保存");
  EXPECT_EQ(targets->FocusedEntry(), 1);
  EXPECT_EQ(targets->SelectedEntries(), std::vector<int32_t>{1});
  // A click at the first row, as the mouse gives it.
  RECT r{};
  ListView_GetItemRect(targets->List(), 0, &r, LVIR_LABEL);
  LPARAM at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
  SendMessageA(targets->List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(targets->List(), WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_EQ(Text(IDC_TAISYO_PATH), dir / "a.txt");
  EXPECT_EQ(Text(IDC_TAISYO_SAVE_TYPE), "通常保存");
  // A rebuild leaves no row selected, a few or many: the rows may show
  // other entries.  The rows in view stay in view.
  targets->RefreshList();
  EXPECT_TRUE(targets->SelectedEntries().empty());
  EXPECT_EQ(targets->FocusedEntry(), -1);
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(main->FileList().AddLoaded(Numbered("", i), 0, quz::SaveType::Normal, 0));
  targets->RefreshList();
  ListView_EnsureVisible(targets->List(), 250, FALSE);
  const int top = ListView_GetTopIndex(targets->List());
  ListView_SetItemState(targets->List(), -1, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(targets->SelectedEntries().size(), 302u);
  targets->RefreshList();
  EXPECT_TRUE(targets->SelectedEntries().empty());
  EXPECT_EQ(ListView_GetTopIndex(targets->List()), top);
  EXPECT_EQ(Text(IDC_TAISYO_COUNT), "302個(最大250000個)");
}

TEST_F(TargetWindow, HeaderClicksSortTextAndSizeBothWays) {
  quztest::WriteFile(dir / "b.txt", std::string(3000, 'b'));
  quztest::WriteFile(dir / "A.txt", std::string(10, 'a'));
  quztest::WriteFile(dir / "c.txt", std::string(2000, 'c'));
  quztest::WriteFile(dir / "empty.txt", "");
  {
    plat::File big;
    ASSERT_TRUE(big.Open(dir / "huge.dat", plat::Access::Write, plat::Disposition::CreateAlways));
    ASSERT_TRUE(big.SetLength(int64_t{4} << 30));
  }
  std::string catalogue;
  for (const char* name : {"b.txt", "missing.txt", "A.txt", "huge.dat", "c.txt", "empty.txt"})
    catalogue += Line(dir / name, 0);
  Start(catalogue);
  Show();
  using Names = std::vector<std::string>;
  ClickHeader(quz::kColumnName);
  EXPECT_EQ(Column(0), (Names{"A.txt", "b.txt", "c.txt", "empty.txt", "huge.dat", "missing.txt"}));
  ClickHeader(quz::kColumnName);
  EXPECT_EQ(Column(0), (Names{"missing.txt", "huge.dat", "empty.txt", "c.txt", "b.txt", "A.txt"}));
  // Two flips later: the largest first; 4 GiB is larger than any 32-bit
  // size, and the missing file comes right after the empty one.
  ClickHeader(quz::kColumnSize);
  EXPECT_EQ(Column(0), (Names{"huge.dat", "b.txt", "c.txt", "A.txt", "empty.txt", "missing.txt"}));
  EXPECT_EQ(Column(2)[0], "4194305KB");
  ClickHeader(quz::kColumnSize);
  EXPECT_EQ(Column(0), (Names{"missing.txt", "empty.txt", "A.txt", "c.txt", "b.txt", "huge.dat"}));
  // Hiding and showing keeps the order.
  quztest::Click(Window(), IDOK);
  Show();
  EXPECT_EQ(Column(0).front(), "missing.txt");
}

TEST_F(TargetWindow, ALongSizeSortLeavesTheWindowWorkingAndAppliesItsSizesWhenTheyArrive) {
  // Sizes of files that are not there are read one status call each: this
  // many take longer than the window waits.
  std::string catalogue;
  for (int i = 0; i < 20000; ++i) catalogue += Line(Numbered("none\\", i), 0);
  Start(catalogue);
  Show();
  HWND header = ListView_GetHeader(targets->List());
  RECT r{};
  Header_GetItemRect(header, quz::kColumnSize, &r);
  LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(header, WM_LBUTTONUP, 0, at);
  EXPECT_TRUE(targets->SortingBySize());
  EXPECT_EQ(ListCell(targets->List(), 0, 0), "f0.txt");
  ASSERT_TRUE(PumpUntil([&] { return !targets->SortingBySize(); }));
  // Equal keys, reversed under the ascending flag.
  EXPECT_EQ(ListCell(targets->List(), 0, 0), "f19999.txt");
}

TEST_F(TargetWindow, ContextMenuOffersTheCommands) {
  Start(Line(dir / "a.txt", 0));
  Show();
  ListView_SetItemState(targets->List(), 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  NMITEMACTIVATE click{};
  click.hdr = {targets->List(), IDC_TAISYO_LIST, static_cast<UINT>(NM_RCLICK)};
  click.iItem = 0;
  SendMessageA(Window(), WM_NOTIFY, IDC_TAISYO_LIST, reinterpret_cast<LPARAM>(&click));
  ASSERT_EQ(ui.Menus().size(), 1u);
  EXPECT_EQ(ui.Menus()[0], (std::vector<std::string>{"開く(&O)", "フォルダを開く(&F)", "", "保存形式変更", "削除(&D)",
                                                     "", "プロパティ(&R)"}));
  HMENU menu = LoadMenuA(plat::ResourceInstance(), MAKEINTRESOURCEA(IDR_TAISYO_MENU));
  ASSERT_NE(menu, nullptr);
  HMENU items = GetSubMenu(menu, 0), types = GetSubMenu(items, 3);
  EXPECT_EQ(GetMenuItemID(items, 0), 32789u);
  EXPECT_EQ(GetMenuItemID(items, 1), 32794u);
  EXPECT_EQ(GetMenuItemID(items, 4), 32788u);
  EXPECT_EQ(GetMenuItemID(items, 6), 32787u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(GetMenuItemID(types, i), 32790u + i);
  DestroyMenu(menu);
}

TEST_F(TargetWindow, CheckProgressIsShownWhileTheWindowIsAndHiddenWhenTheCheckEnds) {
  std::string catalogue;
  for (int i = 0; i < 100; ++i) catalogue += Line(Numbered("", i), 0);
  Start(catalogue);
  quz::CProgressDlg& progress = targets->CheckProgress();
  quz::RunState& state = main->State();
  auto tick = [&] { SendMessageA(Window(), WM_TIMER, CTaisyoDlg::kTimer, 0); };
  // Hidden, the window shows no progress.
  state.progress = 25;
  tick();
  EXPECT_FALSE(IsWindowVisible(progress.Handle()));

  Show();
  tick();
  EXPECT_TRUE(IsWindowVisible(progress.Handle()));
  EXPECT_EQ(progress.ItemText(IDC_PROGRESS_CAPTION), "処理中(25/100)");
  EXPECT_EQ(progress.ItemText(IDC_PROGRESS_PERCENT), "32%");
  state.progress = 0;
  tick();
  EXPECT_EQ(progress.ItemText(IDC_PROGRESS_CAPTION), "ファイル調査中");
  EXPECT_EQ(progress.ItemText(IDC_PROGRESS_PERCENT), "10%");
  // Within one period of the timer once the check has ended.
  state.progress = -1;
  uint32_t ended = plat::TickCount();
  ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(progress.Handle()); }));
  EXPECT_LE(plat::TickCount() - ended, 2 * CTaisyoDlg::kTimerMs);
  // Closing the window hides a shown progress window with it.
  state.progress = 50;
  tick();
  EXPECT_TRUE(IsWindowVisible(progress.Handle()));
  quztest::Click(Window(), IDOK);
  EXPECT_FALSE(IsWindowVisible(progress.Handle()));
  state.progress = -1;
}

TEST_F(TargetWindow, ACatalogueChangedByAFolderCheckIsWrittenAndListed) {
  Start(Line(dir / "a.txt", 0));
  Show();
  ClickHeader(quz::kColumnName);
  // What a folder check does: adds an entry and raises the flag.
  ASSERT_TRUE(main->FileList().AddLoaded(dir / "0 found.txt", 0, quz::SaveType::Normal, 0));
  main->State().catalogueChanged = 1;
  ASSERT_TRUE(PumpUntil([&] { return main->State().catalogueChanged.load() == 0; }));
  EXPECT_NE(quztest::ReadFile(dir / quz::kFileListName).find("0 found.txt<"), std::string::npos);
  // Listed, in the direction the click left for the next sort.
  EXPECT_EQ(Text(IDC_TAISYO_COUNT), "2個(最大250000個)");
  EXPECT_EQ(Column(0), (std::vector<std::string>{"a.txt", "0 found.txt"}));
}

TEST_F(TargetWindow, AFullCheckThatFindsFilesRefreshesTheRows) {
  ASSERT_TRUE(plat::CreateFolder(dir / "data"));
  for (int i = 0; i < 3; ++i) quztest::WriteFile(Numbered("data\\", i), "x");
  Start(Line(dir / "data\\", 3));
  Show();
  EXPECT_EQ(Text(IDC_TAISYO_COUNT), "1個(最大250000個)");
  // "今すぐチェック" starts the check; the rows follow when it ends.
  quztest::Click(Window(), IDC_TAISYO_CHECK_NOW);
  ASSERT_TRUE(PumpUntil([&] { return Text(IDC_TAISYO_COUNT) == "4個(最大250000個)"; }));
  EXPECT_TRUE(quz::WaitForCheck(main->Context(), 60000));
  EXPECT_EQ(main->Context().savedCount.load(), 3);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"data", "f0.txt", "f1.txt", "f2.txt"}));
}

TEST_F(TargetWindow, ExitButtonEndsTheProgramUnlessAMenuWindowIsOpen) {
  Start(Line(dir / "a.txt", 0));
  Show();
  HWND handle = main->Handle();
  // Refused while another window of the menu is open: the window is only
  // hidden and can be shown again.
  main->SetModalState(quz::kModalHistory);
  quztest::Click(Window(), IDC_TAISYO_EXIT);
  Pump();
  EXPECT_TRUE(IsWindow(handle));
  EXPECT_FALSE(IsWindowVisible(Window()));
  main->SetModalState(quz::kModalNone);
  Show();
  EXPECT_TRUE(IsWindowVisible(Window()));

  HWND window = Window();
  quztest::Click(window, IDC_TAISYO_EXIT);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(handle); }));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_NE(quztest::ReadFile(dir / quz::kFileListName).find("a.txt<"), std::string::npos);
}

}  // namespace

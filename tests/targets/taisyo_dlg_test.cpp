// The target window driven through its real messages under Wine, inside the
// resident program's main window, over a real catalogue; message boxes, menus
// and the shell answer from a script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "targets/taisyo_dlg.h"
#include "tests/support/window_test_support.h"

namespace {

using quz::CTaisyoDlg;
using quztest::ListCell;
using quztest::Pump;
using quztest::PumpUntil;
using quztest::WindowText;
using Texts = std::vector<std::string>;

class TargetWindow : public quztest::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_TRUE(quz::WriteIntSetting(quz::kSettingsFile, 0, "チェック間隔"));
  }
  // The main window over `catalogue`, with its target window, shown or not.
  void Start(const std::string& catalogue, bool show = true) {
    MainWindowTest::Start(catalogue);
    targets = dynamic_cast<CTaisyoDlg*>(main->TargetWindow());
    ASSERT_NE(targets, nullptr);
    ASSERT_TRUE(IsWindow(targets->Handle()));
    if (show) Show();
  }
  void Show() { main->Command(ID_SHOW_TARGETS); }
  HWND Window() const { return targets->Handle(); }
  HWND List() const { return targets->List(); }
  std::string Text(int id) const { return WindowText(GetDlgItem(Window(), id)); }
  std::string Count() const { return Text(IDC_TAISYO_COUNT); }
  Texts Column(int column) const {
    Texts texts;
    for (int row = 0; row < ListView_GetItemCount(List()); ++row) texts.push_back(ListCell(List(), row, column));
    return texts;
  }
  int Image(int row) const {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(List(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
  }
  // Selects rows as the user does, the last one focused.
  void Select(const std::vector<int>& rows) {
    ListView_SetItemState(List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row : rows) ListView_SetItemState(List(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  // A click on a column's header as the mouse gives it; `wait`: until its sort ends.
  void ClickHeader(int column, bool wait = true) {
    HWND header = ListView_GetHeader(List());
    RECT r{};
    Header_GetItemRect(header, column, &r);
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(header, WM_LBUTTONUP, 0, at);
    if (wait) {
      ASSERT_TRUE(PumpUntil([&] { return !targets->SortingBySize(); }));
    }
  }
  void MakeFiles(const Texts& folders, const Texts& files) {
    for (const auto& f : folders) ASSERT_TRUE(plat::CreateFolder(dir / f));
    for (const auto& f : files) quztest::WriteFile(dir / f, "x");
  }

  CTaisyoDlg* targets = nullptr;
};

TEST_F(TargetWindow, EmptyCatalogueShowsNoRowsAndTheWindowHidesAndShowsAgain) {
  Start("", false);
  EXPECT_FALSE(IsWindowVisible(Window()));
  EXPECT_FALSE(targets->IsShown());
  EXPECT_EQ(Count(), "0個(最大250000個)");
  EXPECT_EQ(Text(IDC_TAISYO_SAVE_FOLDER), SaveFolder());
  EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(List())), 6);
  // The empty catalogue opens the window by itself.
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(Window()); }));
  EXPECT_TRUE(targets->IsShown());
  EXPECT_EQ(GetWindow(Window(), GW_OWNER), main->Handle());

  // "閉じる", the title bar's close and Esc only hide it; the command
  // shows it again, and so does a double click on the tray icon.
  for (auto close : {+[](HWND w) { quztest::Click(w, IDOK); }, +[](HWND w) { SendMessageA(w, WM_CLOSE, 0, 0); },
                     +[](HWND w) { SendMessageA(w, WM_COMMAND, IDCANCEL, 0); }}) {
    close(Window());
    EXPECT_TRUE(IsWindow(Window()));
    EXPECT_FALSE(IsWindowVisible(Window()) || targets->IsShown());
    Show();
    EXPECT_TRUE(IsWindowVisible(Window()) && targets->IsShown());
    EXPECT_EQ(main->ModalState(), quz::kModalNone);
  }
  ShowWindow(Window(), SW_HIDE);
  for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    SendMessageA(main->Handle(), quz::kTrayMessage, quz::kTrayIconId, mouse);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(Window()); }));
  quztest::Click(Window(), IDC_TAISYO_HELP);
  ASSERT_EQ(ui.Opened().size(), 1u);
  EXPECT_TRUE(ui.Opened()[0].first.ends_with("\\help\\taisyo.htm")) << ui.Opened()[0].first;
}

TEST_F(TargetWindow, RowsShowEveryListedEntryWithItsCellsAndIcons) {
  MakeFiles({"deep", "ten", "all"}, {"empty.txt", "a.TXT", "b.txt", "one.exe", "two.exe"});
  Start(Line("C:\\", 3) + Line(dir / "deep\\", 13) + Line(dir / "ten\\", 10) + Line(dir / "all\\", 3) +
        Line(dir / "gone.txt", 0, -1) + Line(dir / "empty.txt", 0) + Line(dir / "a.TXT", 1) + Line(dir / "b.txt", 2) +
        Line(dir / "one.exe", 0) + Line(dir / "two.exe", 0));
  EXPECT_EQ(Column(0), (Texts{"", "deep", "ten", "all", "empty.txt", "a.TXT", "b.txt", "one.exe", "two.exe"}));
  // The shell names every type.
  Texts types = Column(3);
  EXPECT_EQ(types[0], "ハードディスクドライブ");
  for (const std::string& type : types) EXPECT_FALSE(type.empty());

  // The drive root and folders have fixed images; a.TXT and b.txt (the case
  // differs) get one each, as the two programs do; .txt twice is one image.
  EXPECT_EQ(Image(0), quz::CListIcons::kDriveImage);
  for (int row : {1, 2, 3}) EXPECT_EQ(Image(row), quz::CListIcons::kFolderImage);
  for (int row : {4, 5, 6, 7, 8}) EXPECT_GT(Image(row), quz::CListIcons::kDriveImage);
  EXPECT_NE(Image(5), Image(6));
  EXPECT_NE(Image(7), Image(8));
  EXPECT_EQ(Image(4), Image(6));
  EXPECT_EQ(targets->Icons().ImageCount(), 3 + 4);
}

TEST_F(TargetWindow, TheFocusedRowShowsItsPathAndSaveTypeAndItsContextMenuTheCommands) {
  Start(Line(dir / "a.txt", 0) + Line(dir / "b.dat", 1));
  Select({1});
  EXPECT_EQ(Text(IDC_TAISYO_PATH), dir / "b.dat");
  EXPECT_EQ(Text(IDC_TAISYO_SAVE_TYPE), "差分保存");
  EXPECT_EQ(targets->FocusedEntry(), 1);
  EXPECT_EQ(targets->SelectedEntries(), std::vector<int32_t>{1});
  NMITEMACTIVATE click{};
  click.hdr = {List(), IDC_TAISYO_LIST, static_cast<UINT>(NM_RCLICK)};
  click.iItem = 1;
  SendMessageA(Window(), WM_NOTIFY, IDC_TAISYO_LIST, reinterpret_cast<LPARAM>(&click));
  ASSERT_EQ(ui.Menus().size(), 1u);
  EXPECT_EQ(ui.Menus()[0], (Texts{"開く(&O)", "フォルダを開く(&F)", "", "保存形式変更", "削除(&D)", "", "プロパティ(&R)"}));
  // A click at the first row, as the mouse gives it.
  RECT r{};
  ListView_GetItemRect(List(), 0, &r, LVIR_LABEL);
  LPARAM at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
  SendMessageA(List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(List(), WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_EQ(Text(IDC_TAISYO_PATH), dir / "a.txt");
  EXPECT_EQ(Text(IDC_TAISYO_SAVE_TYPE), "通常保存");
  // A rebuild leaves no row selected, a few or many: the rows may show
  // other entries.  The rows in view stay in view.
  targets->RefreshList();
  EXPECT_TRUE(targets->SelectedEntries().empty());
  EXPECT_EQ(targets->FocusedEntry(), -1);
  for (int i = 0; i < 300; ++i)
    ASSERT_TRUE(main->FileList().AddLoaded(dir / ("f" + std::to_string(i) + ".txt"), 0, quz::SaveType::Normal, 0));
  targets->RefreshList();
  ListView_EnsureVisible(List(), 250, FALSE);
  const int top = ListView_GetTopIndex(List());
  ListView_SetItemState(List(), -1, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(targets->SelectedEntries().size(), 302u);
  targets->RefreshList();
  EXPECT_TRUE(targets->SelectedEntries().empty());
  EXPECT_EQ(ListView_GetTopIndex(List()), top);
  EXPECT_EQ(Count(), "302個(最大250000個)");
}

TEST_F(TargetWindow, HeaderClicksSortTextAndSizeBothWaysAndAChangedCatalogueIsWrittenAndListed) {
  // (The orders themselves, 64-bit sizes among them, are the native tests'.)
  const std::pair<const char*, size_t> files[] = {{"b.txt", 3000}, {"A.txt", 10}, {"empty.txt", 0}};
  for (const auto& [name, size] : files) quztest::WriteFile(dir / name, std::string(size, 'x'));
  std::string catalogue;
  for (const char* name : {"b.txt", "missing.txt", "A.txt", "empty.txt"}) catalogue += Line(dir / name, 0);
  Start(catalogue);
  ClickHeader(quz::kColumnName);
  EXPECT_EQ(Column(0), (Texts{"A.txt", "b.txt", "empty.txt", "missing.txt"}));
  ClickHeader(quz::kColumnName);
  EXPECT_EQ(Column(0), (Texts{"missing.txt", "empty.txt", "b.txt", "A.txt"}));
  // Two flips later: the largest first, and the missing file comes right
  // after the empty one.
  ClickHeader(quz::kColumnSize);
  EXPECT_EQ(Column(0), (Texts{"b.txt", "A.txt", "empty.txt", "missing.txt"}));
  ClickHeader(quz::kColumnSize);
  EXPECT_EQ(Column(0), (Texts{"missing.txt", "empty.txt", "A.txt", "b.txt"}));
  // Hiding and showing keeps the order.
  quztest::Click(Window(), IDOK);
  Show();
  EXPECT_EQ(Column(0).front(), "missing.txt");

  // A folder check's work, an entry added and the flag raised: the catalogue
  // is written and the entry listed, sorted the way the last click left.
  ClickHeader(quz::kColumnName);
  ASSERT_TRUE(main->FileList().AddLoaded(dir / "0 found.txt", 0, quz::SaveType::Normal, 0));
  main->State().catalogueChanged = 1;
  ASSERT_TRUE(PumpUntil([&] { return main->State().catalogueChanged.load() == 0; }));
  EXPECT_NE(quztest::ReadFile(dir / quz::kFileListName).find("0 found.txt<"), std::string::npos);
  EXPECT_EQ(Count(), "5個(最大250000個)");
  EXPECT_EQ(Column(0), (Texts{"missing.txt", "empty.txt", "b.txt", "A.txt", "0 found.txt"}));
}

TEST_F(TargetWindow, ALongSizeSortLeavesTheWindowWorkingAndAChecksProgressShowsWhileTheWindowDoes) {
  // Each missing file's size costs a status call: this many outlast the window's wait.
  std::string catalogue;
  for (int i = 0; i < 20000; ++i) catalogue += Line(dir / ("none\\f" + std::to_string(i) + ".txt"), 0);
  Start(catalogue);
  ClickHeader(quz::kColumnSize, false);
  EXPECT_TRUE(targets->SortingBySize());
  EXPECT_EQ(ListCell(List(), 0, 0), "f0.txt");
  ASSERT_TRUE(PumpUntil([&] { return !targets->SortingBySize(); }));
  // Equal keys, reversed under the ascending flag.
  EXPECT_EQ(ListCell(List(), 0, 0), "f19999.txt");

  quz::CProgressDlg& progress = targets->CheckProgress();
  quz::RunState& state = main->State();
  auto tick = [&](int at) {
    state.progress = at;
    SendMessageA(Window(), WM_TIMER, CTaisyoDlg::kTimer, 0);
  };
  // Hidden, the window shows no progress.
  quztest::Click(Window(), IDOK);
  tick(5000);
  EXPECT_FALSE(IsWindowVisible(progress.Handle()));

  Show();
  tick(5000);
  EXPECT_TRUE(IsWindowVisible(progress.Handle()));
  EXPECT_EQ(progress.ItemText(IDC_PROGRESS_CAPTION), "処理中(5000/20000)");
  EXPECT_EQ(progress.ItemText(IDC_PROGRESS_PERCENT), "32%");
  tick(0);
  EXPECT_EQ(progress.ItemText(IDC_PROGRESS_CAPTION), "ファイル調査中");
  EXPECT_EQ(progress.ItemText(IDC_PROGRESS_PERCENT), "10%");
  // Once the check has ended, by the window's own timer.
  state.progress = -1;
  ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(progress.Handle()); }));
  // Closing the window hides a shown progress window with it.
  tick(10000);
  EXPECT_TRUE(IsWindowVisible(progress.Handle()));
  quztest::Click(Window(), IDOK);
  EXPECT_FALSE(IsWindowVisible(progress.Handle()));
  state.progress = -1;
}

TEST_F(TargetWindow, ADroppedFolderIsSearchedAndChecksThatFindFilesRefreshTheRows) {
  MakeFiles({"data", "data\\sub"}, {"data\\a.txt", "data\\sub\\b.txt", "top.txt"});
  Start("");
  HDROP drop = quztest::MakeDrop({dir / "data", dir / "top.txt"});
  SendMessageA(Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  EXPECT_EQ(Column(0), (Texts{"data", "top.txt"}));
  EXPECT_EQ(Column(5), (Texts{"ファイル検索", "通常保存"}));
  EXPECT_EQ(Count(), "2個(最大250000個)");
  // The check the drop started searches the folder; the rows follow.
  ASSERT_TRUE(PumpUntil([&] { return Count() == "5個(最大250000個)"; }));
  EXPECT_TRUE(quz::WaitForCheck(main->Context(), 60000));
  EXPECT_EQ(main->Context().savedCount.load(), 3);
  // "今すぐチェック" starts one too.
  quztest::WriteFile(dir / "data\\c.txt", "x");
  quztest::Click(Window(), IDC_TAISYO_CHECK_NOW);
  ASSERT_TRUE(PumpUntil([&] { return Count() == "6個(最大250000個)"; }));
  EXPECT_EQ(Column(0), (Texts{"data", "top.txt", "a.txt", "sub", "b.txt", "c.txt"}));
}

TEST_F(TargetWindow, SaveTypeCommandsTheDeleteKeyAndTheExitButton) {
  MakeFiles({"data"}, {"other.txt"});
  Start(Line(dir / "other.txt", 0, 5) + Line(dir / "data\\", 3, 5) + Line(dir / "data\\a.txt", 0, 5) +
        Line(dir / "data\\sub\\", 3, 5));
  HWND handle = main->Handle(), window = Window();
  // The save-type commands show their labels in the list and the field.
  const struct {
    int row, command;
    const char* label;
  } cases[] = {
      {0, ID_TARGET_DIFFERENTIAL, "差分保存"}, {0, ID_TARGET_NO_SAVE, "保存しない"}, {0, ID_TARGET_NORMAL, "通常保存"},
      {1, ID_TARGET_DIFFERENTIAL, "差分保存"}, {1, ID_TARGET_NORMAL, "ファイル検索"},
  };
  for (const auto& c : cases) {
    Select({c.row});
    ListCell(List(), c.row, 5);  // painted once, so that its text is kept
    SendMessageA(window, WM_COMMAND, c.command, 0);
    EXPECT_EQ(ListCell(List(), c.row, 5), c.label);
    EXPECT_EQ(Text(IDC_TAISYO_SAVE_TYPE), c.label);
    // Saved again under the new type.
    EXPECT_EQ(main->FileList().EntryAt(c.row)->savedTime, 0) << c.label;
    main->FileList().EntryAt(c.row)->savedTime = 5;
  }

  // The Delete key: with nothing selected nothing happens; a folder takes what is below it.
  for (const auto& [rows, left] : {std::pair{std::vector<int>{}, 4}, std::pair{std::vector<int>{1}, 1}}) {
    Select(rows);
    PostMessageA(List(), WM_KEYDOWN, VK_DELETE, 0);
    Pump();
    EXPECT_EQ(ListView_GetItemCount(List()), left);
  }
  EXPECT_EQ(Column(0), Texts{"other.txt"});
  EXPECT_EQ(Count(), "1個(最大250000個)");
  EXPECT_TRUE(ui.Boxes().empty());

  // "終了" is refused while another window of the menu is open: the window
  // is only hidden, and shown again only once that window is closed.
  main->SetModalState(quz::kModalHistory);
  quztest::Click(window, IDC_TAISYO_EXIT);
  Pump();
  EXPECT_TRUE(IsWindow(handle));
  EXPECT_FALSE(IsWindowVisible(window));
  Show();
  EXPECT_FALSE(IsWindowVisible(window));
  main->SetModalState(quz::kModalNone);
  Show();
  EXPECT_TRUE(IsWindowVisible(window));
  // Otherwise it ends the program, and the catalogue is written.
  quztest::Click(window, IDC_TAISYO_EXIT);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(handle); }));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_NE(quztest::ReadFile(dir / quz::kFileListName).find("other.txt<"), std::string::npos);
}

}  // namespace

// The target commands reached through the target window itself, inside the
// resident program's main window: a drop on the window, the Delete key and
// the save-type commands with the texts the window then shows.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_wnd.h"
#include "app/settings.h"
#include "catalogue/file_list_file.h"
#include "engine/check.h"
#include "resources/resource.h"
#include "targets/taisyo_dlg.h"
#include "tests/support/window_test_support.h"

namespace {

using quztest::ListCell;
using quztest::Pump;
using quztest::WindowText;

class MainWnd : public quz::CMainWnd {
 public:
  MainWnd() { SetQuitOnDestroy(false); }
};

class WindowCommands : public quztest::WindowTest {
 protected:
  void SetUp() override {
    quztest::WindowTest::SetUp();
    ASSERT_TRUE(quz::WriteIntSetting(quz::kSettingsFile, 0, "チェック間隔"));
    ASSERT_TRUE(plat::CreateFolder(dir / "data"));
    ASSERT_TRUE(plat::CreateFolder(dir / "data\\sub"));
    for (const char* f : {"data\\a.txt", "data\\sub\\b.txt", "other.txt"}) quztest::WriteFile(dir / f, "x");
  }
  void TearDown() override {
    if (main) {
      EXPECT_TRUE(quz::WaitForCheck(main->Context(), 60000));
    }
    main.reset();
    quztest::WindowTest::TearDown();
  }
  // The main window over these catalogue lines, its target window shown.
  void Start(const std::string& catalogue) {
    quztest::WriteFile(dir / quz::kFileListName, catalogue);
    main = std::make_unique<MainWnd>();
    ASSERT_TRUE(main->Create());
    if (main->Context().loader) main->Context().loader->Join();
    targets = dynamic_cast<quz::CTaisyoDlg*>(main->TargetWindow());
    ASSERT_NE(targets, nullptr);
    SendMessageA(main->Handle(), WM_COMMAND, ID_SHOW_TARGETS, 0);
    Pump();
  }
  static std::string Line(const std::string& path, int saveType) { return path + "<5<" + std::to_string(saveType) + "<0\r\n"; }
  HWND List() const { return targets->List(); }
  int Rows() const { return ListView_GetItemCount(List()); }
  std::vector<std::string> Column(int column) const {
    std::vector<std::string> texts;
    for (int row = 0; row < Rows(); ++row) texts.push_back(ListCell(List(), row, column));
    return texts;
  }
  // Selects rows as the user does, the last one focused.
  void Select(const std::vector<int>& rows) {
    ListView_SetItemState(List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row : rows) ListView_SetItemState(List(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  void Command(int id) { SendMessageA(targets->Handle(), WM_COMMAND, id, 0); }
  std::string SaveTypeField() const { return WindowText(GetDlgItem(targets->Handle(), IDC_TAISYO_SAVE_TYPE)); }

  std::unique_ptr<MainWnd> main;
  quz::CTaisyoDlg* targets = nullptr;
};

TEST_F(WindowCommands, ADropOnTheWindowListsAFolderToSearchAndChecksIt) {
  Start("");
  std::string folder = dir / "data";
  SendMessageA(targets->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(quztest::MakeDrop({folder})), 0);
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(ListCell(List(), 0, 0), "data");
  EXPECT_EQ(ListCell(List(), 0, 5), "ファイル検索");
  EXPECT_EQ(WindowText(GetDlgItem(targets->Handle(), IDC_TAISYO_COUNT)), "1個(最大250000個)");
  // The check it started searched the folder.
  ASSERT_TRUE(quz::WaitForCheck(main->Context(), 60000));
  EXPECT_NE(main->FileList().FindEntry(dir / "data\\sub\\b.txt"), nullptr);
}

TEST_F(WindowCommands, SaveTypeCommandsShowTheirLabelsInTheListAndTheField) {
  Start(Line(dir / "other.txt", 0) + Line(dir / "data\\", 3));
  ASSERT_EQ(Rows(), 2);
  const struct {
    int row, command;
    const char* label;
  } cases[] = {
      {0, ID_TARGET_DIFFERENTIAL, "差分保存"}, {0, ID_TARGET_NO_SAVE, "保存しない"},
      {0, ID_TARGET_NORMAL, "通常保存"},       {1, ID_TARGET_DIFFERENTIAL, "差分保存"},
      {1, ID_TARGET_NORMAL, "ファイル検索"},
  };
  for (const auto& c : cases) {
    Select({c.row});
    ListCell(List(), c.row, 5);  // painted once, so that its text is kept
    Command(c.command);
    EXPECT_EQ(ListCell(List(), c.row, 5), c.label);
    EXPECT_EQ(SaveTypeField(), c.label);
  }
  EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(WindowCommands, TheDeleteKeyDeletesTheSelectedRows) {
  Start(Line(dir / "data\\", 3) + Line(dir / "data\\a.txt", 0) + Line(dir / "data\\sub\\", 3) +
        Line(dir / "other.txt", 0));
  ASSERT_EQ(Rows(), 4);
  // Nothing selected: nothing happens.
  Select({});
  PostMessageA(List(), WM_KEYDOWN, VK_DELETE, 0);
  Pump();
  EXPECT_EQ(Rows(), 4);

  // The folder takes what is listed below it.
  Select({0});
  PostMessageA(List(), WM_KEYDOWN, VK_DELETE, 0);
  Pump();
  EXPECT_EQ(Column(0), std::vector<std::string>{"other.txt"});
  EXPECT_EQ(WindowText(GetDlgItem(targets->Handle(), IDC_TAISYO_COUNT)), "1個(最大250000個)");
  EXPECT_TRUE(ui.Boxes().empty());
}

}  // namespace

// The folder wizard, both pages driven as the user does, over special
// folders and a Windows folder of the test's own.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "targets/cell_text.h"
#include "targets/target_commands.h"
#include "tests/targets/target_view_fixture.h"

namespace {

using quz::SaveType;
using quztest::Click;
using quztest::ModalSteps;
using quztest::SetBox;
using quztest::Shown;

class FolderWizard : public quztest::TargetCommands {
 protected:
  void SetUp() override {
    TargetCommands::SetUp();
    // The shell gives folders without their "\".
    const std::pair<int, const char*> folders[] = {
        {CSIDL_PERSONAL, "docs"},  {CSIDL_DESKTOPDIRECTORY, "desktop"}, {CSIDL_FAVORITES, "favorites"},
        {CSIDL_STARTMENU, "menu"}, {CSIDL_STARTUP, "startup"},          {CSIDL_WINDOWS, "windows"}};
    for (const auto& [csidl, name] : folders) {
      MakeFolder(name);
      ui.SetSpecialFolder(csidl, dir / name);
    }
    // One the shell does not know.
    ui.SetSpecialFolder(CSIDL_RECENT, "");
  }
  std::string Folder(const char* name) { return dir / (std::string(name) + "\\"); }
  SaveType TypeOf(const char* name) { return list.FindEntry(Folder(name))->saveType; }
  HWND AnyPath(plat::Dialog& page) { return page.Item(IDC_FOLDERADD_ANY_PATH); }
  static void ChooseDepth(plat::Dialog& page, const char* depth) {
    EXPECT_TRUE(plat::ComboBox(page.Item(IDC_SEARCH_DEPTH)).SelectText(depth)) << depth;
  }
  static std::string DepthShown(plat::Dialog& page) {
    plat::ComboBox depths(page.Item(IDC_SEARCH_DEPTH));
    return depths.Selection() < 0 ? std::string() : depths.Text(depths.Selection());
  }
};

TEST_F(FolderWizard, ListedFoldersStartCheckedAndADepthGivesItsCode) {
  ASSERT_TRUE(list.AddEntry(dir / "desktop", SaveType::Search));
  ModalSteps steps({
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD1);
        EXPECT_EQ(quztest::WindowText(page.Handle()), "フォルダーの新規追加(1/2)");
        EXPECT_TRUE(page.IsChecked(IDC_FOLDERADD_DESKTOP));
        for (int box : {IDC_FOLDERADD_DOCUMENTS, IDC_FOLDERADD_FAVORITES, IDC_FOLDERADD_ANY, IDC_FOLDERADD_WINDOWS})
          EXPECT_FALSE(page.IsChecked(box)) << box;
        EXPECT_FALSE(IsWindowEnabled(page.Item(IDC_FOLDERADD_RECENT)));
        EXPECT_TRUE(IsWindowEnabled(page.Item(IDC_FOLDERADD_STARTUP)));
        EXPECT_FALSE(IsWindowEnabled(AnyPath(page)));
        SetBox(page.Handle(), IDC_FOLDERADD_DOCUMENTS, true);
        SetBox(page.Handle(), IDC_FOLDERADD_WINDOWS, true);
        Click(page.Handle(), IDOK);
      },
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD2);
        EXPECT_EQ(quztest::WindowText(page.Handle()), "フォルダーの新規追加(2/2)");
        EXPECT_EQ(DepthShown(page), "無制限");
        EXPECT_EQ(plat::ComboBox(page.Item(IDC_SEARCH_DEPTH)).Count(), 16);
        ChooseDepth(page, "2");
        Click(page.Handle(), IDOK);
      },
  });
  quz::AddFolders(context);
  EXPECT_TRUE(steps.Done());
  EXPECT_EQ(TypeOf("docs"), SaveType(12));
  EXPECT_EQ(quz::CellText(*list.FindEntry(Folder("docs")), quz::kColumnSaveType), "2階層まで検索");
  EXPECT_EQ(TypeOf("windows"), SaveType(12));
  // Still checked, the listed desktop is not added again: it keeps its code.
  EXPECT_EQ(TypeOf("desktop"), SaveType::Search);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
  EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(FolderWizard, BackKeepsTheChoicesAndCancelAddsNothing) {
  const std::string typed = Folder("favorites");
  ModalSteps steps({
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD1);
        SetBox(page.Handle(), IDC_FOLDERADD_WINDOWS, true);
        SetBox(page.Handle(), IDC_FOLDERADD_ANY, true);
        EXPECT_TRUE(IsWindowEnabled(AnyPath(page)));
        SetWindowTextA(AnyPath(page), typed.c_str());
        Click(page.Handle(), IDOK);
      },
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD2);
        ChooseDepth(page, "5");
        Click(page.Handle(), IDC_FOLDERADD_BACK);
      },
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD1);
        EXPECT_TRUE(page.IsChecked(IDC_FOLDERADD_WINDOWS));
        EXPECT_TRUE(page.IsChecked(IDC_FOLDERADD_ANY));
        EXPECT_FALSE(page.IsChecked(IDC_FOLDERADD_DOCUMENTS));
        EXPECT_TRUE(IsWindowEnabled(AnyPath(page)));
        EXPECT_EQ(page.ItemText(IDC_FOLDERADD_ANY_PATH), typed);
        Click(page.Handle(), IDOK);
      },
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD2);
        EXPECT_EQ(DepthShown(page), "5");
        Click(page.Handle(), IDCANCEL);
      },
  });
  quz::AddFolders(context);
  EXPECT_TRUE(steps.Done());

  // Cancel on the first page.
  ModalSteps first({[&] { Click(Shown(IDD_FOLDER_ADD1).Handle(), IDCANCEL); }});
  quz::AddFolders(context);
  EXPECT_TRUE(first.Done());
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(view.refreshes, 0);
  EXPECT_EQ(view.checksRequested, 0);
}

TEST_F(FolderWizard, TheFreePathIsTypedBrowsedOrDroppedAndMustExist) {
  // Checked but empty: nothing to add, nothing said.
  ModalSteps empty({
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD1);
        SetBox(page.Handle(), IDC_FOLDERADD_ANY, true);
        Click(page.Handle(), IDOK);
      },
      [&] { Click(Shown(IDD_FOLDER_ADD2).Handle(), IDOK); },
  });
  quz::AddFolders(context);
  EXPECT_TRUE(empty.Done());
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(ui.Boxes().empty());

  // A path that is not there is refused, naming it.
  const std::string missing = dir / "missing";
  ModalSteps absent({
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD1);
        SetBox(page.Handle(), IDC_FOLDERADD_ANY, true);
        SetWindowTextA(AnyPath(page), missing.c_str());
        Click(page.Handle(), IDOK);
      },
      [&] { Click(Shown(IDD_FOLDER_ADD2).Handle(), IDOK); },
  });
  quz::AddFolders(context);
  EXPECT_TRUE(absent.Done());
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_EQ(ui.Boxes()[0].text, missing + "\r\nは存在しないため、追加できません");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(view.refreshes, 0);

  // "参照" fills the field, a cancelled browser empties it, and a drop on
  // the field puts the first dropped path there.
  const std::string browsed = MakeFolder("browsed"), dropped = MakeFolder("dropped");
  ui.QueueFolder(dir / "browsed");
  ui.QueueFolder(std::nullopt);
  ModalSteps chosen({
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD1);
        SetBox(page.Handle(), IDC_FOLDERADD_ANY, true);
        Click(page.Handle(), IDC_FOLDERADD_BROWSE);
        EXPECT_EQ(page.ItemText(IDC_FOLDERADD_ANY_PATH), dir / "browsed");
        Click(page.Handle(), IDC_FOLDERADD_BROWSE);
        EXPECT_EQ(page.ItemText(IDC_FOLDERADD_ANY_PATH), "");
        SendMessageA(AnyPath(page), WM_DROPFILES,
                     reinterpret_cast<WPARAM>(quztest::MakeDrop({dropped, browsed})), 0);
        EXPECT_EQ(page.ItemText(IDC_FOLDERADD_ANY_PATH), dropped);
        Click(page.Handle(), IDOK);
      },
      [&] { Click(Shown(IDD_FOLDER_ADD2).Handle(), IDOK); },
  });
  quz::AddFolders(context);
  EXPECT_TRUE(chosen.Done());
  EXPECT_EQ(ui.FoldersAsked(), 2);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(TypeOf("dropped"), SaveType::Search);
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
}

}  // namespace

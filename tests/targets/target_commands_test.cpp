// The target commands on a real catalogue with real checks: adding chosen
// and dropped files, changing save types, deleting, opening and the
// properties dialogs.  The folder wizard is in folder_add_test.cpp.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/settings_keys.h"
#include "resources/resource.h"
#include "targets/cell_text.h"
#include "targets/target_commands.h"
#include "targets/target_edits.h"
#include "tests/targets/target_view_fixture.h"

namespace {

using quz::SaveType;
using quztest::Click;
using quztest::ModalSteps;
using quztest::Shown;
using quztest::TargetCommands;

std::string Label(const quz::FileEntry& e) { return quz::CellText(e, quz::kColumnSaveType); }

TEST_F(TargetCommands, ChosenFilesAreAddedOnceAndCheckedOnce) {
  const std::string a = MakeFile("a.txt"), b = MakeFile("b.txt"), c = MakeFile("c.txt");
  ASSERT_TRUE(list.AddEntry(b, SaveType::Search));

  ui.QueueFiles(std::vector<std::string>{a, b, c});
  quz::AddFiles(context);
  EXPECT_EQ(ui.FileFiltersAsked(), std::vector<std::string>{"全てのファイル|*.*||"});
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
  // The check that was asked for saves the new files.
  ASSERT_TRUE(WaitForChecks());
  EXPECT_NE(list.FindEntry(a)->savedTime, 0);
  EXPECT_NE(list.FindEntry(c)->savedTime, 0);

  // Cancelled, or nothing new: no refresh, no check.
  ui.QueueFiles(std::nullopt);
  quz::AddFiles(context);
  ui.QueueFiles(std::vector<std::string>{a});
  quz::AddFiles(context);
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
  EXPECT_TRUE(ui.Boxes().empty());

  // A file gone since it was chosen is not listed as one that can never be
  // saved: the user is told which; an empty path names nothing.
  const std::string gone = dir / "gone.txt";
  ui.QueueFiles(std::vector<std::string>{gone, ""});
  quz::AddFiles(context);
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_EQ(ui.Boxes()[0].text, gone + "\r\nは存在しないため、追加できません");
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(view.refreshes, 1);
}

TEST_F(TargetCommands, DroppedFoldersAreSearchedAndAFullCatalogueRefusesSilently) {
  const std::string folder = MakeFolder("dropped");
  const std::string inner = MakeFile("dropped\\inner.txt");
  const std::string file = MakeFile("file.txt");
  quz::AddDropped(context, {folder.substr(0, folder.size() - 1), file});
  const quz::FileEntry* e = list.FindEntry(folder);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Path(), folder);
  EXPECT_EQ(e->saveType, SaveType::Search);
  EXPECT_EQ(Label(*e), "ファイル検索");
  EXPECT_EQ(list.FindEntry(file)->saveType, SaveType::Normal);
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
  // The check searches the new folder.
  ASSERT_TRUE(WaitForChecks());
  EXPECT_NE(list.FindEntry(inner), nullptr);

  for (int32_t i = list.Count(); i < quz::CFileList::kMaxEntries; ++i)
    ASSERT_TRUE(list.AddLoaded("C:\\full\\f" + std::to_string(i), 1, SaveType::Normal, 0));
  quz::AddDropped(context, {MakeFile("late.txt"), MakeFolder("late")});
  EXPECT_EQ(list.Count(), quz::CFileList::kMaxEntries);
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
  EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(TargetCommands, SaveTypeChangesShowTheirLabelsAndAreSavedAgain) {
  const std::string file = MakeFile("a.txt"), folder = MakeFolder("f");
  const std::string inner = MakeFile("f\\in.txt"), sub = MakeFolder("f\\sub");
  for (const std::string& p : {file, folder, inner, sub}) {
    ASSERT_TRUE(list.AddEntry(p, SaveType::Search));
    list.FindEntry(p)->savedTime = 1234;
  }

  const struct {
    const std::string& path;
    SaveType requested, stored;
    const char* label;
  } cases[] = {
      {file, SaveType::Differential, SaveType::Differential, "差分保存"},
      {file, SaveType::NoSave, SaveType::NoSave, "保存しない"},
      {file, SaveType::Normal, SaveType::Normal, "通常保存"},
      // Searching is a folder's normal state.
      {folder, SaveType::Normal, SaveType::Search, "ファイル検索"},
      {folder, SaveType::Differential, SaveType::Differential, "差分保存"},
  };
  for (const auto& c : cases) {
    view.Select({c.path});
    view.forgotten.clear();
    quz::ChangeSaveType(context, c.requested);
    quz::FileEntry* e = list.FindEntry(c.path);
    EXPECT_EQ(e->saveType, c.stored) << c.label;
    EXPECT_EQ(e->savedTime, 0) << c.label;
    EXPECT_EQ(view.saveTypeText, c.label);
    EXPECT_EQ(Label(*e), c.label);
    EXPECT_EQ(view.forgotten, std::vector<int32_t>{e->index});
    e->savedTime = 1234;
  }
  EXPECT_TRUE(ui.Boxes().empty());
  EXPECT_EQ(view.refreshes, 0);

  // A folder made "保存しない" asks about what was found in it: No leaves
  // it, Yes makes it "保存しない" too.  One that is already asks nothing.
  view.Select({folder});
  ui.QueueAnswer(plat::kAnswerNo);
  quz::ChangeSaveType(context, SaveType::NoSave);
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_EQ(ui.Boxes()[0].caption, "「保存しない」に変更されるフォルダ");
  EXPECT_EQ(ui.Boxes()[0].text, folder + "\r\nに含まれるサブフォルダ・ファイルは今後もバックアップされます。\r\n"
                                         "特に必要が無ければリストから削除して下さい。\r\n\r\nリストから削除しますか？");
  EXPECT_EQ(ui.Boxes()[0].style, plat::kButtonsYesNo | plat::kIconInformation);
  EXPECT_EQ(list.FindEntry(folder)->saveType, SaveType::NoSave);
  EXPECT_EQ(list.FindEntry(inner)->saveType, SaveType::Normal);
  quz::ChangeSaveType(context, SaveType::NoSave);
  EXPECT_EQ(ui.Boxes().size(), 1u);

  list.FindEntry(folder)->saveType = SaveType::Search;
  ui.QueueAnswer(plat::kAnswerYes);
  view.forgotten.clear();
  const int repaints = view.repaints;
  quz::ChangeSaveType(context, SaveType::NoSave);
  EXPECT_EQ(list.FindEntry(inner)->saveType, SaveType::NoSave);
  EXPECT_EQ(list.FindEntry(sub)->saveType, SaveType::NoSave);
  EXPECT_EQ(list.FindEntry(file)->saveType, SaveType::Normal);
  EXPECT_EQ(view.forgotten, (std::vector<int32_t>{list.FindEntry(inner)->index, list.FindEntry(sub)->index,
                                                  list.FindEntry(folder)->index}));
  EXPECT_EQ(view.repaints, repaints + 1);

  view.Select({});
  quz::ChangeSaveType(context, SaveType::Normal);
  EXPECT_EQ(view.repaints, repaints + 1);
}

TEST_F(TargetCommands, DeletingIsRefusedDuringChecksAndWarnsAboutUpperFoldersUntilNo) {
  for (const char* p : {"C:\\a\\", "C:\\a\\b.txt", "C:\\a\\c.txt", "C:\\x.txt"})
    ASSERT_TRUE(list.AddLoaded(p, 5, SaveType::Normal, 0));

  // A full check or a folder check runs: refused, nothing changes.
  view.Select({"C:\\x.txt"});
  state.progress = 3;
  quz::DeleteSelected(context);
  state.progress = -1;
  state.changeCheckRunning = 1;
  quz::DeleteSelected(context);
  state.changeCheckRunning = 0;
  ASSERT_EQ(ui.Boxes().size(), 2u);
  for (const auto& box : ui.Boxes()) {
    EXPECT_EQ(box.text, "バックアップ中はアイテムを削除できません");
    EXPECT_EQ(box.caption, "情報");
    EXPECT_EQ(box.style, plat::kButtonsOk | plat::kIconInformation);
  }
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(view.refreshes, 0);

  view.Select({});
  quz::DeleteSelected(context);
  EXPECT_EQ(view.refreshes, 0);

  // Below a listed folder: kept as "保存しない"; No stores the key, and the
  // message is not shown again.  The catalogue is done with before the
  // message, so no check started while it is open finds it half changed.
  bool doneWhenAsked = false;
  plat::SetMessageResponder([&](HWND, const std::string& text, const std::string& caption, unsigned style) {
    doneWhenAsked = list.FindEntry("C:\\x.txt") == nullptr && list.PendingRemovals() == 0;
    EXPECT_EQ(caption, "「削除」コマンド");
    EXPECT_EQ(style, plat::kButtonsYesNo | plat::kIconInformation);
    EXPECT_EQ(text.rfind("ファイル\r\n  C:\\a\\b.txt\r\nには上位フォルダが存在するため", 0), 0u) << text;
    return plat::kAnswerNo;
  });
  view.Select({"C:\\x.txt", "C:\\a\\b.txt"});
  quz::DeleteSelected(context);
  EXPECT_TRUE(doneWhenAsked);
  EXPECT_EQ(list.FindEntry("C:\\a\\b.txt")->saveType, SaveType::NoSave);
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, quz::kParentFolderListedKey), "Yes");
  EXPECT_EQ(view.refreshes, 1);

  plat::SetMessageResponder([](HWND, const std::string& text, const std::string&, unsigned) {
    ADD_FAILURE() << "asked again: " << text;
    return plat::kAnswerYes;
  });
  view.Select({"C:\\a\\c.txt"});
  quz::DeleteSelected(context);
  EXPECT_EQ(list.FindEntry("C:\\a\\c.txt")->saveType, SaveType::NoSave);

  // A folder leaves with what it held.
  view.Select({"C:\\a\\"});
  quz::DeleteSelected(context);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(view.refreshes, 3);
}

TEST_F(TargetCommands, OpenAndOpenFolderHandThePathToTheShellOrSayWhyNot) {
  const std::string doc = MakeFile("doc.txt"), folder = MakeFolder("dir");
  const std::string odd = MakeFile("dir\\odd.zzz"), gone = dir / "dir\\gone.txt";
  for (const std::string& p : {doc, folder, odd}) ASSERT_TRUE(list.AddEntry(p, SaveType::Search));
  ASSERT_TRUE(list.AddLoaded(gone, 1, SaveType::Normal, 0));
  ui.associatedProgram = [](const std::string& path) -> std::optional<std::string> {
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".txt") == 0 ? "C:\\windows\\notepad.exe" : "";
  };
  const std::string top = dir.path().substr(0, dir.path().size() - 1);
  const std::string inFolder = folder.substr(0, folder.size() - 1);

  const char* const kMissing = "このファイルは存在しません";
  const char* const kNoProgram = "このファイルは関連付けされていません";
  const struct {
    const std::string& entry;
    bool containing;
    std::string opened, verb;  // or a message
    const char* message;
  } cases[] = {
      {doc, false, doc, "open", nullptr},
      {doc, true, top, "", nullptr},
      {folder, false, inFolder, "", nullptr},
      {folder, true, top, "", nullptr},
      {odd, false, "", "", kNoProgram},
      {odd, true, inFolder, "", nullptr},
      {gone, false, "", "", kMissing},
      {gone, true, inFolder, "", nullptr},
  };
  for (const auto& c : cases) {
    const size_t opened = ui.Opened().size(), boxes = ui.Boxes().size();
    view.Select({c.entry});
    if (c.containing)
      quz::OpenContainingFolder(context);
    else
      quz::OpenEntry(context);
    const std::string what = c.entry + (c.containing ? " (folder)" : "");
    if (c.message) {
      ASSERT_EQ(ui.Boxes().size(), boxes + 1) << what;
      EXPECT_EQ(ui.Boxes().back().text, c.message) << what;
      EXPECT_EQ(ui.Boxes().back().caption, "「開く」") << what;
      EXPECT_EQ(ui.Boxes().back().style, plat::kButtonsOk) << what;
      EXPECT_EQ(ui.Opened().size(), opened) << what;
    } else {
      ASSERT_EQ(ui.Opened().size(), opened + 1) << what;
      EXPECT_EQ(ui.Opened().back(), std::make_pair(c.opened, c.verb)) << what;
      EXPECT_EQ(ui.Boxes().size(), boxes) << what;
    }
  }

  // No focused row: nothing.
  view.Select({});
  const size_t opened = ui.Opened().size();
  quz::OpenEntry(context);
  quz::OpenContainingFolder(context);
  EXPECT_EQ(ui.Opened().size(), opened);
}

TEST_F(TargetCommands, AFolderPropertiesShowAndChangeItsSearchDepth) {
  const std::string deep = MakeFolder("deep"), notSaved = MakeFolder("nosave"), top = MakeFolder("top");
  ASSERT_TRUE(list.AddEntry(deep, quz::FolderTypeForDepthIndex(3)));
  ASSERT_TRUE(list.AddEntry(notSaved, SaveType::Search));
  list.FindEntry(notSaved)->saveType = SaveType::NoSave;
  ASSERT_TRUE(list.AddEntry(top, quz::SearchDepthType(1)));  // code 10

  // Code 13 shows "3"; "無制限" stores Search.
  view.Select({deep});
  ModalSteps unlimited({[&] {
    plat::Dialog& d = Shown(IDD_FOLDER_PROP);
    EXPECT_EQ(quztest::WindowText(d.Handle()), "プロパティ");
    EXPECT_EQ(d.ItemText(IDC_FOLDERPROP_PATH), deep);
    plat::ComboBox depth(d.Item(IDC_SEARCH_DEPTH));
    EXPECT_EQ(depth.Count(), 16);
    EXPECT_EQ(depth.Selection(), 3);
    EXPECT_EQ(depth.Text(0), "無制限");
    depth.Select(0);
    Click(d.Handle(), IDOK);
  }});
  quz::ShowProperties(context);
  EXPECT_TRUE(unlimited.Done());
  EXPECT_EQ(list.FindEntry(deep)->saveType, SaveType::Search);
  EXPECT_EQ(view.saveTypeText, "ファイル検索");
  EXPECT_EQ(view.forgotten, std::vector<int32_t>{list.FindEntry(deep)->index});

  // A choice cancelled changes nothing.
  ModalSteps cancelled({[&] {
    plat::Dialog& d = Shown(IDD_FOLDER_PROP);
    plat::ComboBox(d.Item(IDC_SEARCH_DEPTH)).Select(5);
    Click(d.Handle(), IDCANCEL);
  }});
  quz::ShowProperties(context);
  EXPECT_TRUE(cancelled.Done());
  EXPECT_EQ(list.FindEntry(deep)->saveType, SaveType::Search);

  // Code 10 shows "無制限", and OK stores Search.
  view.Select({top});
  ModalSteps ten({[&] {
    plat::Dialog& d = Shown(IDD_FOLDER_PROP);
    EXPECT_EQ(plat::ComboBox(d.Item(IDC_SEARCH_DEPTH)).Selection(), 0);
    Click(d.Handle(), IDOK);
  }});
  quz::ShowProperties(context);
  EXPECT_TRUE(ten.Done());
  EXPECT_EQ(list.FindEntry(top)->saveType, SaveType::Search);

  // A folder that is not searched has no depth to choose.
  view.Select({notSaved});
  ModalSteps disabled({[&] {
    plat::Dialog& d = Shown(IDD_FOLDER_PROP);
    EXPECT_FALSE(IsWindowEnabled(d.Item(IDC_SEARCH_DEPTH)));
    EXPECT_EQ(plat::ComboBox(d.Item(IDC_SEARCH_DEPTH)).Selection(), -1);
    Click(d.Handle(), IDOK);
  }});
  quz::ShowProperties(context);
  EXPECT_TRUE(disabled.Done());
  EXPECT_EQ(list.FindEntry(notSaved)->saveType, SaveType::NoSave);
}

TEST_F(TargetCommands, SelectionPropertiesCountFilesAndFoldersAndAddTheSizes) {
  const std::string a = MakeFile("a.bin", std::string(1048576, 'a'));
  const std::string b = MakeFile("b.bin", std::string(1048576, 'b'));
  const std::string folder = MakeFolder("f");
  for (const std::string& p : {a, b, folder}) ASSERT_TRUE(list.AddEntry(p, SaveType::Search));

  const struct {
    std::vector<std::string> selection;
    const char* counts;
    const char* size;
  } cases[] = {
      {{a}, "ファイル数 : 1、フォルダ数 : 0", "1.000MB(1048576バイト)"},
      {{a, folder, b}, "ファイル数 : 2、フォルダ数 : 1", "2.000MB(2097152バイト)"},
  };
  for (const auto& c : cases) {
    view.Select(c.selection);
    ModalSteps shown({[&] {
      plat::Dialog& d = Shown(IDD_SELECTION_PROP);
      EXPECT_EQ(d.ItemText(IDC_SELPROP_COUNTS), c.counts);
      EXPECT_EQ(d.ItemText(IDC_SELPROP_SIZE), c.size);
      Click(d.Handle(), IDOK);
    }});
    quz::ShowProperties(context);
    EXPECT_TRUE(shown.Done()) << c.counts;
  }
}

}  // namespace

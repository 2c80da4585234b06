// The target commands driven as the target window drives them, on a real
// catalogue with real checks; their dialogs are acted on inside their modal
// loops, message boxes and the shell answer from the script.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/settings_keys.h"
#include "catalogue/file_list.h"
#include "catalogue/generation_index.h"
#include "engine/check.h"
#include "resources/resource.h"
#include "targets/target_commands.h"
#include "targets/target_edits.h"
#include "tests/support/window_test_support.h"

namespace {

using quz::SaveType;
using quztest::Click;
using quztest::ModalSteps;

// What the window does for the commands, recorded; the selection is the test's.
class TestTargetView : public quz::ITargetView {
 public:
  TestTargetView(quz::CFileList& list, quz::CheckContext& checks) : list_(list), checks_(checks) {}
  HWND Owner() const override { return nullptr; }
  std::vector<int32_t> SelectedEntries() const override { return selected; }
  int32_t FocusedEntry() const override { return focused; }
  void RefreshList() override { ++refreshes; }
  void ForgetCells(int32_t entry) override { forgotten.push_back(entry); }
  void Repaint() override { ++repaints; }
  void ShowSaveTypeText(const std::string& text) override { saveTypeText = text; }
  bool StartCheck() override {
    ++checksRequested;
    return quz::StartFullCheck(checks_);
  }
  // Selects the rows of these paths, the last one focused.
  void Select(const std::vector<std::string>& paths) {
    selected.clear();
    focused = -1;
    for (const auto& p : paths) {
      const quz::FileEntry* e = list_.FindEntry(p);
      ASSERT_NE(e, nullptr) << p;
      selected.push_back(focused = e->index);
    }
  }

  std::vector<int32_t> selected;
  int32_t focused = -1;
  int refreshes = 0, repaints = 0, checksRequested = 0;
  std::vector<int32_t> forgotten;
  std::string saveTypeText;

 private:
  quz::CFileList& list_;
  quz::CheckContext& checks_;
};

// The dialog whose modal loop runs, checked to be the one from `templateId`.
plat::Dialog& Shown(int templateId) {
  plat::Dialog* dialog = plat::Dialog::Current();
  if (!dialog || dialog->TemplateId() != templateId) {
    ADD_FAILURE() << "dialog " << templateId << " is not the one shown";
    static plat::Dialog none(0);
    return none;
  }
  return *dialog;
}
// Checks or clears a check box as a click does, with its notification.
void SetBox(plat::Dialog& page, int id, bool checked) {
  CheckDlgButton(page.Handle(), id, checked ? BST_CHECKED : BST_UNCHECKED);
  Click(page.Handle(), id);
}

class TargetCommands : public quztest::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(plat::CreateFolder(dir / "Save"));
    state.saveFolder = SaveFolder();
    checks.catalogueFile = dir / "FileList.txt";
    checks.historyFile = dir / "Rireki.txt";
    checks.settingsFile = dir / "quz.ini";
    // The folder wizard's special folders; the shell gives them without
    // their "\", and one it does not know.
    const std::pair<int, const char*> folders[] = {
        {CSIDL_PERSONAL, "docs"},  {CSIDL_DESKTOPDIRECTORY, "desktop"}, {CSIDL_FAVORITES, "favorites"},
        {CSIDL_STARTMENU, "menu"}, {CSIDL_STARTUP, "startup"},          {CSIDL_WINDOWS, "windows"}};
    for (const auto& [csidl, name] : folders) {
      MakeFolder(name);
      ui.SetSpecialFolder(csidl, dir / name);
    }
    ui.SetSpecialFolder(CSIDL_RECENT, "");
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForChecks());
    WindowTest::TearDown();
  }
  // Files and folders in the test's folder; folders end with "\".
  std::string MakeFile(const std::string& name, const std::string& data = "data") {
    quztest::WriteFile(dir / name, data);
    return dir / name;
  }
  std::string MakeFolder(const std::string& name) {
    EXPECT_TRUE(plat::CreateFolder(dir / name));
    return dir / (name + "\\");
  }
  bool WaitForChecks() { return quz::WaitForCheck(checks, 60000); }
  SaveType TypeOf(const std::string& path) { return list.FindEntry(path)->saveType; }
  // The folder wizard run through these steps, one per page shown.
  void AddFolders(std::vector<std::function<void()>> steps) {
    ModalSteps modal(std::move(steps));
    quz::AddFolders(context);
    EXPECT_TRUE(modal.Done());
  }
  // The properties of the selection, with `step` acting in their dialog.
  void Properties(int templateId, const std::function<void(plat::Dialog&)>& step) {
    ModalSteps modal({[&] { step(Shown(templateId)); }});
    quz::ShowProperties(context);
    EXPECT_TRUE(modal.Done());
  }

  quz::RunState state;
  quz::CFileList list{&state};
  quz::CGenerationIndex index;
  quz::CheckContext checks{list, index, state};
  TestTargetView view{list, checks};
  quz::TargetCommandContext context{view, list, state};
};

TEST_F(TargetCommands, ChosenAndDroppedFilesAreAddedOnceAndCheckedOnceUntilTheCatalogueIsFull) {
  const std::string a = MakeFile("a.txt"), b = MakeFile("b.txt"), c = MakeFile("c.txt");
  ASSERT_TRUE(list.AddEntry(b, SaveType::Search));

  ui.QueueFiles(std::vector<std::string>{a, b, c});
  quz::AddFiles(context);
  EXPECT_EQ(ui.FileFiltersAsked(), std::vector<std::string>{"全てのファイル|*.*||"});
  EXPECT_EQ(list.Count(), 3);
  ASSERT_TRUE(WaitForChecks());

  // Cancelled, or nothing new: no refresh, no check.  A file gone since it
  // was chosen is not listed as one that can never be saved: the user is
  // told which; an empty path names nothing.
  const std::string gone = dir / "gone.txt";
  for (auto chosen : {std::optional<std::vector<std::string>>(), std::optional(std::vector<std::string>{a}),
                      std::optional(std::vector<std::string>{gone, ""})}) {
    ui.QueueFiles(chosen);
    quz::AddFiles(context);
  }
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
  EXPECT_EQ(list.Count(), 3);
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_EQ(ui.Boxes()[0].text, gone + "\r\nは存在しないため、追加できません");

  // A full catalogue refuses a drop without a word.
  for (int32_t i = list.Count(); i < quz::CFileList::kMaxEntries; ++i)
    ASSERT_TRUE(list.AddLoaded("C:\\full\\f" + std::to_string(i), 1, SaveType::Normal, 0));
  quz::AddDropped(context, {MakeFile("late.txt"), MakeFolder("late")});
  EXPECT_EQ(list.Count(), quz::CFileList::kMaxEntries);
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
  EXPECT_EQ(ui.Boxes().size(), 1u);
}

TEST_F(TargetCommands, TheWizardStartsWithListedFoldersCheckedGoesBackAndAddsWithTheDepthsCode) {
  ASSERT_TRUE(list.AddEntry(dir / "desktop", SaveType::Search));
  const std::string typed = dir / "favorites\\";
  auto first = [&](bool again) {
    plat::Dialog& page = Shown(IDD_FOLDER_ADD1);
    EXPECT_TRUE(page.IsChecked(IDC_FOLDERADD_DESKTOP));
    for (int box : {IDC_FOLDERADD_DOCUMENTS, IDC_FOLDERADD_WINDOWS, IDC_FOLDERADD_ANY})
      EXPECT_EQ(page.IsChecked(box), again) << box;
    EXPECT_FALSE(page.IsChecked(IDC_FOLDERADD_FAVORITES));
    EXPECT_FALSE(IsWindowEnabled(page.Item(IDC_FOLDERADD_RECENT)));
    EXPECT_TRUE(IsWindowEnabled(page.Item(IDC_FOLDERADD_STARTUP)));
    EXPECT_EQ(IsWindowEnabled(page.Item(IDC_FOLDERADD_ANY_PATH)) != FALSE, again);
    EXPECT_EQ(page.ItemText(IDC_FOLDERADD_ANY_PATH), again ? typed : "");
    for (int box : {IDC_FOLDERADD_DOCUMENTS, IDC_FOLDERADD_WINDOWS, IDC_FOLDERADD_ANY}) SetBox(page, box, true);
    page.SetItemText(IDC_FOLDERADD_ANY_PATH, typed);
    Click(page.Handle(), IDOK);
  };
  // "戻る" keeps the choices of both pages.
  AddFolders({
      [&] { first(false); },
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD2);
        EXPECT_EQ(quztest::WindowText(page.Item(IDC_SEARCH_DEPTH)), "無制限");
        EXPECT_TRUE(plat::ComboBox(page.Item(IDC_SEARCH_DEPTH)).SelectText("2"));
        Click(page.Handle(), IDC_FOLDERADD_BACK);
      },
      [&] { first(true); },
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD2);
        EXPECT_EQ(quztest::WindowText(page.Item(IDC_SEARCH_DEPTH)), "2");
        Click(page.Handle(), IDOK);
      },
  });
  for (const std::string& added : {dir / "docs\\", dir / "windows\\", typed})
    EXPECT_EQ(TypeOf(added), SaveType(12)) << added;
  // Still checked, the listed desktop is not added again: it keeps its code.
  EXPECT_EQ(TypeOf(dir / "desktop\\"), SaveType::Search);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
  EXPECT_TRUE(ui.Boxes().empty());

  // Cancel on either page adds nothing.
  AddFolders({[&] {
                SetBox(Shown(IDD_FOLDER_ADD1), IDC_FOLDERADD_STARTMENU, true);
                Click(Shown(IDD_FOLDER_ADD1).Handle(), IDOK);
              },
              [&] { Click(Shown(IDD_FOLDER_ADD2).Handle(), IDCANCEL); }});
  AddFolders({[&] { Click(Shown(IDD_FOLDER_ADD1).Handle(), IDCANCEL); }});
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
}

TEST_F(TargetCommands, TheWizardsFreePathIsTypedBrowsedOrDroppedAndMustExist) {
  // Checked but empty: nothing added or said; a missing path is refused by name.
  const std::string missing = dir / "missing";
  for (const std::string& path : {std::string(), missing}) {
    AddFolders({
        [&] {
          plat::Dialog& page = Shown(IDD_FOLDER_ADD1);
          SetBox(page, IDC_FOLDERADD_ANY, true);
          page.SetItemText(IDC_FOLDERADD_ANY_PATH, path);
          Click(page.Handle(), IDOK);
        },
        [&] { Click(Shown(IDD_FOLDER_ADD2).Handle(), IDOK); },
    });
    EXPECT_EQ(list.Count(), 0);
  }
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_EQ(ui.Boxes()[0].text, missing + "\r\nは存在しないため、追加できません");
  EXPECT_EQ(view.refreshes, 0);

  // "参照" fills the field, a cancelled browser empties it, and a drop on
  // the field puts the first dropped path there.
  const std::string browsed = MakeFolder("browsed"), dropped = MakeFolder("dropped");
  ui.QueueFolder(dir / "browsed");
  ui.QueueFolder(std::nullopt);
  AddFolders({
      [&] {
        plat::Dialog& page = Shown(IDD_FOLDER_ADD1);
        SetBox(page, IDC_FOLDERADD_ANY, true);
        Click(page.Handle(), IDC_FOLDERADD_BROWSE);
        EXPECT_EQ(page.ItemText(IDC_FOLDERADD_ANY_PATH), dir / "browsed");
        Click(page.Handle(), IDC_FOLDERADD_BROWSE);
        EXPECT_EQ(page.ItemText(IDC_FOLDERADD_ANY_PATH), "");
        EXPECT_TRUE(GetWindowLongA(page.Item(IDC_FOLDERADD_ANY_PATH), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        SendMessageA(page.Item(IDC_FOLDERADD_ANY_PATH), WM_DROPFILES,
                     reinterpret_cast<WPARAM>(quztest::MakeDrop({dropped, browsed})), 0);
        EXPECT_EQ(page.ItemText(IDC_FOLDERADD_ANY_PATH), dropped);
        Click(page.Handle(), IDOK);
      },
      [&] { Click(Shown(IDD_FOLDER_ADD2).Handle(), IDOK); },
  });
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(TypeOf(dropped), SaveType::Search);
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_EQ(view.checksRequested, 1);
}

TEST_F(TargetCommands, AFolderMadeNoSaveAsksAboutWhatWasFoundInIt) {
  const std::string file = MakeFile("a.txt"), folder = MakeFolder("f");
  const std::string inner = MakeFile("f\\in.txt"), sub = MakeFolder("f\\sub");
  for (const std::string& p : {file, folder, inner, sub}) ASSERT_TRUE(list.AddEntry(p, SaveType::Search));
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
  EXPECT_EQ(TypeOf(folder), SaveType::NoSave);
  EXPECT_EQ(TypeOf(inner), SaveType::Normal);
  quz::ChangeSaveType(context, SaveType::NoSave);
  EXPECT_EQ(ui.Boxes().size(), 1u);

  list.FindEntry(folder)->saveType = SaveType::Search;
  ui.QueueAnswer(plat::kAnswerYes);
  view.forgotten.clear();
  const int repaints = view.repaints;
  quz::ChangeSaveType(context, SaveType::NoSave);
  EXPECT_EQ(TypeOf(inner), SaveType::NoSave);
  EXPECT_EQ(TypeOf(sub), SaveType::NoSave);
  EXPECT_EQ(TypeOf(file), SaveType::Normal);
  EXPECT_EQ(view.forgotten, (std::vector<int32_t>{list.FindEntry(inner)->index, list.FindEntry(sub)->index,
                                                  list.FindEntry(folder)->index}));
  EXPECT_EQ(view.repaints, repaints + 1);

  view.Select({});
  quz::ChangeSaveType(context, SaveType::Normal);
  EXPECT_EQ(view.repaints, repaints + 1);
}

TEST_F(TargetCommands, DeletingIsRefusedDuringChecksAndWarnsAboutUpperFolders) {
  for (const char* p : {"C:\\a\\", "C:\\a\\b.txt", "C:\\x.txt"}) ASSERT_TRUE(list.AddLoaded(p, 5, SaveType::Normal, 0));

  // While a full or a folder check runs: refused; with no selection: nothing.
  view.Select({"C:\\x.txt"});
  state.progress = 3;
  quz::DeleteSelected(context);
  state.progress = -1;
  state.changeCheckRunning = 1;
  quz::DeleteSelected(context);
  state.changeCheckRunning = 0;
  view.Select({});
  quz::DeleteSelected(context);
  ASSERT_EQ(ui.Boxes().size(), 2u);
  for (const auto& box : ui.Boxes()) {
    EXPECT_EQ(box.text, "バックアップ中はアイテムを削除できません");
    EXPECT_EQ(box.caption, "情報");
    EXPECT_EQ(box.style, plat::kButtonsOk | plat::kIconInformation);
  }
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(view.refreshes, 0);

  // Below a listed folder: kept as "保存しない"; No stores the key.  The
  // catalogue is done with before the message, so no check started while
  // it is open finds it half changed.
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
  EXPECT_EQ(TypeOf("C:\\a\\b.txt"), SaveType::NoSave);
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, quz::kParentFolderListedKey), "Yes");
  EXPECT_EQ(view.refreshes, 1);
}

TEST_F(TargetCommands, OpenAndOpenFolderHandThePathToTheShellOrSayWhyNot) {
  const std::string doc = MakeFile("doc.txt"), folder = MakeFolder("dir");
  const std::string odd = MakeFile("dir\\odd.zzz"), gone = dir / "dir\\gone.txt";
  for (const std::string& p : {doc, folder, odd}) ASSERT_TRUE(list.AddEntry(p, SaveType::Search));
  ASSERT_TRUE(list.AddLoaded(gone, 1, SaveType::Normal, 0));
  ui.associatedProgram = [](const std::string& path) -> std::optional<std::string> {
    return path.ends_with(".txt") ? "C:\\windows\\notepad.exe" : "";
  };
  const std::string inFolder = folder.substr(0, folder.size() - 1);

  const struct {
    const std::string& entry;
    bool containing;
    std::string opened, verb;  // or a message
    const char* message;
  } cases[] = {
      // (Which folder contains what: the edits' tests.)
      {doc, false, doc, "open", nullptr}, {folder, false, inFolder, "", nullptr}, {gone, true, inFolder, "", nullptr},
      {odd, false, "", "", "このファイルは関連付けされていません"}, {gone, false, "", "", "このファイルは存在しません"},
  };
  for (const auto& c : cases) {
    const size_t opened = ui.Opened().size(), boxes = ui.Boxes().size();
    view.Select({c.entry});
    c.containing ? quz::OpenContainingFolder(context) : quz::OpenEntry(context);
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

TEST_F(TargetCommands, PropertiesOfAFolderChangeItsSearchDepthAndOfASelectionAddItUp) {
  const std::string deep = MakeFolder("deep"), notSaved = MakeFolder("nosave");
  ASSERT_TRUE(list.AddEntry(deep, quz::FolderTypeForDepthIndex(3)));
  ASSERT_TRUE(list.AddEntry(notSaved, SaveType::Search));
  list.FindEntry(notSaved)->saveType = SaveType::NoSave;

  // Code 13 shows "3"; "無制限" stores Search.
  view.Select({deep});
  Properties(IDD_FOLDER_PROP, [&](plat::Dialog& d) {
    EXPECT_EQ(d.ItemText(IDC_FOLDERPROP_PATH), deep);
    plat::ComboBox depth(d.Item(IDC_SEARCH_DEPTH));
    EXPECT_EQ(depth.Count(), 16);
    EXPECT_EQ(depth.Selection(), 3);
    EXPECT_EQ(depth.Text(0), "無制限");
    depth.Select(0);
    Click(d.Handle(), IDOK);
  });
  EXPECT_EQ(TypeOf(deep), SaveType::Search);
  EXPECT_EQ(view.saveTypeText, "ファイル検索");
  EXPECT_EQ(view.forgotten, std::vector<int32_t>{list.FindEntry(deep)->index});

  // A choice cancelled changes nothing.
  Properties(IDD_FOLDER_PROP, [&](plat::Dialog& d) {
    plat::ComboBox(d.Item(IDC_SEARCH_DEPTH)).Select(5);
    Click(d.Handle(), IDCANCEL);
  });
  EXPECT_EQ(TypeOf(deep), SaveType::Search);

  // A folder that is not searched has no depth to choose.
  view.Select({notSaved});
  Properties(IDD_FOLDER_PROP, [&](plat::Dialog& d) {
    EXPECT_FALSE(IsWindowEnabled(d.Item(IDC_SEARCH_DEPTH)));
    EXPECT_EQ(plat::ComboBox(d.Item(IDC_SEARCH_DEPTH)).Selection(), -1);
    Click(d.Handle(), IDOK);
  });
  EXPECT_EQ(TypeOf(notSaved), SaveType::NoSave);

  // Several rows: files and folders counted, the files' sizes added.
  const std::string a = MakeFile("a.bin", std::string(1048576, 'a')), b = MakeFile("b.bin", std::string(1048576, 'b'));
  for (const std::string& p : {a, b}) ASSERT_TRUE(list.AddEntry(p, SaveType::Search));
  view.Select({a, deep, b});
  Properties(IDD_SELECTION_PROP, [&](plat::Dialog& d) {
    EXPECT_EQ(d.ItemText(IDC_SELPROP_COUNTS), "ファイル数 : 2、フォルダ数 : 1");
    EXPECT_EQ(d.ItemText(IDC_SELPROP_SIZE), "2.000MB(2097152バイト)");
    Click(d.Handle(), IDOK);
  });
}

}  // namespace

// The target commands' work on a real catalogue: deleting with the folder
// and upper-folder rules, the entries below a folder, search depths, the
// properties' totals and the paths handed to the shell.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings.h"
#include "app/settings_keys.h"
#include "catalogue/file_list.h"
#include "platform/platform.h"
#include "targets/target_edits.h"
#include "tests/support/test_support.h"

namespace {

using quz::CFileList;
using quz::SaveType;

// A catalogue listed as the catalogue file lists it (no disk involved:
// folders are the paths that end with "\"), and the settings file the
// upper-folder answer goes to.
class Deleting : public ::testing::Test {
 protected:
  void List(const std::vector<std::string>& paths) {
    for (const auto& p : paths) ASSERT_TRUE(list.AddLoaded(p, 100, SaveType::Normal, 0)) << p;
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (int32_t i = 0; i < list.Count(); ++i) paths.push_back(list.EntryAt(i)->Path());
    return paths;
  }
  SaveType TypeOf(const std::string& path) const { return list.FindEntry(path)->saveType; }
  // Deletes the entries of these paths; the upper-folder question is
  // answered with `showAgain` and recorded.
  int32_t Delete(const std::vector<std::string>& selection, bool showAgain = true) {
    std::vector<int32_t> selected;
    for (const auto& p : selection) selected.push_back(list.FindEntry(p)->index);
    return quz::DeleteTargets(
               list, selected,
               [&](const std::string& text) {
                 asked.push_back(text);
                 return showAgain;
               },
               settings)
        .removed;
  }

  quztest::TempDir dir;
  std::string settings = dir / "quz.ini";
  CFileList list;
  std::vector<std::string> asked;
};

TEST_F(Deleting, AFolderTakesEverythingBelowItAndTheRestKeepsItsOrder) {
  List({"C:\\a\\", "C:\\before.txt", "C:\\a\\x.txt", "C:\\ab.txt", "C:\\a\\sub\\", "C:\\A\\sub\\y.txt",
        "C:\\a b\\z.txt", "D:\\a\\"});
  EXPECT_EQ(Delete({"C:\\a\\"}), 4);
  EXPECT_TRUE(asked.empty());
  // Letter case does not matter to the system, so C:\A\ is C:\a\; a
  // longer name that begins the same is another folder.
  EXPECT_EQ(Paths(), (std::vector<std::string>{"C:\\before.txt", "C:\\ab.txt", "C:\\a b\\z.txt", "D:\\a\\"}));
  EXPECT_EQ(list.PendingRemovals(), 0);
}

TEST_F(Deleting, ADriveRootRemovesItsDrive) {
  List({"C:\\", "C:\\a\\", "C:\\a\\x.txt", "C:\\b.txt", "D:\\c.txt"});
  // Everything on C: is selected, as when the whole list is: the root
  // comes first and takes the rest without a question.
  EXPECT_EQ(Delete({"C:\\b.txt", "C:\\a\\x.txt", "C:\\a\\", "C:\\"}), 4);
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(Paths(), std::vector<std::string>{"D:\\c.txt"});
}

TEST_F(Deleting, BelowAListedFolderAnEntryBecomesNoSaveUntilTheAnswerIsNo) {
  List({"C:\\a\\", "C:\\a\\b.txt", "C:\\a\\c.txt", "C:\\a\\d.txt", "C:\\a\\sub\\", "C:\\a\\sub\\y.txt"});

  EXPECT_EQ(Delete({"C:\\a\\b.txt"}, true), 0);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].find("ファイル\r\n  C:\\a\\b.txt\r\nには上位フォルダが存在するため"), std::string::npos);
  EXPECT_EQ(TypeOf("C:\\a\\b.txt"), SaveType::NoSave);
  EXPECT_EQ(quz::ReadSetting(settings, quz::kParentFolderListedKey), "");

  // Asked in path order; No stores "Yes" and ends the asking, for good.
  EXPECT_EQ(Delete({"C:\\a\\d.txt", "C:\\a\\c.txt"}, false), 0);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].find("C:\\a\\c.txt"), asked[0].find("C:\\a\\b.txt"));
  EXPECT_EQ(quz::ReadSetting(settings, quz::kParentFolderListedKey), "Yes");
  EXPECT_EQ(TypeOf("C:\\a\\c.txt"), SaveType::NoSave);
  EXPECT_EQ(TypeOf("C:\\a\\d.txt"), SaveType::NoSave);

  // A folder kept that way is not searched again, so what was found in it
  // goes, selected or not.
  EXPECT_EQ(Delete({"C:\\a\\sub\\y.txt", "C:\\a\\sub\\"}), 1);
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(TypeOf("C:\\a\\sub\\"), SaveType::NoSave);
  EXPECT_EQ(list.FindEntry("C:\\a\\sub\\y.txt"), nullptr);
  EXPECT_EQ(list.Count(), 5);
}

TEST_F(Deleting, AFolderComesBeforeWhatItHoldsAndGoneOrWithdrawnEntriesAreSkipped) {
  List({"C:\\a\\x.txt", "C:\\a\\"});
  ASSERT_TRUE(list.AddLoaded("C:\\w.txt", quz::kWithdrawnTime, SaveType::Normal, 0));
  // Selected file first: the folder is still handled first, and the file,
  // gone with it, raises no upper-folder question.
  EXPECT_EQ(Delete({"C:\\a\\x.txt", "C:\\a\\", "C:\\a\\x.txt", "C:\\w.txt"}), 2);
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(Paths(), std::vector<std::string>{"C:\\w.txt"});
}

TEST(TargetEdits, BelowAFolderEntriesLeave) {
  // (Made "保存しない" instead: the target commands' test.)
  CFileList list;
  for (const char* p : {"C:\\a\\", "C:\\a\\x.txt", "C:\\a\\sub\\", "C:\\ab.txt"})
    ASSERT_TRUE(list.AddLoaded(p, 1, SaveType::Normal, 0));
  EXPECT_EQ(quz::ApplyBelow(list, "C:\\a", quz::BelowAction::Remove), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(list.FindEntry("C:\\a\\x.txt"), nullptr);
}

TEST(TargetEdits, FolderSetsHoldWhatIsBelowTheirFolders) {
  quz::FolderSet folders;
  for (const char* f : {"C:\\a\\", "C:\\表", "D:\\x\\y\\"}) folders.Add(f);
  const std::pair<const char*, bool> cases[] = {
      {"C:\\A\\b.txt", true},   {"C:\\a\\", false},       {"C:\\a", false},
      {"C:\\ab.txt", false},    {"C:\\表\\z", true},      {"C:\\表", false},
      {"D:\\x\\y\\z\\w", true}, {"D:\\x\\", false},       {"", false},
  };
  for (const auto& [path, below] : cases) EXPECT_EQ(folders.HoldsBelow(path), below) << path;
  EXPECT_FALSE(quz::FolderSet().HoldsBelow("C:\\a\\b"));
}

TEST(TargetEdits, UpperFolders) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\a\\b\\", "C:\\a\\"}, {"C:\\a\\b.txt", "C:\\a\\"}, {"C:\\b.txt", "C:\\"},
      {"C:\\", ""},              {"", ""},                    {"C:\\表\\", "C:\\"},
      {"C:\\a\\表", "C:\\a\\"},
  };
  for (const auto& [path, upper] : cases) EXPECT_EQ(quz::UpperFolder(path), upper) << path;
}

TEST(TargetEdits, SaveTypesAndSearchDepths) {
  EXPECT_EQ(quz::ChangedSaveType(SaveType::Normal, true), SaveType::Search);
  EXPECT_EQ(quz::ChangedSaveType(SaveType::Normal, false), SaveType::Normal);
  EXPECT_EQ(quz::ChangedSaveType(SaveType::Differential, true), SaveType::Differential);

  // The choice a folder's properties preselect, and what each choice stores.
  const std::pair<int, int> shown[] = {{13, 3}, {10, 0}, {3, 0}, {25, 15}, {2, -1}};
  for (const auto& [code, index] : shown) EXPECT_EQ(quz::DepthIndexOf(SaveType(code)), index) << code;
  for (int code : {0, 1, 26}) {
    int index = quz::DepthIndexOf(SaveType(code));
    EXPECT_TRUE(index < -1 || index > 15) << code;
  }
  EXPECT_EQ(quz::SaveTypeOfDepthIndex(0), SaveType::Search);
  EXPECT_EQ(quz::SaveTypeOfDepthIndex(3), SaveType(13));

  // A folder added with a depth choice gets the code of that choice.
  quztest::TempDir dir;
  CFileList list;
  for (int index : {0, 2, 15}) {
    std::string folder = dir / ("d" + std::to_string(index));
    ASSERT_TRUE(plat::CreateFolder(folder));
    ASSERT_TRUE(list.AddEntry(folder, quz::FolderTypeForDepthIndex(index)));
    EXPECT_EQ(list.FindEntry(folder)->saveType, quz::SaveTypeOfDepthIndex(index)) << index;
  }
}

TEST(TargetEdits, SelectionTotalsCountFilesAndFoldersAndAddSizesIn64Bits) {
  // Two files of 3 GB (sparse), a folder and a file that is gone (counted,
  // adding nothing).  (Small sizes: the properties dialog's test.)
  quztest::TempDir dir;
  ASSERT_TRUE(plat::CreateFolder(dir / "sub"));
  for (const char* name : {"big1", "big2"}) {
    plat::File big;
    ASSERT_TRUE(big.Open(dir / name, plat::Access::Write, plat::Disposition::CreateAlways));
    ASSERT_TRUE(big.SetLength(3000000000LL));
  }
  quz::SelectionTotals large =
      quz::TotalSelection({dir / "big1", dir / "sub\\", dir / "gone.txt", dir / "big2"});
  EXPECT_EQ(quz::SelectionCountText(large), "ファイル数 : 3、フォルダ数 : 1");
  EXPECT_EQ(quz::SelectionSizeText(large), "5722.046MB(6000000000バイト)");
}

TEST(TargetEdits, OpenPaths) {
  struct Case {
    const char* entry;
    const char* open;
    const char* containing;
  } cases[] = {
      {"C:\\a\\b.txt", "C:\\a\\b.txt", "C:\\a"},
      {"C:\\a\\b\\", "C:\\a\\b", "C:\\a"},
      {"C:\\b.txt", "C:\\b.txt", "C:\\"},
      {"C:\\", "C:\\", "C:\\"},
      {"C:\\表\\x", "C:\\表\\x", "C:\\表"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(quz::OpenPathOf(c.entry, false), c.open) << c.entry;
    EXPECT_EQ(quz::OpenPathOf(c.entry, true), c.containing) << c.entry;
  }
}

}  // namespace

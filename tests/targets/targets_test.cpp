// The target list's rows, cells and orders and the target commands' edits on
// a real catalogue, on both backends (the windows: the target window's tests).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/settings_keys.h"
#include "catalogue/file_list.h"
#include "platform/platform.h"
#include "targets/row_sort.h"
#include "targets/target_edits.h"
#include "targets/target_rows.h"
#include "tests/support/test_support.h"

namespace {

using quz::CFileList;
using quz::CompareListTexts;
using quz::CTargetRows;
using quz::KeyedRow;
using quz::SaveType;

// ---- rows

class TargetRows : public ::testing::Test {
 protected:
  void Add(const std::string& path, SaveType type = SaveType::Normal, int32_t savedTime = 0,
           int32_t lookedAt = 0) {
    ASSERT_TRUE(list.AddLoaded(path, savedTime, type, lookedAt)) << path;
  }
  // The shell as the window asks it, counting its questions.
  quz::ShellTexts CountingShell() {
    quz::ShellTexts shell;
    shell.typeName = [this](const std::string& path, bool isFolder) {
      ++asked[path];
      if (isFolder) return std::string("ファイル フォルダー");
      return quz::ListExtension(path) == ".txt" ? std::string("テキスト ドキュメント") : std::string();
    };
    shell.driveKind = [](const std::string& root) {
      return root == "C:\\" ? quz::DriveKind::Fixed : quz::DriveKind::Other;
    };
    return shell;
  }

  quztest::TempDir dir;
  quz::CFileList list;
  std::map<std::string, int> asked;
};

TEST_F(TargetRows, ListEveryEntryButWithdrawnOnesAndKeepTheirTextsUntilForgottenOrRebuilt) {
  CTargetRows rows(list);
  EXPECT_EQ(rows.Refresh(), 0);
  Add(dir / "a.txt");
  Add(dir / "gone.txt", SaveType::Normal, quz::kWithdrawnTime);
  Add(dir / "b.txt");
  EXPECT_EQ(rows.Refresh(), 2);
  EXPECT_EQ(rows.Rows(), (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(rows.EntryOfRow(1), 2);
  EXPECT_EQ(rows.EntryOfRow(2), -1);

  EXPECT_EQ(rows.CellText(0, quz::kColumnSaveType), "通常保存");
  list.EntryAt(0)->saveType = SaveType::NoSave;
  EXPECT_EQ(rows.CellText(0, quz::kColumnSaveType), "通常保存");
  rows.ForgetCells(0);
  EXPECT_EQ(rows.CellText(0, quz::kColumnSaveType), "保存しない");
  list.EntryAt(0)->saveType = SaveType::Differential;
  rows.Refresh();
  EXPECT_EQ(rows.CellText(0, quz::kColumnSaveType), "差分保存");
}

TEST_F(TargetRows, CellsOfFilesFoldersAndADriveRoot) {
  ASSERT_TRUE(plat::CreateFolder(dir / "data"));
  quztest::WriteFile(dir / "empty.txt", "");
  quztest::WriteFile(dir / "one.abc", "x");
  quztest::WriteFile(dir / "README", std::string(1024, 'r'));
  quztest::WriteFileOfSize(dir / "big.txt", int64_t{5} << 30);
  struct Row {
    std::string path;
    SaveType type;
    std::string name, folder, size, typeText, saveText;
  } table[] = {
      {dir / "data\\", static_cast<SaveType>(13), "data", dir.path(), "", "ファイル フォルダー", "3階層まで検索"},
      {dir / "data\\ten\\", static_cast<SaveType>(10), "ten", dir / "data\\", "", "ファイル フォルダー", "保存しない"},
      {dir / "data\\all\\", SaveType::Search, "all", dir / "data\\", "", "ファイル フォルダー", "ファイル検索"},
      {dir / "empty.txt", SaveType::Normal, "empty.txt", dir.path(), "0KB", "テキスト ドキュメント", "通常保存"},
      {dir / "one.abc", SaveType::Differential, "one.abc", dir.path(), "1KB", "ABC ファイル", "差分保存"},
      {dir / "README", SaveType::NoSave, "README", dir.path(), "2KB", "ファイル", "保存しない"},
      // Sizes are 64-bit: 5 GiB is 5242880 KB, and a started KB counts.
      {dir / "big.txt", SaveType::Normal, "big.txt", dir.path(), "5242881KB", "テキスト ドキュメント", "通常保存"},
      {dir / "missing.txt", SaveType::Normal, "missing.txt", dir.path(), "", "テキスト ドキュメント", "通常保存"},
      {"C:\\", SaveType::Search, "", "C:", "", "ハードディスクドライブ", "ファイル検索"},
  };
  for (const Row& row : table) Add(row.path, row.type);
  CTargetRows rows(list, CountingShell());
  ASSERT_EQ(rows.Refresh(), 9);
  for (int32_t i = 0; i < 9; ++i) {
    const Row& row = table[i];
    EXPECT_EQ(rows.CellText(i, quz::kColumnName), row.name) << row.path;
    EXPECT_EQ(rows.CellText(i, quz::kColumnFolder), row.folder) << row.path;
    EXPECT_EQ(rows.CellText(i, quz::kColumnSize), row.size) << row.path;
    EXPECT_EQ(rows.CellText(i, quz::kColumnType), row.typeText) << row.path;
    EXPECT_EQ(rows.CellText(i, quz::kColumnSaveType), row.saveText) << row.path;
  }
  // Without a shell every type falls back to the extension.
  CTargetRows bare(list);
  bare.Refresh();
  EXPECT_EQ(bare.CellText(3, quz::kColumnType), "TXT ファイル");
  EXPECT_EQ(bare.CellText(0, quz::kColumnType), "ファイル");
  // The size order's keys: a file that is not there sorts before an empty one.
  const std::pair<const char*, int64_t> keys[] = {
      {"missing.txt", 0}, {"empty.txt", 1}, {"one.abc", 1}, {"big.txt", int64_t{5} << 30}};
  for (const auto& [name, key] : keys) EXPECT_EQ(quz::SizeKey(dir / name), key) << name;
}

TEST_F(TargetRows, TheShellIsAskedOncePerExtensionAndOncePerProgramFile) {
  for (char c = 'a'; c <= 'z'; ++c) Add(dir / (std::string(1, c) + ".txt"));
  for (const char* name : {"upper.TXT", "a.exe", "b.exe", "c.Lnk", "sub\\", "sub2\\"}) Add(dir / name);
  CTargetRows rows(list, CountingShell());
  for (int refresh = 0; refresh < 2; ++refresh) {
    rows.Refresh();
    for (int32_t entry : rows.Rows()) rows.CellText(entry, quz::kColumnType);
  }
  // Extensions are keys with their letter case: .txt and .TXT are two.
  std::map<std::string, int> expected = {{dir / "a.txt", 1},  {dir / "upper.TXT", 1},  {dir / "a.exe", 1},
                                         {dir / "b.exe", 1},   {dir / "c.Lnk", 1},  {dir / "sub\\", 1}};
  EXPECT_EQ(asked, expected);
  EXPECT_EQ(quz::ShellKey(dir / "x.y\\noext", false), "");
  EXPECT_EQ(quz::ShellKey("C:\\", true), "C:\\");
}

TEST_F(TargetRows, LastCheckTimesAreLocalMinutesAndSortAsTexts) {
  // Find a time whose local text ends with 9:05; an hour later is 10:05.
  int32_t nine = 1100000000 - 1100000000 % 60;
  for (int i = 0; i < 24 * 60 && !quz::LookedAtText(nine).ends_with(" 9:05"); ++i) nine += 60;
  Add(dir / "nine.txt", SaveType::Normal, 0, nine);
  Add(dir / "ten.txt", SaveType::Normal, 0, nine + 3600 + 59);
  Add(dir / "never.txt", SaveType::Normal, 0, -5);
  CTargetRows rows(list);
  rows.ClickHeader(quz::kColumnLookedAt);
  std::vector<std::string> times;
  for (int32_t entry : rows.Rows()) times.emplace_back(rows.CellText(entry, quz::kColumnLookedAt));
  ASSERT_EQ(times.size(), 3u);
  EXPECT_EQ(times[1].substr(times[1].size() - 6), " 10:05");
  EXPECT_EQ(times[2].substr(times[2].size() - 5), " 9:05");
  // A negative time was taken for "never" and kept as 0.
  EXPECT_EQ(list.EntryAt(2)->lookedAtTime.load(), 0);
}

TEST_F(TargetRows, ASizeJobAppliesOnlyToTheRowsItWasMadeFor) {
  quztest::WriteFile(dir / "small.txt", "s");
  quztest::WriteFile(dir / "large.txt", std::string(5000, 'l'));
  Add(dir / "small.txt");
  Add(dir / "large.txt");
  CTargetRows rows(list);
  rows.sortColumn = quz::kColumnSize;
  rows.BuildRows();
  std::shared_ptr<quz::SizeJob> job = rows.MakeSizeJob();
  ASSERT_TRUE(job->Run());
  EXPECT_EQ(job->done.load(), 2);
  EXPECT_TRUE(rows.ApplySizes(*job));
  EXPECT_EQ(rows.Rows(), (std::vector<int32_t>{1, 0}));

  std::shared_ptr<quz::SizeJob> stale = rows.MakeSizeJob();
  ASSERT_TRUE(stale->Run());
  rows.BuildRows();
  EXPECT_FALSE(rows.ApplySizes(*stale));
  EXPECT_EQ(rows.Rows(), (std::vector<int32_t>{0, 1}));
  std::shared_ptr<quz::SizeJob> cancelled = rows.MakeSizeJob();
  cancelled->cancelled = true;
  EXPECT_FALSE(cancelled->Run());
}

// ---- orders

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(ListTextComparison, IgnoresLetterCaseComparesBytesUnsignedAndStopsAt260Bytes) {
  struct Case {
    std::string a, b;
    int expected;
  } cases[] = {
      {"abc", "ABC", 0},
      {"a.TXT", "A.txt", 0},
      {"abc", "abd", -1},
      {"ab", "abc", -1},
      {"Zeta", "alpha", 1},
      // "_" lies between the cases of the letters: lower case decides.
      {"_x", "Ax", -1},
      // A double-byte character sorts after every single-byte letter.
      {"表.txt", "z.txt", 1},
      {"", "", 0},
      {std::string(260, 'a') + "b", std::string(260, 'A') + "c", 0},
      {std::string(259, 'a') + "b", std::string(259, 'a') + "c", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(CompareListTexts(c.a.c_str(), c.b.c_str())), c.expected) << c.a << " / " << c.b;
    EXPECT_EQ(Sign(CompareListTexts(c.b.c_str(), c.a.c_str())), -c.expected) << c.b << " / " << c.a;
  }
}

// Rows of keys drawn from a few texts (many equal keys), in a random order.
std::vector<KeyedRow> RandomRows(const std::vector<std::string>& texts, size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<KeyedRow> rows(n);
  for (size_t i = 0; i < n; ++i) rows[i] = {texts[random() % texts.size()].c_str(), static_cast<int32_t>(i)};
  return rows;
}

std::vector<int32_t> Entries(const std::vector<KeyedRow>& rows) {
  std::vector<int32_t> entries(rows.size());
  std::transform(rows.begin(), rows.end(), entries.begin(), [](const KeyedRow& row) { return row.entry; });
  return entries;
}

TEST(ListTextSort, GivesTheStableOrderInBothDirections) {
  // Short keys, and keys that share a long start and differ (also only in
  // letter case) far into it.
  std::vector<std::string> texts = {"b.txt", "B.TXT", "a.txt", "表.dat", "c", "", "A.txt", "readme",
                                    "Z:\\Data\\Folder01\\", "z:\\data\\folder01\\", "Z:\\Data\\Folder01\\x",
                                    "Z:\\Data\\Folder1\\", "Z:\\Data\\Folder01\\表", "Z:\\Data\\FolderZZ\\"};
  // From a random order, then again from the order just made (already in
  // order, then reversed), as header clicks sort; how long a large folder
  // listed in order takes is the benchmark's.
  for (size_t n : {0, 1, 2, 23, 24, 25, 100, 1000, 5001}) {
    std::vector<KeyedRow> rows = RandomRows(texts, n, static_cast<uint32_t>(n));
    for (bool ascending : {true, true, false, false}) {
      std::vector<KeyedRow> expected = rows;
      std::stable_sort(expected.begin(), expected.end(), [ascending](const KeyedRow& a, const KeyedRow& b) {
        int c = CompareListTexts(a.key, b.key);
        return ascending ? c < 0 : c > 0;
      });
      quz::SortKeyedRows(rows, ascending);
      EXPECT_EQ(Entries(rows), Entries(expected)) << n << (ascending ? " ascending" : " descending");
    }
  }
}

TEST(SizeOrder, OrdersAll64BitsStablyAndReversesTheWholeOrder) {
  const int64_t kGiB = int64_t{1} << 30;
  std::vector<int64_t> pool = {0, 1, 2, 255, 256, 65536, 4 * kGiB, 4 * kGiB + 1, 5 * kGiB, kGiB, 1, 0};
  std::mt19937 random(7);
  for (size_t n : {0, 1, 12, 3000}) {
    std::vector<int64_t> keys(n);
    std::generate(keys.begin(), keys.end(), [&] { return pool[random() % pool.size()]; });
    std::vector<int32_t> rows(n);
    std::iota(rows.begin(), rows.end(), 100);
    // keys[i] belongs to row 100 + i.
    std::vector<int32_t> expected = rows;
    std::stable_sort(expected.begin(), expected.end(),
                     [&](int32_t a, int32_t b) { return keys[a - 100] < keys[b - 100]; });

    std::vector<int32_t> sorted = rows;
    quz::SortRowsBySize(sorted, keys, false);
    EXPECT_EQ(sorted, expected) << n;
    sorted = rows;
    quz::SortRowsBySize(sorted, keys, true);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected) << n;
  }
}

TEST(SortProgressWindow, ShowsOnlyAfterHalfASecondThenAtMostEvery50Ms) {
  std::vector<int> shown;
  quz::SortProgress quick([&](int percent) { shown.push_back(percent); });
  for (int i = 0; i <= 1000; ++i) quick.Step(i, 1000);
  EXPECT_TRUE(shown.empty());
  EXPECT_FALSE(quick.Shown());

  quz::SortProgress slow([&](int percent) { shown.push_back(percent); });
  slow.SetPart(50, 100);
  plat::Sleep(600);
  slow.Step(1, 4);
  slow.Step(2, 4);  // within 50 ms of the first
  EXPECT_TRUE(slow.Shown());
  EXPECT_EQ(shown, std::vector<int>{62});
  plat::Sleep(100);  // well past 50 ms on any clock the system keeps
  slow.Step(3, 4);
  EXPECT_EQ(shown, (std::vector<int>{62, 87}));
}

// ---- edits

// A catalogue as its file lists it (no disk involved: folders are the paths
// that end with "\"), and the settings file the upper-folder answer goes to.
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
  // Deletes these paths' entries, recording the upper-folder questions and
  // answering them with `showAgain`.
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

TEST_F(Deleting, FoldersAndDriveRootsComeBeforeWhatTheyHoldAndGoneOrWithdrawnEntriesAreSkipped) {
  List({"C:\\", "C:\\a\\", "C:\\a\\x.txt", "C:\\b.txt", "D:\\a\\x.txt", "D:\\a\\", "D:\\c.txt"});
  ASSERT_TRUE(list.AddLoaded("D:\\w.txt", quz::kWithdrawnTime, SaveType::Normal, 0));
  // Selected files first (one twice), and all of C: as when the whole list
  // is: a folder or a drive root is still handled first, and what it takes
  // raises no upper-folder question.
  EXPECT_EQ(Delete({"C:\\b.txt", "C:\\a\\x.txt", "C:\\a\\", "C:\\", "D:\\a\\x.txt", "D:\\a\\", "D:\\a\\x.txt",
                    "D:\\w.txt"}),
            6);
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(Paths(), (std::vector<std::string>{"D:\\c.txt", "D:\\w.txt"}));
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

TEST(TargetEdits, SearchDepths) {
  // (A save type changed on a folder or a file: the target window's tests.)
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
  for (const char* name : {"big1", "big2"}) quztest::WriteFileOfSize(dir / name, 3000000000LL);
  quz::SelectionTotals large =
      quz::TotalSelection({dir / "big1", dir / "sub\\", dir / "gone.txt", dir / "big2"});
  EXPECT_EQ(quz::SelectionCountText(large), "ファイル数 : 3、フォルダ数 : 1");
  EXPECT_EQ(quz::SelectionSizeText(large), "5722.046MB(6000000000バイト)");
}

TEST(TargetEdits, UpperFoldersAndOpenPaths) {
  // An entry's upper folder, and what opening it and its folder open.
  struct Case {
    const char *entry, *upper, *open, *containing;
  } cases[] = {
      {"C:\\a\\b.txt", "C:\\a\\", "C:\\a\\b.txt", "C:\\a"},
      {"C:\\a\\b\\", "C:\\a\\", "C:\\a\\b", "C:\\a"},
      {"C:\\b.txt", "C:\\", "C:\\b.txt", "C:\\"},
      {"C:\\", "", "C:\\", "C:\\"},
      {"C:\\表\\x", "C:\\表\\", "C:\\表\\x", "C:\\表"},
      {"C:\\表\\", "C:\\", "C:\\表", "C:\\"},
      {"C:\\a\\表", "C:\\a\\", "C:\\a\\表", "C:\\a"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(quz::UpperFolder(c.entry), c.upper) << c.entry;
    EXPECT_EQ(quz::OpenPathOf(c.entry, false), c.open) << c.entry;
    EXPECT_EQ(quz::OpenPathOf(c.entry, true), c.containing) << c.entry;
  }
  EXPECT_EQ(quz::UpperFolder(""), "");
}

}  // namespace

// The target list's rows over a real catalogue of real files: which entries
// are listed, the texts of their cells, the shell's answers asked once per
// key and the size order (header clicks are driven in the target window's
// tests).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "catalogue/file_list.h"
#include "platform/platform.h"
#include "targets/target_rows.h"
#include "tests/support/test_support.h"

namespace {

using quz::CTargetRows;
using quz::SaveType;

class TargetRows : public ::testing::Test {
 protected:
  void Add(const std::string& path, SaveType type = SaveType::Normal, int32_t savedTime = 0,
           int32_t lookedAt = 0) {
    ASSERT_TRUE(list.AddLoaded(path, savedTime, type, lookedAt)) << path;
  }
  // The texts of one column, row by row.
  std::vector<std::string> Column(CTargetRows& rows, int column) {
    std::vector<std::string> texts;
    for (int32_t entry : rows.Rows()) texts.emplace_back(rows.CellText(entry, column));
    return texts;
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

TEST_F(TargetRows, ListEveryEntryButWithdrawnOnes) {
  CTargetRows rows(list);
  EXPECT_EQ(rows.Refresh(), 0);
  Add(dir / "a.txt");
  Add(dir / "gone.txt", SaveType::Normal, quz::kWithdrawnTime);
  Add(dir / "b.txt");
  EXPECT_EQ(rows.Refresh(), 2);
  EXPECT_EQ(rows.Rows(), (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(rows.EntryOfRow(1), 2);
  EXPECT_EQ(rows.EntryOfRow(2), -1);
}

TEST_F(TargetRows, CellsOfFilesFoldersAndADriveRoot) {
  ASSERT_TRUE(plat::CreateFolder(dir / "data"));
  quztest::WriteFile(dir / "empty.txt", "");
  quztest::WriteFile(dir / "one.abc", "x");
  quztest::WriteFile(dir / "README", std::string(1024, 'r'));
  {
    plat::File big;
    ASSERT_TRUE(big.Open(dir / "big.txt", plat::Access::Write, plat::Disposition::CreateAlways));
    ASSERT_TRUE(big.SetLength(int64_t{5} << 30));
  }
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
}

TEST_F(TargetRows, TheShellIsAskedOncePerExtensionAndOncePerProgramFile) {
  for (char c = 'a'; c <= 'z'; ++c) Add(dir / (std::string(1, c) + ".txt"));
  Add(dir / "upper.TXT");
  Add(dir / "a.exe");
  Add(dir / "b.exe");
  Add(dir / "c.Lnk");
  Add(dir / "sub\\");
  Add(dir / "sub2\\");
  CTargetRows rows(list, CountingShell());
  for (int refresh = 0; refresh < 2; ++refresh) {
    rows.Refresh();
    for (int32_t entry : rows.Rows()) rows.CellText(entry, quz::kColumnType);
  }
  // Extensions are keys with their letter case: .txt and .TXT are two.
  std::map<std::string, int> expected = {{dir / "a.txt", 1},  {dir / "upper.TXT", 1},  {dir / "a.exe", 1},
                                         {dir / "b.exe", 1},   {dir / "c.Lnk", 1},  {dir / "sub\\", 1}};
  EXPECT_EQ(asked, expected);
  EXPECT_EQ(quz::ShellKey(dir / "a.exe", false), dir / "a.exe");
  EXPECT_EQ(quz::ShellKey(dir / "a.TXT", false), ".TXT");
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
  std::vector<std::string> times = Column(rows, quz::kColumnLookedAt);
  ASSERT_EQ(times.size(), 3u);
  EXPECT_EQ(times[1].substr(times[1].size() - 6), " 10:05");
  EXPECT_EQ(times[2].substr(times[2].size() - 5), " 9:05");
  // A negative time was taken for "never" and kept as 0.
  EXPECT_EQ(list.EntryAt(2)->lookedAtTime.load(), 0);
}

TEST_F(TargetRows, TextsStayUntilForgottenOrRebuilt) {
  Add(dir / "a.txt");
  CTargetRows rows(list);
  rows.Refresh();
  EXPECT_EQ(rows.CellText(0, quz::kColumnSaveType), "通常保存");
  list.EntryAt(0)->saveType = SaveType::NoSave;
  EXPECT_EQ(rows.CellText(0, quz::kColumnSaveType), "通常保存");
  rows.ForgetCells(0);
  EXPECT_EQ(rows.CellText(0, quz::kColumnSaveType), "保存しない");
  list.EntryAt(0)->saveType = SaveType::Differential;
  rows.Refresh();
  EXPECT_EQ(rows.CellText(0, quz::kColumnSaveType), "差分保存");
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

}  // namespace

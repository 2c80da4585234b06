#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/paths.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

using quztest::ReadFile;
using quztest::TempDir;
using quztest::WriteFile;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { quz::OverrideProgramFolder(dir.path()); }
  void TearDown() override { quz::OverrideProgramFolder(""); }
  std::string Ini() { return dir / "quz.ini"; }
  TempDir dir;
};

TEST_F(SettingsTest, FirstWriteCreatesOneLine) {
  EXPECT_TRUE(quz::WriteSetting("quz.ini", "300", "チェック間隔"));
  EXPECT_EQ(ReadFile(Ini()), "[チェック間隔]300\r\n");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "チェック間隔"), "300");
  EXPECT_EQ(quz::ReadIntSetting("quz.ini", "チェック間隔"), 300);
}

TEST_F(SettingsTest, MissingFileAndKeyReadEmpty) {
  EXPECT_EQ(quz::ReadSetting("quz.ini", "チェック間隔"), "");
  EXPECT_EQ(quz::ReadIntSetting("quz.ini", "チェック間隔"), 0);
  WriteFile(Ini(), "[a]1\r\n");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "b"), "");
}

TEST_F(SettingsTest, RewritingKeepsLinesBeforeAndAfterInOrder) {
  quz::WriteSetting("quz.ini", "Z:\\save\\", "quz保存先フォルダ");
  quz::WriteSetting("quz.ini", "300", "チェック間隔");
  quz::WriteSetting("quz.ini", "5", "世代間理数");
  quz::WriteSetting("quz.ini", "Z:\\other\\longer\\path\\", "チェック間隔");
  EXPECT_EQ(ReadFile(Ini()),
            "[quz保存先フォルダ]Z:\\save\\\r\n[チェック間隔]Z:\\other\\longer\\path\\\r\n[世代間理数]5\r\n");
  quz::WriteSetting("quz.ini", "", "チェック間隔");
  EXPECT_EQ(ReadFile(Ini()), "[quz保存先フォルダ]Z:\\save\\\r\n[チェック間隔]\r\n[世代間理数]5\r\n");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "チェック間隔"), "");
}

TEST_F(SettingsTest, DeleteRemovesOnlyTheLine) {
  quz::WriteSetting("quz.ini", "1", "a");
  quz::WriteSetting("quz.ini", "2", "b");
  quz::WriteSetting("quz.ini", "3", "c");
  EXPECT_TRUE(quz::DeleteSetting("quz.ini", "b"));
  EXPECT_EQ(ReadFile(Ini()), "[a]1\r\n[c]3\r\n");
  EXPECT_TRUE(quz::DeleteSetting("quz.ini", "missing"));
  EXPECT_EQ(ReadFile(Ini()), "[a]1\r\n[c]3\r\n");
  quz::DeleteSetting("quz.ini", "a");
  quz::DeleteSetting("quz.ini", "c");
  EXPECT_EQ(ReadFile(Ini()), "");
}

TEST_F(SettingsTest, DeletingTheOnlyLineLeavesAnEmptyFile) {
  quz::WriteSetting("quz.ini", "300", "チェック間隔");
  quz::DeleteSetting("quz.ini", "チェック間隔");
  EXPECT_TRUE(quztest::Exists(Ini()));
  EXPECT_EQ(ReadFile(Ini()), "");
}

TEST_F(SettingsTest, LastLineWithoutLineEnd) {
  WriteFile(Ini(), "[a]1\r\n[b]2");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "b"), "");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "a"), "1");
  quz::WriteSetting("quz.ini", "9", "b");
  EXPECT_EQ(ReadFile(Ini()), "[a]1\r\n[b]9\r\n");
  WriteFile(Ini(), "[a]1\r\n[b]2");
  quz::DeleteSetting("quz.ini", "b");
  EXPECT_EQ(ReadFile(Ini()), "[a]1\r\n");
}

TEST_F(SettingsTest, KeyThatExtendsAnotherDoesNotInterfere) {
  quz::WriteSetting("quz.ini", "1", "最小管理時間有効");
  quz::WriteSetting("quz.ini", "60", "最小管理時間");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "最小管理時間"), "60");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "最小管理時間有効"), "1");
  quz::WriteSetting("quz.ini", "0", "最小管理時間有効");
  EXPECT_EQ(ReadFile(Ini()), "[最小管理時間有効]0\r\n[最小管理時間]60\r\n");
}

TEST_F(SettingsTest, FirstOccurrenceWins) {
  WriteFile(Ini(), "[a]1\r\n[x]y\r\n[a]2\r\n");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "a"), "1");
  quz::WriteSetting("quz.ini", "3", "a");
  EXPECT_EQ(ReadFile(Ini()), "[a]3\r\n[x]y\r\n[a]2\r\n");
  quz::DeleteSetting("quz.ini", "a");
  EXPECT_EQ(ReadFile(Ini()), "[x]y\r\n[a]2\r\n");
}

TEST_F(SettingsTest, NumbersReadLikeTextToInteger) {
  EXPECT_EQ(quz::SettingToInt("abc"), 0);
  EXPECT_EQ(quz::SettingToInt(""), 0);
  EXPECT_EQ(quz::SettingToInt("12abc"), 12);
  EXPECT_EQ(quz::SettingToInt("  -7"), -7);
  EXPECT_EQ(quz::SettingToInt("+42"), 42);
  EXPECT_EQ(quz::SettingToInt("99999999999"), 2147483647);
  quz::WriteSetting("quz.ini", "Yes", "世代間理数");
  EXPECT_EQ(quz::ReadIntSetting("quz.ini", "世代間理数"), 0);
  quz::WriteIntSetting("quz.ini", -5, "n");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "n"), "-5");
}

TEST_F(SettingsTest, LongValuesAreKeptWhole) {
  std::string longPath = "Z:\\";
  for (int i = 0; i < 200; ++i) longPath += "フォルダ\\";
  quz::WriteSetting("quz.ini", longPath, "復元先フォルダ");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "復元先フォルダ"), longPath);
}

TEST_F(SettingsTest, AbsoluteFileNamesAreUsedAsTheyStand) {
  std::string other = dir / "other.ini";
  quz::WriteSetting(other, "v", "k");
  EXPECT_EQ(ReadFile(other), "[k]v\r\n");
  EXPECT_FALSE(quztest::Exists(Ini()));
}

TEST_F(SettingsTest, AWriteLeavesNoTemporaryFileBehind) {
  quz::WriteSetting("quz.ini", "1", "a");
  quz::WriteSetting("quz.ini", "2", "a");
  std::vector<plat::DirEntry> entries;
  ASSERT_TRUE(plat::ListDirectory(dir.path(), entries));
  for (const auto& e : entries) EXPECT_EQ(e.name.find(".tmp"), std::string::npos) << e.name;
}

TEST_F(SettingsTest, ConcurrentWritersNeverTearOrLoseTheFile) {
  quz::WriteSetting("quz.ini", "Z:\\save\\", "quz保存先フォルダ");
  constexpr int kThreads = 6;
  constexpr int kRounds = 40;
  std::atomic<bool> done{false};
  std::atomic<int> badReads{0};
  // A reader that must always see the save folder line and whole lines.
  std::thread reader([&] {
    while (!done) {
      std::string text;
      if (!plat::ReadWholeFile(Ini(), text)) {
        ++badReads;
        continue;
      }
      if (text.rfind("[quz保存先フォルダ]Z:\\save\\\r\n", 0) != 0 ||
          (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") != 0))
        ++badReads;
    }
  });
  std::vector<std::thread> writers;
  // A write may report failure when the file stays busy past the retries
  // (a reader holding it open, a loaded machine); what counts is that each
  // key ends with the last value whose write reported success.
  std::vector<int> lastWritten(kThreads, -1);
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t, &lastWritten] {
      for (int i = 0; i < kRounds; ++i)
        if (quz::WriteSetting("quz.ini", std::to_string(i), "key" + std::to_string(t))) lastWritten[t] = i;
    });
  }
  for (auto& w : writers) w.join();
  done = true;
  reader.join();
  EXPECT_EQ(badReads.load(), 0);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_GE(lastWritten[t], 0);
    EXPECT_EQ(quz::ReadSetting("quz.ini", "key" + std::to_string(t)), std::to_string(lastWritten[t]));
  }
  EXPECT_EQ(quz::ReadSetting("quz.ini", "quz保存先フォルダ"), "Z:\\save\\");
}

TEST_F(SettingsTest, ALeftoverTemporaryFileFromACrashChangesNothing) {
  quz::WriteSetting("quz.ini", "Z:\\save\\", "quz保存先フォルダ");
  WriteFile(Ini() + ".123.tmp", "[quz保存先フォルダ]half");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "quz保存先フォルダ"), "Z:\\save\\");
  quz::WriteSetting("quz.ini", "300", "チェック間隔");
  EXPECT_EQ(ReadFile(Ini()), "[quz保存先フォルダ]Z:\\save\\\r\n[チェック間隔]300\r\n");
}

TEST(ProgramPaths, ExePathIsBesideTheExecutable) {
  std::string exe = plat::ExecutablePath();
  std::string folder = quz::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(exe.compare(0, folder.size(), folder), 0) << exe << " / " << folder;
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_EQ(quz::ExePath("quz.ini"), folder + "quz.ini");
}

TEST(CreateSaveFolder, AppendsSeparatorAndCreatesEveryLevel) {
  TempDir dir;
  std::string path = dir / "a\\b\\c";
  EXPECT_TRUE(quz::CreateSaveFolder(path));
  EXPECT_EQ(path, dir / "a\\b\\c\\");
  plat::FileStatus st;
  ASSERT_TRUE(plat::GetFileStatus(dir / "a\\b\\c", st));
  EXPECT_TRUE(st.isDirectory);
  // Existing levels are fine, and a second call changes nothing.
  EXPECT_TRUE(quz::CreateSaveFolder(path));
  EXPECT_EQ(path, dir / "a\\b\\c\\");
}

TEST(CreateSaveFolder, ASecondByteBackslashIsNoSeparator) {
  TempDir dir;
  // Ends with "ソ", whose second byte is "\": a separator must still be added,
  // and "表" must not split the path into two levels.
  std::string path = dir / "表\\ソ";
  EXPECT_TRUE(quz::CreateSaveFolder(path));
  EXPECT_EQ(path, dir / "表\\ソ\\");
  std::vector<plat::DirEntry> entries;
  ASSERT_TRUE(plat::ListDirectory(dir.path(), entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].name, "表");
  ASSERT_TRUE(plat::ListDirectory(dir / "表", entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].name, "ソ");
}

TEST(CreateSaveFolder, LevelsThatCannotBeMadeAreIgnored) {
  TempDir dir;
  quztest::WriteFile(dir / "file", "x");
  std::string path = dir / "file\\sub";
  EXPECT_FALSE(quz::CreateSaveFolder(path));
  EXPECT_EQ(path, dir / "file\\sub\\");
}

}  // namespace

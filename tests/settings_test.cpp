#include <gtest/gtest.h>

#include <atomic>
#include <optional>
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

// The file as it was (none: no file), writes and deletes (a value of none)
// in order, then the file as it is and what reading gives.
struct FileCase {
  const char* what;
  std::optional<std::string> before;
  std::vector<std::pair<std::string, std::optional<std::string>>> changes;
  std::optional<std::string> after;
  std::vector<std::pair<std::string, std::string>> reads;
};

TEST_F(SettingsTest, LinesAreWrittenReplacedAndDeletedInPlace) {
  std::string longPath = "Z:\\";
  for (int i = 0; i < 200; ++i) longPath += "フォルダ\\";
  const FileCase cases[] = {
      {"first write", {}, {{"チェック間隔", "300"}}, "[チェック間隔]300\r\n", {{"チェック間隔", "300"}}},
      {"no file", {}, {}, {}, {{"チェック間隔", ""}}},
      {"no key", "[a]1\r\n", {}, "[a]1\r\n", {{"b", ""}}},
      {"rewritten in its place",
       {},
       {{"quz保存先フォルダ", "Z:\\save\\"}, {"チェック間隔", "300"}, {"世代間理数", "5"},
        {"チェック間隔", "Z:\\other\\longer\\path\\"}},
       "[quz保存先フォルダ]Z:\\save\\\r\n[チェック間隔]Z:\\other\\longer\\path\\\r\n[世代間理数]5\r\n",
       {}},
      {"emptied", "[a]1\r\n[b]2\r\n[c]3\r\n", {{"b", ""}}, "[a]1\r\n[b]\r\n[c]3\r\n", {{"b", ""}}},
      {"deleted",
       "[a]1\r\n[b]2\r\n[c]3\r\n",
       {{"b", std::nullopt}, {"missing", std::nullopt}},
       "[a]1\r\n[c]3\r\n",
       {{"b", ""}}},
      {"the last line deleted", "[a]1\r\n", {{"a", std::nullopt}}, "", {}},
      {"a last line without CR LF", "[a]1\r\n[b]2", {}, "[a]1\r\n[b]2", {{"a", "1"}, {"b", ""}}},
      {"... rewritten", "[a]1\r\n[b]2", {{"b", "9"}}, "[a]1\r\n[b]9\r\n", {}},
      {"... deleted", "[a]1\r\n[b]2", {{"b", std::nullopt}}, "[a]1\r\n", {}},
      {"a key that extends another",
       {},
       {{"最小管理時間有効", "1"}, {"最小管理時間", "60"}, {"最小管理時間有効", "0"}},
       "[最小管理時間有効]0\r\n[最小管理時間]60\r\n",
       {{"最小管理時間", "60"}}},
      {"the first of two", "[a]1\r\n[x]y\r\n[a]2\r\n", {{"a", "3"}}, "[a]3\r\n[x]y\r\n[a]2\r\n", {{"a", "3"}}},
      {"... deleted", "[a]1\r\n[x]y\r\n[a]2\r\n", {{"a", std::nullopt}}, "[x]y\r\n[a]2\r\n", {{"a", "2"}}},
      {"a long value", {}, {{"復元先フォルダ", longPath}}, "[復元先フォルダ]" + longPath + "\r\n",
       {{"復元先フォルダ", longPath}}},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.what);
    plat::DeleteFile(Ini());
    if (c.before) WriteFile(Ini(), *c.before);
    for (const auto& [key, value] : c.changes)
      EXPECT_TRUE(value ? quz::WriteSetting("quz.ini", *value, key) : quz::DeleteSetting("quz.ini", key));
    if (c.after)
      EXPECT_EQ(ReadFile(Ini()), *c.after);
    else
      EXPECT_FALSE(quztest::Exists(Ini()));
    for (const auto& [key, value] : c.reads) EXPECT_EQ(quz::ReadSetting("quz.ini", key), value) << key;
  }
  // A write leaves no temporary file behind, and one a crash left changes
  // nothing.
  for (const auto& name : quztest::FileNames(dir.path())) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
  WriteFile(Ini() + ".123.tmp", "[復元先フォルダ]half");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "復元先フォルダ"), longPath);
  quz::WriteSetting("quz.ini", "300", "チェック間隔");
  EXPECT_EQ(ReadFile(Ini()), "[復元先フォルダ]" + longPath + "\r\n[チェック間隔]300\r\n");
  // An absolute name is used as it stands.
  quz::WriteSetting(dir / "other.ini", "v", "k");
  EXPECT_EQ(ReadFile(dir / "other.ini"), "[k]v\r\n");
}

TEST_F(SettingsTest, NumbersReadLikeTextToInteger) {
  const std::pair<const char*, int> numbers[] = {{"abc", 0},    {"", 0},      {"12abc", 12},
                                                 {"  -7", -7},  {"+42", 42},  {"99999999999", 2147483647}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(quz::SettingToInt(text), value) << text;
  EXPECT_EQ(quz::ReadIntSetting("quz.ini", "missing"), 0);
  quz::WriteIntSetting("quz.ini", -5, "n");
  EXPECT_EQ(quz::ReadSetting("quz.ini", "n"), "-5");
}

TEST_F(SettingsTest, ConcurrentWritersNeverTearOrLoseTheFile) {
  quz::WriteSetting("quz.ini", "Z:\\save\\", "quz保存先フォルダ");
  constexpr int kThreads = 6, kRounds = 40;
  std::atomic<bool> done{false};
  std::atomic<int> reads{0}, badReads{0};
  // A reader that must always see the save folder line and whole lines.  It
  // pauses between reads: reading without a break, it would take the
  // wine server's whole time and starve the writers.
  std::thread reader([&] {
    while (!done) {
      std::string text;
      ++reads;
      if (!plat::ReadWholeFile(Ini(), text) || text.rfind("[quz保存先フォルダ]Z:\\save\\\r\n", 0) != 0 ||
          (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") != 0))
        ++badReads;
      plat::Sleep(1);
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
  EXPECT_GT(reads.load(), 1);
  EXPECT_EQ(badReads.load(), 0);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_GE(lastWritten[t], 0);
    EXPECT_EQ(quz::ReadSetting("quz.ini", "key" + std::to_string(t)), std::to_string(lastWritten[t]));
  }
  EXPECT_EQ(quz::ReadSetting("quz.ini", "quz保存先フォルダ"), "Z:\\save\\");
}

TEST(ProgramPaths, ExePathIsBesideTheExecutable) {
  const std::string folder = quz::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(plat::ExecutablePath().starts_with(folder)) << plat::ExecutablePath() << " / " << folder;
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_EQ(quz::ExePath("quz.ini"), folder + "quz.ini");
}

TEST(CreateSaveFolder, MakesEveryLevelCutAtRealSeparatorsAndEndsWithOne) {
  TempDir dir;
  // Ends with "ソ", whose second byte is "\": a separator is still added, and
  // "表" does not split the path into two levels.  Existing levels are fine,
  // and a second call changes nothing.
  for (int call = 0; call < 2; ++call) {
    std::string path = dir / "a\\表\\ソ";
    EXPECT_TRUE(quz::CreateSaveFolder(path));
    EXPECT_EQ(path, dir / "a\\表\\ソ\\");
  }
  std::vector<plat::DirEntry> entries;
  ASSERT_TRUE(plat::ListDirectory(dir / "a\\表", entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].name, "ソ");
  EXPECT_TRUE(entries[2].isDirectory);
  // Levels that cannot be made are passed over.
  quztest::WriteFile(dir / "file", "x");
  std::string path = dir / "file\\sub";
  EXPECT_FALSE(quz::CreateSaveFolder(path));
  EXPECT_EQ(path, dir / "file\\sub\\");
}

}  // namespace

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "catalogue/file_list.h"
#include "catalogue/rules.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quz::ClassRule;
using quz::CRuleTable;

ClassRule Rule(uint8_t kind, const std::string& ext, int32_t sizeKB, int32_t result) {
  return {kind, ext, sizeKB, static_cast<quz::SaveType>(result)};
}

// Each rule as "kind extension size result", to compare whole tables.
std::vector<std::string> Described(const CRuleTable& table) {
  std::vector<std::string> rules;
  for (const ClassRule& r : table.rules)
    rules.push_back(std::to_string(r.kind) + " " + r.extension + " " + std::to_string(r.sizeKB) + " " +
                    std::to_string(static_cast<int>(r.result)));
  return rules;
}

TEST(Classify, TheLastMatchingRuleDecidesByExtensionOrSize) {
  quztest::TempDir dir;
  ASSERT_TRUE(plat::CreateFolder(dir / "v1.0"));
  const std::pair<const char*, int64_t> files[] = {
      {"big.pst", 200LL * 1000 * 1000}, {"small.pst", 5LL * 1000 * 1000}, {"small.txt", 5LL * 1000 * 1000},
      {"a.txt", 10}, {"README", 10}, {"empty.dat", 0}, {"v1.0\\notes", 10}, {"\x83\x5c.TxT", 10},
      {"huge.pst", 4LL * 1024 * 1024 * 1024 + 10}};
  for (const auto& [name, size] : files) quztest::WriteFileOfSize(dir / name, size);
  using quz::SaveType;
  const struct {
    std::vector<ClassRule> rules;
    std::vector<std::pair<const char*, SaveType>> results;
  } cases[] = {
      {{}, {{"big.pst", SaveType::Normal}}},
      {{Rule(quz::kRuleExtension, "pst", 0, 1), Rule(quz::kRuleSizeAtLeast, "", 100000, 2)},
       {{"big.pst", SaveType::NoSave}, {"small.pst", SaveType::Differential}, {"small.txt", SaveType::Normal}}},
      // The extension is the part after the last "." of the name, not of a
      // folder, in any case; ソ ends in the byte of "\" and does not split
      // the name there.
      {{Rule(quz::kRuleExtension, "TXT", 0, 2)},
       {{"a.txt", SaveType::NoSave}, {"\x83\x5c.TxT", SaveType::NoSave}, {"README", SaveType::Normal}}},
      {{Rule(quz::kRuleExtension, "", 0, 1)},
       {{"README", SaveType::Differential}, {"a.txt", SaveType::Normal}, {"v1.0\\notes", SaveType::Differential}}},
      {{Rule(quz::kRuleSizeAtMost, "", 0, 2)}, {{"empty.dat", SaveType::NoSave}, {"a.txt", SaveType::Normal}}},
      {{Rule(quz::kRuleEveryFile, "", 0, 1), Rule(quz::kRuleExtension, "txt", 0, 0)},
       {{"README", SaveType::Differential}, {"a.txt", SaveType::Normal}}},
      // Files of four gigabytes are not small.
      {{Rule(quz::kRuleSizeAtMost, "", 100, 2), Rule(quz::kRuleSizeAtLeast, "", 2000000, 1)},
       {{"huge.pst", SaveType::Differential}}},
  };
  for (const auto& c : cases) {
    const CRuleTable table{c.rules};
    for (const auto& [name, result] : c.results) EXPECT_EQ(quz::Classify(table, dir / name), result) << name;
  }
}

class RulesFile : public ::testing::Test {
 protected:
  std::string Ini() { return dir / "quz.ini"; }
  void Set(const std::string& key, const std::string& value) {
    ASSERT_TRUE(quz::WriteSetting(Ini(), value, key));
  }
  quztest::TempDir dir;
};

TEST_F(RulesFile, LoadKeepsValidRulesInOrderAndDropsBadOnes) {
  const std::pair<const char*, const char*> settings[] = {
      {"0-mode", "0"}, {"0-mode2", "1"}, {"0-ext", "pst"},
      {"1-mode", "2"}, {"1-mode2", "2"},  // size rule without size: dropped
      {"2-mode", "7"}, {"2-mode2", "2"},  // unknown kind: dropped
      {"3-mode", "1"}, {"3-mode2", "2"}, {"3-size", "64"},
      {"4-mode", "0"}, {"4-mode2", "2"},  // empty extension is allowed
      {"5-mode", "3"}, {"5-mode2", "0"},
      {"6-mode", "3"},  // no result: loading stops here
      {"7-mode", "3"}, {"7-mode2", "1"}};
  for (const auto& [key, value] : settings) Set(std::string("quz振り分け条件") + key, value);
  CRuleTable table;
  quz::LoadRules(table, Ini());
  EXPECT_EQ(Described(table), (std::vector<std::string>{"0 pst 0 1", "1  64 2", "0  0 2", "3  0 0"}));
}

TEST_F(RulesFile, SaveDeletesOldKeysAndWritesTheCurrentRules) {
  quz::SaveRules({{Rule(0, "pst", 0, 1), Rule(2, "", 500, 2), Rule(3, "", 0, 0)}}, 0, Ini());
  const CRuleTable now{{Rule(1, "", 12, 2), Rule(0, "\x95\x5c", 0, 1)}};
  quz::SaveRules(now, 3, Ini());
  EXPECT_EQ(quztest::ReadFile(Ini()),
            "[quz振り分け条件0-mode]1\r\n[quz振り分け条件0-size]12\r\n[quz振り分け条件0-mode2]2\r\n"
            "[quz振り分け条件1-mode]0\r\n[quz振り分け条件1-ext]\x95\x5c\r\n[quz振り分け条件1-mode2]1\r\n");
  CRuleTable back;
  quz::LoadRules(back, Ini());
  EXPECT_EQ(Described(back), Described(now));
}

// The old keys go and the new ones come in one write: a reader (the next
// start after a crash, or quzctl meanwhile) never finds the list emptied.
TEST_F(RulesFile, SavingNeverShowsALossOfRules) {
  const CRuleTable three{std::vector<ClassRule>(3, Rule(quz::kRuleEveryFile, "", 0, 1))},
      four{std::vector<ClassRule>(4, Rule(quz::kRuleEveryFile, "", 0, 2))};
  quz::SaveRules(three, 0, Ini());
  std::atomic<bool> done{false};
  std::vector<size_t> seen;
  std::thread reader([&] {
    while (!done.load()) {
      CRuleTable table;
      quz::LoadRules(table, Ini());
      seen.push_back(table.rules.size());
    }
  });
  for (int i = 0; i < 40; ++i) {
    quz::SaveRules(four, 3, Ini());
    quz::SaveRules(three, 4, Ini());
  }
  done = true;
  reader.join();
  ASSERT_FALSE(seen.empty());
  for (size_t n : seen) ASSERT_TRUE(n == 3 || n == 4) << n;
}

TEST_F(RulesFile, ExclusionSwitchesAndFoldersAndNoRecycleBinInAnOrdinaryFolder) {
  Set("ごみ箱", "1");
  Set("一時フォルダ", "1");
  quz::ExpandContext c = quz::LoadExpandContext("D:\\QUZ_BACKUP", Ini());
  EXPECT_EQ((std::array{c.skipRecycleBin, c.skipTempFolder, c.skipSaveFolder, c.skipOwnFolder}),
            (std::array{true, true, false, false}));
  EXPECT_EQ(c.saveFolder, "D:\\QUZ_BACKUP\\");
  EXPECT_EQ(c.tempFolder.back(), '\\');
  EXPECT_EQ(c.exeFolder.back(), '\\');
  EXPECT_FALSE(quz::IsRecycleBin(dir.path()));  // an ordinary folder
}

// Walks the catalogue as a check does: entries added while walking are
// reached in the same pass.
void Expand(quz::CFileList& list, const quz::ExpandContext& context) {
  quz::FolderNames names;
  for (int32_t i = 0; i < list.Count(); ++i) {
    quz::FileEntry* e = list.EntryAt(i);
    if (e && e->IsFolder()) quz::ExpandFolder(list, i, context, names);
  }
}

class Expansion : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder :
         {"top", "top\\a", "top\\a\\b", "top\\a\\b\\c", "top\\save", "top\\save\\day", "top\\own"})
      ASSERT_TRUE(plat::CreateFolder(dir / folder));
    for (const char* file : {"top\\1.txt", "top\\a\\2.pst", "top\\a\\b\\3.txt", "top\\a\\b\\c\\4.txt",
                             "top\\save\\day\\copy.txt", "top\\own\\quz.exe"})
      quztest::WriteFile(dir / file, "x");
  }
  quztest::TempDir dir;
  quz::CFileList list;
};

TEST_F(Expansion, DepthCodesGoDownOneLevelAtATime) {
  ASSERT_TRUE(list.AddEntry(dir / "top", quz::SearchDepthType(2)));  // searched two more levels
  Expand(list, quz::ExpandContext{});
  EXPECT_NE(list.FindEntry(dir / "top\\")->lookedAtTime, 0);
  EXPECT_EQ(list.FindEntry(dir / "top\\a\\")->saveType, quz::SearchDepthType(0));
  EXPECT_EQ(list.FindEntry(dir / "top\\1.txt")->saveType, quz::SaveType::Normal);
  // A folder of code 10 is listed but not searched.
  EXPECT_EQ(list.FindEntry(dir / "top\\a\\2.pst"), nullptr);
  EXPECT_EQ(list.FindEntry(dir / "top\\a\\")->lookedAtTime, 0);
}

TEST_F(Expansion, SearchFoldersPassTheirCodeToEveryLevelAndFilesAreClassified) {
  const CRuleTable rules{{Rule(0, "pst", 0, 1)}};
  list.SetClassifier([&rules](const std::string& p) { return quz::Classify(rules, p); });
  ASSERT_TRUE(list.AddEntry(dir / "top\\", quz::SaveType::Search));
  Expand(list, quz::ExpandContext{});
  EXPECT_EQ(list.Count(), 13);
  for (const char* folder : {"top", "top\\a\\b\\c"})
    EXPECT_EQ(list.FindEntry(dir / folder)->saveType, quz::SaveType::Search) << folder;
  EXPECT_EQ(list.FindEntry(dir / "top\\a\\b\\c\\4.txt")->saveType, quz::SaveType::Normal);
  EXPECT_EQ(list.FindEntry(dir / "top\\a\\2.pst")->saveType, quz::SaveType::Differential);
  // Expanding again adds nothing.
  Expand(list, quz::ExpandContext{});
  EXPECT_EQ(list.Count(), 13);
}

TEST_F(Expansion, ExcludedFoldersBecomeNoSaveAndAreNeverSearchedAndUnlistableOnesAreLeft) {
  quz::ExpandContext context;
  context.skipSaveFolder = context.skipTempFolder = context.skipOwnFolder = true;
  // Compared ignoring the case of letters.
  context.saveFolder = dir.path() + "top\\SAVE\\";
  context.tempFolder = dir.path() + "top\\a\\b\\";
  context.exeFolder = dir.path() + "top\\own\\";
  ASSERT_TRUE(list.AddEntry(dir / "top", quz::SaveType::Search));
  ASSERT_TRUE(list.AddLoaded(dir / "gone\\", 0, quz::SaveType::Search, 0));
  Expand(list, context);
  for (const char* folder : {"top\\save\\", "top\\a\\b\\", "top\\own\\"})
    EXPECT_EQ(list.FindEntry(dir / folder)->saveType, quz::SaveType::NoSave) << folder;
  for (const char* below : {"top\\save\\day\\", "top\\a\\b\\3.txt", "top\\own\\quz.exe"})
    EXPECT_EQ(list.FindEntry(dir / below), nullptr) << below;
  EXPECT_NE(list.FindEntry(dir / "top\\a\\2.pst"), nullptr);
  EXPECT_EQ(list.Count(), 8);  // top, gone, 1.txt, a, a\2.pst, a\b, save, own
  // Switched off, the same folders are searched.
  quz::CFileList open;
  ASSERT_TRUE(open.AddEntry(dir / "top", quz::SaveType::Search));
  context.skipSaveFolder = context.skipTempFolder = context.skipOwnFolder = false;
  Expand(open, context);
  for (const char* below : {"top\\save\\day\\copy.txt", "top\\a\\b\\3.txt", "top\\own\\quz.exe"})
    EXPECT_NE(open.FindEntry(dir / below), nullptr) << below;
}

#ifndef _WIN32
TEST(RecycleBin, TheUsersTrashStandsForTheRecycleBin) {
  quztest::TempDir dir;
  const char* old = std::getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", quztest::HostPath(dir.path()).c_str(), 1);
  for (const char* folder : {"Trash", "Trash\\files"}) ASSERT_TRUE(plat::CreateFolder(dir / folder));
  quztest::WriteFile(dir / "Trash\\files\\thrown.txt", "x");
  EXPECT_TRUE(quz::IsRecycleBin(dir / "Trash\\"));
  quz::CFileList list;
  ASSERT_TRUE(list.AddEntry(dir.path(), quz::SaveType::Search));
  quz::ExpandContext context;
  context.skipRecycleBin = true;
  Expand(list, context);
  EXPECT_EQ(list.FindEntry(dir / "Trash\\")->saveType, quz::SaveType::NoSave);
  EXPECT_EQ(list.FindEntry(dir / "Trash\\files\\"), nullptr);
  if (old) setenv("XDG_DATA_HOME", saved.c_str(), 1); else unsetenv("XDG_DATA_HOME");
}
#endif

TEST(Reclassify, FilesTakeTheCurrentRulesFoldersAndMissingFilesKeepTheirCodes) {
  quztest::TempDir dir;
  quztest::WriteFile(dir / "a.pst", "x");
  quztest::WriteFile(dir / "b.txt", "x");
  ASSERT_TRUE(plat::CreateFolder(dir / "f.pst"));
  CRuleTable rules;
  quz::CFileList list;
  list.SetClassifier([&rules](const std::string& p) { return quz::Classify(rules, p); });
  for (const char* name : {"a.pst", "b.txt", "f.pst"}) ASSERT_TRUE(list.AddEntry(dir / name, quz::SaveType::Search));
  ASSERT_TRUE(list.AddLoaded(dir / "gone.pst", 0, quz::SaveType::Normal, 0));
  rules.rules = {Rule(0, "pst", 0, 1), Rule(0, "txt", 0, 1)};
  list.Reclassify();
  EXPECT_EQ(list.FindEntry(dir / "b.txt")->saveType, quz::SaveType::Differential);
  // A file no rule matches any more is saved normally again.
  rules.rules = {Rule(0, "pst", 0, 1)};
  list.Reclassify();
  EXPECT_EQ(list.FindEntry(dir / "a.pst")->saveType, quz::SaveType::Differential);
  EXPECT_EQ(list.FindEntry(dir / "b.txt")->saveType, quz::SaveType::Normal);
  EXPECT_EQ(list.FindEntry(dir / "f.pst")->saveType, quz::SaveType::Search);
  EXPECT_EQ(list.FindEntry(dir / "gone.pst")->saveType, quz::SaveType::Normal);
}

}  // namespace

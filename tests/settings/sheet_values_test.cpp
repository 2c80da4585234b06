// What the settings pages compute without a window: the interval scale, the
// rules as the list shows them and as the add dialog makes them, and which
// save folder paths are taken.
#include <gtest/gtest.h>

#include <string>

#include "settings/sheet_values.h"
#include "targets/rule_text.h"

namespace {

TEST(IntervalScale, StoredIntervalsFindTheirPosition) {
  const struct {
    int32_t seconds;
    int position;
    const char* text;
  } cases[] = {
      {30, 0, "30秒"}, {300, 4, "5分"}, {2700, 9, "45分"}, {7200, 11, "2時間"}, {0, 12, "定期チェックしない"},
      // Not offered: shown (and handed back) as the first position.
      {45, 0, "30秒"}, {-300, 0, "30秒"}, {86400, 0, "30秒"},
  };
  for (const auto& c : cases) {
    int position = quz::IntervalPosition(c.seconds);
    EXPECT_EQ(position, c.position) << c.seconds;
    EXPECT_STREQ(quz::kIntervalChoices[position].text, c.text) << c.seconds;
  }
}

TEST(RuleText, AddDialogChoicesMakeTheRuleAndItsLine) {
  const struct {
    int choice;
    const char* extension;
    int32_t size;
    const char *comparison, *result;
    uint8_t kind;
    quz::SaveType saveType;
    const char* text;
  } cases[] = {
      {1, "", 500, "以下", "保存しない", quz::kRuleSizeAtMost, quz::SaveType::NoSave,
       "ファイルサイズが500KB以下のとき保存しない"},
      {1, "", 100000, "以上", "差分保存にする", quz::kRuleSizeAtLeast, quz::SaveType::Differential,
       "ファイルサイズが100000KB以上のとき差分保存にする"},
      {2, "", 0, "以上", "差分保存にする", quz::kRuleEveryFile, quz::SaveType::Differential,
       "全てのファイルを差分保存にする"},
      {0, "mbx", 0, "以上", "差分保存にする", quz::kRuleExtension, quz::SaveType::Differential,
       "拡張子が\" mbx \"のとき差分保存にする"},
      // An empty extension is a rule of its own: files without one.
      {0, "", 0, "以上", "通常保存する", quz::kRuleExtension, quz::SaveType::Normal,
       "拡張子が\"  \"のとき通常保存する"},
  };
  for (const auto& c : cases) {
    quz::ClassRule rule = quz::MakeRule(c.choice, c.extension, c.size, c.comparison, c.result);
    EXPECT_EQ(rule.kind, c.kind) << c.text;
    EXPECT_EQ(rule.sizeKB, c.size) << c.text;
    EXPECT_EQ(rule.result, c.saveType) << c.text;
    EXPECT_EQ(quz::RuleText(rule), c.text);
  }
  // The extension typed is kept whatever the choice, never longer than a
  // rule holds and never cut inside a double-byte character.
  EXPECT_EQ(quz::MakeRule(2, "txt", 0, "以上", "保存しない").extension, "txt");
  std::string wide;
  for (int i = 0; i < 15; ++i) wide += "拡";
  EXPECT_EQ(quz::MakeRule(0, wide, 0, "以上", "通常保存する").extension, wide.substr(0, 22));
}

TEST(SaveFolderPath, OnlyAPathOfItsOwnIsTaken) {
  // ソ ends in the byte of "\", which does not end the server's name.
  for (const char* path : {"C:\\", "d:\\QUZ_BACKUP\\", "\\\\server\\share\\", "\\\\ソ\\共有\\"})
    EXPECT_TRUE(quz::IsFullFolderPath(path)) << path;
  for (const char* path : {"", "C:", "\\", "QUZ_BACKUP\\", "C:QUZ\\", "1:\\", "\\\\", "\\\\server\\", "\\\\\\share\\",
                           "\\QUZ_BACKUP\\"})
    EXPECT_FALSE(quz::IsFullFolderPath(path)) << path;
}

}  // namespace

// The tray's texts: progress, survey, index loading, idle, and the cut to
// the tooltip's 63 bytes.
#include <gtest/gtest.h>

#include "app/status_text.h"

namespace {

TEST(TrayText, ProgressSurveyAndLoading) {
  EXPECT_EQ(quz::BusyTrayText(250, 1000, 1), "quz - 処理中(25%  : 250/1000)");
  EXPECT_EQ(quz::BusyTrayText(999, 1000, 1), "quz - 処理中(99%  : 999/1000)");
  // A large catalogue does not overflow the percentage.
  EXPECT_EQ(quz::BusyTrayText(249999, 250000, 1), "quz - 処理中(99%  : 249999/250000)");
  EXPECT_EQ(quz::BusyTrayText(0, 1000, 1), "quz - ファイル調査中");
  EXPECT_EQ(quz::BusyTrayText(0, 0, 1), "quz - ファイル調査中");
  EXPECT_EQ(quz::BusyTrayText(-1, 1000, 0), "quz - 世代管理システム準備中");
  EXPECT_EQ(quz::BusyTrayText(-1, 0, 0), "quz - 世代管理システム準備中");
  // The ticks after a check, before the idle picture.
  EXPECT_EQ(quz::BusyTrayText(-1, 1000, 1), "quz - 処理中");
  EXPECT_EQ(quz::IdleTrayText(), "quz - 待機中");
}

TEST(TrayText, CutKeepsWholeCharacters) {
  EXPECT_EQ(quz::CutTrayText("quz - 待機中"), "quz - 待機中");
  std::string ascii(70, 'a');
  EXPECT_EQ(quz::CutTrayText(ascii), std::string(63, 'a'));
  // 62 single bytes and then a double-byte character: it does not fit in
  // the 63rd byte and is left out whole.
  std::string mixed = std::string(62, 'a') + "中b";
  EXPECT_EQ(quz::CutTrayText(mixed), std::string(62, 'a'));
  std::string japanese;
  for (int i = 0; i < 40; ++i) japanese += "処";
  std::string cut = quz::CutTrayText(japanese);
  EXPECT_EQ(cut.size(), 62u);
  EXPECT_EQ(cut, japanese.substr(0, 62));
  EXPECT_EQ(quz::CutTrayText("", 63), "");
}

}  // namespace

// The tray's texts: progress, survey, index loading and idle.
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

}  // namespace

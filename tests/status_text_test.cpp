// The tray's texts at their edges; the common ones are the resident
// program's test.
#include <gtest/gtest.h>

#include "app/status_text.h"

namespace {

TEST(TrayText, ProgressSurveyAndLoading) {
  EXPECT_EQ(quz::BusyTrayText(999, 1000, 1), "quz - 処理中(99%  : 999/1000)");
  // A large catalogue does not overflow the percentage.
  EXPECT_EQ(quz::BusyTrayText(249999, 250000, 1), "quz - 処理中(99%  : 249999/250000)");
  EXPECT_EQ(quz::BusyTrayText(0, 0, 1), "quz - ファイル調査中");
  EXPECT_EQ(quz::BusyTrayText(-1, 0, 0), "quz - 世代管理システム準備中");
  // The ticks after a check, before the idle picture.
  EXPECT_EQ(quz::BusyTrayText(-1, 1000, 1), "quz - 処理中");
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/history.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quz::HistoryCell;
using quz::ParseHistoryLine;

TEST(History, LinesAreAppendedInTheirFormat) {
  quztest::TempDir dir;
  std::string path = dir / "Rireki.txt";
  quztest::WriteFile(path, "1 2 3 C:\\old.txt\r\n");
  plat::File history;
  ASSERT_TRUE(quz::OpenHistory(history, path));
  ASSERT_TRUE(quz::AppendHistory(history, 1052300000, 5000, 1200, "C:\\a b\\c d.txt"));
  // Sizes of 2 GiB and more keep the 32-bit text format.
  ASSERT_TRUE(quz::AppendHistory(history, 7, int64_t{3} << 30, 0, "D:\\big.iso"));
  history.Close();
  EXPECT_EQ(quztest::ReadFile(path),
            "1 2 3 C:\\old.txt\r\n"
            "1052300000 5000 1200 C:\\a b\\c d.txt\r\n"
            "7 -1073741824 0 D:\\big.iso\r\n");

  auto rows = quz::LoadHistoryRows(path);
  ASSERT_EQ(rows.size(), 3u);
  quz::HistoryRow big = ParseHistoryLine(rows[2]);
  ASSERT_TRUE(big.ok);
  EXPECT_EQ(HistoryCell(big, 2), "3145729KB");  // read back unsigned
  EXPECT_TRUE(quz::LoadHistoryRows(dir / "none.txt").empty());
}

TEST(History, RowTexts) {
  // 2003-01-07 09:33:20 local time (in January no zone here keeps
  // daylight-saving time).
  const int64_t t = 1041932000 + plat::TimeZoneOffset();
  quz::HistoryRow row = ParseHistoryLine(std::to_string(t) + " 0 0 C:\\a b\\c d.txt");
  ASSERT_TRUE(row.ok);
  for (int c = 0; c < quz::kHistoryColumns; ++c)
    EXPECT_EQ(HistoryCell(row, c), (std::vector<std::string>{"c d.txt", "C:\\a b\\", "0KB", "0KB", "2003/01/07 9:33"}[c]));

  row = ParseHistoryLine("1052300000 5000 1200 C:\\Mail\\InBox.mbx");
  EXPECT_EQ(HistoryCell(row, 2), "5KB");
  EXPECT_EQ(HistoryCell(row, 3), "2KB");
  EXPECT_EQ(quz::SizeText(1), "1KB");
  EXPECT_EQ(quz::SizeText(1023), "1KB");
  EXPECT_EQ(quz::SizeText(1024), "2KB");

  // A double-byte name whose second byte is "\" stays whole.
  row = ParseHistoryLine("1 1 1 C:\\\x83\x5c\x83\x74\x83\x67\\\x95\x5c.txt");
  EXPECT_EQ(HistoryCell(row, 0), "\x95\x5c.txt");
  EXPECT_EQ(HistoryCell(row, 1), "C:\\\x83\x5c\x83\x74\x83\x67\\");

  // Missing fields leave every cell empty.
  for (const char* bad : {"", "12", "12 34", "12 34 56"}) {
    row = ParseHistoryLine(bad);
    EXPECT_FALSE(row.ok) << bad;
    for (int c = 0; c < quz::kHistoryColumns; ++c) EXPECT_EQ(HistoryCell(row, c), "") << bad;
  }
}

TEST(History, OnlyLinesEndedByCrLfAreRows) {
  EXPECT_EQ(quz::SplitHistory("1 1 1 a\r\n2 2 2 b\r\n3 3 3 c"), (std::vector<std::string>{"1 1 1 a", "2 2 2 b"}));
  EXPECT_TRUE(quz::SplitHistory("").empty());
}

}  // namespace

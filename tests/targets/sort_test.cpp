// The target list's orders: the text comparison, the stable merge sort, the
// 64-bit size order and the rule for the sort's progress window.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "targets/row_sort.h"
#include "tests/support/test_support.h"

namespace {

using quz::CompareListTexts;
using quz::KeyedRow;

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
  for (size_t n : {0, 1, 2, 23, 24, 25, 100, 1000, 5001}) {
    for (bool ascending : {true, false}) {
      std::vector<KeyedRow> rows = RandomRows(texts, n, static_cast<uint32_t>(n) + ascending);
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

TEST(ListTextSort, RowsAlreadyInOrderAndReversedSortInLinearithmicTime) {
  // A folder listed alphabetically: the partition sort that takes each
  // segment's first row as pivot needs quadratic time here.
  const size_t n = 200000;
  std::vector<std::string> names(n);
  for (size_t i = 0; i < n; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "file%07zu.txt", i);
    names[i] = name;
  }
  std::vector<KeyedRow> rows(n);
  for (size_t i = 0; i < n; ++i) rows[i] = {names[i].c_str(), static_cast<int32_t>(i)};
  std::vector<int32_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  quz::SortKeyedRows(rows, true);
  EXPECT_EQ(Entries(rows), order);
  quz::SortKeyedRows(rows, false);
  EXPECT_EQ(Entries(rows), std::vector<int32_t>(order.rbegin(), order.rend()));
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

TEST(SizeOrder, KeysComeFromTheFilesStatusWithMissingBeforeEmpty) {
  quztest::TempDir dir;
  quztest::WriteFile(dir / "empty.txt", "");
  quztest::WriteFile(dir / "one.txt", "x");
  // A sparse file of 5 GiB: its size does not fit 32 bits.
  {
    plat::File big;
    ASSERT_TRUE(big.Open(dir / "big.dat", plat::Access::Write, plat::Disposition::CreateAlways));
    ASSERT_TRUE(big.SetLength(int64_t{5} << 30));
  }
  EXPECT_EQ(quz::SizeKey(dir / "missing.txt"), 0);
  EXPECT_EQ(quz::SizeKey(dir / "empty.txt"), 1);
  EXPECT_EQ(quz::SizeKey(dir / "one.txt"), 1);
  EXPECT_EQ(quz::SizeKey(dir / "big.dat"), int64_t{5} << 30);
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

}  // namespace

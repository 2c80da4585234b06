// What the restore window's worker gathers: copy times read once, the file
// list's order, candidate rows one per slot, the listings of a folder and of
// selected files handed over in pieces, and one job at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>

#include "restore/restore_listing.h"
#include "tests/restore/save_fixture.h"
#include "tests/support/test_support.h"

using quz::CCandidateRows;
using quz::CRestoreTable;
using quz::ListingPiece;
using quz::RestoreCandidate;
using restoretest::SaveFolder;
using restoretest::Seconds;

namespace {

constexpr int32_t kJapan = -32400;

std::vector<std::string> Texts(const CCandidateRows& rows) {
  std::vector<std::string> t;
  for (int32_t row = 0; row < rows.Count(); ++row) t.push_back(rows.At(row).text);
  return t;
}

// Everything a listing handed over, in order.
struct Collected {
  std::vector<ListingPiece> pieces;
  quz::ListingSink Sink() {
    return [this](ListingPiece&& piece) { pieces.push_back(std::move(piece)); };
  }
  std::vector<RestoreCandidate> Candidates() const {
    std::vector<RestoreCandidate> all;
    for (const auto& p : pieces) all.insert(all.end(), p.candidates.begin(), p.candidates.end());
    return all;
  }
};

std::vector<std::string> CandidateTexts(const std::vector<RestoreCandidate>& found) {
  CCandidateRows rows;
  rows.Add(found);
  return Texts(rows);
}

TEST(RestoreListing, CopyTimesAreReadOnceAndFragmentsEndAtTheFirstGap) {
  quztest::TempDir dir;
  SaveFolder save(dir / "save\\", kJapan);
  int64_t day = Seconds(2026, 12, 7);
  std::string copy = save.SaveCopy("C:\\a\\x.txt", "one", day + 3600);
  // A file that only looks like a fragment of the copy is none.
  quztest::WriteFile(copy + "0000000.dat", "not a fragment");
  save.SaveFragment("C:\\m\\in.mbx", "aaaa", day + 2 * 3600);
  save.SaveFragment("C:\\m\\in.mbx", "aaaabb", day + 3 * 3600);
  std::string third = save.SaveFragment("C:\\m\\in.mbx", "aaaabbcc", day + 4 * 3600);
  std::string folder = save.FragmentFolder("C:\\m\\in.mbx");
  // Fragment 3 beyond a missing fragment 2 is not part of the chain.
  ASSERT_TRUE(plat::MoveFile(third, quz::FragmentPath(folder, 3)));
  save.SetTime(folder, day + 5 * 3600);

  CRestoreTable table;
  table.Load(save.root(), nullptr);
  ASSERT_EQ(table.Count(), 2);
  int32_t x = table.EntriesOf("C:\\a\\x.txt")[0], mail = table.EntriesOf("C:\\m\\in.mbx")[0];
  quz::CCopyTimes times(kJapan);
  EXPECT_EQ(times.Of(table, x), (std::vector<int64_t>{day + 3600}));
  EXPECT_EQ(times.Of(table, mail), (std::vector<int64_t>{day + 5 * 3600, day + 2 * 3600, day + 3 * 3600}));

  // Asked again, the times come from memory, not from the disk.
  quztest::RemoveTree(copy);
  EXPECT_EQ(times.Of(table, x), (std::vector<int64_t>{day + 3600}));
  times.Reset();
  EXPECT_TRUE(times.Of(table, x).empty());
}

TEST(RestoreListing, FileItemsSortByNameWithoutCaseAndCandidateRowsNewestFirstOnePerSlot) {
  std::vector<quz::RestoreFileItem> items = {{"b.txt", 0}, {"A.txt", 1}, {"a.txt", 2}, {"表.txt", 3}, {"ab", 4}, {"Z", 5}};
  quz::SortFileItems(items);
  EXPECT_EQ(quztest::TextsOf(items), (std::vector<std::string>{"A.txt", "a.txt", "ab", "b.txt", "Z", "表.txt"}));

  int64_t t = Seconds(2026, 12, 7, 10);
  CCandidateRows rows;
  rows.AddAllNewest();
  EXPECT_EQ(rows.Add({{quz::CandidateText(t), t}, {quz::CandidateText(t + 299), t + 299}}), 1);  // one slot
  EXPECT_EQ(rows.Add({{quz::CandidateText(t - 3600), t - 3600}, {quz::CandidateText(t + 600), t + 600}}), 2);
  EXPECT_EQ(rows.Add({{quz::CandidateText(t + 1), t + 1}}), 0);
  EXPECT_EQ(Texts(rows), (std::vector<std::string>{"全ての最新ファイル", "2026年12月07日10時10分",
                                                   "2026年12月07日10時00分", "2026年12月07日09時00分"}));
  EXPECT_EQ(rows.RowOf(t), 2);
  EXPECT_EQ(rows.RowOf(quz::kAllNewestTime), 0);
  EXPECT_EQ(rows.RowOf(t + 1), -1);
  rows.Clear();
  EXPECT_EQ(rows.Add({{quz::CandidateText(t + 1), t + 1}}), 1);
}

TEST(RestoreListing, CandidateTextsBefore1970AndAfter2038) {
  const struct {
    int64_t t;
    const char* text;
  } cases[] = {
      {-60, "1969年12月31日23時59分"},
      {Seconds(1901, 1, 1, 8, 5), "1901年01月01日08時05分"},
      {int64_t{INT32_MAX} + 32400, "2038年01月19日12時14分"},
      {Seconds(2100, 2, 28, 23, 59, 59), "2100年02月28日23時59分"},
  };
  for (const auto& c : cases) EXPECT_EQ(quz::CandidateText(c.t), c.text) << c.t;
  // Slots are 300 seconds wide on both sides of 1970 and past 2038.
  EXPECT_EQ(quz::CandidateSlot(-1), -1);
  EXPECT_EQ(quz::CandidateSlot(-300), -1);
  EXPECT_EQ(quz::CandidateSlot(-301), -2);
  EXPECT_EQ(quz::CandidateSlot(int64_t{INT32_MAX} + 600), (int64_t{INT32_MAX} + 600) / 300);
}

TEST(RestoreListing, AFolderGivesItsFilesFirstThenTheTimesBelowIt) {
  quztest::TempDir dir;
  SaveFolder save(dir / "save\\", kJapan);
  int64_t day = Seconds(2026, 12, 7);
  save.SaveCopy("C:\\a\\y.txt", "y", day + 9 * 3600);
  save.SaveCopy("C:\\a\\x.txt", "x1", day + 10 * 3600);
  save.SaveCopy("C:\\a\\X.TXT", "x2", day + 10 * 3600 + 120);  // the same file, the same slot
  save.SaveCopy("C:\\a\\sub\\z.txt", "z", day + 11 * 3600);
  save.SaveCopy("C:\\ab\\w.txt", "w", day + 12 * 3600);       // not below C:\a
  save.SaveFragment("C:\\m\\in.mbx", "mail", day + 13 * 3600);
  CRestoreTable table;
  table.Load(save.root(), nullptr);
  quz::CCopyTimes times(kJapan);
  quz::StopFlag stop{false};

  Collected a;
  quz::ListFolder(table, times, "C:\\a", stop, a.Sink());
  ASSERT_FALSE(a.pieces.empty());
  EXPECT_EQ(quztest::TextsOf(a.pieces[0].files), (std::vector<std::string>{"x.txt", "y.txt"}));
  for (size_t i = 1; i < a.pieces.size(); ++i) EXPECT_TRUE(a.pieces[i].files.empty());
  EXPECT_TRUE(a.pieces.back().last);
  EXPECT_EQ(a.pieces.back().done, a.pieces.back().total);
  EXPECT_EQ(CandidateTexts(a.Candidates()), (std::vector<std::string>{"2026年12月07日11時00分", "2026年12月07日10時00分",
                                                                      "2026年12月07日09時00分"}));

  // The selected files' copies, each file's in table order: x.txt twice.
  std::vector<int32_t> firsts;
  for (const auto& f : a.pieces[0].files) firsts.push_back(f.entry);
  std::vector<int32_t> entries = quz::EntriesOfFiles(table, firsts, 50000);
  EXPECT_EQ(entries.size(), 3u);
  EXPECT_EQ(quz::EntriesOfFiles(table, firsts, 1).size(), 2u);
  Collected selected;
  quz::ListCandidates(table, times, entries, stop, selected.Sink());
  EXPECT_TRUE(selected.pieces.back().last);
  EXPECT_EQ(CandidateTexts(selected.Candidates()),
            (std::vector<std::string>{"2026年12月07日10時00分", "2026年12月07日09時00分"}));

  // Stopped, a listing hands nothing over.
  stop = true;
  Collected stopped;
  quz::ListFolder(table, times, "C:\\a", stop, stopped.Sink());
  quz::ListCandidates(table, times, entries, stop, stopped.Sink());
  EXPECT_TRUE(stopped.pieces.empty());
}

TEST(RestoreListing, TheWorkerAndTheWindowAskTheSameTableAtOnce) {
  // Which entries share a source, and the copies' times, are first worked
  // out by whichever thread asks first; here both ask at once.
  CRestoreTable table;
  for (int i = 0; i < 60000; ++i)
    table.Add("Z:\\nowhere\\" + std::to_string(i), "C:\\a\\f" + std::to_string(i % 30000) + ".txt");
  quz::CCopyTimes times(kJapan);
  quz::StopFlag stop{false};
  std::atomic<bool> go{false};
  Collected listed;
  plat::Thread worker;
  ASSERT_TRUE(worker.Start([&] {
    while (!go) {
    }
    quz::ListFolder(table, times, "C:\\a", stop, listed.Sink());
  }));
  go = true;
  std::vector<int32_t> entries = table.EntriesOf("C:\\a\\f3.txt");
  for (int32_t entry : entries) EXPECT_TRUE(times.Of(table, entry).empty());
  worker.Join();
  EXPECT_EQ(entries, (std::vector<int32_t>{3, 30003}));
  ASSERT_FALSE(listed.pieces.empty());
  EXPECT_EQ(listed.pieces[0].files.size(), 30000u);
  EXPECT_TRUE(listed.Candidates().empty());
}

TEST(RestoreListing, AJobStopsTheOneBeforeItAndTheyNeverOverlap) {
  quz::CListFiller filler;
  std::atomic<int> running{0}, most{0}, stoppedEarly{0};
  auto job = [&](const quz::StopFlag& stop) {
    int now = ++running;
    most = std::max(most.load(), now);
    // Runs until told to stop, as a long listing does.
    for (int i = 0; i < 2000 && !stop; ++i) plat::Sleep(5);
    if (stop) ++stoppedEarly;
    --running;
  };
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(filler.Start(job));
  EXPECT_TRUE(filler.Running());
  filler.Stop();
  EXPECT_FALSE(filler.Running());
  EXPECT_EQ(most.load(), 1);
  EXPECT_EQ(stoppedEarly.load(), 5);

  // A job that throws is reported and leaves the worker usable.
  ASSERT_TRUE(filler.Start([](const quz::StopFlag&) { throw std::runtime_error("listing failed"); }));
  filler.Stop();
  std::atomic<bool> ran{false};
  ASSERT_TRUE(filler.Start([&](const quz::StopFlag&) { ran = true; }));
  filler.Stop();
  EXPECT_TRUE(ran);
}

}  // namespace

// The restore entry table read from the copy lists of a save folder, the
// folder tree, the file list of a folder and the candidate times; and what
// the restore window's worker gathers from it: copy times read once, the
// file list's order, candidate rows one per slot, the listings of a folder
// and of selected files handed over in pieces, and one job at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <set>

#include "restore/restore_listing.h"
#include "restore/restore_table.h"
#include "tests/restore/save_fixture.h"
#include "tests/support/test_support.h"

using quz::CCandidateList;
using quz::CCandidateRows;
using quz::CRestoreTable;
using quz::CRestoreTree;
using quz::ListingPiece;
using quz::RestoreCandidate;
using restoretest::SaveFolder;
using restoretest::Seconds;

namespace {

constexpr int32_t kJapan = -32400;

// A save folder written by hand, and the table read from it.
class SavedTable : public ::testing::Test {
 protected:
  void Load() { table.Load(save.root(), nullptr); }

  quztest::TempDir dir;
  SaveFolder save{dir / "save\\", kJapan};
  CRestoreTable table;
  const int64_t day = Seconds(2026, 12, 7);
};

TEST_F(SavedTable, ReadsEveryCopyListOfDateAndFragmentFolders) {
  std::string x1 = save.SaveCopy("C:\\a\\x.txt", "one", day + 10 * 3600);
  std::string x2 = save.SaveCopy("C:\\a\\x.txt", "two", day + 11 * 3600);
  std::string x3 = save.SaveCopy("C:\\a\\x.txt", "three", day + 86400 + 3600);
  save.SaveFragment("C:\\m\\in.mbx", "mail", day + 9 * 3600);
  // A folder without a list and a loose file are not part of the table.
  plat::CreateFolder(save.root() + "empty");
  quztest::WriteFile(save.root() + "quzFileList.txt", "x.txt<C:\\loose.txt\r\n");

  CRestoreTree tree;
  int folders = 0;
  EXPECT_EQ(table.Load(save.root(), &tree, [&](int32_t, int32_t) { return ++folders > 0; }), 3);
  EXPECT_EQ(folders, 4);  // with the folder without a list
  ASSERT_EQ(table.Count(), 4);
  std::set<std::string> locations;
  for (const auto& e : table.Entries()) locations.insert(e.location);
  EXPECT_EQ(locations, (std::set<std::string>{x1, x2, x3, save.FragmentFolder("C:\\m\\in.mbx")}));
  EXPECT_EQ(table.EntriesOf("c:\\A\\X.TXT").size(), 3u);
  EXPECT_TRUE(table.HasSource("C:\\m\\in.mbx"));
  EXPECT_FALSE(table.HasSource("C:\\loose.txt"));

  // Loading again starts over.
  EXPECT_EQ(table.Load(save.root(), &tree), 3);
  EXPECT_EQ(table.Count(), 4);
  // A loading told to stop reads no further folder.
  EXPECT_LE(table.Load(save.root(), &tree, [](int32_t, int32_t) { return false; }), 1);
  EXPECT_EQ(table.Load(dir / "nothere\\", &tree), 0);
  EXPECT_EQ(table.Count(), 0);
  EXPECT_EQ(tree.Count(), 1);
}

TEST(RestoreTable, ListLinesEndAtTheFirstMalformedLineSkipUnsafeNamesAndStopAtTheEntryLimit) {
  CRestoreTable table;
  const std::string folder = "Z:\\save\\2026-12-7\\";
  EXPECT_TRUE(table.AddList(folder,
                            "a.txt<C:\\a\\a.txt\r\n"
                            "..\\..\\evil.txt<C:\\a\\evil.txt\r\n"  // a name with a path in it
                            "b.txt<C:\\a\\b.txt<junk\r\n"          // a second "<" ends the source
                            "c.txt<\r\n"                           // no source
                            "~quz0000beef.tmp<C:\\a\\t.txt\r\n"     // a temporary file
                            "d.txt<C:\\a\\d.txt\r\n"
                            "no separator\r\n"
                            "e.txt<C:\\a\\e.txt\r\n",
                            nullptr));
  ASSERT_EQ(table.Count(), 3);
  EXPECT_EQ(table.At(0).location, folder + "a.txt");
  EXPECT_EQ(table.At(1).source, "C:\\a\\b.txt");
  EXPECT_EQ(table.At(2).location, folder + "d.txt");

  table.Clear();
  EXPECT_TRUE(table.AddList(folder, "a.txt<C:\\a.txt\r\nb.txt<C:\\b.txt", nullptr));  // last line unended
  EXPECT_EQ(table.Count(), 1);

  // A list at the entry limit stops the table.
  table.Clear();
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "f" + std::to_string(i) + ".txt<C:\\d\\f" + std::to_string(i) + ".txt\r\n";
  int lists = 0;
  while (table.AddList("Z:\\s\\" + std::to_string(lists) + "\\", text, nullptr)) ++lists;
  EXPECT_EQ(table.Count(), quz::kMaxRestoreEntries);
  EXPECT_EQ(lists, quz::kMaxRestoreEntries / 1000);
  EXPECT_FALSE(table.Add("Z:\\x", "C:\\x"));
}

// The tree as an outline: each folder's label below its parent's, drives
// marked.
std::vector<std::string> Outline(const CRestoreTree& tree, int32_t folder = 0, const std::string& indent = "") {
  std::vector<std::string> lines{indent + tree.At(folder).label + (tree.At(folder).isDrive ? " (drive)" : "")};
  for (int32_t child : tree.At(folder).children) {
    EXPECT_EQ(tree.At(child).parent, folder) << tree.At(child).path;
    for (std::string& line : Outline(tree, child, indent + "  ")) lines.push_back(std::move(line));
  }
  return lines;
}

TEST(RestoreTree, FolderChainsCaseInsensitiveWithDrivesBelowTheRoot) {
  // The lists build the tree as they are read: c:\A is C:\a in another
  // case; 表 and ソ end with the byte of "\".
  CRestoreTable table;
  CRestoreTree tree;
  table.AddList("Z:\\s\\",
                "1<C:\\a\\b\\x.txt\r\n2<c:\\A\\y.txt\r\n3<C:\\m\\in.mbx\r\n4<D:\\z.txt\r\n5<C:\\データ\\表.txt\r\n"
                "6<\\\\server\\share\\s.txt\r\n7<C:\\表\\ソ\r\n",
                &tree);

  EXPECT_EQ(Outline(tree), (std::vector<std::string>{"全体", "  C: (drive)", "    a", "      b", "    m", "    データ",
                                                      "    表", "  D: (drive)", "  \\\\server (drive)", "    share"}));
  EXPECT_EQ(tree.Count(), 10);  // no folder outside the outline
  EXPECT_EQ(tree.At(0).path, "");
  for (const char* folder : {"C:", "c:\\a", "C:\\a\\b", "C:\\データ", "C:\\表", "\\\\server\\share"})
    ASSERT_GT(tree.Find(folder), 0) << folder;
  EXPECT_EQ(tree.At(tree.Find("c:\\a")).path, "C:\\a");  // the first spelling stays
  EXPECT_EQ(tree.Find("C:\\a\\b\\x.txt"), -1);  // files are no nodes
  EXPECT_EQ(tree.Find("C:\\データ\\表.txt"), -1);
}

TEST(RestoreFileList, FilesOfAFolderOncePerSourceAndEverySourceUnderTheRoot) {
  CRestoreTable table;
  table.Add("Z:\\s\\1\\x.txt", "C:\\a\\x.txt");
  table.Add("Z:\\s\\1\\y.txt", "C:\\a\\y.txt");
  table.Add("Z:\\s\\2\\x.txt", "c:\\A\\X.txt");  // the same source again
  table.Add("Z:\\s\\2\\z.txt", "C:\\a\\sub\\z.txt");
  table.Add("Z:\\s\\2\\w.txt", "C:\\ab\\w.txt");

  auto files = quz::FilesOfFolder(table, "c:\\a");
  EXPECT_EQ(quztest::TextsOf(files), (std::vector<std::string>{"x.txt", "y.txt"}));
  EXPECT_EQ(files[0].entry, 0);
  EXPECT_EQ(quztest::TextsOf(quz::FilesOfFolder(table, "C:\\a\\sub")), (std::vector<std::string>{"z.txt"}));
  auto all = quz::AllSources(table);
  EXPECT_EQ(quztest::TextsOf(all), (std::vector<std::string>{"C:\\a\\x.txt", "C:\\a\\y.txt", "C:\\a\\sub\\z.txt", "C:\\ab\\w.txt"}));

  quz::StopFlag stop{true};
  EXPECT_TRUE(quz::FilesOfFolder(table, "C:\\a", &stop).empty());

  EXPECT_TRUE(quz::IsInFolder("C:\\a\\sub\\z.txt", "C:\\A"));
  EXPECT_TRUE(quz::IsInFolder("C:\\a", "C:\\a"));
  EXPECT_FALSE(quz::IsInFolder("C:\\ab\\w.txt", "C:\\a"));
  // "表" is 0x95 0x5C: its second byte is no separator.
  EXPECT_FALSE(quz::IsInFolder("C:\\表x", std::string("C:\\\x95")));
}

TEST_F(SavedTable, CandidatesOnePerFiveMinuteSlotFromCopiesFragmentsAndFragmentFolders) {
  const int64_t midnight = day + 86400;  // local midnight: 15:00 UTC the day before
  save.SaveCopy("C:\\a\\x.txt", "1", midnight - 30);       // 23:59:30
  save.SaveCopy("C:\\a\\x.txt", "2", midnight - 1);        // 23:59:59, same slot
  save.SaveCopy("C:\\a\\x.txt", "3", midnight);            // 00:00:00, next slot
  save.SaveCopy("C:\\a\\x.txt", "4", midnight + 299);      // 00:04:59, same slot
  save.SaveCopy("C:\\a\\x.txt", "5", midnight + 300);      // 00:05:00
  save.SaveCopy("C:\\a\\sub\\y.txt", "6", midnight + 3600);
  save.SaveCopy("C:\\ab\\w.txt", "7", midnight + 7200);     // another folder
  save.SaveFragment("C:\\m\\in.mbx", "aaaa", day + 9 * 3600);
  save.SaveFragment("C:\\m\\in.mbx", "aaaabbbb", day + 10 * 3600);
  save.SaveFragment("C:\\m\\in.mbx", "aaaabbbbcccc", day + 10 * 3600 + 120);  // same slot as 10:00
  save.SetTime(save.FragmentFolder("C:\\m\\in.mbx"), day + 11 * 3600);
  Load();
  ASSERT_EQ(table.Count(), 8);
  // The candidates of a folder (null: the root) as the window would list them.
  auto candidates = [&](const char* folder, int32_t tz) {
    CCandidateList list;
    list.AddAllNewest();
    const std::string path = folder ? folder : "";
    for (int32_t i = 0; i < table.Count(); ++i) list.AddEntryTimes(table, i, folder ? &path : nullptr, tz);
    return list;
  };

  const CCandidateList a = candidates("C:\\a", kJapan);
  EXPECT_EQ(quztest::TextsOf(a.Sorted()), (std::vector<std::string>{"全ての最新ファイル", "2026年12月08日01時00分",
                                                         "2026年12月08日00時05分", "2026年12月08日00時00分",
                                                         "2026年12月07日23時59分"}));
  // The first copy found in a slot gives its time.
  EXPECT_EQ(a.Sorted().front().time, quz::kAllNewestTime);
  EXPECT_EQ(a.Sorted().back().time, midnight - 30);
  // The same files read with the offset of Greenwich fall nine hours earlier.
  EXPECT_EQ(quztest::TextsOf(candidates("C:\\a", 0).Sorted()).back(), "2026年12月07日14時59分");
  EXPECT_EQ(quztest::TextsOf(candidates("C:\\m", kJapan).Sorted()),
            (std::vector<std::string>{"全ての最新ファイル", "2026年12月07日11時00分", "2026年12月07日10時00分",
                                      "2026年12月07日09時00分"}));

  // Under the root every entry counts.
  CCandidateList root = candidates(nullptr, kJapan);
  EXPECT_EQ(root.Items().size(), 9u);
  root.Clear();
  EXPECT_TRUE(root.AddTime(midnight));
}

std::vector<std::string> Texts(const CCandidateRows& rows) {
  std::vector<std::string> t;
  for (int32_t row = 0; row < rows.Count(); ++row) t.push_back(rows.At(row).text);
  return t;
}

// Everything a listing handed over, in order.
struct Collected {
  std::vector<ListingPiece> pieces;
  quz::ListingSink Sink() { return [this](ListingPiece&& piece) { pieces.push_back(std::move(piece)); }; }
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

TEST_F(SavedTable, CopyTimesAreReadOnceAndFragmentsEndAtTheFirstGap) {
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
  Load();
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

TEST_F(SavedTable, AFolderListingGivesItsFilesFirstThenTheTimesBelowIt) {
  save.SaveCopy("C:\\a\\y.txt", "y", day + 9 * 3600);
  save.SaveCopy("C:\\a\\x.txt", "x1", day + 10 * 3600);
  save.SaveCopy("C:\\a\\X.TXT", "x2", day + 10 * 3600 + 120);  // the same file, the same slot
  save.SaveCopy("C:\\a\\sub\\z.txt", "z", day + 11 * 3600);
  save.SaveCopy("C:\\ab\\w.txt", "w", day + 12 * 3600);       // not below C:\a
  save.SaveFragment("C:\\m\\in.mbx", "mail", day + 13 * 3600);
  Load();
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

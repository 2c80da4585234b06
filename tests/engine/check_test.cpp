#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "catalogue/file_list.h"
#include "catalogue/generation_index.h"
#include "catalogue/rules.h"
#include "engine/check.h"
#include "engine/differential_save.h"
#include "engine/history.h"
#include "tests/support/test_data.h"
#include "platform/exceptions.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quz::HistoryCell;
using quz::ParseHistoryLine;
using quztest::IsFile;
using quztest::ReadFile;
using quztest::WriteFile;

class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* f : {"data", "data\\sub", "save"}) ASSERT_TRUE(plat::CreateFolder(dir / f));
    data = dir / "data\\";
    state.saveFolder = dir / "save";  // the check adds the "\"
    context.catalogueFile = dir / "FileList.txt";
    context.historyFile = dir / "Rireki.txt";
    context.settingsFile = dir / "quz.ini";
    context.reportFailure = [this](const std::string& path, const std::string& reason) {
      std::lock_guard<std::mutex> lock(failuresMutex);
      failures.push_back({path, reason});
    };
    date = quz::DateFolder(dir / "save\\", plat::Now());
  }

  // Writes a file with a time of its own, so that a change is seen.
  void Put(const std::string& name, const std::string& contents, plat::Time32 time) {
    WriteFile(data + name, contents);
    ASSERT_TRUE(plat::SetFileTime(data + name, time));
  }
  quz::FileEntry* Entry(const std::string& name) { return list.FindEntry(data + name); }
  // A full check that ran to its end; the files it saved.
  int Check() {
    EXPECT_EQ(quz::FullCheck(context), 1);
    return context.savedCount;
  }
  std::vector<std::string> History() { return quztest::Lines(ReadFile(dir / "Rireki.txt")); }
  // The reasons reported for the paths that start with prefix, in order.
  std::vector<std::string> FailuresUnder(const std::string& prefix) {
    std::lock_guard<std::mutex> lock(failuresMutex);
    std::vector<std::string> reasons;
    for (const auto& [path, reason] : failures)
      if (path.starts_with(prefix)) reasons.push_back(reason);
    return reasons;
  }

  quztest::TempDir dir;
  std::string data, date;
  quz::RunState state;
  quz::CFileList list{&state};
  quz::CGenerationIndex index;
  plat::ScriptedInteraction ui;
  std::mutex failuresMutex;
  std::vector<std::pair<std::string, std::string>> failures;
  quz::CheckContext context{list, index, state, &ui};
};

TEST_F(CheckTest, AFullCheckSavesNewAndChangedFilesAndDropsVanishedOnes) {
  Put("a.txt", "alpha", 100000);
  Put("b.txt", "bravo!", 100000);
  Put("sub\\c.txt", "charlie", 100000);
  ASSERT_TRUE(list.AddEntry(data, quz::SaveType::Search));

  EXPECT_EQ(Check(), 3);
  EXPECT_EQ(state.progress, -1);
  // Date folders have no leading zeros.
  EXPECT_EQ(quz::DateFolder("C:\\QUZ_BACKUP\\", 1052300000), "C:\\QUZ_BACKUP\\2003-5-7\\");
  EXPECT_EQ(ReadFile(date + "a.txt"), "alpha");
  EXPECT_EQ(ReadFile(date + "c.txt"), "charlie");
  auto history = History();
  ASSERT_EQ(history.size(), 3u);
  EXPECT_NEAR(ParseHistoryLine(history[0]).time, plat::Now(), 60);
  ASSERT_NE(Entry("a.txt"), nullptr);
  EXPECT_NE(Entry("a.txt")->lookedAtTime, 0);
  // The search pass added entries, so the catalogue was written.
  EXPECT_NE(ReadFile(dir / "FileList.txt").find(data + "sub\\c.txt<100000<0<"), std::string::npos);

  // Nothing changed: the saved times were kept, nothing is saved.
  EXPECT_EQ(Check(), 0);
  EXPECT_EQ(History().size(), 3u);

  // New contents with the old time are not seen; a new time is.
  Put("a.txt", "ALPHA", 100000);
  Put("b.txt", "BRAVO!", 99999);  // a time that went backwards counts too
  Put("d.txt", "delta", 100000);
  ASSERT_TRUE(plat::DeleteFile(data + "sub\\c.txt"));
  EXPECT_EQ(Check(), 2);
  EXPECT_EQ(ReadFile(date + "b(2).txt"), "BRAVO!");
  EXPECT_EQ(ReadFile(date + "d.txt"), "delta");
  EXPECT_EQ(Entry("sub\\c.txt"), nullptr);
  std::string catalogue = ReadFile(dir / "FileList.txt");
  EXPECT_EQ(catalogue.find("c.txt"), std::string::npos);
  EXPECT_NE(catalogue.find(data + "sub\\<"), std::string::npos);  // the folder stays
  EXPECT_NE(catalogue.find(data + "d.txt<100000<"), std::string::npos);
  EXPECT_TRUE(ui.Messages().empty());
  EXPECT_TRUE(failures.empty());  // a deleted file is no failure
}

TEST_F(CheckTest, DifferentialOversizedNoSaveWithdrawnAndStoppedEntries) {
  // A differential file up to the limit goes to fragments; a larger one is
  // saved whole.
  context.maxFragmentFileSize = 11;
  Put("mail.mbx", "0123456789", 100000);
  Put("huge.mbx", "0123456789ab", 100000);
  Put("skip.txt", "skip", 100000);
  Put("gone.txt", "gone", 100000);
  ASSERT_TRUE(list.AddLoaded(data + "mail.mbx", 0, quz::SaveType::Differential, 0));
  ASSERT_TRUE(list.AddLoaded(data + "huge.mbx", 0, quz::SaveType::Differential, 0));
  ASSERT_TRUE(list.AddLoaded(data + "skip.txt", 0, quz::SaveType::NoSave, 0));
  ASSERT_TRUE(list.AddLoaded(data + "gone.txt", quz::kWithdrawnTime, quz::SaveType::Normal, 0));

  EXPECT_EQ(Check(), 2);
  EXPECT_EQ(ReadFile(date + "huge.mbx"), "0123456789ab");
  EXPECT_FALSE(quztest::Exists(dir / "save\\huge.mbx"));
  std::string folder = dir / "save\\mail.mbx\\";
  EXPECT_EQ(quztest::SizeOf(folder + "0000000.dat"), 4 + 8 + 10);
  quz::HistoryRow row = ParseHistoryLine(History().at(0));
  EXPECT_EQ(row.checkSize, 10u);
  EXPECT_EQ(row.backupSize, 22u);
  EXPECT_EQ(Entry("skip.txt")->lookedAtTime, 0);
  EXPECT_EQ(Entry("skip.txt")->savedTime, 0);
  EXPECT_EQ(Entry("gone.txt")->savedTime, quz::kWithdrawnTime);
  EXPECT_FALSE(IsFile(date + "skip.txt"));
  EXPECT_FALSE(IsFile(date + "gone.txt"));
  // No entry was added or removed: the catalogue file is not written.
  EXPECT_FALSE(IsFile(dir / "FileList.txt"));

  // A stop request ends the check before the entries; the date folder is
  // still made and the end-of-check steps still run.
  Put("mail.mbx", "0123456789+", 100001);
  ASSERT_TRUE(plat::DeleteFile(data + "skip.txt"));
  quztest::RemoveTree(date);
  state.stopRequested = 1;
  EXPECT_EQ(Check(), 0);
  EXPECT_NE(Entry("skip.txt"), nullptr);
  EXPECT_TRUE(quztest::IsFolder(date));
  EXPECT_EQ(state.progress, -1);

  state.stopRequested = 0;
  EXPECT_EQ(Check(), 1);                      // the mailbox the stopped check did not save
  EXPECT_EQ(quz::CountFragments(folder), 2);  // at the limit
  EXPECT_EQ(Entry("skip.txt"), nullptr);
  EXPECT_TRUE(IsFile(dir / "FileList.txt"));
}

TEST_F(CheckTest, GenerationsBeyondTheMaximumAreDeletedAndLeaveTheCopyList) {
  context.maxGenerations = 2;
  ASSERT_TRUE(list.AddLoaded(data + "a.txt", 0, quz::SaveType::Normal, 0));
  for (int k = 0; k < 3; ++k) {
    Put("a.txt", std::to_string(k) + "v", 100000 + k);
    EXPECT_EQ(Check(), 1);
  }
  // The check started the loader, which rewrote the list.
  ASSERT_NE(context.loader, nullptr);
  ASSERT_TRUE(context.loader->Join(30000));
  EXPECT_EQ(state.generationReady, 1);
  auto lines = quztest::Lines(ReadFile(date + "quzFileList.txt"));
  ASSERT_EQ(lines.size(), 2u);
  for (const auto& line : lines) EXPECT_TRUE(IsFile(date + line.substr(0, line.find('<')))) << line;
}

TEST_F(CheckTest, AFolderCheckLooksOnlyUnderItsFolder) {
  Put("a.txt", "a", 100000);
  Put("sub\\c.txt", "c", 100000);
  ASSERT_TRUE(plat::CreateFolder(dir / "elsewhere"));
  WriteFile(dir / "elsewhere\\e.txt", "e");
  ASSERT_TRUE(list.AddEntry(data, quz::SaveType::Search));
  ASSERT_TRUE(list.AddEntry(dir / "elsewhere\\e.txt", quz::SaveType::Normal));
  ASSERT_EQ(Check(), 3);

  Put("a.txt", "a2", 100001);
  Put("sub\\c.txt", "c2", 100001);
  WriteFile(dir / "elsewhere\\e.txt", "e2");
  plat::SetFileTime(dir / "elsewhere\\e.txt", 5);
  ASSERT_TRUE(plat::CreateFolder(data + "new"));
  Put("new\\x.txt", "x", 100000);
  state.catalogueChanged = 0;

  // Contents only: a.txt, and what the search pass just added below.
  EXPECT_EQ(quz::FolderCheck(context, data, quz::kWatchContents), 1);
  EXPECT_EQ(context.savedCount, 2);
  EXPECT_TRUE(IsFile(date + "a(2).txt"));
  EXPECT_TRUE(IsFile(date + "x.txt"));
  EXPECT_FALSE(IsFile(date + "c(2).txt"));
  EXPECT_EQ(state.catalogueChanged, 1);
  EXPECT_EQ(state.progress, -1);

  // The whole tree: c.txt; never the file outside.
  EXPECT_EQ(quz::FolderCheck(context, data, quz::kWatchTree), 1);
  EXPECT_EQ(context.savedCount, 1);
  EXPECT_TRUE(IsFile(date + "c(2).txt"));
  EXPECT_FALSE(IsFile(date + "e(2).txt"));
  EXPECT_EQ(History().size(), 3u + 3u);
}

TEST_F(CheckTest, AFullCheckRunsOnItsOwnThreadWhenTheStartRulesAllowAndAFailureThereFreesTheNext) {
  Put("a.txt", "a", 100000);
  ASSERT_TRUE(list.AddEntry(data, quz::SaveType::Search));
  state.checksBlocked = true;
  EXPECT_FALSE(quz::StartFullCheck(context));
  state.checksBlocked = false;
  state.changeCheckRunning = 1;  // a folder check of the change watcher
  EXPECT_FALSE(quz::StartFullCheck(context));
  EXPECT_EQ(context.checkRunning, 0);
  state.changeCheckRunning = 0;
  int refreshed = 0;
  context.refreshList = [&] { ++refreshed; };
  ASSERT_TRUE(quz::StartFullCheck(context));
  ASSERT_TRUE(quz::WaitForCheck(context, 30000));
  EXPECT_EQ(context.checkRunning, 0);
  EXPECT_EQ(context.savedCount, 1);
  EXPECT_EQ(refreshed, 1);
  ASSERT_TRUE(quz::StartFullCheck(context));  // and again
  ASSERT_TRUE(quz::WaitForCheck(context, 30000));
  EXPECT_EQ(refreshed, 1);

  std::string heard;
  plat::SetExceptionHandler([&](const std::string& where, const std::string& what) { heard = where + ": " + what; });
  Put("b.txt", "b", 100000);
  // Classifying a found file runs out of memory.
  list.SetClassifier([](const std::string&) -> quz::SaveType { throw std::bad_alloc(); });
  ASSERT_TRUE(quz::StartFullCheck(context));
  ASSERT_TRUE(quz::WaitForCheck(context, 30000));
  EXPECT_EQ(context.checkRunning, 0);
  EXPECT_EQ(state.progress, -1);
  EXPECT_EQ(heard.rfind("check thread: ", 0), 0u) << heard;

  list.SetClassifier(nullptr);
  ASSERT_TRUE(quz::StartFullCheck(context));
  ASSERT_TRUE(quz::WaitForCheck(context, 30000));
  EXPECT_EQ(context.savedCount, 1);
  plat::SetExceptionHandler(nullptr);
}

#ifndef _WIN32
TEST_F(CheckTest, TargetsInAFolderClosedToTheUserStayAndAreSavedWhenItOpens) {
  Put("sub\\c.txt", "charlie", 100000);
  ASSERT_TRUE(list.AddEntry(data, quz::SaveType::Search));
  ASSERT_EQ(Check(), 1);
  Put("sub\\c.txt", "CHARLIE", 100200);
  {
    quztest::PermissionsApply permissions;
    quztest::SetMode(data + "sub", 0);
    ASSERT_EQ(quz::FullCheck(context), 1);
    quztest::SetMode(data + "sub", 0755);
  }
  EXPECT_EQ(context.savedCount, 0);
  ASSERT_NE(Entry("sub\\c.txt"), nullptr);
  EXPECT_EQ(Entry("sub\\c.txt")->savedTime, 100000);
  EXPECT_EQ(FailuresUnder(data + "sub\\c.txt").size(), 1u);  // its status
  EXPECT_EQ(FailuresUnder(data + "sub\\").size(), 2u);       // and its folder's listing
  EXPECT_TRUE(ui.Messages().empty());                        // failures are reported, never shown
  EXPECT_EQ(Check(), 1);
  EXPECT_EQ(ReadFile(date + "c(2).txt"), "CHARLIE");
}
#endif

TEST_F(CheckTest, TargetsOnAMissingDriveStayWhileDeletedOnesLeave) {
  plat::FileStatus status;
  if (plat::GetFileStatus("Q:\\", status)) GTEST_SKIP() << "this system has a drive Q:";
  // An unplugged disk.
  ASSERT_TRUE(list.AddLoaded("Q:\\usb\\", 0, quz::SaveType::Search, 0));
  ASSERT_TRUE(list.AddLoaded("Q:\\usb\\report.doc", 100000, quz::SaveType::Normal, 0));
  // A deleted folder tree.
  Put("sub\\c.txt", "c", 100000);
  ASSERT_TRUE(list.AddEntry(data + "sub\\", quz::SaveType::Search));
  ASSERT_EQ(quz::FullCheck(context), 1);
  quztest::RemoveTree(data + "sub");

  ASSERT_EQ(quz::FullCheck(context), 1);
  EXPECT_EQ(Entry("sub\\"), nullptr);
  EXPECT_EQ(Entry("sub\\c.txt"), nullptr);
  // The drive is said once per check, for all its entries.
  EXPECT_EQ(FailuresUnder("Q:\\").size(), 2u);
  EXPECT_TRUE(FailuresUnder("Q:\\usb\\").empty());
  EXPECT_TRUE(FailuresUnder(data).empty());
  std::string catalogue = ReadFile(dir / "FileList.txt");
  EXPECT_NE(catalogue.find("Q:\\usb\\<0<"), std::string::npos);
  EXPECT_NE(catalogue.find("Q:\\usb\\report.doc<100000<0<"), std::string::npos);
  EXPECT_EQ(catalogue.find("c.txt"), std::string::npos);
}

TEST_F(CheckTest, FoundNamesTheCatalogueCannotTakeAreReportedOncePerCheck) {
  // A folder deep enough that a file in it is longer than a path may be.
  std::string deep = data;
  while (deep.size() < 200) {
    deep += std::string(30, 'd') + "\\";
    ASSERT_TRUE(plat::CreateFolder(deep)) << deep;
  }
  const std::string tooLong = deep + std::string(quz::CFileList::kMaxPathBytes + 7 - deep.size() - 4, 'n') + ".txt";
  quztest::WriteLongPathFile(tooLong, "long");
  quztest::WriteFileNamedOutsideCodePage932(data);
  Put("fine.txt", "fine", 100000);
  ASSERT_TRUE(list.AddEntry(data, quz::SaveType::Search));

  for (int check = 1; check <= 2; ++check) {
    ASSERT_EQ(quz::FullCheck(context), 1);
    EXPECT_EQ(FailuresUnder(tooLong), std::vector<std::string>(check, quz::kPathTooLongText));
    EXPECT_EQ(FailuresUnder(data + "report-"), std::vector<std::string>(check, quz::kNoCodePage932NameText));
  }
  EXPECT_EQ(list.FindEntry(tooLong), nullptr);
  EXPECT_NE(Entry("fine.txt"), nullptr);
  EXPECT_TRUE(IsFile(date + "fine.txt"));
}

// The history file the checks append to, and its rows as shown.
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
  EXPECT_EQ(HistoryCell(big, 3), "0KB");
  EXPECT_TRUE(quz::LoadHistoryRows(dir / "none.txt").empty());
  // Only lines ended by CR LF are rows.
  EXPECT_EQ(quz::SplitHistory("1 1 1 a\r\n2 2 2 b\r\n3 3 3 c"), (std::vector<std::string>{"1 1 1 a", "2 2 2 b"}));
  EXPECT_TRUE(quz::SplitHistory("").empty());
}

TEST(History, RowTexts) {
  // 2003-01-07 09:33:20 local time (in January no zone here keeps
  // daylight-saving time).
  const int64_t t = 1041932000 + plat::TimeZoneOffset();
  quz::HistoryRow row = ParseHistoryLine(std::to_string(t) + " 0 0 C:\\a b\\c d.txt");
  ASSERT_TRUE(row.ok);
  for (int c = 0; c < quz::kHistoryColumns; ++c)
    EXPECT_EQ(HistoryCell(row, c), (std::vector<std::string>{"c d.txt", "C:\\a b\\", "0KB", "0KB", "2003/01/07 9:33"}[c]));

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

}  // namespace

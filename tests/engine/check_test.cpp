#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "catalogue/file_list.h"
#include "catalogue/generation_index.h"
#include "engine/check.h"
#include "engine/differential_save.h"
#include "engine/history.h"
#include "engine_test_util.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using enginetest::IsFile;
using quz::FileEntry;
using quztest::ReadFile;
using quztest::WriteFile;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  return lines;
}

class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* f : {"data", "data\\sub", "save"}) ASSERT_TRUE(plat::CreateFolder(dir / f));
    data = dir / "data\\";
    state.saveFolder = dir / "save";  // the check adds the "\"
    context = std::make_unique<quz::CheckContext>(list, index, state, &ui);
    context->catalogueFile = dir / "FileList.txt";
    context->historyFile = dir / "Rireki.txt";
    context->settingsFile = dir / "quz.ini";
    date = quz::DateFolder(dir / "save\\", plat::Now());
  }
  void TearDown() override { context.reset(); }

  // Writes a file with a time of its own, so that a change is seen.
  void Put(const std::string& name, const std::string& contents, plat::Time32 time) {
    WriteFile(data + name, contents);
    ASSERT_TRUE(plat::SetFileTime(data + name, time));
  }
  FileEntry* Entry(const std::string& name) { return list.FindEntry(data + name); }
  std::vector<std::string> History() {
    return IsFile(dir / "Rireki.txt") ? Lines(ReadFile(dir / "Rireki.txt")) : std::vector<std::string>();
  }
  std::vector<std::string> CopyList() {
    return IsFile(date + "quzFileList.txt") ? Lines(ReadFile(date + "quzFileList.txt"))
                                            : std::vector<std::string>();
  }

  quztest::TempDir dir;
  std::string data, date;
  quz::RunState state;
  quz::CFileList list{&state};
  quz::CGenerationIndex index;
  plat::ScriptedInteraction ui;
  std::unique_ptr<quz::CheckContext> context;
};

TEST_F(CheckTest, AFullCheckSavesNewAndChangedFilesAndDropsVanishedOnes) {
  Put("a.txt", "alpha", 100000);
  Put("b.txt", "bravo!", 100000);
  Put("sub\\c.txt", "charlie", 100000);
  ASSERT_TRUE(list.AddEntry(data, quz::SaveType::Search));

  EXPECT_EQ(quz::FullCheck(*context), 1);
  EXPECT_EQ(context->savedCount, 3);
  EXPECT_EQ(state.progress, -1);
  EXPECT_EQ(ReadFile(date + "a.txt"), "alpha");
  EXPECT_EQ(ReadFile(date + "c.txt"), "charlie");
  EXPECT_EQ(CopyList().size(), 3u);
  auto history = History();
  ASSERT_EQ(history.size(), 3u);
  quz::HistoryRow row;
  for (const auto& line : history)
    if (quz::ParseHistoryLine(line).path == data + "b.txt") row = quz::ParseHistoryLine(line);
  ASSERT_TRUE(row.ok);
  EXPECT_EQ(row.checkSize, 6u);
  EXPECT_EQ(row.backupSize, 6u);
  EXPECT_NEAR(row.time, plat::Now(), 60);
  ASSERT_NE(Entry("a.txt"), nullptr);
  EXPECT_EQ(Entry("a.txt")->savedTime, 100000);
  EXPECT_NE(Entry("a.txt")->lookedAtTime, 0);
  // The search pass added entries, so the catalogue was written.
  EXPECT_NE(ReadFile(dir / "FileList.txt").find(data + "sub\\c.txt<100000<0<"), std::string::npos);

  // Nothing changed: nothing saved, the same date folder.
  EXPECT_EQ(quz::FullCheck(*context), 1);
  EXPECT_EQ(context->savedCount, 0);
  EXPECT_EQ(History().size(), 3u);

  // New contents with the old time are not seen; a new time is.
  Put("a.txt", "ALPHA", 100000);
  Put("b.txt", "BRAVO!", 99999);  // a time that went backwards counts too
  Put("d.txt", "delta", 100000);
  ASSERT_TRUE(plat::DeleteFile(data + "sub\\c.txt"));
  EXPECT_EQ(quz::FullCheck(*context), 1);
  EXPECT_EQ(context->savedCount, 2);
  EXPECT_EQ(ReadFile(date + "a.txt"), "alpha");
  EXPECT_EQ(ReadFile(date + "b(2).txt"), "BRAVO!");
  EXPECT_EQ(ReadFile(date + "d.txt"), "delta");
  EXPECT_EQ(Entry("sub\\c.txt"), nullptr);
  for (int32_t i = 0; i < list.Count(); ++i) {
    ASSERT_NE(list.EntryAt(i), nullptr);
    EXPECT_EQ(list.EntryAt(i)->index, i);
  }
  std::string catalogue = ReadFile(dir / "FileList.txt");
  EXPECT_EQ(catalogue.find("c.txt"), std::string::npos);
  EXPECT_NE(catalogue.find(data + "sub\\<"), std::string::npos);  // the folder stays
  EXPECT_NE(catalogue.find(data + "d.txt<100000<"), std::string::npos);
  EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(CheckTest, DifferentialNoSaveWithdrawnAndStoppedEntries) {
  Put("mail.mbx", "0123456789", 100000);
  Put("skip.txt", "skip", 100000);
  Put("gone.txt", "gone", 100000);
  ASSERT_TRUE(list.AddLoaded(data + "mail.mbx", 0, quz::SaveType::Differential, 0));
  ASSERT_TRUE(list.AddLoaded(data + "skip.txt", 0, quz::SaveType::NoSave, 0));
  ASSERT_TRUE(list.AddLoaded(data + "gone.txt", quz::kWithdrawnTime, quz::SaveType::Normal, 0));

  EXPECT_EQ(quz::FullCheck(*context), 1);
  EXPECT_EQ(context->savedCount, 1);
  std::string folder = dir / "save\\mail.mbx\\";
  EXPECT_EQ(ReadFile(folder + "0000000.dat").size(), 4u + 8u + 10u);
  quz::HistoryRow row = quz::ParseHistoryLine(History().at(0));
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
  ASSERT_TRUE(plat::RemoveFolder(date));
  state.stopRequested = 1;
  EXPECT_EQ(quz::FullCheck(*context), 1);
  EXPECT_EQ(context->savedCount, 0);
  EXPECT_EQ(Entry("mail.mbx")->savedTime, 100000);
  EXPECT_NE(Entry("skip.txt"), nullptr);
  plat::FileStatus status;
  EXPECT_TRUE(plat::GetFileStatus(date, status) && status.isDirectory);
  EXPECT_EQ(state.progress, -1);

  state.stopRequested = 0;
  EXPECT_EQ(quz::FullCheck(*context), 1);
  EXPECT_EQ(context->savedCount, 1);
  EXPECT_EQ(quz::CountFragments(folder), 2);
  EXPECT_EQ(Entry("skip.txt"), nullptr);
  EXPECT_TRUE(IsFile(dir / "FileList.txt"));
}

TEST_F(CheckTest, GenerationsBeyondTheMaximumAreDeletedAndLeaveTheCopyList) {
  context->maxGenerations = 2;
  ASSERT_TRUE(list.AddLoaded(data + "a.txt", 0, quz::SaveType::Normal, 0));
  for (int k = 0; k < 3; ++k) {
    Put("a.txt", std::to_string(k) + "v", 100000 + k);
    EXPECT_EQ(quz::FullCheck(*context), 1);
    EXPECT_EQ(context->savedCount, 1);
  }
  // The check started the loader, which rewrote the list.
  ASSERT_NE(context->loader, nullptr);
  ASSERT_TRUE(context->loader->Join(30000));
  EXPECT_EQ(state.generationReady, 1);
  int existing = 0;
  for (const char* name : {"a.txt", "a(2).txt", "a(3).txt"}) existing += IsFile(date + name) ? 1 : 0;
  EXPECT_EQ(existing, 2);
  auto lines = CopyList();
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
  ASSERT_EQ(quz::FullCheck(*context), 1);
  ASSERT_EQ(context->savedCount, 3);

  Put("a.txt", "a2", 100001);
  Put("sub\\c.txt", "c2", 100001);
  WriteFile(dir / "elsewhere\\e.txt", "e2");
  plat::SetFileTime(dir / "elsewhere\\e.txt", 5);
  ASSERT_TRUE(plat::CreateFolder(data + "new"));
  Put("new\\x.txt", "x", 100000);
  state.catalogueChanged = 0;

  // Contents only: a.txt, and what the search pass just added below.
  EXPECT_EQ(quz::FolderCheck(*context, data, quz::kWatchContents), 1);
  EXPECT_EQ(context->savedCount, 2);
  EXPECT_TRUE(IsFile(date + "a(2).txt"));
  EXPECT_TRUE(IsFile(date + "x.txt"));
  EXPECT_FALSE(IsFile(date + "c(2).txt"));
  EXPECT_EQ(state.catalogueChanged, 1);
  EXPECT_EQ(state.progress, -1);

  // The whole tree: c.txt; never the file outside.
  EXPECT_EQ(quz::FolderCheck(*context, data, quz::kWatchTree), 1);
  EXPECT_EQ(context->savedCount, 1);
  EXPECT_TRUE(IsFile(date + "c(2).txt"));
  EXPECT_FALSE(IsFile(date + "e(2).txt"));
  EXPECT_EQ(History().size(), 3u + 3u);
}

TEST_F(CheckTest, AFullCheckRunsOnItsOwnThreadWhenTheStartRulesAllow) {
  Put("a.txt", "a", 100000);
  ASSERT_TRUE(list.AddEntry(data, quz::SaveType::Search));
  state.checksBlocked = true;
  EXPECT_FALSE(quz::StartFullCheck(*context));
  state.checksBlocked = false;
  state.changeCheckRunning = 1;
  EXPECT_FALSE(quz::StartFullCheck(*context));
  state.changeCheckRunning = 0;
  int refreshed = 0;
  context->refreshList = [&] { ++refreshed; };
  ASSERT_TRUE(quz::StartFullCheck(*context));
  ASSERT_TRUE(quz::WaitForCheck(*context, 30000));
  EXPECT_EQ(context->checkRunning, 0);
  EXPECT_EQ(context->savedCount, 1);
  EXPECT_EQ(refreshed, 1);
  ASSERT_TRUE(quz::StartFullCheck(*context));  // and again
  ASSERT_TRUE(quz::WaitForCheck(*context, 30000));
  EXPECT_EQ(refreshed, 1);
}

TEST_F(CheckTest, DateFoldersHaveNoLeadingZeros) {
  EXPECT_EQ(quz::DateFolder("C:\\QUZ_BACKUP\\", 1052300000), "C:\\QUZ_BACKUP\\2003-5-7\\");
}

TEST_F(CheckTest, ADifferentialFileTooLargeForFragmentsIsSavedWhole) {
  context->maxFragmentFileSize = 100000;
  std::string big = data + "huge.mbx";
  std::string bytes = enginetest::Pattern(100017);
  WriteFile(big, bytes);
  ASSERT_TRUE(list.AddLoaded(big, 0, quz::SaveType::Differential, 0));
  EXPECT_EQ(quz::FullCheck(*context), 1);
  EXPECT_EQ(context->savedCount, 1);
  EXPECT_FALSE(IsFile(dir / "save\\huge.mbx\\0000000.dat"));
  EXPECT_TRUE(ReadFile(date + "huge.mbx") == bytes);
}

}  // namespace

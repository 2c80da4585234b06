#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/run_state.h"
#include "catalogue/file_list.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quz::CFileList;
using quz::FileEntry;

class FileList : public ::testing::Test {
 protected:
  quztest::TempDir dir;
  quz::RunState state;
  CFileList list{&state};
};

TEST_F(FileList, FolderEntriesGetTheSeparatorAndTheirCodeAndFilesAreClassified) {
  std::string folder = dir / "Data";
  ASSERT_TRUE(plat::CreateFolder(folder));
  quztest::WriteFile(dir / "note.txt", "x");
  list.SetClassifier([](const std::string& path) {
    return path.ends_with(".txt") ? quz::SaveType::Differential : quz::SaveType::Normal;
  });

  ASSERT_TRUE(list.AddEntry(folder, quz::SearchDepthType(2)));
  FileEntry* e = list.FindEntry(folder);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Path(), folder + "\\");
  EXPECT_EQ(e->saveType, quz::SearchDepthType(1));
  EXPECT_EQ(list.FindEntry(folder + "\\"), e);
  EXPECT_EQ(e->savedTime, 0);
  EXPECT_EQ(e->lookedAtTime, 0);
  // Listed with or without its separator: nothing is added.
  EXPECT_FALSE(list.AddEntry(folder + "\\", quz::SaveType::Search));
  EXPECT_FALSE(list.AddEntry(folder, quz::SaveType::Search));

  ASSERT_TRUE(list.AddEntry(dir / "sub", quz::SaveType::Search));  // not on disk: a file entry
  EXPECT_EQ(list.FindEntry(dir / "sub")->Path(), dir / "sub");
  ASSERT_TRUE(list.AddEntry(dir / "note.txt", quz::SaveType::Search));
  EXPECT_EQ(list.FindEntry(dir / "NOTE.TXT")->saveType, quz::SaveType::Differential);
  EXPECT_FALSE(list.AddEntry(dir / "Note.Txt", quz::SaveType::Search));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.EntryAt(3), nullptr);
  EXPECT_EQ(list.EntryAt(-1), nullptr);
}

TEST_F(FileList, WithdrawnEntriesAreRevived) {
  std::string folder = dir / "Back";
  ASSERT_TRUE(plat::CreateFolder(folder));
  ASSERT_TRUE(list.AddLoaded(dir / "gone.txt", quz::kWithdrawnTime, quz::SaveType::NoSave, 77));
  ASSERT_TRUE(list.AddLoaded(folder + "\\", quz::kWithdrawnTime, quz::SaveType::NoSave, 77));
  EXPECT_FALSE(list.AddLoaded(dir / "GONE.txt", 5, quz::SaveType::Normal, 0));
  ASSERT_TRUE(list.FindEntry(dir / "gone.txt")->IsWithdrawn());

  ASSERT_TRUE(list.AddEntry(dir / "gone.txt", quz::SaveType::Search));
  FileEntry* e = list.FindEntry(dir / "gone.txt");
  EXPECT_EQ(e->savedTime, 0);  // no longer withdrawn
  EXPECT_EQ(e->lookedAtTime, 0);
  EXPECT_EQ(e->saveType, quz::SaveType::Normal);
  EXPECT_FALSE(list.AddEntry(dir / "gone.txt", quz::SaveType::Search));

  ASSERT_TRUE(list.AddEntry(folder, quz::SearchDepthType(4)));
  EXPECT_EQ(list.FindEntry(folder)->saveType, quz::SearchDepthType(3));
  EXPECT_EQ(state.watchListChanged, 1);
  EXPECT_EQ(list.Count(), 2);
}

TEST_F(FileList, HoldsAtMostTheLimit) {
  for (int32_t i = 0; i < CFileList::kMaxEntries; ++i)
    ASSERT_TRUE(list.AddLoaded("C:\\f" + std::to_string(i / 50) + "\\n" + std::to_string(i),
                               1, quz::SaveType::Normal, 0));
  EXPECT_EQ(list.Add("C:\\another\\file.txt", quz::SaveType::Search), quz::AddResult::Full);
  EXPECT_FALSE(list.AddLoaded("C:\\another\\file.txt", 1, quz::SaveType::Normal, 0));
  EXPECT_EQ(list.Count(), CFileList::kMaxEntries);
  EXPECT_EQ(list.FindEntry("C:\\another\\file.txt"), nullptr);
  FileEntry* last = list.EntryAt(CFileList::kMaxEntries - 1);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->Path(), "C:\\f4999\\n249999");
}

TEST_F(FileList, RemovalsCompactTheOrderAtTheEndOfACheck) {
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(list.AddLoaded("C:\\d\\" + std::to_string(i), 1, quz::SaveType::Normal, 0));
  ASSERT_TRUE(list.RemoveDuringCheck(7));
  ASSERT_TRUE(list.RemoveDuringCheck(3));
  EXPECT_FALSE(list.RemoveDuringCheck(3));  // already gone
  EXPECT_FALSE(list.RemoveDuringCheck(10));
  // During the check the slots stay, but the entries are not found any more.
  EXPECT_EQ(list.Count(), 10);
  EXPECT_EQ(list.EntryAt(3), nullptr);
  EXPECT_EQ(list.FindEntry("C:\\d\\7"), nullptr);
  EXPECT_EQ(list.EntryAt(8)->Path(), "C:\\d\\8");
  list.ApplyRemovals();
  EXPECT_EQ(list.PendingRemovals(), 0);
  ASSERT_EQ(list.Count(), 8);
  const char* expected[] = {"0", "1", "2", "4", "5", "6", "8", "9"};
  for (int32_t i = 0; i < 8; ++i) {
    FileEntry* e = list.EntryAt(i);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->index, i);
    EXPECT_EQ(e->Path(), std::string("C:\\d\\") + expected[i]);
    EXPECT_EQ(list.FindEntry(e->Path()), e);
  }
  // A removed path can be listed again.
  EXPECT_TRUE(list.AddLoaded("C:\\d\\3", 1, quz::SaveType::Normal, 0));
  EXPECT_EQ(list.EntryAt(8)->index, 8);
}

TEST_F(FileList, PathsTheIndexCannotHoldAreRefused) {
  std::string longFolder = "C:\\" + std::string(300, 'x');
  // The index takes a folder part of up to 254 bytes...
  ASSERT_TRUE(list.AddLoaded(longFolder.substr(0, 254) + "\\a.txt", 1, quz::SaveType::Normal, 0));
  EXPECT_FALSE(list.AddLoaded(longFolder + "\\a.txt", 1, quz::SaveType::Normal, 0));
  EXPECT_EQ(list.Add(longFolder + "\\b.txt", quz::SaveType::Search), quz::AddResult::CannotHold);
  // ...and a new entry must be a path the system's file functions take.
  const std::string longest = "C:\\" + std::string(250, 'y') + "\\a.txt";
  ASSERT_EQ(longest.size(), CFileList::kMaxPathBytes);
  EXPECT_EQ(list.Add(longest, quz::SaveType::Search), quz::AddResult::Added);
  EXPECT_EQ(list.Add(longest, quz::SaveType::Search), quz::AddResult::Listed);
  EXPECT_EQ(list.Add("C:\\" + std::string(250, 'y') + "\\ab.txt", quz::SaveType::Search), quz::AddResult::CannotHold);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.FindEntry(longFolder + "\\a.txt"), nullptr);
  EXPECT_EQ(list.EntryAt(0)->Path(), longFolder.substr(0, 254) + "\\a.txt");
}

// The user-interface thread reads the list while a check thread adds to it;
// the entries it holds must stay valid however much the list grows.
TEST_F(FileList, ReadersSeeAConsistentListWhileAnotherThreadAdds) {
  constexpr int32_t kAdds = 60000;
  std::atomic<bool> done{false};
  std::atomic<int64_t> reads{0};
  std::thread reader([&] {
    FileEntry* first = nullptr;
    while (!done.load()) {
      int32_t n = list.Count();
      if (n == 0) continue;
      FileEntry* e = list.EntryAt(n - 1);
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(e->index, n - 1);
      EXPECT_EQ(e->Path(), "C:\\w" + std::to_string((n - 1) / 40) + "\\f" + std::to_string(n - 1));
      EXPECT_EQ(list.FindEntry(e->Path()), e);
      if (!first) first = list.EntryAt(0);
      EXPECT_EQ(first->Path(), "C:\\w0\\f0");
      reads.fetch_add(1);
    }
  });
  std::thread writer([&] {
    for (int32_t i = 0; i < kAdds; ++i) {
      ASSERT_TRUE(list.AddLoaded("C:\\w" + std::to_string(i / 40) + "\\f" + std::to_string(i),
                                 i, quz::SaveType::Normal, 0));
      FileEntry* e = list.EntryAt(i);
      e->savedTime = i + 1;
      e->lookedAtTime = i + 2;
    }
  });
  writer.join();
  done = true;
  reader.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(list.Count(), kAdds);
  EXPECT_EQ(list.EntryAt(kAdds - 1)->savedTime, kAdds);
}

}  // namespace

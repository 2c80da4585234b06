// The folders the watcher watches, depth by depth, and the change queue.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/file_list.h"
#include "engine/watcher.h"

namespace {

using quz::kWatchContents;
using quz::kWatchTree;
using quz::WatchedFolder;

std::string Show(const std::vector<WatchedFolder>& list) {
  std::string s;
  for (const WatchedFolder& f : list) s += f.path + (f.kind == kWatchTree ? " tree\n" : " contents\n");
  return s;
}

std::string AtDepth(const quz::CFileList& list, int depth) {
  std::vector<WatchedFolder> out;
  if (!quz::WatchListAtDepth(list, depth, out)) return "too many";
  return Show(out);
}

TEST(WatchList, TwoFilesInTwoFoldersNarrowToTheirFolders) {
  quz::CFileList list;
  ASSERT_TRUE(list.AddLoaded("C:\\A\\x.txt", 0, quz::SaveType::Normal, 0));
  ASSERT_TRUE(list.AddLoaded("C:\\B\\y.txt", 0, quz::SaveType::Normal, 0));
  EXPECT_EQ(AtDepth(list, 1), "C:\\ tree\n");
  for (int depth = 2; depth <= 9; ++depth)
    EXPECT_EQ(AtDepth(list, depth), "C:\\A\\ tree\nC:\\B\\ tree\n") << depth;
  EXPECT_EQ(Show(quz::BuildWatchList(list)), "C:\\A\\ tree\nC:\\B\\ tree\n");
}

TEST(WatchList, ASearchedSubfolderTurnsItsParentIntoATreeUntilItIsWatchedItself) {
  quz::CFileList list;
  ASSERT_TRUE(list.AddLoaded("D:\\Data\\", 0, quz::SaveType::Search, 0));
  ASSERT_TRUE(list.AddLoaded("D:\\Data\\f.txt", 0, quz::SaveType::Normal, 0));
  ASSERT_TRUE(list.AddLoaded("D:\\Data\\Sub\\", 0, quz::SaveType::Search, 0));
  EXPECT_EQ(AtDepth(list, 1), "D:\\ tree\n");
  EXPECT_EQ(AtDepth(list, 2), "D:\\Data\\ tree\n");
  for (int depth = 3; depth <= 9; ++depth)
    EXPECT_EQ(AtDepth(list, depth), "D:\\Data\\ contents\nD:\\Data\\Sub\\ contents\n") << depth;
  EXPECT_EQ(Show(quz::BuildWatchList(list)), "D:\\Data\\ contents\nD:\\Data\\Sub\\ contents\n");
}

TEST(WatchList, FileEntriesAndUnsearchedFoldersDoNotWidenAFolder) {
  quz::CFileList list;
  ASSERT_TRUE(list.AddLoaded("D:\\Data\\", 0, quz::SaveType::Search, 0));
  ASSERT_TRUE(list.AddLoaded("D:\\Data\\f.txt", 0, quz::SaveType::Normal, 0));
  ASSERT_TRUE(list.AddLoaded("D:\\Data\\Skip\\", 0, quz::SaveType::NoSave, 0));
  EXPECT_EQ(AtDepth(list, 2), "D:\\Data\\ contents\n");
}

TEST(WatchList, FoldersAreComparedWithoutCaseAndCutAtRealBackslashes) {
  quz::CFileList list;
  ASSERT_TRUE(list.AddLoaded("C:\\A\\x.txt", 0, quz::SaveType::Normal, 0));
  ASSERT_TRUE(list.AddLoaded("c:\\a\\y.txt", 0, quz::SaveType::Normal, 0));
  // The second byte of 表 is 0x5C, the code of "\".
  ASSERT_TRUE(list.AddLoaded("C:\\表\\z.txt", 0, quz::SaveType::Normal, 0));
  EXPECT_EQ(AtDepth(list, 2), "C:\\A\\ tree\nC:\\表\\ tree\n");
}

TEST(WatchList, TheDeepestDepthThatFitsInSixtyThreeFoldersIsWatched) {
  for (int folders : {63, 64}) {
    quz::CFileList list;
    for (int i = 0; i < folders; ++i) {
      char path[64];
      std::snprintf(path, sizeof path, "C:\\Big\\d%02d\\f.txt", i);
      ASSERT_TRUE(list.AddLoaded(path, 0, quz::SaveType::Normal, 0));
    }
    std::vector<WatchedFolder> watched = quz::BuildWatchList(list);
    if (folders == 63) {
      ASSERT_EQ(watched.size(), 63u);
      EXPECT_EQ(watched[5].path, "C:\\Big\\d05\\");
    } else {
      EXPECT_EQ(AtDepth(list, 3), "too many");
      EXPECT_EQ(Show(watched), "C:\\Big\\ tree\n");
    }
  }
}

TEST(WatchList, NothingIsWatchedWhenTheFirstDepthNeedsTooManyFolders) {
  quz::CFileList list;
  for (int i = 0; i < 64; ++i) {
    char path[32];
    std::snprintf(path, sizeof path, "v%02d\\f.txt", i);
    ASSERT_TRUE(list.AddLoaded(path, 0, quz::SaveType::Normal, 0));
  }
  EXPECT_EQ(AtDepth(list, 1), "too many");
  EXPECT_TRUE(quz::BuildWatchList(list).empty());
}

TEST(ChangeQueue, AFolderIsQueuedOnceAndTheLastSlotTakesTheOverflow) {
  quz::CChangeQueue queue;
  queue.Clear();
  EXPECT_TRUE(queue.Empty());
  queue.Put("C:\\A\\", kWatchContents);
  queue.Put("C:\\B\\", kWatchTree);
  queue.Put("c:\\a\\", kWatchTree);  // merges into the first slot
  EXPECT_EQ(queue.Slot(0).path, "c:\\a\\");
  EXPECT_EQ(queue.Slot(0).kind, kWatchTree);
  EXPECT_EQ(queue.Slot(1).path, "C:\\B\\");
  EXPECT_TRUE(queue.Slot(2).path.empty());

  for (int i = 2; i < 70; ++i) queue.Put("C:\\F" + std::to_string(i) + "\\", kWatchContents);
  EXPECT_EQ(queue.Slot(62).path, "C:\\F62\\");
  EXPECT_EQ(queue.Slot(63).path, "C:\\F69\\");  // each later folder replaced the last one

  queue.RemoveHead();
  EXPECT_EQ(queue.Slot(0).path, "C:\\B\\");
  EXPECT_EQ(queue.Slot(62).path, "C:\\F69\\");
  EXPECT_TRUE(queue.Slot(63).path.empty());
  EXPECT_EQ(queue.Slot(63).kind, 0);

  EXPECT_FALSE(queue.HasEndMark());
  queue.PutEndMark();
  EXPECT_TRUE(queue.HasEndMark());
  queue.Clear();
  EXPECT_FALSE(queue.HasEndMark());
  EXPECT_TRUE(queue.Empty());
}

}  // namespace

// The folders the watcher watches, depth by depth, and the change queue.
#include <gtest/gtest.h>

#include <algorithm>
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

TEST(WatchList, EachDepthWatchesTheTargetsFoldersCutToIt) {
  constexpr quz::SaveType kFile = quz::SaveType::Normal, kSearch = quz::SaveType::Search;
  const struct {
    const char* why;
    std::vector<std::pair<const char*, quz::SaveType>> entries;
    // Depth 1, 2, ...; with `onward` the last holds for every deeper depth
    // and for the list the watcher builds.
    std::vector<std::string> byDepth;
    bool onward = true;
  } cases[] = {
      {"two files in two folders narrow to their folders",
       {{"C:\\A\\x.txt", kFile}, {"C:\\B\\y.txt", kFile}},
       {"C:\\ tree\n", "C:\\A\\ tree\nC:\\B\\ tree\n"}},
      {"a searched subfolder turns its parent into a tree until it is watched itself",
       {{"D:\\Data\\", kSearch}, {"D:\\Data\\f.txt", kFile}, {"D:\\Data\\Sub\\", kSearch}},
       {"D:\\ tree\n", "D:\\Data\\ tree\n", "D:\\Data\\ contents\nD:\\Data\\Sub\\ contents\n"}},
      {"file entries and unsearched folders do not widen a folder",
       {{"D:\\Data\\", kSearch}, {"D:\\Data\\f.txt", kFile}, {"D:\\Data\\Skip\\", quz::SaveType::NoSave}},
       {"D:\\ tree\n", "D:\\Data\\ contents\n"},
       false},
      // The second byte of 表 is 0x5C, the code of "\".
      {"folders are compared without case and cut at real backslashes",
       {{"C:\\A\\x.txt", kFile}, {"c:\\a\\y.txt", kFile}, {"C:\\表\\z.txt", kFile}},
       {"C:\\ tree\n", "C:\\A\\ tree\nC:\\表\\ tree\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    quz::CFileList list;
    for (const auto& [path, type] : c.entries) ASSERT_TRUE(list.AddLoaded(path, 0, type, 0));
    for (size_t depth = 1; depth <= (c.onward ? 9 : c.byDepth.size()); ++depth)
      EXPECT_EQ(AtDepth(list, static_cast<int>(depth)), c.byDepth[std::min(depth, c.byDepth.size()) - 1]) << depth;
    if (c.onward) {
      EXPECT_EQ(Show(quz::BuildWatchList(list)), c.byDepth.back());
    }
  }
}

TEST(WatchList, TheDeepestDepthThatFitsInSixtyThreeFoldersIsWatchedOrNothing) {
  // Files in 63 and in 64 folders of C:\Big, then in 64 folders of no drive.
  for (int round = 0; round < 3; ++round) {
    quz::CFileList list;
    for (int i = 0; i < (round == 0 ? 63 : 64); ++i) {
      char path[64];
      std::snprintf(path, sizeof path, round < 2 ? "C:\\Big\\d%02d\\f.txt" : "v%02d\\f.txt", i);
      ASSERT_TRUE(list.AddLoaded(path, 0, quz::SaveType::Normal, 0));
    }
    std::vector<WatchedFolder> watched = quz::BuildWatchList(list);
    if (round == 0) {
      ASSERT_EQ(watched.size(), 63u);
      EXPECT_EQ(watched[5].path, "C:\\Big\\d05\\");
    } else if (round == 1) {
      EXPECT_EQ(AtDepth(list, 3), "too many");
      EXPECT_EQ(Show(watched), "C:\\Big\\ tree\n");
    } else {
      EXPECT_EQ(AtDepth(list, 1), "too many");
      EXPECT_TRUE(watched.empty());
    }
  }
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

// Folder change notifications of the platform layer on real folders.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quztest::WriteFile;

constexpr uint32_t kAll = plat::kNotifyFileName | plat::kNotifyDirName | plat::kNotifyAttributes |
                          plat::kNotifySize | plat::kNotifyLastWrite;
// Long enough never to be reached when the change arrives.
constexpr uint32_t kPatience = 20000;

class ChangeWatchSetTest : public ::testing::Test {
 protected:
  // Re-arms every folder until none reports anything for a short while, so
  // that what comes next is caused by the next step of a test.
  void Settle() {
    for (int n; (n = set.Wait(event, 150)) > 0;) ASSERT_TRUE(set.Rearm(n));
  }

  quztest::TempDir dir;
  plat::ChangeWatchSet set;
  plat::Event event{true, false};
};

TEST_F(ChangeWatchSetTest, TheEventWinsAndAnIdleWaitRunsOut) {
  ASSERT_TRUE(set.Add(dir.path(), false, kAll));
  EXPECT_EQ(set.Wait(event, 50), plat::kWaitTimedOut);
  event.Set();
  EXPECT_EQ(set.Wait(event, kPatience), 0);
  WriteFile(dir / "a.txt", "a");
  EXPECT_EQ(set.Wait(event, kPatience), 0);  // the event comes first
  event.Reset();
  EXPECT_EQ(set.Wait(event, kPatience), 1);
}

TEST_F(ChangeWatchSetTest, MissingFoldersAreNotWatchedAndTheSetHoldsSixtyThree) {
  EXPECT_FALSE(set.Add(dir / "missing\\", false, kAll));
  EXPECT_EQ(set.Count(), 0);
  for (int i = 0; i < plat::kMaxWatchedFolders; ++i) {
    std::string sub = dir / ("d" + std::to_string(i));
    ASSERT_TRUE(plat::CreateFolder(sub));
    ASSERT_TRUE(set.Add(sub + "\\", false, kAll)) << i;
  }
  ASSERT_TRUE(plat::CreateFolder(dir / "one more"));
  EXPECT_FALSE(set.Add(dir / "one more\\", false, kAll));
  EXPECT_EQ(set.Count(), plat::kMaxWatchedFolders);

  // The folder that changed is the one reported.
  WriteFile(dir / "d41\\x.txt", "x");
  EXPECT_EQ(set.Wait(event, kPatience), 42);
  set.Clear();
  EXPECT_EQ(set.Count(), 0);
}

TEST_F(ChangeWatchSetTest, AFolderStaysSignalledUntilRearmedAndReportsWritesAndTimes) {
  WriteFile(dir / "f.txt", "1");
  ASSERT_TRUE(set.Add(dir.path(), false, kAll));
  Settle();

  plat::File f;
  ASSERT_TRUE(f.Open(dir / "f.txt", plat::Access::Write, plat::Disposition::OpenExisting));
  ASSERT_TRUE(f.WriteAll("22"));
  f.Close();
  EXPECT_EQ(set.Wait(event, kPatience), 1);
  EXPECT_EQ(set.Wait(event, 0), 1);  // not re-armed: still signalled
  ASSERT_TRUE(set.Rearm(1));
  Settle();

  ASSERT_TRUE(plat::SetFileTime(dir / "f.txt", 1000000000));
  EXPECT_EQ(set.Wait(event, kPatience), 1);
}

TEST_F(ChangeWatchSetTest, ATreeWatchCoversFoldersMadeAfterIt) {
  ASSERT_TRUE(plat::CreateFolder(dir / "old"));
  ASSERT_TRUE(set.Add(dir.path(), true, kAll));

  // Wine's tree notifications report changes in the folder itself and in
  // subfolders made after the request, not in subfolders that existed then.
  if (!quztest::UnderWine()) {
    WriteFile(dir / "old\\a.txt", "a");
    EXPECT_EQ(set.Wait(event, kPatience), 1);
    ASSERT_TRUE(set.Rearm(1));
  }
  // Each new level is watched as soon as it is reported.
  std::string folder = dir.path();
  for (const char* level : {"new", "deeper"}) {
    folder += level;
    ASSERT_TRUE(plat::CreateFolder(folder));
    folder += "\\";
    EXPECT_EQ(set.Wait(event, kPatience), 1) << level;
    ASSERT_TRUE(set.Rearm(1));
    Settle();
    WriteFile(folder + "b.txt", "b");
    EXPECT_EQ(set.Wait(event, kPatience), 1) << folder;
    ASSERT_TRUE(set.Rearm(1));
    Settle();
  }
}

}  // namespace

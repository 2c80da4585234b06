// Watching for changes: the folders the watcher watches, depth by depth,
// and its change queue; the platform's folder change notifications on real
// folders; the change watcher and its worker on real folders and threads;
// and quzctl watch.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#endif

#include "app/run_state.h"
#include "catalogue/file_list.h"
#include "catalogue/generation_index.h"
#include "engine/check.h"
#include "engine/watcher.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quz::kWatchTree;
using quz::WatchedFolder;
using quztest::Quote;
using quztest::ReadFile;
using quztest::WriteFile;

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
  queue.Put("C:\\A\\", quz::kWatchContents);
  queue.Put("C:\\B\\", kWatchTree);
  queue.Put("c:\\a\\", kWatchTree);  // merges into the first slot
  EXPECT_EQ(queue.Slot(0).path, "c:\\a\\");
  EXPECT_EQ(queue.Slot(0).kind, kWatchTree);
  EXPECT_EQ(queue.Slot(1).path, "C:\\B\\");
  EXPECT_TRUE(queue.Slot(2).path.empty());

  // Each later folder replaces the last one; the head's removal moves the
  // others up.
  for (int i = 2; i < 70; ++i) queue.Put("C:\\F" + std::to_string(i) + "\\", quz::kWatchContents);
  queue.RemoveHead();
  EXPECT_EQ(queue.Slot(0).path, "C:\\B\\");
  EXPECT_EQ(queue.Slot(61).path, "C:\\F62\\");
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

TEST_F(ChangeWatchSetTest, SixtyThreeFoldersAtMostAndTheOneThatChangedIsReportedAfterTheEventUntilRearmed) {
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
  EXPECT_EQ(set.Wait(event, 50), plat::kWaitTimedOut);
  event.Set();
  EXPECT_EQ(set.Wait(event, kPatience), 0);

  WriteFile(dir / "d41\\x.txt", "x");
  EXPECT_EQ(set.Wait(event, kPatience), 0);  // the event comes first
  event.Reset();
  EXPECT_EQ(set.Wait(event, kPatience), 42);
  EXPECT_EQ(set.Wait(event, 0), 42);  // not re-armed: still signalled
  ASSERT_TRUE(set.Rearm(42));
  Settle();

  // Writes to a file and its time are reported too.
  plat::File f;
  ASSERT_TRUE(f.Open(dir / "d41\\x.txt", plat::Access::Write, plat::Disposition::OpenExisting));
  ASSERT_TRUE(f.WriteAll("22"));
  f.Close();
  EXPECT_EQ(set.Wait(event, kPatience), 42);
  ASSERT_TRUE(set.Rearm(42));
  Settle();
  ASSERT_TRUE(plat::SetFileTime(dir / "d41\\x.txt", 1000000000));
  EXPECT_EQ(set.Wait(event, kPatience), 42);
  set.Clear();
  EXPECT_EQ(set.Count(), 0);
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

// Waits for a condition that another thread makes true; false when it did
// not come within the (generous) limit.
template <typename Condition>
bool Eventually(Condition condition, uint32_t limitMs = 30000) {
  const uint32_t start = plat::TickCount();
  while (!condition()) {
    if (plat::TickCount() - start > limitMs) return false;
    plat::Sleep(20);
  }
  return true;
}

// The worker's waits, shortened from a second each: a folder waits
// kSettleMs before its check, and nothing is queued for kPauseMs after it.
constexpr uint32_t kSettleMs = 200;
constexpr uint32_t kPauseMs = 100;
// Long enough for a folder check to have followed a change, had one been
// allowed.
constexpr uint32_t kCheckWouldHaveRun = 2 * (kSettleMs + kPauseMs) + 500;

class WatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    watcher.timing.pollMs = 20;
    watcher.timing.settleMs = kSettleMs;
    watcher.timing.pauseMs = kPauseMs;
    for (const char* f : {"data", "save"}) ASSERT_TRUE(plat::CreateFolder(dir / f));
    data = dir / "data\\";
    state.saveFolder = dir / "save\\";
    context.settingsFile = dir / "quz.ini";
    context.catalogueFile = dir / "FileList.txt";
    context.historyFile = dir / "Rireki.txt";
  }

  // A searched folder target holding one file, saved once by a full check.
  void MakeTarget(const std::string& folder, const std::string& file) {
    plat::CreateFolder(folder);  // unless it is there
    WriteFile(folder + file, "first");
    ASSERT_TRUE(list.AddEntry(folder, quz::SaveType::Search));
    quz::FullCheck(context);
    ASSERT_NE(SavedTime(folder + file), 0);
  }

  // Starts the watcher and waits until it watches its folders.
  void StartWatching() {
    state.watchEvent.Reset();
    watcher.onFolderChecked = [this](const std::string& folder, int saved) {
      std::lock_guard<std::mutex> lock(mutex);
      checked.emplace_back(folder, saved);
    };
    ASSERT_TRUE(watcher.Start());
    ASSERT_TRUE(Eventually([this] { return watcher.Builds() >= 1; }));
  }

  // The folder checks so far: each folder and the files it saved.
  std::vector<std::pair<std::string, int>> Checked() {
    std::lock_guard<std::mutex> lock(mutex);
    return checked;
  }
  size_t Checks() { return Checked().size(); }

  int32_t SavedTime(const std::string& path) {
    quz::FileEntry* e = list.FindEntry(path);
    return e ? e->savedTime.load() : 0;
  }

  // Rewrites a file with a modification time of its own.
  void Change(const std::string& path, const std::string& text, plat::Time32 mtime) {
    WriteFile(path, text);
    ASSERT_TRUE(plat::SetFileTime(path, mtime));
  }

  void TearDown() override { watcher.Stop(); }

  // Before the watcher, so that they outlive its threads.
  std::mutex mutex;
  std::vector<std::pair<std::string, int>> checked;
  quztest::TempDir dir;
  std::string data;
  quz::RunState state;
  quz::CFileList list{&state};
  quz::CGenerationIndex index;
  quz::CheckContext context{list, index, state};
  quz::CChangeWatcher watcher{context};
};

TEST_F(WatcherTest, ABurstOfChangesCausesOneFolderCheckAndAChangeWhileChecksMayNotRunIsHandledAfterwards) {
  MakeTarget(data, "mail.box");
  StartWatching();
  // Ten writes well within the wait before the check.
  for (int i = 0; i < 10; ++i) Change(data + "mail.box", "burst " + std::to_string(i), 1100000000 + i);
  ASSERT_TRUE(Eventually([this] { return Checks() >= 1; }));
  plat::Sleep(kCheckWouldHaveRun);
  EXPECT_EQ(Checked(), (std::vector<std::pair<std::string, int>>{{data, 1}}));
  EXPECT_EQ(SavedTime(data + "mail.box"), 1100000009);
  EXPECT_EQ(state.changeCheckRunning.load(), 0);

  // A running full check (what StartFullCheck claims for it), then a window
  // that blocks checks.
  const std::function<void(bool)> blockers[] = {
      [this](bool on) { context.checkRunning = on ? 1 : 0; },
      [this](bool on) { state.checksBlocked = on; },
  };
  plat::Time32 mtime = 1100000100;
  for (const auto& block : blockers) {
    const size_t before = Checks();
    block(true);
    Change(data + "mail.box", "changed", ++mtime);
    plat::Sleep(kCheckWouldHaveRun);
    EXPECT_EQ(Checks(), before);
    EXPECT_EQ(state.changeCheckRunning.load(), 0);
    EXPECT_NE(SavedTime(data + "mail.box"), mtime);

    block(false);
    ASSERT_TRUE(Eventually([&] { return Checks() > before; }));
    EXPECT_EQ(SavedTime(data + "mail.box"), mtime);
  }
}

TEST_F(WatcherTest, ANewFolderEntryRebuildsTheWatchList) {
  MakeTarget(data + "A\\", "a.txt");
  StartWatching();
  EXPECT_EQ(Show(watcher.Watched()), data + "A\\ contents\n");

  ASSERT_TRUE(plat::CreateFolder(data + "B"));
  WriteFile(data + "B\\b.txt", "b");
  ASSERT_TRUE(list.AddEntry(data + "B\\", quz::SaveType::Search));  // signals watchEvent
  ASSERT_TRUE(Eventually([this] { return watcher.Builds() >= 2; }));
  EXPECT_EQ(Show(watcher.Watched()), data + "A\\ contents\n" + data + "B\\ contents\n");
  EXPECT_EQ(state.watchListChanged.load(), 0);

  // The new folder is watched: a file made in it is found and saved.
  WriteFile(data + "B\\new.txt", "new");
  ASSERT_TRUE(Eventually([this] { return !Checked().empty() && Checked().back().first == data + "B\\"; }));
  EXPECT_NE(SavedTime(data + "B\\new.txt"), 0);
}

TEST_F(WatcherTest, ShutdownEndsBothThreadsAndMayBeRepeatedOrComeBeforeTheStart) {
  MakeTarget(data, "a.txt");
  // Not started, it watches nothing and has nothing to stop.
  Change(data + "a.txt", "unwatched", 1100000300);
  plat::Sleep(kCheckWouldHaveRun);
  watcher.Stop();
  EXPECT_EQ(state.stopRequested.load(), 0);
  EXPECT_TRUE(watcher.Watched().empty());
  EXPECT_EQ(watcher.Builds(), 0);
  EXPECT_FALSE(watcher.WorkerRunning());

  StartWatching();
  EXPECT_TRUE(watcher.WatcherRunning());
  EXPECT_TRUE(Eventually([this] { return watcher.WorkerRunning(); }));
  // A folder waits at the head behind a full check when shutdown comes.
  context.checkRunning = 1;
  Change(data + "a.txt", "late", 1100000200);
  plat::Sleep(kSettleMs + 500);
  watcher.Stop();
  EXPECT_FALSE(watcher.WatcherRunning());
  EXPECT_FALSE(watcher.WorkerRunning());
  EXPECT_EQ(state.stopRequested.load(), 1);
  EXPECT_EQ(Checks(), 0u);
  watcher.Stop();
  context.checkRunning = 0;
}

// quzctl watch run as its users run it: a copy of quzctl in a folder of its
// own with its state beside it, a file changed while it watches.
TEST(QuzctlWatch, AChangedFileIsSavedWhileItWatchesAndTheCatalogueIsWrittenAtExit) {
  quztest::TempDir dir;
  quztest::Quzctl quzctl{dir, QUZCTL_BUILT_AT};
  ASSERT_TRUE(plat::CreateFolder(dir / "data"));
  const std::string data = dir / "data\\", save = dir / "保存\\";
  WriteFile(dir / "quz.ini", "[quz保存先フォルダ]" + save + "\r\n");
  WriteFile(dir / "FileList.txt", data + "<0<3<0\r\n");
  auto contains = [](const std::string& path, const std::string& text) {
    return quztest::Exists(path) && ReadFile(path).find(text) != std::string::npos;
  };
  const std::string err = dir / "stderr.txt", pidFile = dir / "pid.txt";
#ifdef _WIN32
  // Ends by itself after its first folder check (or a minute, should none
  // come).
  const std::string line = Quote(quztest::HostPath(quzctl.exe())) + " watch --checks 1 --seconds 60 2>" +
                           Quote(quztest::HostPath(err));
#else
  // Runs until interrupted, as from a terminal.
  const std::string line = Quote(quztest::HostPath(quzctl.exe())) + " watch 2>" +
                           Quote(quztest::HostPath(err)) + " & echo $! >" +
                           Quote(quztest::HostPath(pidFile)) + "; wait $!";
#endif
  std::string output;
  int rc = -1;
  plat::Thread run;
  ASSERT_TRUE(run.Start([&] { rc = quztest::RunCommand(line, &output); }));

  ASSERT_TRUE(Eventually([&] { return contains(err, "watching 1 folder"); }, 20000))
      << (quztest::Exists(err) ? ReadFile(err) : "");
  WriteFile(data + "report.txt", "changed while watched");
  const std::string copy = quz::DateFolder(save, plat::Now()) + "report.txt";
  ASSERT_TRUE(Eventually([&] { return quztest::Exists(copy); }, 20000));

#ifndef _WIN32
  // Wait until the saved time can be kept at exit, then interrupt it.
  plat::Sleep(500);
  std::string pid = ReadFile(pidFile);
  ASSERT_EQ(kill(static_cast<pid_t>(std::atoi(pid.c_str())), SIGINT), 0);
#endif
  ASSERT_TRUE(run.Join(60000));
  EXPECT_EQ(rc, 0) << ReadFile(err);
  std::erase(output, '\r');
  EXPECT_EQ(output, data + "\t1\n");
  EXPECT_EQ(ReadFile(copy), "changed while watched");
  // The catalogue now holds the found file with its saved time.
  const std::string saved = std::to_string(quztest::TimeOf(data + "report.txt"));
  EXPECT_TRUE(contains(dir / "FileList.txt", data + "report.txt<" + saved + "<0<"));
}

}  // namespace

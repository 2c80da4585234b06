// The change watcher and its worker on real folders and threads, and
// quzctl watch.
#include <gtest/gtest.h>

#include <atomic>
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

using quztest::Quote;
using quztest::ReadFile;
using quztest::WriteFile;

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
    ASSERT_TRUE(plat::CreateFolder(dir / "data"));
    ASSERT_TRUE(plat::CreateFolder(dir / "save"));
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
      checked.push_back(folder);
      savedCounts.push_back(saved);
    };
    ASSERT_TRUE(watcher.Start());
    ASSERT_TRUE(Eventually([this] { return watcher.Builds() >= 1; }));
  }

  std::string LastChecked() {
    std::lock_guard<std::mutex> lock(mutex);
    return checked.empty() ? std::string() : checked.back();
  }

  int Checks() {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(checked.size());
  }

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
  std::vector<std::string> checked;
  std::vector<int> savedCounts;
  quztest::TempDir dir;
  std::string data;
  quz::RunState state;
  quz::CFileList list{&state};
  quz::CGenerationIndex index;
  quz::CheckContext context{list, index, state};
  quz::CChangeWatcher watcher{context};
};

TEST_F(WatcherTest, ABurstOfChangesCausesOneFolderCheck) {
  MakeTarget(data, "mail.box");
  StartWatching();
  // Ten writes well within the wait before the check.
  for (int i = 0; i < 10; ++i) Change(data + "mail.box", "burst " + std::to_string(i), 1100000000 + i);
  ASSERT_TRUE(Eventually([this] { return Checks() >= 1; }));
  plat::Sleep(kCheckWouldHaveRun);
  EXPECT_EQ(Checks(), 1);
  EXPECT_EQ(LastChecked(), data);
  {
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(savedCounts[0], 1);
  }
  EXPECT_EQ(SavedTime(data + "mail.box"), 1100000009);
  EXPECT_EQ(state.changeCheckRunning.load(), 0);
}

TEST_F(WatcherTest, AChangeWhileChecksMayNotRunIsHandledAfterwards) {
  MakeTarget(data, "a.txt");
  StartWatching();
  // A running full check (what StartFullCheck claims for it), then a window
  // that blocks checks.
  const std::function<void(bool)> blockers[] = {
      [this](bool on) { context.checkRunning = on ? 1 : 0; },
      [this](bool on) { state.checksBlocked = on; },
  };
  plat::Time32 mtime = 1100000100;
  for (const auto& block : blockers) {
    const int before = Checks();
    block(true);
    Change(data + "a.txt", "changed", ++mtime);
    plat::Sleep(kCheckWouldHaveRun);
    EXPECT_EQ(Checks(), before);
    EXPECT_EQ(state.changeCheckRunning.load(), 0);
    EXPECT_NE(SavedTime(data + "a.txt"), mtime);

    block(false);
    ASSERT_TRUE(Eventually([&] { return Checks() > before; }));
    EXPECT_EQ(SavedTime(data + "a.txt"), mtime);
  }
}

TEST_F(WatcherTest, ANewFolderEntryRebuildsTheWatchList) {
  MakeTarget(data + "A\\", "a.txt");
  StartWatching();
  ASSERT_EQ(watcher.Watched().size(), 1u);
  EXPECT_EQ(watcher.Watched()[0].path, data + "A\\");

  ASSERT_TRUE(plat::CreateFolder(data + "B"));
  WriteFile(data + "B\\b.txt", "b");
  ASSERT_TRUE(list.AddEntry(data + "B\\", quz::SaveType::Search));  // signals watchEvent
  ASSERT_TRUE(Eventually([this] { return watcher.Builds() >= 2; }));
  std::vector<quz::WatchedFolder> watched = watcher.Watched();
  ASSERT_EQ(watched.size(), 2u);
  EXPECT_EQ(watched[1].path, data + "B\\");
  EXPECT_EQ(state.watchListChanged.load(), 0);

  // The new folder is watched: a file made in it is found and saved.
  WriteFile(data + "B\\new.txt", "new");
  ASSERT_TRUE(Eventually([this] { return LastChecked() == data + "B\\"; }));
  EXPECT_NE(SavedTime(data + "B\\new.txt"), 0);
}

TEST_F(WatcherTest, ShutdownEndsBothThreadsAndMayBeRepeated) {
  MakeTarget(data, "a.txt");
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
  EXPECT_EQ(Checks(), 0);
  watcher.Stop();
  context.checkRunning = 0;
}

TEST_F(WatcherTest, AWatcherThatIsNotStartedWatchesNothing) {
  MakeTarget(data, "a.txt");
  Change(data + "a.txt", "unwatched", 1100000300);
  plat::Sleep(kCheckWouldHaveRun);
  EXPECT_TRUE(watcher.Watched().empty());
  EXPECT_EQ(watcher.Builds(), 0);
  EXPECT_FALSE(watcher.WorkerRunning());
  watcher.Stop();  // nothing to stop
  EXPECT_EQ(state.stopRequested.load(), 0);
}

// quzctl watch run as its users run it: a copy of quzctl in a folder of its
// own with its state beside it, a file changed while it watches.
class QuzctlWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plat::CreateFolder(dir / "data"));
    data = dir / "data\\";
    save = dir / "保存\\";
    WriteFile(dir / "quz.ini", "[quz保存先フォルダ]" + save + "\r\n");
    WriteFile(dir / "FileList.txt", data + "<0<3<0\r\n");
  }
  // Whether the file holds the text.
  static bool Contains(const std::string& path, const std::string& text) {
    return quztest::Exists(path) && ReadFile(path).find(text) != std::string::npos;
  }

  quztest::TempDir dir;
  quztest::Quzctl quzctl{dir, QUZCTL_BUILT_AT};
  std::string data, save;
};

TEST_F(QuzctlWatchTest, AChangedFileIsSavedWhileItWatchesAndTheCatalogueIsWrittenAtExit) {
  const std::string err = dir / "stderr.txt";
  const std::string pidFile = dir / "pid.txt";
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

  ASSERT_TRUE(Eventually([&] { return Contains(err, "watching 1 folder"); }, 20000))
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
  EXPECT_TRUE(Contains(dir / "FileList.txt", data + "report.txt<" + saved + "<0<"));
}

}  // namespace

// The change watcher and its work queue.
//
// The watcher thread asks the system for change notifications on the
// narrowest set of at most 63 folders that covers every catalogue entry,
// and queues each folder that reports a change.  The change worker takes
// the queued folders one by one, waits a second so that a burst of writes
// is handled once, and runs FolderCheck on each, never while a full check
// runs or checks are blocked.  Signalling state.watchEvent (a folder entry was added) makes the
// watcher rebuild its folder set from the catalogue.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/file_list.h"
#include "engine/check.h"

namespace quz {

// A folder to watch ("\"-terminated) and its watch kind (kWatchContents:
// without its subfolders, kWatchTree: with them).
struct WatchedFolder {
  std::string path;
  int kind = kWatchContents;
};

// The folders of one depth: every entry's path cut after its depth-th "\"
// (after its last one when it has fewer).  False when more than 63 folders
// would be needed.
bool WatchListAtDepth(const CFileList& list, int depth, std::vector<WatchedFolder>& out);
// The list of the deepest depth from 1 to 9 that fits; empty when even
// depth 1 needs more than 63 folders.
std::vector<WatchedFolder> BuildWatchList(const CFileList& list);

// The 64 slots of changed folders; the head is slot 0.  Not locked itself:
// its users hold state.watchLock.
class CChangeQueue {
 public:
  static constexpr int kSlots = 64;

  // Makes every slot empty and takes away the end mark.
  void Clear();
  // Queues folder in the first slot that is empty or holds the same folder
  // (a folder already queued is queued once); slot 63 when all are taken.
  void Put(const std::string& folder, int kind);
  // Takes away the head and moves the others up.
  void RemoveHead();
  void PutEndMark() { endMark_ = true; }
  bool HasEndMark() const { return endMark_; }
  bool Empty() const { return slots_[0].path.empty(); }
  const WatchedFolder& Slot(int i) const { return slots_[i]; }

 private:
  WatchedFolder slots_[kSlots];
  bool endMark_ = false;
};

// The watcher and the worker.  The resident program makes one when the
// change-driven setting was on at start; quzctl watch always.
class CChangeWatcher {
 public:
  explicit CChangeWatcher(CheckContext& context);
  // Stops the threads (as Stop).
  ~CChangeWatcher();
  CChangeWatcher(const CChangeWatcher&) = delete;
  CChangeWatcher& operator=(const CChangeWatcher&) = delete;

  // Starts the watcher (below-normal priority), which starts the worker
  // (idle priority).  False when it could not be started or was already.
  bool Start();
  // Shutdown: sets stopRequested, signals watchEvent and waits up to 30
  // seconds for the watcher, which waits up to 120 seconds for the worker.
  // Safe to call twice.  Threads that outlive the waits keep what they use
  // of this object alive; the context must stay.
  void Stop();

  // On the worker's thread after each folder check: the folder and the
  // number of files it saved.
  std::function<void(const std::string& folder, int saved)> onFolderChecked;
  // On the watcher's thread each time it has requested notifications for
  // a new folder set: how many folders are watched.
  std::function<void(int folders)> onWatching;

  // The folders watched now (those whose notification could be requested).
  std::vector<WatchedFolder> Watched() const;
  // How many times the watcher has built its folder set.
  int Builds() const;
  // Whether the watcher and the worker threads still run.
  bool WatcherRunning() const;
  bool WorkerRunning() const;

  // The bounded waits of Stop, in milliseconds.
  uint32_t watcherWaitMs = 30000;
  uint32_t workerWaitMs = 120000;

  // The worker's timings, in milliseconds: how often it looks at an empty
  // queue, how long a queued folder waits before its check (changes reported
  // meanwhile merge into it) and the pause after each check, in which
  // nothing is queued.  Tests shorten them; set before Start.
  struct Timing {
    uint32_t pollMs = 100;
    uint32_t settleMs = 1000;
    uint32_t pauseMs = 1000;
  };
  Timing timing;

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  plat::Thread watcher_;
  bool started_ = false;
  bool stopped_ = false;
};

}  // namespace quz

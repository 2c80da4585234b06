// The change watcher, its queue and the change worker.
#include "engine/watcher.h"

#include <atomic>

#include "app/text.h"
#include "platform/exceptions.h"
#include "platform/platform.h"

namespace quz {

namespace {

constexpr int kDeepestDepth = 9;
constexpr uint32_t kNotifyFilter = plat::kNotifyFileName | plat::kNotifyDirName |
                                   plat::kNotifyAttributes | plat::kNotifySize |
                                   plat::kNotifyLastWrite;

// path up to and with its depth-th "\" (its last one when it has fewer);
// a trail byte equal to "\" is not a separator.
std::string CutAtDepth(const std::string& path, int depth) {
  size_t lastEnd = 0;
  int seen = 0;
  for (size_t i = 0; i < path.size(); i += CharLength(path, i)) {
    if (path[i] != '\\') continue;
    lastEnd = i + 1;
    if (++seen == depth) break;
  }
  return path.substr(0, lastEnd);
}

bool IsSearchedFolder(const FileEntry& e) {
  const SaveType type = e.saveType.load();
  return e.IsFolder() && type != SaveType::Normal && type != SaveType::Differential &&
         type != SaveType::NoSave;
}

}  // namespace

bool WatchListAtDepth(const CFileList& list, int depth, std::vector<WatchedFolder>& out) {
  out.clear();
  const int32_t count = list.Count();
  for (int32_t i = 0; i < count; ++i) {
    const FileEntry* e = list.EntryAt(i);
    if (!e) continue;
    const std::string path = e->Path();
    std::string folder = CutAtDepth(path, depth);
    if (folder.empty()) continue;  // no folder at all: nothing to watch it by
    WatchedFolder* found = nullptr;
    for (WatchedFolder& c : out)
      if (EqualNoCase(c.path, folder)) {
        found = &c;
        break;
      }
    if (found) {
      if (found->kind == kWatchContents && IsSearchedFolder(*e) && !EqualNoCase(path, found->path))
        found->kind = kWatchTree;
      continue;
    }
    if (static_cast<int>(out.size()) >= plat::kMaxWatchedFolders) return false;
    const bool own = EqualNoCase(folder, path);
    out.push_back({std::move(folder), own ? kWatchContents : kWatchTree});
  }
  return true;
}

std::vector<WatchedFolder> BuildWatchList(const CFileList& list) {
  std::vector<WatchedFolder> accepted, candidates;
  for (int depth = 1; depth <= kDeepestDepth; ++depth) {
    if (!WatchListAtDepth(list, depth, candidates)) break;
    accepted.swap(candidates);
  }
  return accepted;
}

// ---------------------------------------------------------------- queue

void CChangeQueue::Clear() {
  for (WatchedFolder& s : slots_) s = WatchedFolder{std::string(), 0};
  endMark_ = false;
}

void CChangeQueue::Put(const std::string& folder, int kind) {
  int at = kSlots - 1;
  for (int i = 0; i < kSlots - 1; ++i)
    if (slots_[i].path.empty() || EqualNoCase(slots_[i].path, folder)) {
      at = i;
      break;
    }
  slots_[at].path = folder;
  slots_[at].kind = kind;
}

void CChangeQueue::RemoveHead() {
  for (int i = 0; i < kSlots - 1; ++i) slots_[i] = std::move(slots_[i + 1]);
  slots_[kSlots - 1] = WatchedFolder{std::string(), 0};
}

// ---------------------------------------------------------------- threads

// What the two threads share; they hold it so that it outlives an object
// whose bounded waits gave up on them.
struct CChangeWatcher::Shared {
  explicit Shared(CheckContext& context) : context(context) {}
  CheckContext& context;
  CChangeQueue queue;  // under state.watchLock
  std::vector<WatchedFolder> watched;  // under state.watchLock
  std::atomic<int> builds{0};
  plat::Thread worker;
  uint32_t workerWaitMs = 120000;
  Timing timing;
  std::function<void(const std::string&, int)> onFolderChecked;
  std::function<void(int)> onWatching;

  // The watcher's thread.
  void Watch(const std::shared_ptr<Shared>& self);
  std::vector<WatchedFolder> RequestNotifications(plat::ChangeWatchSet& set);
  void QueueChangesUntilRebuild(plat::ChangeWatchSet& set, const std::vector<WatchedFolder>& folders);
  void EndWorker();

  // The worker's thread.
  void Work();
  bool WaitForQueuedFolder();
  bool ClaimHead(WatchedFolder& head);
  void FinishHead();
};

void CChangeWatcher::Shared::Watch(const std::shared_ptr<Shared>& self) {
  RunState& state = context.state;
  {
    plat::LockGuard guard(state.watchLock);
    queue.Clear();
  }
  std::shared_ptr<Shared> keep = self;
  const bool working = worker.Start([keep] { keep->Work(); }, plat::Priority::Idle, "change worker");
  // However the watcher ends (a failure its thread reports), the worker is
  // told to end and is waited for.
  struct Ended {
    Shared* shared;
    ~Ended() { shared->EndWorker(); }
  } ended{this};

  plat::ChangeWatchSet set;
  while (working && !state.stopRequested.load()) {
    std::vector<WatchedFolder> folders = RequestNotifications(set);
    QueueChangesUntilRebuild(set, folders);
    // A new folder entry (or shutdown) asks for a new set, built from the
    // catalogue as it is now.
    set.Clear();
  }
}

// The narrowest folder set that covers the catalogue, less the folders whose
// notification cannot be requested (missing, no rights): the timed checks
// still cover those.
std::vector<WatchedFolder> CChangeWatcher::Shared::RequestNotifications(plat::ChangeWatchSet& set) {
  std::vector<WatchedFolder> wanted = BuildWatchList(context.list), kept;
  for (WatchedFolder& f : wanted)
    if (set.Add(f.path, f.kind == kWatchTree, kNotifyFilter)) kept.push_back(std::move(f));
  {
    plat::LockGuard guard(context.state.watchLock);
    watched = kept;
  }
  ++builds;
  if (onWatching) onWatching(static_cast<int>(kept.size()));
  return kept;
}

// Queues each folder that reports a change, until the wake-up event asks
// for a new set.  A wait that fails stops all watching, and the check
// running with it.
void CChangeWatcher::Shared::QueueChangesUntilRebuild(plat::ChangeWatchSet& set,
                                                      const std::vector<WatchedFolder>& folders) {
  RunState& state = context.state;
  for (;;) {
    int n = set.Wait(state.watchEvent);
    if (n < 0) {
      state.stopRequested = 1;
      return;
    }
    {
      plat::LockGuard guard(state.watchLock);
      if (n == 0) state.watchEvent.Reset();
      state.watchListChanged = 0;
    }
    if (n == 0) return;
    set.Rearm(n);
    plat::LockGuard guard(state.watchLock);
    queue.Put(folders[n - 1].path, folders[n - 1].kind);
  }
}

// Shutdown: the end mark tells the worker to finish once its folder check
// is done; it is waited for within a bound.
void CChangeWatcher::Shared::EndWorker() {
  {
    plat::LockGuard guard(context.state.watchLock);
    queue.PutEndMark();
    watched.clear();
  }
  worker.Join(workerWaitMs);
}

void CChangeWatcher::Shared::Work() {
  // A worker that ended on a failure (its thread reports it) must not keep
  // full checks out.
  struct Ended {
    RunState& state;
    ~Ended() { state.changeCheckRunning = 0; }
  } ended{context.state};
  while (WaitForQueuedFolder()) {
    // Changes reported meanwhile for the same folder merge into its slot,
    // so that a burst of writes costs one folder check.
    plat::Sleep(timing.settleMs);
    WatchedFolder head;
    if (!ClaimHead(head)) continue;
    try {
      FolderCheck(context, head.path, head.kind);
    } catch (...) {
      // The folder is given up this time (its next change brings it back);
      // the worker goes on with the next one.
      if (context.reportFailure)
        context.reportFailure(head.path, plat::DescribeCurrentException());
      else
        plat::ReportCurrentException("change worker");
      context.state.progress = -1;
    }
    const int saved = context.savedCount.load();
    if (onFolderChecked) onFolderChecked(head.path, saved);
    FinishHead();
  }
}

// Polls the queue; false once the end mark is there.
bool CChangeWatcher::Shared::WaitForQueuedFolder() {
  for (;;) {
    bool end, empty;
    {
      plat::LockGuard guard(context.state.watchLock);
      end = queue.HasEndMark();
      empty = queue.Empty();
    }
    if (end) return false;
    if (!empty) return true;
    plat::Sleep(timing.pollMs);
  }
}

// Takes the catalogue for a folder check of the head; false (the folder
// stays at the head) while a full check runs or checks are blocked, or at
// the end mark.
bool CChangeWatcher::Shared::ClaimHead(WatchedFolder& head) {
  RunState& state = context.state;
  plat::LockGuard guard(state.watchLock);
  if (queue.HasEndMark()) return false;
  // Claim the catalogue first and then look for a full check: a full check
  // starting at this moment claims it the other way round, so at least one
  // of the two sees the other and gives way.
  state.changeCheckRunning = 1;
  if (context.checkRunning.load() != 0 || state.checksBlocked.load()) {
    state.changeCheckRunning = 0;
    return false;
  }
  head = queue.Slot(0);
  return true;
}

void CChangeWatcher::Shared::FinishHead() {
  plat::LockGuard guard(context.state.watchLock);
  queue.RemoveHead();
  context.state.changeCheckRunning = 0;
  // Held through the pause: the watcher cannot queue meanwhile, so the
  // changes reported during and just after a check (its own writes
  // included, when the save folder lies in a watched tree) queue the
  // folder once more at most.
  plat::Sleep(timing.pauseMs);
}

CChangeWatcher::CChangeWatcher(CheckContext& context)
    : shared_(std::make_shared<Shared>(context)) {}

CChangeWatcher::~CChangeWatcher() { Stop(); }

bool CChangeWatcher::Start() {
  if (started_) return false;
  shared_->onFolderChecked = onFolderChecked;
  shared_->onWatching = onWatching;
  shared_->workerWaitMs = workerWaitMs;
  shared_->timing = timing;
  std::shared_ptr<Shared> shared = shared_;
  if (!watcher_.Start([shared] { shared->Watch(shared); }, plat::Priority::BelowNormal, "change watcher"))
    return false;
  started_ = true;
  return true;
}

void CChangeWatcher::Stop() {
  if (!started_ || stopped_) return;
  stopped_ = true;
  RunState& state = shared_->context.state;
  state.stopRequested = 1;
  {
    plat::LockGuard guard(state.watchLock);
    state.watchEvent.Set();
  }
  watcher_.Join(watcherWaitMs);
}

std::vector<WatchedFolder> CChangeWatcher::Watched() const {
  plat::LockGuard guard(shared_->context.state.watchLock);
  return shared_->watched;
}

int CChangeWatcher::Builds() const { return shared_->builds.load(); }
bool CChangeWatcher::WatcherRunning() const { return watcher_.Running(); }
bool CChangeWatcher::WorkerRunning() const { return shared_->worker.Running(); }

}  // namespace quz

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
  int32_t type = e.saveType.load();
  return e.IsFolder() && type != Normal && type != Differential && type != NoSave;
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
  std::function<void(const std::string&, int)> onFolderChecked;
  std::function<void(int)> onWatching;

  void Watch(const std::shared_ptr<Shared>& self);
  void Work();
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
    ~Ended() {
      {
        plat::LockGuard guard(shared->context.state.watchLock);
        shared->queue.PutEndMark();
        shared->watched.clear();
      }
      shared->worker.Join(shared->workerWaitMs);
    }
  } ended{this};

  plat::ChangeWatchSet set;
  while (working && !state.stopRequested.load()) {
    // The folder set, less the folders that cannot be watched.
    std::vector<WatchedFolder> wanted = BuildWatchList(context.list), kept;
    for (WatchedFolder& f : wanted)
      if (set.Add(f.path, f.kind == kWatchTree, kNotifyFilter)) kept.push_back(std::move(f));
    {
      plat::LockGuard guard(state.watchLock);
      watched = kept;
    }
    ++builds;
    if (onWatching) onWatching(static_cast<int>(kept.size()));

    // Queue the folders that report changes until the event asks for a new
    // set.
    for (;;) {
      int n = set.Wait(state.watchEvent);
      if (n < 0) {
        state.stopRequested = 1;
        break;
      }
      {
        plat::LockGuard guard(state.watchLock);
        if (n == 0) state.watchEvent.Reset();
        state.watchListChanged = 0;
      }
      if (n == 0) break;
      set.Rearm(n);
      plat::LockGuard guard(state.watchLock);
      queue.Put(kept[n - 1].path, kept[n - 1].kind);
    }
    set.Clear();
  }
}

void CChangeWatcher::Shared::Work() {
  RunState& state = context.state;
  // A worker that ended on a failure (its thread reports it) must not keep
  // full checks out.
  struct Ended {
    RunState& state;
    ~Ended() { state.changeCheckRunning = 0; }
  } ended{state};
  for (;;) {
    bool end, empty;
    {
      plat::LockGuard guard(state.watchLock);
      end = queue.HasEndMark();
      empty = queue.Empty();
    }
    if (end) return;
    if (empty) {
      plat::Sleep(100);
      continue;
    }
    // Changes reported meanwhile for the same folder merge into its slot.
    plat::Sleep(1000);

    std::string folder;
    int kind;
    {
      plat::LockGuard guard(state.watchLock);
      if (queue.HasEndMark()) return;
      // Claim the catalogue first and then look for a full check: a full
      // check starting at this moment claims it the other way round, so at
      // least one of the two sees the other and gives way.
      state.changeCheckRunning = 1;
      if (context.checkRunning.load() != 0) {
        state.changeCheckRunning = 0;
        continue;  // the folder stays at the head until the full check ends
      }
      folder = queue.Slot(0).path;
      kind = queue.Slot(0).kind;
    }
    try {
      FolderCheck(context, folder, kind);
    } catch (...) {
      // The folder is given up this time (its changes bring it back); the
      // worker goes on with the next one.
      if (context.reportFailure)
        context.reportFailure(folder, plat::DescribeCurrentException());
      else
        plat::ReportCurrentException("change worker");
      state.progress = -1;
    }
    const int saved = context.savedCount.load();
    if (onFolderChecked) onFolderChecked(folder, saved);

    plat::LockGuard guard(state.watchLock);
    queue.RemoveHead();
    state.changeCheckRunning = 0;
    // Held through the pause: nothing is queued in the second after a check.
    plat::Sleep(1000);
  }
}

CChangeWatcher::CChangeWatcher(CheckContext& context)
    : shared_(std::make_shared<Shared>(context)) {}

CChangeWatcher::~CChangeWatcher() { Stop(); }

bool CChangeWatcher::Start() {
  if (started_) return false;
  shared_->onFolderChecked = onFolderChecked;
  shared_->onWatching = onWatching;
  shared_->workerWaitMs = workerWaitMs;
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

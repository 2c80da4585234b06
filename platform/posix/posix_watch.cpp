// Folder change notifications on inotify, with the semantics of the Windows
// ones: a folder reports a change and stays signalled until re-armed; a
// folder watched with its subfolders covers the whole tree below it,
// including folders created or moved in later.  All folders of a set share
// one inotify descriptor, polled together with the caller's event.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace plat {

namespace {

constexpr uint32_t kBaseMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                               IN_ATTRIB | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF |
                               IN_ONLYDIR;
// A tree watch of a huge folder (a whole drive) stops adding folders here;
// what lies beyond is still covered by the timed checks.
constexpr size_t kMaxTreeFolders = 16384;

// Whether an inotify event is one of the kinds a folder's filter asks for.
bool Matches(uint32_t mask, uint32_t filter) {
  if (mask & IN_Q_OVERFLOW) return true;
  bool dir = (mask & IN_ISDIR) != 0;
  if (mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF))
    return (filter & (dir ? kNotifyDirName : kNotifyFileName)) != 0;
  // Changing a modification time arrives as an attribute change.
  if (mask & IN_ATTRIB) return (filter & (kNotifyAttributes | kNotifyLastWrite)) != 0;
  if (mask & IN_MODIFY) return (filter & (kNotifySize | kNotifyLastWrite)) != 0;
  return false;
}

}  // namespace

struct ChangeWatchSet::Impl {
  struct Folder {
    bool subtree = false;
    uint32_t filter = 0;
    bool signalled = false;
  };
  struct Node {
    std::string path;         // native
    std::vector<int> owners;  // folder numbers from 0
  };

  int fd = -1;
  std::vector<Folder> folders;
  std::map<int, Node> nodes;  // by watch descriptor
  size_t treeNodes = 0;

  bool Open() {
    if (fd >= 0) return true;
    fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
      SetLastError(ErrorKind::Other, errno);
      return false;
    }
    return true;
  }

  // Watches one native folder for folder `owner`; the descriptor or -1.
  int Watch(const std::string& path, int owner, bool follow) {
    uint32_t mask = kBaseMask | IN_MASK_ADD | (follow ? 0 : IN_DONT_FOLLOW);
    int wd = inotify_add_watch(fd, path.c_str(), mask);
    if (wd < 0) return -1;
    Node& node = nodes[wd];
    if (node.path.empty()) node.path = path;
    if (std::find(node.owners.begin(), node.owners.end(), owner) == node.owners.end())
      node.owners.push_back(owner);
    return wd;
  }

  // Watches every folder below path (not path itself) for owner, staying
  // on path's file system and not following links.
  void WatchBelow(const std::string& path, int owner, dev_t device) {
    std::vector<std::string> pending{path};
    while (!pending.empty()) {
      std::string dir = pending.back();
      pending.pop_back();
      DIR* d = opendir(dir.c_str());
      if (!d) continue;
      while (dirent* e = readdir(d)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
        if (e->d_type != DT_DIR && e->d_type != DT_UNKNOWN) continue;
        std::string child = dir == "/" ? "/" + std::string(e->d_name) : dir + "/" + e->d_name;
        struct stat st;
        if (lstat(child.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_dev != device)
          continue;
        if (treeNodes >= kMaxTreeFolders) break;
        if (Watch(child, owner, false) < 0) continue;
        ++treeNodes;
        pending.push_back(child);
      }
      closedir(d);
    }
  }

  // Reads every queued event and signals the folders they concern.
  bool Dispatch() {
    alignas(inotify_event) char buffer[16384];
    for (;;) {
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
        if (errno == EINTR) continue;
        return false;
      }
      if (n == 0) return true;
      for (char* p = buffer; p < buffer + n;) {
        const inotify_event* e = reinterpret_cast<const inotify_event*>(p);
        p += sizeof(inotify_event) + e->len;
        if (e->mask & IN_Q_OVERFLOW) {
          for (Folder& f : folders) f.signalled = true;
          continue;
        }
        auto it = nodes.find(e->wd);
        if (it == nodes.end()) continue;
        if (e->mask & IN_IGNORED) {
          nodes.erase(it);
          continue;
        }
        // Copies: watching a new folder below may add nodes.
        const std::vector<int> owners = it->second.owners;
        const std::string path = it->second.path;
        for (int owner : owners)
          if (Matches(e->mask, folders[owner].filter)) folders[owner].signalled = true;
        if ((e->mask & IN_ISDIR) && (e->mask & (IN_CREATE | IN_MOVED_TO)) && e->len > 0) {
          std::string child = path == "/" ? "/" + std::string(e->name) : path + "/" + e->name;
          struct stat st;
          if (lstat(child.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
          for (int owner : owners) {
            if (!folders[owner].subtree) continue;
            if (treeNodes >= kMaxTreeFolders || Watch(child, owner, false) < 0) continue;
            ++treeNodes;
            WatchBelow(child, owner, st.st_dev);
            // What was made in the new folder before it was watched counts
            // as a change as well.
            if (folders[owner].filter & (kNotifyFileName | kNotifyDirName))
              folders[owner].signalled = true;
          }
        }
      }
    }
  }

  int FirstSignalled() const {
    for (size_t i = 0; i < folders.size(); ++i)
      if (folders[i].signalled) return static_cast<int>(i) + 1;
    return 0;
  }
};

ChangeWatchSet::ChangeWatchSet() : impl_(std::make_unique<Impl>()) {}
ChangeWatchSet::~ChangeWatchSet() { Clear(); }

bool ChangeWatchSet::Add(const std::string& folder, bool subtree, uint32_t filter) {
  if (Count() >= kMaxWatchedFolders) {
    SetLastError(ErrorKind::Other, EMFILE);
    return false;
  }
  std::string native;
  if (!detail::EngineToNativePath(folder, native)) return false;
  struct stat st;
  if (stat(native.c_str(), &st) != 0) {
    SetLastError(errno == EACCES ? ErrorKind::AccessDenied : ErrorKind::NotFound, errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(ErrorKind::NotFound, ENOTDIR);
    return false;
  }
  if (!impl_->Open()) return false;
  int owner = Count();
  impl_->folders.push_back({subtree, filter, false});
  if (impl_->Watch(native, owner, true) < 0) {
    int e = errno;
    impl_->folders.pop_back();
    SetLastError(e == EACCES ? ErrorKind::AccessDenied : ErrorKind::NotFound, e);
    return false;
  }
  if (subtree) impl_->WatchBelow(native, owner, st.st_dev);
  return true;
}

int ChangeWatchSet::Count() const { return static_cast<int>(impl_->folders.size()); }

int ChangeWatchSet::Wait(Event& event, uint32_t timeoutMs) {
  int eventFd = detail::EventDescriptor(event);
  if (eventFd < 0) {
    SetLastError(ErrorKind::Other, errno);
    return kWaitFailed;
  }
  const uint32_t start = TickCount();
  for (;;) {
    // The lowest handle wins, as in WaitForMultipleObjects: the event first.
    if (event.IsSet()) return 0;
    if (int n = impl_->FirstSignalled()) return n;
    int wait = -1;
    if (timeoutMs != kInfinite) {
      uint32_t spent = TickCount() - start;
      if (spent >= timeoutMs) return kWaitTimedOut;
      wait = static_cast<int>(timeoutMs - spent);
    }
    pollfd fds[2] = {{eventFd, POLLIN, 0}, {impl_->fd, POLLIN, 0}};
    int r = poll(fds, impl_->fd >= 0 ? 2 : 1, wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      SetLastError(ErrorKind::Other, errno);
      return kWaitFailed;
    }
    if (impl_->fd >= 0 && (fds[1].revents & POLLIN) && !impl_->Dispatch()) {
      SetLastError(ErrorKind::Other, errno);
      return kWaitFailed;
    }
  }
}

bool ChangeWatchSet::Rearm(int n) {
  if (n < 1 || n > Count()) return false;
  impl_->folders[n - 1].signalled = false;
  return true;
}

void ChangeWatchSet::Clear() {
  if (impl_->fd >= 0) ::close(impl_->fd);  // drops every watch with it
  impl_->fd = -1;
  impl_->folders.clear();
  impl_->nodes.clear();
  impl_->treeNodes = 0;
}

// ---------------------------------------------------------------- interrupt

namespace {

// A signal handler may only write to a pipe; a thread of our own reads it
// and sets the event.
std::mutex interruptMutex;
Event* interruptEvent = nullptr;
int interruptPipe[2] = {-1, -1};

void OnSignal(int) {
  int saved = errno;
  char c = 1;
  ssize_t written = ::write(interruptPipe[1], &c, 1);
  (void)written;
  errno = saved;
}

void RelayInterrupts() {
  char c;
  for (;;) {
    ssize_t n = ::read(interruptPipe[0], &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    std::lock_guard<std::mutex> lock(interruptMutex);
    if (interruptEvent) interruptEvent->Set();
  }
}

}  // namespace

void SetInterruptEvent(Event* event) {
  std::lock_guard<std::mutex> lock(interruptMutex);
  if (event && interruptPipe[0] < 0) {
    if (pipe2(interruptPipe, O_CLOEXEC) != 0) return;
    std::thread(RelayInterrupts).detach();
  }
  interruptEvent = event;
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = event ? OnSignal : SIG_DFL;
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace plat

// Filling the restore window's lists without holding up its window: the
// files and candidate times of a tree folder, or of the selected files, are
// gathered on a worker thread and handed over in pieces, and the window
// shows them as they come.
//
// Nothing here touches a window: the window hands each piece to its own
// thread (plat::PostUiTask), so the worker never waits for the window and
// the window may always wait for the worker to stop.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"
#include "restore/restore_table.h"

namespace quz {

// The local times of each entry's copies, read from the disk once while a
// table stays loaded: the list of a folder and later selections of its files
// ask for the same copies again.  Safe to use from several threads.
class CCopyTimes {
 public:
  explicit CCopyTimes(int32_t timeZoneOffset) : timeZoneOffset_(timeZoneOffset) {}
  // Forgets every time (a new table).
  void Reset();
  // The times of entry's copies (ReadCopyTimes), from the disk the first
  // time only.
  std::vector<int64_t> Of(const CRestoreTable& table, int32_t entry);
  int32_t TimeZoneOffset() const { return timeZoneOffset_; }

 private:
  // Where each entry's times lie in times_ once read: a large save folder's
  // quarter of a million entries are forgotten at once, not one by one.
  struct Span {
    uint32_t offset = 0;
    uint32_t count = 0;
    bool read = false;
  };
  const int32_t timeZoneOffset_;
  std::mutex mutex_;
  std::vector<Span> spans_;
  std::vector<int64_t> times_;
};

// Sorts items as the file list shows them: by text, ignoring the case of
// single-byte letters, then by the text's bytes.
void SortFileItems(std::vector<RestoreFileItem>& items);

// What the candidate list shows: one candidate per 300-second slot, the
// first found of each, sorted by text in descending order ("全ての最新ファイル"
// first, then the newest time).  Adding keeps the order without sorting the
// whole list again.
class CCandidateRows {
 public:
  void Clear();
  void AddAllNewest();
  // Adds those of `found` whose slot is still free, in their order; returns
  // how many were added.
  int Add(const std::vector<RestoreCandidate>& found);
  int32_t Count() const { return static_cast<int32_t>(rows_.size()); }
  const RestoreCandidate& At(int32_t row) const { return rows_[static_cast<size_t>(row)]; }
  // The row of the candidate with time t; -1 when there is none.
  int32_t RowOf(int64_t t) const;

 private:
  std::vector<RestoreCandidate> rows_;
  std::unordered_set<int64_t> slots_;
};

// A piece of what a listing found, handed over as it goes on.
struct ListingPiece {
  std::vector<RestoreFileItem> files;        // sorted (SortFileItems)
  std::vector<RestoreCandidate> candidates;  // each in a slot of its own, in found order
  int32_t done = 0;                          // how far the listing has come
  int32_t total = 0;
  bool last = false;                         // the listing is complete
};
using ListingSink = std::function<void(ListingPiece&&)>;

// The lists of tree folder `folder` (without the trailing "\"; empty for
// the root "全体").  Under the root: every distinct source in full, and no
// candidate.  Under a folder: the files directly in it by name, then the
// candidate times of every entry below it.  The files come in one piece,
// as soon as they are known; candidates follow at most every 50 ms.  After
// stop is set nothing more is handed over.
void ListFolder(const CRestoreTable& table, CCopyTimes& times, const std::string& folder, const StopFlag& stop,
                const ListingSink& sink);

// The candidate times of the given entries (the copies of selected files).
void ListCandidates(const CRestoreTable& table, CCopyTimes& times, const std::vector<int32_t>& entries,
                    const StopFlag& stop, const ListingSink& sink);

// The entries of the selected files' sources, given by the first entry of
// each (what the file list's items carry): for each file in order, its
// copies in table order.  At most `maxFiles` files are looked at.
std::vector<int32_t> EntriesOfFiles(const CRestoreTable& table, const std::vector<int32_t>& firstEntries,
                                    size_t maxFiles);

// A full path of a folder: "X:\..." or "\\server\share...".  Anything else
// would be read against the program's current folder.
bool IsFullFolderPath(std::string_view path);

// One job at a time on a worker thread (below normal priority unless told
// otherwise).  Starting a job stops the one before it and waits for its end,
// so that two jobs never overlap; jobs never wait for anyone, so the wait is
// short.
class CListFiller {
 public:
  using Job = std::function<void(const StopFlag& stop)>;
  explicit CListFiller(plat::Priority priority = plat::Priority::BelowNormal) : priority_(priority) {}
  // Stops the job and waits for it.
  ~CListFiller();
  CListFiller(const CListFiller&) = delete;
  CListFiller& operator=(const CListFiller&) = delete;

  // False when no thread could be started.
  bool Start(Job job);
  // Asks the running job to stop and waits for its end.
  void Stop();
  bool Running() const { return thread_.Running(); }

 private:
  const plat::Priority priority_;
  plat::Thread thread_;
  StopFlag stop_{false};
};

}  // namespace quz

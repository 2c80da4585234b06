// The catalogue: every target and every file and folder found under folder
// targets, in catalogue order, indexed by path.
//
// The user-interface thread reads it while a check thread appends to it, so
// every operation takes the list's lock, entries never move once made, and
// the order array grows in fixed chunks that are never reallocated.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "catalogue/path_map.h"
#include "platform/platform.h"

namespace quz {

// How an entry is handled by a check.  The catalogue file stores the code
// as a number; folder entries also carry search depths, so any code is a
// value of this type, not only the four named ones.
enum class SaveType : int32_t {
  Normal = 0,        // "通常保存": copied whole when it changed
  Differential = 1,  // "差分保存": the changed and appended bytes, as fragments
  NoSave = 2,        // "保存しない": listed, never saved, never searched
  Search = 3,        // "ファイル検索": a folder searched to any depth
};

// The search depth of a folder entry: a folder of code 10 + n is searched n
// more levels (10 itself is listed but not searched further), Search to any
// depth.  These two functions are the only place that knows the encoding.
inline constexpr int kAnyDepth = 0x7FFFFFFF;
inline constexpr int kMaxSearchDepth = 15;
// The code of a folder searched `depth` more levels; kAnyDepth gives Search.
constexpr SaveType SearchDepthType(int depth) {
  return depth == kAnyDepth ? SaveType::Search : static_cast<SaveType>(10 + depth);
}
// The levels a folder of that code is still searched: n for 10 + n,
// kAnyDepth for Search, -1 for the codes that are no search depth.
constexpr int SearchDepthOf(SaveType type) {
  const int32_t code = static_cast<int32_t>(type);
  return type == SaveType::Search ? kAnyDepth : code >= 10 ? code - 10 : -1;
}

constexpr int32_t kWithdrawnTime = -1;

class CFileList;

// One catalogue entry.  Its path is not kept here but in the catalogue's
// path map, where the folder part is stored once for all the entries of a
// folder; that is what lets a quarter of a million entries fit in memory.
struct FileEntry {
  std::atomic<int32_t> index{0};
  std::atomic<int32_t> savedTime{0};
  std::atomic<SaveType> saveType{SaveType::Normal};
  std::atomic<int32_t> lookedAtTime{0};

  // The full path; a folder's ends with "\".  Unchanged for the life of
  // the entry, and still readable after a check removed it.
  std::string Path() const;
  // The same into `path`, whose buffer is reused: no allocation per entry
  // for a caller that reads many.
  void Path(std::string& path) const;
  bool IsWithdrawn() const { return savedTime.load() == kWithdrawnTime; }
  bool IsFolder() const { return folder_; }

 private:
  friend class CFileList;
  const CPathMap* map_ = nullptr;
  int32_t handle_ = -1;
  bool folder_ = false;
};

// What became of a path given to CFileList::Add.
enum class AddResult {
  Added,       // added, or its withdrawn entry revived
  Listed,      // listed already
  Full,        // the list holds kMaxEntries entries
  CannotHold,  // a path longer than the index takes
};

// Gives a found file its save type; without one every file is Normal.
using Classifier = std::function<SaveType(const std::string& path)>;

class CFileList {
 public:
  static constexpr int32_t kMaxEntries = 250000;
  // The longest path the system's file functions take (MAX_PATH without
  // its terminating zero); a longer one could be listed but never saved.
  static constexpr size_t kMaxPathBytes = 259;

  explicit CFileList(RunState* state = nullptr);
  ~CFileList();
  CFileList(const CFileList&) = delete;
  CFileList& operator=(const CFileList&) = delete;

  void SetClassifier(Classifier classifier);
  SaveType Classify(const std::string& path) const;

  // The entry for path, a folder entry also without its trailing "\".
  FileEntry* FindEntry(const std::string& path) const;
  // The entry in slot i of the catalogue order; null when i is out of range
  // or the slot's entry was removed by a running check.
  FileEntry* EntryAt(int32_t i) const;
  int32_t Count() const;

  // Adds path (or revives its withdrawn entry) as found in a folder of code
  // folderType: a folder gets the code one level down (SubfolderType), a
  // file its classification.  Says what became of it; a path (with a
  // folder's "\") over kMaxPathBytes cannot be held.
  AddResult Add(const std::string& path, SaveType folderType);
  // The same; false when the path is listed, the list is full or the path
  // cannot be held.
  bool AddEntry(const std::string& path, SaveType folderType) {
    return Add(path, folderType) == AddResult::Added;
  }
  // Lists an entry as read from the catalogue file, without looking at the
  // file system; false when it is listed already, the list is full or the
  // path cannot be held.
  bool AddLoaded(std::string_view path, int32_t savedTime, SaveType saveType,
                 int32_t lookedAtTime);

  // Gives every file entry the current classification result; folders and
  // paths that cannot be examined keep their codes.
  void Reclassify();

  // A running check found entry `index` gone: it leaves the index at once
  // and its slot when ApplyRemovals runs at the end of the check.
  bool RemoveDuringCheck(int32_t index);
  void ApplyRemovals();
  int32_t PendingRemovals() const;

  // A list whose catalogue file could not be read must never be written
  // over it: it holds only what this process added, and saving it would
  // replace the user's whole list.  Set once, by a failed load.
  void RefuseSaving() { savingRefused_ = true; }
  bool SavingRefused() const { return savingRefused_.load(); }

 private:
  static constexpr int32_t kChunkBits = 12;
  static constexpr int32_t kChunkSize = 1 << kChunkBits;
  static constexpr int32_t kChunks = (kMaxEntries + kChunkSize - 1) / kChunkSize;

  int32_t& Slot(int32_t i) const;
  // Lists path with a fresh entry (with lock_ held); null when it is listed
  // already, the list is full or the path cannot be held, with the reason
  // in *why.
  FileEntry* Append(std::string_view path, AddResult* why = nullptr);
  FileEntry* NewEntry();
  void TellWatcher(bool revived);

  RunState* state_;
  std::atomic<bool> savingRefused_{false};
  Classifier classifier_;
  mutable plat::Lock lock_;
  CPathMap entryIndex;
  // Chunks of record handles; the chunk table has a fixed size, so growing
  // never moves a handle a reader is looking at.
  std::unique_ptr<int32_t[]> chunks_[kChunks];
  int32_t count = 0;
  std::vector<int32_t> removeList;
  // Entries are made in blocks and reused: one allocation per block instead
  // of one per entry.  Entries removed during a check are reused only once
  // their slots have gone.
  static constexpr int32_t kBlockSize = 4096;
  std::vector<std::unique_ptr<FileEntry[]>> blocks_;
  int32_t blockUsed_ = kBlockSize;
  std::vector<FileEntry*> free_;
  std::vector<FileEntry*> retired_;
};

}  // namespace quz

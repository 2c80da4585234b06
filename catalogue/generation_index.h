// The index of saved copies: which copy in the date folders belongs to which
// source file.  Filled at start (and after a check that deleted copies) by
// the loader thread from every "quzFileList.txt" of the save folder, grown by
// each normal save, and read by generations management and restore.
//
// A check may run while the loader still works, so every change and every
// read of the three maps happens under the index's lock.  The lock is
// recursive: generations management holds it across a whole pruning.  The
// loader rewrites a copy list while holding it, so whoever appends a line to
// a "quzFileList.txt" must hold it too, or the line may be lost.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "catalogue/path_map.h"
#include "platform/platform.h"

namespace quz {

// The copy list in every folder directly below the save folder.
extern const char kCopyListName[];

// One saved copy of a source: its record handle in copyIndex and its
// modification time (0 until generations management has read it).
struct CopyPair {
  int32_t handle = 0;
  int32_t time = 0;
};

struct CopyList {
  std::vector<CopyPair> pairs;
};

class CGenerationIndex {
 public:
  static constexpr int32_t kCopyBuckets = 500000;
  static constexpr int32_t kSourceBuckets = 77777;

  CGenerationIndex();
  ~CGenerationIndex();
  CGenerationIndex(const CGenerationIndex&) = delete;
  CGenerationIndex& operator=(const CGenerationIndex&) = delete;

  // Hold this around any sequence of calls that must see one state.
  plat::Lock& Mutex() { return lock_; }

  // Records copyPath as a copy of source unless it is indexed already.
  // Returns whether it was added (false also when the path cannot be held).
  bool AddCopy(const std::string& source, const std::string& copyPath);
  // The source's copy list, or null; valid while the lock is held (lists
  // are never freed before the index).
  CopyList* CopiesOf(const std::string& source);
  // The full path of a copy by its handle in copyIndex.
  bool CopyPath(int32_t handle, std::string* path) const;
  bool HasCopy(const std::string& copyPath) const;
  // Takes a copy out of copyIndex (its pair is the caller's to drop).
  bool RemoveCopy(const std::string& copyPath);

  // Copies deleted or found missing; their lines leave the copy lists when
  // the loader next rewrites them.
  void MarkRemoved(const std::string& copyPath);
  bool IsRemoved(const std::string& copyPath) const;

  // Figures for the generations page.
  int32_t SourceCount() const;
  int32_t CopyCount() const;

  // Reads folder's "quzFileList.txt" (folder ends with "\") into the index
  // and rewrites it without the lines of removed copies.  False when the
  // list cannot be read.
  bool LoadCopyList(const std::string& folder);
  // Loads the copy list of every folder directly below saveFolder whose name
  // does not begin with ".".
  void LoadSaveFolder(const std::string& saveFolder);

 private:
  mutable plat::Lock lock_;
  CPathMap copyIndex;
  CPathMap copiesBySource;  // value: index into lists_ + 1
  CPathMap removedCopies;
  std::vector<std::unique_ptr<CopyList>> lists_;
};

// Starts the loader thread over state.saveFolder unless one is running
// (generationReady is 0 while it runs).  The thread object is kept in
// `loader`, which the caller owns and joins at shutdown.
void StartIndexLoader(CGenerationIndex& index, RunState& state,
                      std::unique_ptr<plat::Thread>& loader);

}  // namespace quz

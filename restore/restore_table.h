// What the restore side knows about a save folder: every copy named by the
// "quzFileList.txt" files below it (the restore entry table), the folders
// those copies came from (the tree the restore window shows), the files of
// one folder, and the points in time at which copies exist (candidates).
//
// None of this touches a window; the restore window shows what these
// classes compute, and quzctl prints it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quz {

// The table holds at most this many copies.
constexpr int32_t kMaxRestoreEntries = 250000;
// The candidate time of "全ての最新ファイル": later than any copy.
constexpr int32_t kAllNewestTime = 2147482647;
// Copies up to this many seconds after a candidate time still belong to it.
constexpr int32_t kCandidateTolerance = 60;
// Copies within one slot of this many seconds give one candidate.
constexpr int32_t kCandidateSlot = 300;
// Fragment numbers a fragment folder may hold ("%07d.dat").
constexpr int32_t kMaxFragments = 1000000;

extern const char kAllNewestText[];  // "全ての最新ファイル"
extern const char kRootText[];       // "全体"

// One saved copy.  location is the copy's full path in a date folder, or a
// fragment folder ending with "\"; source is the path it was saved from.
struct RestoreEntry {
  std::string location;
  std::string source;
};

// The path of copy number n of a location: the location itself for -1,
// else its fragment "%07d.dat"; without a trailing "\" either way.
std::string CopyPathOf(const std::string& location, int32_t n);

// The fragments of a fragment folder outside its chain, with their
// modification times: those numbered above `after` (beyond a gap), in
// increasing order, then those a save set aside as damaged (number -1).
struct FragmentTime {
  int32_t number;
  int32_t mtime;
  std::string path;
};
std::vector<FragmentTime> FragmentsOutsideChain(const std::string& folder, int32_t after);

// Helpers on source paths (code page 932, "\" separated).
// The drive and folder of a path, without the trailing "\" ("C:\a" for
// "C:\a\x.txt"); empty when the path has no "\".
std::string SourceFolderOf(std::string_view path);
// The name after the last "\".
std::string FileNameOf(std::string_view path);
// A key that is equal for paths EqualNoCase calls equal.
std::string FoldedKey(std::string_view path);
// True when path is folder itself or lies below it (case-insensitive, by
// whole components: "C:\ab" does not lie below "C:\a").
bool IsInFolder(std::string_view path, std::string_view folder);

// The folders of the tree: item 0 is the root "全体" with an empty path,
// every other item a folder some source path lies in, below its enclosing
// folder (drives below the root).
struct RestoreFolder {
  std::string path;   // without the trailing "\"
  std::string label;  // the last component ("C:" for a drive)
  int32_t parent = -1;
  bool isDrive = false;
  std::vector<int32_t> children;
};

class CRestoreTree {
 public:
  CRestoreTree();
  void Clear();
  // Adds every folder on the way to source's file (C:, C:\a, C:\a\b for
  // C:\a\b\x.txt) that is not in the tree yet; the file is no node.
  void AddChain(std::string_view source);
  // The item of a folder path (without trailing "\", case-insensitive), or -1.
  int32_t Find(std::string_view folder) const;
  const RestoreFolder& At(int32_t item) const { return items_[static_cast<size_t>(item)]; }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }

 private:
  int32_t AddFolder(std::string_view path, int32_t parent);
  std::vector<RestoreFolder> items_;
  std::unordered_map<std::string, int32_t> byKey_;
};

class CRestoreTable {
 public:
  void Clear();
  // Empties the table and the tree, then reads the "quzFileList.txt" of every
  // folder directly below folder (date folders and fragment folders alike),
  // adding each source's folder chain to tree.  afterList, when given, runs
  // after each list.  Returns the number of lists read.
  int Load(const std::string& folder, CRestoreTree* tree,
           const std::function<void()>& afterList = nullptr);
  // Adds the lines of one list whose folder is subfolder (ending with "\").
  // Reading stops at a line without "<" or without its line end; a line whose
  // saved name is not a plain file name is skipped.  False once the table is
  // full.
  bool AddList(const std::string& subfolder, std::string_view text, CRestoreTree* tree);
  // Adds one entry; false when the table is full.
  bool Add(std::string location, std::string source);

  const std::vector<RestoreEntry>& Entries() const { return entries_; }
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  const RestoreEntry& At(int32_t i) const { return entries_[static_cast<size_t>(i)]; }
  // Entries whose source is path (case-insensitive), in table order.
  std::vector<int32_t> EntriesOf(std::string_view source) const;
  bool HasSource(std::string_view source) const;

 private:
  std::vector<RestoreEntry> entries_;
  std::unordered_map<std::string, std::vector<int32_t>> bySource_;
};

// One line of the file list: the text shown and the first entry of the source.
struct RestoreFileItem {
  std::string text;
  int32_t entry = -1;
};

// Reports progress (done, total) at most every 50 ms; may be empty.
using ProgressFunction = std::function<void(int32_t done, int32_t total)>;

// The files whose folder is exactly folder (case-insensitive): each source
// once, by name, with its first entry, in table order.  Stops early when
// stop becomes nonzero.
std::vector<RestoreFileItem> FilesOfFolder(const CRestoreTable& table, std::string_view folder,
                                           const std::atomic<int32_t>* stop = nullptr,
                                           const ProgressFunction& progress = nullptr);
// Every distinct source in full, with its first entry, in table order.
std::vector<RestoreFileItem> AllSources(const CRestoreTable& table);

// A point in time the user can restore to: its text and local seconds.
struct RestoreCandidate {
  std::string text;
  int32_t time = 0;
};

// The candidate list of the restore window.  A time is added unless a
// candidate found earlier lies in the same 300-second slot.
class CCandidateList {
 public:
  void Clear();
  void AddAllNewest();
  // Adds a candidate for local time t; false when its slot is taken.
  bool AddTime(int32_t t);
  // Adds the times of every copy of entry (the copy, or each fragment and
  // the fragment folder itself), as local seconds (modification time minus
  // timeZoneOffset).  With folder not null, an entry whose source does not
  // lie in that folder adds nothing.
  void AddEntryTimes(const CRestoreTable& table, int32_t entry, const std::string* folder,
                     int32_t timeZoneOffset);
  const std::vector<RestoreCandidate>& Items() const { return items_; }
  // As the window lists them: by text, descending, so "全ての最新ファイル"
  // comes first and the newest time next.
  std::vector<RestoreCandidate> Sorted() const;

 private:
  std::vector<RestoreCandidate> items_;
  std::unordered_set<int64_t> slots_;
};

// "%Y年%m月%d日%H時%M分" of local seconds t.
std::string CandidateText(int32_t t);

}  // namespace quz

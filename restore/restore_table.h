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
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/text.h"

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

// A hash of a path that is equal for paths EqualNoCase calls equal.
uint32_t FoldedHash(std::string_view path);

// Numbers found by path, paths compared as EqualNoCase compares them: an
// open-addressing table over one array, with no key of its own, since
// every look-up of a large save folder's loading passes here.  The owner
// keeps the paths and tells the table the path of a number.
class CPathNumbers {
 public:
  CPathNumbers() { Clear(); }
  void Clear() {
    buckets_.assign(1024, Bucket{0, -1});
    count_ = 0;
  }
  // The number of path (whose hash is hash), or -1.
  template <class PathOf>
  int32_t Find(std::string_view path, uint32_t hash, const PathOf& pathOf) const {
    const size_t mask = buckets_.size() - 1;
    for (size_t b = hash & mask;; b = (b + 1) & mask) {
      const Bucket& bucket = buckets_[b];
      if (bucket.number < 0) return -1;
      if (bucket.hash == hash && EqualNoCase(pathOf(bucket.number), path)) return bucket.number;
    }
  }
  // Adds a number not in the table yet.
  void Insert(uint32_t hash, int32_t number);

 private:
  struct Bucket {
    uint32_t hash;
    int32_t number;  // -1: empty
  };
  void Place(uint32_t hash, int32_t number);
  std::vector<Bucket> buckets_;  // a power of two long, half full at most
  size_t count_ = 0;
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
std::string_view SourceFolderView(std::string_view path);
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
  void AddChain(std::string_view source) { AddFolderChain(SourceFolderView(source)); }
  // The same for a folder (without "\"): it and every folder above it.
  void AddFolderChain(std::string_view folder);
  // The item of a folder path (without trailing "\", case-insensitive), or -1.
  int32_t Find(std::string_view folder) const;
  const RestoreFolder& At(int32_t item) const { return items_[static_cast<size_t>(item)]; }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }

 private:
  int32_t AddFolder(std::string_view path, int32_t parent);
  int32_t FindItem(std::string_view path, uint32_t hash) const;
  std::vector<RestoreFolder> items_;
  CPathNumbers byPath_;
};

// The restore entry table.  A save folder holds up to 250,000 copies: the
// lists are kept as read and every entry points into them, so that loading
// makes no string of its own per copy.  Which entries share a source is
// worked out once, the first time it is asked (from any thread); entries
// are added from one thread while nobody reads the table.
class CRestoreTable {
 public:
  CRestoreTable();
  ~CRestoreTable();
  // Moving keeps the entries' texts where they are; a copy would not.
  CRestoreTable(CRestoreTable&&) noexcept;
  CRestoreTable& operator=(CRestoreTable&&) noexcept;
  CRestoreTable(const CRestoreTable&) = delete;
  CRestoreTable& operator=(const CRestoreTable&) = delete;

  void Clear();
  // Called after each folder below the save folder with the number of
  // folders looked at and their total; false stops the loading there.
  using LoadProgress = std::function<bool(int32_t done, int32_t total)>;
  // Empties the table and the tree, then reads the "quzFileList.txt" of every
  // folder directly below folder (date folders and fragment folders alike),
  // adding each source's folder chain to tree.  Returns the number of lists
  // read.
  int Load(const std::string& folder, CRestoreTree* tree, const LoadProgress& afterFolder = nullptr);
  // Adds the lines of one list whose folder is subfolder (ending with "\").
  // Reading stops at a line without "<" or without its line end; a line whose
  // saved name is not a plain file name is skipped.  False once the table is
  // full.
  bool AddList(const std::string& subfolder, std::string text, CRestoreTree* tree);
  // Adds one entry; false when the table is full.
  bool Add(const std::string& location, const std::string& source);

  int32_t Count() const { return static_cast<int32_t>(slots_.size()); }
  // Entry i, made when asked for.
  RestoreEntry At(int32_t i) const { return RestoreEntry{LocationOf(i), std::string(SourceOf(i))}; }
  std::string LocationOf(int32_t i) const;
  std::string_view SourceOf(int32_t i) const {
    const EntrySlot& slot = Slot(i);
    return std::string_view(textData_[static_cast<size_t>(slot.text)] + slot.sourceOffset, slot.sourceLength);
  }
  // Whether entry i is the first of its source in table order.
  bool IsFirstOfSource(int32_t i) const;
  // Entries whose source is path (case-insensitive), in table order.
  std::vector<int32_t> EntriesOf(std::string_view source) const;
  bool HasSource(std::string_view source) const;

  // Every entry in table order, each made when reached.
  class Iterator {
   public:
    Iterator(const CRestoreTable* table, int32_t i) : table_(table), i_(i) {}
    RestoreEntry operator*() const { return table_->At(i_); }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return i_ != other.i_; }

   private:
    const CRestoreTable* table_;
    int32_t i_;
  };
  struct Range {
    Iterator b, e;
    Iterator begin() const { return b; }
    Iterator end() const { return e; }
  };
  Range Entries() const { return Range{Iterator(this, 0), Iterator(this, Count())}; }

 private:
  // An entry as 16 bytes: where its saved name and source lie in one of the
  // texts, whose folder (for a list) is folders_ at the same place.
  struct EntrySlot {
    int32_t text;
    uint32_t nameOffset, sourceOffset;
    uint16_t nameLength, sourceLength;
  };
  const EntrySlot& Slot(int32_t i) const { return slots_[static_cast<size_t>(i)]; }
  std::string_view NameOf(const EntrySlot& slot) const {
    return std::string_view(textData_[static_cast<size_t>(slot.text)] + slot.nameOffset, slot.nameLength);
  }
  bool AddSlot(int32_t text, std::string_view name, std::string_view source);
  // Keeps a text and its folder; returns its number.
  int32_t AddText(std::string folder, std::string text);
  // Names and paths longer than this are no file's: such lines are skipped.
  static constexpr size_t kLongest = 0xFFFF;
  struct SourceIndex;
  // The index covers every entry once this returns.
  const SourceIndex& Indexed() const;

  // The texts the entries point into: each list read, and the entries added
  // one by one, each with its folder (empty for an entry added whole).  A
  // deque never moves what it holds.
  std::deque<std::string> texts_;
  std::vector<const char*> textData_;
  std::vector<std::string> folders_;
  std::vector<EntrySlot> slots_;
  std::unique_ptr<SourceIndex> index_;
};

// One line of the file list: the text shown and the first entry of the source.
struct RestoreFileItem {
  std::string text;
  int32_t entry = -1;
};

// Reports progress (done, total) at most every 50 ms; may be empty.
using ProgressFunction = std::function<void(int32_t done, int32_t total)>;
// Set to ask a listing on another thread to stop.
using StopFlag = std::atomic<bool>;

// The files whose folder is exactly folder (case-insensitive): each source
// once, by name, with its first entry, in table order.  Stops early when
// stop is set.
std::vector<RestoreFileItem> FilesOfFolder(const CRestoreTable& table, std::string_view folder,
                                           const StopFlag* stop = nullptr,
                                           const ProgressFunction& progress = nullptr);
// Every distinct source in full, with its first entry, in table order.
std::vector<RestoreFileItem> AllSources(const CRestoreTable& table);

// A point in time the user can restore to: its text and local seconds.
struct RestoreCandidate {
  std::string text;
  int64_t time = 0;
};

// The 300-second slot of local seconds t (slots stay 300 seconds wide
// before 1970 too).
int64_t CandidateSlot(int64_t t);

// The local times of the copies at a location, read from the disk: a normal
// copy's time, or a fragment folder's own time followed by the times of its
// fragments 0, 1, ... up to the first one missing.  Empty when the copy is
// gone.
std::vector<int64_t> ReadCopyTimes(const std::string& location, int32_t timeZoneOffset);

// The candidate list of the restore window.  A time is added unless a
// candidate found earlier lies in the same 300-second slot.
class CCandidateList {
 public:
  void Clear();
  void AddAllNewest();
  // Adds a candidate for local time t; false when its slot is taken.
  bool AddTime(int64_t t);
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

// "%Y年%m月%d日%H時%M分" of local seconds t, for any t.
std::string CandidateText(int64_t t);

}  // namespace quz

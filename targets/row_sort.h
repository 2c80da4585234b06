// The orders of the target list: texts compared as the list compares them,
// a stable merge sort that reports its progress, and the size order.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quz {

// Two cell texts (NUL-terminated) compared over at most 260 bytes,
// single-byte letters as lower case, bytes unsigned; <0, 0 or >0.
int CompareListTexts(const char* a, const char* b);

// When a long sort shows its progress: the window appears once the sort
// has run for more than 500 ms (a short one never flashes it) and is
// updated at most every 50 ms from then on.
class SortProgress {
 public:
  using Show = std::function<void(int percent)>;
  explicit SortProgress(Show show);
  // `done` of `total` steps are behind; cheap enough to call per row.
  void Step(int64_t done, int64_t total);
  // The steps that follow make up the percentages `from` to `to` of the
  // whole (a sort that first computes its keys, then orders them).
  void SetPart(int from, int to) {
    partFrom_ = from;
    partTo_ = to;
  }
  bool Shown() const { return shown_; }

 private:
  Show show_;
  int partFrom_ = 0;
  int partTo_ = 100;
  uint32_t start_;
  uint32_t last_;
  bool shown_ = false;
};

// A row with the text it is sorted by.
struct KeyedRow {
  const char* key;
  int32_t entry;
};

// Sorts by key as CompareListTexts orders keys, ascending or descending,
// keeping rows of equal keys in their order.  A bottom-up merge sort over
// copies of the keys folded to lower case once (so that a comparison is a
// plain byte comparison): O(n log n) comparisons at worst and about n for
// rows already in order, the usual case of a catalogue listed folder by
// folder.  Rows that share one key text in a row share its copy.
void SortKeyedRows(std::vector<KeyedRow>& rows, bool ascending, SortProgress* progress = nullptr);

// The size column's key of a file: its size, 1 for an empty file (so that
// files that cannot be examined, key 0, come before empty ones), 0 when its
// status cannot be read.
int64_t SizeKey(const std::string& path);

// Orders `rows` by `keys` (keys[i] belongs to rows[i]) ascending and
// stably, by a radix sort over all 64 bits; then, with `reverse`, turns the
// whole order round.
void SortRowsBySize(std::span<int32_t> rows, std::span<const int64_t> keys, bool reverse);

}  // namespace quz

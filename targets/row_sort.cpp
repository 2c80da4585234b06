#include "targets/row_sort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace quz {

namespace {
constexpr int kMaxCompared = 260;
constexpr uint32_t kShowAfterMs = 500;
constexpr uint32_t kUpdateEveryMs = 50;
// Rows first put in order a run at a time by insertion.
constexpr size_t kRun = 24;

inline unsigned Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32u : c; }

// A key as the sort compares it: its first 260 bytes with single-byte
// letters in lower case, so that two keys compare as CompareListTexts
// compares them by one memcmp.
struct FoldedRow {
  const char* text;
  uint32_t size;
  uint32_t row;  // its place in the rows given
};

// memcmp, eight bytes at a time, inline: the library's is a call per
// comparison, and most keys share a long start (their folder).  A word read
// from memory turned round compares as its bytes in order.
static_assert(std::endian::native == std::endian::little);
inline int CompareBytes(const char* a, const char* b, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
  }
  for (; i < n; ++i)
    if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
  return 0;
}

int CompareFolded(const FoldedRow& a, const FoldedRow& b) {
  // One copy is one key; an empty key's copy may share its place with the
  // next key's.
  if (a.text == b.text && a.size == b.size) return 0;
  int c = CompareBytes(a.text, b.text, std::min(a.size, b.size));
  if (c != 0) return c;
  return a.size == b.size ? 0 : a.size < b.size ? -1 : 1;
}

// Stable bottom-up merge sort; `before(a, b)`: a belongs before b.
template <class T, class Before>
void MergeSort(std::vector<T>& rows, Before before, SortProgress* progress) {
  const size_t n = rows.size();
  if (n < 2) return;
  int passes = 1;
  for (size_t width = kRun; width < n; width *= 2) ++passes;
  const int64_t total = static_cast<int64_t>(passes) * static_cast<int64_t>(n);
  int64_t done = 0;

  for (size_t lo = 0; lo < n; lo += kRun) {
    const size_t hi = std::min(lo + kRun, n);
    for (size_t i = lo + 1; i < hi; ++i) {
      T row = rows[i];
      size_t j = i;
      for (; j > lo && before(row, rows[j - 1]); --j) rows[j] = rows[j - 1];
      rows[j] = row;
    }
    if (progress) progress->Step(done + static_cast<int64_t>(hi), total);
  }
  done += static_cast<int64_t>(n);

  std::vector<T> work(n);
  T* from = rows.data();
  T* to = work.data();
  for (size_t width = kRun; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      if (mid == hi || !before(from[mid], from[mid - 1])) {
        // Already in order: the halves follow each other as they are.
        std::copy(from + lo, from + hi, to + lo);
      } else {
        // A row is taken from the right half only when it belongs strictly
        // before the left one: rows of equal keys keep their order.
        size_t i = lo, j = mid, k = lo;
        while (i < mid && j < hi) to[k++] = before(from[j], from[i]) ? from[j++] : from[i++];
        std::copy(from + i, from + mid, to + k);
        std::copy(from + j, from + hi, to + k + (mid - i));
      }
      if (progress) progress->Step(done + static_cast<int64_t>(hi), total);
    }
    done += static_cast<int64_t>(n);
    std::swap(from, to);
  }
  if (from != rows.data()) std::copy(from, from + n, rows.data());
}
}  // namespace

int CompareListTexts(const char* a, const char* b) {
  // Equal texts are often one stored text (the rows of one folder).
  if (a == b) return 0;
  for (int i = 0; i < kMaxCompared; ++i) {
    unsigned ca = Lower(static_cast<unsigned char>(a[i]));
    unsigned cb = Lower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

SortProgress::SortProgress(Show show) : show_(std::move(show)), start_(plat::TickCount()), last_(start_) {}

void SortProgress::Step(int64_t done, int64_t total) {
  const uint32_t now = plat::TickCount();
  if (!shown_) {
    if (now - start_ <= kShowAfterMs) return;
    shown_ = true;
  } else if (now - last_ < kUpdateEveryMs) {
    return;
  }
  last_ = now;
  const int64_t part = total > 0 ? done * (partTo_ - partFrom_) / total : 0;
  if (show_) show_(partFrom_ + static_cast<int>(part));
}

void SortKeyedRows(std::vector<KeyedRow>& rows, bool ascending, SortProgress* progress) {
  const size_t n = rows.size();
  if (n < 2) return;
  // The folded keys, one copy per run of rows that share their key (the
  // rows of one folder share its text).
  std::vector<FoldedRow> folded(n);
  size_t bytes = 0;
  for (size_t i = 0; i < n; ++i) {
    folded[i].size = static_cast<uint32_t>(strnlen(rows[i].key, kMaxCompared));
    folded[i].row = static_cast<uint32_t>(i);
    if (i == 0 || rows[i].key != rows[i - 1].key) bytes += folded[i].size;
  }
  std::unique_ptr<char[]> pool(new char[bytes + 1]);
  char* at = pool.get();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && rows[i].key == rows[i - 1].key) {
      folded[i].text = folded[i - 1].text;
      continue;
    }
    folded[i].text = at;
    for (uint32_t b = 0; b < folded[i].size; ++b) *at++ = static_cast<char>(Lower(static_cast<unsigned char>(rows[i].key[b])));
  }
  if (ascending)
    MergeSort(folded, [](const FoldedRow& a, const FoldedRow& b) { return CompareFolded(a, b) < 0; }, progress);
  else
    MergeSort(folded, [](const FoldedRow& a, const FoldedRow& b) { return CompareFolded(a, b) > 0; }, progress);
  std::vector<KeyedRow> sorted(n);
  for (size_t i = 0; i < n; ++i) sorted[i] = rows[folded[i].row];
  rows.swap(sorted);
}

int64_t SizeKey(const std::string& path) {
  plat::FileStatus status;
  if (!plat::GetFileStatus(path, status)) return 0;
  return status.size == 0 ? 1 : status.size;
}

void SortRowsBySize(std::span<int32_t> rows, std::span<const int64_t> keys, bool reverse) {
  const size_t n = rows.size();
  struct Item {
    uint64_t key;
    int32_t row;
  };
  std::vector<Item> items(n), work(n);
  // One pass counts every byte position; a position where all keys share
  // their byte orders nothing and is skipped.
  std::vector<std::array<uint32_t, 256>> counts(8);
  for (auto& c : counts) c.fill(0);
  for (size_t i = 0; i < n; ++i) {
    const uint64_t key = static_cast<uint64_t>(keys[i]);
    items[i] = {key, rows[i]};
    for (int b = 0; b < 8; ++b) ++counts[b][(key >> (8 * b)) & 0xFF];
  }
  Item* from = items.data();
  Item* to = work.data();
  // Least significant byte first: each pass is stable, so the last one
  // leaves equal keys in row order.
  for (int b = 0; b < 8; ++b) {
    std::array<uint32_t, 256>& count = counts[b];
    if (std::find(count.begin(), count.end(), static_cast<uint32_t>(n)) != count.end()) continue;
    uint32_t start = 0;
    for (uint32_t& c : count) {
      uint32_t next = start + c;
      c = start;
      start = next;
    }
    for (size_t i = 0; i < n; ++i) to[count[(from[i].key >> (8 * b)) & 0xFF]++] = from[i];
    std::swap(from, to);
  }
  for (size_t i = 0; i < n; ++i) rows[i] = from[i].row;
  if (reverse) std::reverse(rows.begin(), rows.end());
}

}  // namespace quz

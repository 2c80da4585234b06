#include "targets/row_sort.h"

#include <algorithm>
#include <array>
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
  // `before(a, b)`: a belongs before b, so a row is taken from the right
  // half only when it belongs strictly before the left one (stability).
  auto before = [ascending](const KeyedRow& a, const KeyedRow& b) {
    int c = CompareListTexts(a.key, b.key);
    return ascending ? c < 0 : c > 0;
  };
  int passes = 1;
  for (size_t width = kRun; width < n; width *= 2) ++passes;
  const int64_t total = static_cast<int64_t>(passes) * static_cast<int64_t>(n);
  int64_t done = 0;

  for (size_t lo = 0; lo < n; lo += kRun) {
    const size_t hi = std::min(lo + kRun, n);
    for (size_t i = lo + 1; i < hi; ++i) {
      KeyedRow row = rows[i];
      size_t j = i;
      for (; j > lo && before(row, rows[j - 1]); --j) rows[j] = rows[j - 1];
      rows[j] = row;
    }
    if (progress) progress->Step(done + static_cast<int64_t>(hi), total);
  }
  done += static_cast<int64_t>(n);

  std::vector<KeyedRow> work(n);
  KeyedRow* from = rows.data();
  KeyedRow* to = work.data();
  for (size_t width = kRun; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      if (mid == hi || !before(from[mid], from[mid - 1])) {
        // Already in order: the halves follow each other as they are.
        std::copy(from + lo, from + hi, to + lo);
      } else {
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

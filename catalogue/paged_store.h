// A byte store made of fixed-size pages.  Offsets are stable handles: a page,
// once allocated, never moves, so growing the store never disturbs what was
// written before.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace quz {

class CPagedStore {
 public:
  static constexpr int32_t kPageSize = 100000;

  CPagedStore() = default;
  CPagedStore(const CPagedStore&) = delete;
  CPagedStore& operator=(const CPagedStore&) = delete;

  // Copies size bytes to offset, allocating pages on first reach.  False when
  // the write would pass the largest offset an int32 handle can name.
  bool Write(int32_t offset, const void* data, int32_t size);
  // Copies size bytes from offset; false when offset is at or beyond Size()
  // or the range passes the end of what was written.
  bool Read(int32_t offset, void* data, int32_t size) const;
  // Highest offset written so far, plus one.
  int32_t Size() const { return size_; }

  // The bytes at [offset, offset + size) in place, when they were written
  // and lie within one page; null otherwise (read them with Read then).
  const char* Span(int32_t offset, int32_t size) const {
    if (offset < 0 || size < 0 || static_cast<int64_t>(offset) + size > size_) return nullptr;
    int32_t page = offset / kPageSize;
    int32_t within = offset - page * kPageSize;
    if (within + size > kPageSize || static_cast<size_t>(page) >= pages_.size() || !pages_[page])
      return nullptr;
    return pages_[page].get() + within;
  }
  char* MutableSpan(int32_t offset, int32_t size) {
    return const_cast<char*>(static_cast<const CPagedStore*>(this)->Span(offset, size));
  }

 private:
  std::vector<std::unique_ptr<char[]>> pages_;
  int32_t size_ = 0;
};

}  // namespace quz

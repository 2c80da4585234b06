#include "catalogue/paged_store.h"

#include <cstring>
#include <limits>

namespace quz {

bool CPagedStore::Write(int32_t offset, const void* data, int32_t size) {
  if (offset < 0 || size < 0) return false;
  int64_t end = static_cast<int64_t>(offset) + size;
  if (end > std::numeric_limits<int32_t>::max()) return false;
  const char* from = static_cast<const char*>(data);
  int64_t at = offset;
  while (at < end) {
    size_t page = static_cast<size_t>(at / kPageSize);
    int32_t within = static_cast<int32_t>(at % kPageSize);
    int32_t n = static_cast<int32_t>(std::min<int64_t>(kPageSize - within, end - at));
    if (pages_.size() <= page) pages_.resize(page + 1);
    if (!pages_[page]) pages_[page] = std::make_unique<char[]>(kPageSize);
    std::memcpy(pages_[page].get() + within, from, static_cast<size_t>(n));
    from += n;
    at += n;
  }
  if (end > size_) size_ = static_cast<int32_t>(end);
  return true;
}

bool CPagedStore::Read(int32_t offset, void* data, int32_t size) const {
  if (offset < 0 || size < 0 || offset >= size_) return false;
  int64_t end = static_cast<int64_t>(offset) + size;
  if (end > size_) return false;
  char* to = static_cast<char*>(data);
  int64_t at = offset;
  while (at < end) {
    size_t page = static_cast<size_t>(at / kPageSize);
    int32_t within = static_cast<int32_t>(at % kPageSize);
    int32_t n = static_cast<int32_t>(std::min<int64_t>(kPageSize - within, end - at));
    // A page below size_ that was skipped by writes reads as zeros.
    if (page < pages_.size() && pages_[page])
      std::memcpy(to, pages_[page].get() + within, static_cast<size_t>(n));
    else
      std::memset(to, 0, static_cast<size_t>(n));
    to += n;
    at += n;
  }
  return true;
}

}  // namespace quz

#include "archiver/huffman.h"

#include <algorithm>
#include <numeric>

#include "archiver/bit_io.h"

namespace quz::lzh {

void BitReader::Refill() {
  while (count_ <= 56) {
    if (bufferPos_ == bufferLen_) {
      bufferPos_ = bufferLen_ = 0;
      if (remaining_ > 0 && !readFailed_) {
        std::size_t want = remaining_ < kBufferSize ? static_cast<std::size_t>(remaining_) : kBufferSize;
        std::int64_t got = source_.Read(buffer_.get(), want);
        if (got < 0) {
          readFailed_ = true;
        } else {
          bufferLen_ = static_cast<std::size_t>(got);
          remaining_ = got == 0 ? 0 : remaining_ - static_cast<std::uint64_t>(got);
        }
      }
    }
    std::uint64_t byte = 0;
    if (bufferPos_ < bufferLen_) {
      byte = buffer_[bufferPos_++];
    } else if (padding_ < (1 << 30)) {
      padding_ += 8;
    }
    bits_ |= byte << (56 - count_);
    count_ += 8;
  }
}

int BuildCodeLengths(const std::uint32_t* freq, int n, int maxLength, std::uint8_t* lengths) {
  std::fill(lengths, lengths + n, 0);
  std::vector<int> used;
  for (int i = 0; i < n; ++i)
    if (freq[i]) used.push_back(i);
  const int m = static_cast<int>(used.size());
  if (m < 2) return m;
  // Least frequent first; ties by symbol, so the result does not depend on
  // the sort.
  std::sort(used.begin(), used.end(), [&](int a, int b) { return freq[a] != freq[b] ? freq[a] < freq[b] : a < b; });

  // Huffman's construction with two queues: the sorted leaves and the
  // merged nodes, which come out in order of weight by themselves.
  std::vector<std::uint64_t> weight(2 * m);
  std::vector<int> parent(2 * m, -1);
  for (int i = 0; i < m; ++i) weight[i] = freq[used[i]];
  int leaf = 0, node = m, next = m;
  auto take = [&]() {
    if (leaf < m && (node >= next || weight[leaf] <= weight[node])) return leaf++;
    return node++;
  };
  while (next < 2 * m - 1) {
    int a = take();
    int b = take();
    weight[next] = weight[a] + weight[b];
    parent[a] = parent[b] = next;
    ++next;
  }
  // Depths, the root being the last node.
  std::vector<int> depth(2 * m, 0);
  for (int i = 2 * m - 3; i >= 0; --i) depth[i] = depth[parent[i]] + 1;

  // Count codes per length, folding those that are too long into shorter
  // ones while keeping the code complete.
  std::vector<int> count(std::max(maxLength, m) + 2, 0);
  for (int i = 0; i < m; ++i) ++count[depth[i]];
  for (int len = static_cast<int>(count.size()) - 1; len > maxLength; --len) {
    while (count[len] > 0) {
      int j = len - 2;
      while (count[j] == 0) --j;
      count[len] -= 2;
      count[len - 1] += 1;
      count[j + 1] += 2;
      count[j] -= 1;
    }
  }
  // The shortest codes to the most frequent symbols.
  int sym = m - 1;
  for (int len = 1; len <= maxLength; ++len)
    for (int k = 0; k < count[len]; ++k) lengths[used[sym--]] = static_cast<std::uint8_t>(len);
  return m;
}

void MakeCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes) {
  std::uint32_t count[kMaxCodeLength + 2] = {};
  for (int i = 0; i < n; ++i) ++count[lengths[i]];
  count[0] = 0;
  std::uint32_t start[kMaxCodeLength + 2] = {};
  for (int len = 1; len <= kMaxCodeLength; ++len) start[len + 1] = (start[len] + count[len]) << 1;
  for (int i = 0; i < n; ++i) codes[i] = lengths[i] ? static_cast<std::uint16_t>(start[lengths[i]]++) : 0;
}

bool HuffmanDecoder::Build(const std::uint8_t* lengths, int n) {
  single_ = -1;
  std::fill(std::begin(count_), std::end(count_), 0);
  for (int i = 0; i < n; ++i) {
    if (lengths[i] > kMaxCodeLength) return false;
    ++count_[lengths[i]];
  }
  count_[0] = 0;
  std::int32_t left = 1;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    left = (left << 1) - count_[len];
    if (left < 0) return false;  // more codes than the lengths allow
  }
  // Symbols in code order, with the offset of each length's first one.
  std::uint16_t offset[kMaxCodeLength + 2] = {};
  for (int len = 1; len <= kMaxCodeLength; ++len) offset[len + 1] = static_cast<std::uint16_t>(offset[len] + count_[len]);
  sorted_.assign(offset[kMaxCodeLength + 1], 0);
  for (int i = 0; i < n; ++i)
    if (lengths[i]) sorted_[offset[lengths[i]]++] = static_cast<std::uint16_t>(i);

  std::fill(fast_.begin(), fast_.end(), 0);
  std::uint32_t code = 0;
  std::size_t index = 0;
  for (int len = 1; len <= fastBits_; ++len) {
    for (int k = 0; k < count_[len]; ++k, ++code, ++index) {
      std::uint32_t entry = static_cast<std::uint32_t>(sorted_[index]) << 5 | static_cast<std::uint32_t>(len);
      std::size_t first = static_cast<std::size_t>(code) << (fastBits_ - len);
      std::size_t span = std::size_t{1} << (fastBits_ - len);
      std::fill(fast_.begin() + first, fast_.begin() + first + span, entry);
    }
    code <<= 1;
  }
  return true;
}

void HuffmanDecoder::BuildSingle(int symbol) { single_ = symbol; }

int HuffmanDecoder::Decode(BitReader& in) const {
  if (single_ >= 0) return single_;
  std::uint32_t bits = in.Peek16();
  std::uint32_t entry = fast_[bits >> (16 - fastBits_)];
  if (entry) {
    in.Skip(static_cast<int>(entry & 31));
    return static_cast<int>(entry >> 5);
  }
  // Longer codes, one length at a time.
  std::uint32_t code = 0, first = 0, index = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    code |= (bits >> (16 - len)) & 1;
    std::uint32_t n = count_[len];
    if (code - first < n) {
      if (len <= fastBits_) return -1;  // unassigned short code
      in.Skip(len);
      return sorted_[index + code - first];
    }
    index += n;
    first = (first + n) << 1;
    code <<= 1;
  }
  return -1;
}

}  // namespace quz::lzh

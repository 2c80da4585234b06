#include "archiver/encoder.h"

#include <algorithm>
#include <cstring>

#include "archiver/huffman.h"
#include "archiver/lz_tables.h"

namespace quz::lzh {

namespace {

constexpr int kHashBits = 16;
// A three-byte match this far back costs more bits than three literals.
constexpr std::uint32_t kTooFar = 4096;
// Input larger than this cannot be described by an LZH header.
constexpr std::uint64_t kMaxInput = 0xFFFFFFFFull;

inline std::uint32_t Hash3(const std::uint8_t* p) {
  std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                    static_cast<std::uint32_t>(p[2]) << 16;
  return (v * 2654435761u) >> (32 - kHashBits);
}

inline int PositionSymbol(std::uint32_t p) { return p == 0 ? 0 : 32 - __builtin_clz(p); }

inline int MatchLength(const std::uint8_t* a, const std::uint8_t* b, int max) {
  int len = 0;
  while (len + 8 <= max) {
    std::uint64_t x, y;
    std::memcpy(&x, a + len, 8);
    std::memcpy(&y, b + len, 8);
    if (x != y) return len + (__builtin_ctzll(x ^ y) >> 3);
    len += 8;
  }
  while (len < max && a[len] == b[len]) ++len;
  return len;
}

// Walks the character table's lengths as the temporary table codes them,
// calling f(symbol, extraBits, extraValue) for each code; returns the
// number of lengths sent.
template <class F>
int WalkCharLengths(const std::uint8_t* len, F f) {
  int n = kCharCodes;
  while (n > 0 && len[n - 1] == 0) --n;
  int i = 0;
  while (i < n) {
    int k = len[i++];
    if (k != 0) {
      f(k + 2, 0, 0);
      continue;
    }
    int count = 1;
    while (i < n && len[i] == 0) {
      ++i;
      ++count;
    }
    if (count <= 2) {
      for (int j = 0; j < count; ++j) f(0, 0, 0);
    } else if (count <= 18) {
      f(1, 4, count - 3);
    } else if (count == 19) {
      f(0, 0, 0);
      f(1, 4, 15);
    } else {
      f(2, kCharCountBits, count - 20);
    }
  }
  return n;
}

int OnlySymbol(const std::vector<std::uint32_t>& freq) {
  for (std::size_t i = 0; i < freq.size(); ++i)
    if (freq[i]) return static_cast<int>(i);
  return 0;
}

}  // namespace

Encoder::Encoder(Method method, ByteSink& out, std::uint64_t limit, const EncoderOptions& options)
    : out_(out),
      limit_(limit),
      options_(options),
      windowBits_(WindowBits(method)),
      windowSize_(1u << WindowBits(method)),
      positionCodes_(PositionCodes(method)),
      positionCountBits_(PositionCountBits(method)) {
  if (!IsCompressed(method)) {
    windowBits_ = WindowBits(Method::kLh5);
    windowSize_ = 1u << windowBits_;
    positionCodes_ = PositionCodes(Method::kLh5);
    positionCountBits_ = PositionCountBits(Method::kLh5);
  }
  options_.blockCodes = std::clamp(options_.blockCodes, 1, 65535);
  options_.maxChain = std::max(options_.maxChain, 1);
  options_.niceLength = std::clamp(options_.niceLength, kMinMatch, kMaxMatch);
  window_.resize(2 * static_cast<std::size_t>(windowSize_) + (1u << 17));
  head_.assign(std::size_t{1} << kHashBits, 0);
  prev_.assign(2 * static_cast<std::size_t>(windowSize_), 0);
  prevMask_ = 2 * windowSize_ - 1;
  codes_.reserve(static_cast<std::size_t>(options_.blockCodes));
  charFreq_.assign(kCharCodes, 0);
  posFreq_.assign(static_cast<std::size_t>(positionCodes_), 0);
}

Encoder::~Encoder() = default;

EncodeStatus Encoder::Write(const void* data, std::size_t n) {
  if (status_ != EncodeStatus::kOk) return status_;
  if (end_ + n > kMaxInput) return status_ = EncodeStatus::kTooLarge;
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (n > 0) {
    std::size_t space = window_.size() - static_cast<std::size_t>(end_ - base_);
    if (space == 0) {
      Process(false);
      if (status_ != EncodeStatus::kOk) return status_;
      // Keep a window's worth of history behind the pending literal.
      std::uint64_t keep = pos_ > windowSize_ + 1u ? pos_ - windowSize_ - 1 : 0;
      if (keep > base_) {
        std::memmove(window_.data(), At(keep), static_cast<std::size_t>(end_ - keep));
        base_ = keep;
      }
      continue;
    }
    std::size_t k = std::min(space, n);
    std::memcpy(At(end_), p, k);
    end_ += k;
    p += k;
    n -= k;
  }
  return status_;
}

EncodeStatus Encoder::Finish() {
  if (status_ != EncodeStatus::kOk) return status_;
  Process(true);
  if (status_ == EncodeStatus::kOk) SendBlock();
  if (status_ == EncodeStatus::kOk) Drain(true);
  return status_;
}

std::uint32_t Encoder::Insert(std::uint64_t pos) {
  std::uint32_t h = Hash3(At(pos));
  std::uint32_t candidate = head_[h];
  prev_[pos & prevMask_] = candidate;
  head_[h] = static_cast<std::uint32_t>(pos + 1);
  return candidate;
}

int Encoder::FindMatch(std::uint32_t candidate, std::uint64_t pos, int prevLength, std::uint32_t& distance) {
  const int maxLen = static_cast<int>(std::min<std::uint64_t>(kMaxMatch, end_ - pos));
  int best = std::max(prevLength, kMinMatch - 1);
  if (best >= maxLen) return 0;
  int chain = options_.maxChain;
  if (prevLength >= options_.goodLength) chain = std::max(chain >> 2, 1);
  const int nice = std::min(options_.niceLength, maxLen);
  const std::uint8_t* cur = At(pos);
  int found = 0;
  while (candidate != 0 && chain-- > 0) {
    std::uint64_t q = candidate - 1;
    if (q >= pos || pos - q > windowSize_ || q < base_) break;
    const std::uint8_t* m = At(q);
    if (m[best] == cur[best] && m[0] == cur[0] && m[1] == cur[1]) {
      int len = MatchLength(m, cur, maxLen);
      if (len > best) {
        best = len;
        found = len;
        distance = static_cast<std::uint32_t>(pos - q);
        if (len >= nice) break;
      }
    }
    std::uint32_t next = prev_[q & prevMask_];
    if (next >= candidate) break;  // a slot reused since: the chain ends here
    candidate = next;
  }
  return found;
}

void Encoder::Process(bool final) {
  while (status_ == EncodeStatus::kOk) {
    const std::uint64_t avail = end_ - pos_;
    if (final ? avail == 0 : avail < static_cast<std::uint64_t>(kMaxMatch) + 2) break;
    int length = 0;
    std::uint32_t distance = 0;
    if (avail >= static_cast<std::uint64_t>(kMinMatch)) {
      std::uint32_t candidate = Insert(pos_);
      if (candidate != 0 && prevLength_ < options_.lazyLength) {
        length = FindMatch(candidate, pos_, prevLength_, distance);
        if (length == kMinMatch && distance > kTooFar) length = 0;
      }
    }
    if (prevLength_ >= kMinMatch && length <= prevLength_) {
      // The match at pos_ - 1 is at least as good as the one here.
      EmitMatch(prevLength_, prevDistance_);
      const std::uint64_t stop = pos_ - 1 + static_cast<std::uint64_t>(prevLength_);
      for (std::uint64_t p = pos_ + 1; p < stop && p + kMinMatch <= end_; ++p) Insert(p);
      pos_ = stop;
      pendingLiteral_ = false;
      prevLength_ = 0;
    } else {
      if (pendingLiteral_) EmitLiteral(*At(pos_ - 1));
      pendingLiteral_ = true;
      prevLength_ = length;
      prevDistance_ = distance;
      ++pos_;
    }
  }
  if (final && pendingLiteral_ && status_ == EncodeStatus::kOk) {
    EmitLiteral(*At(pos_ - 1));
    pendingLiteral_ = false;
  }
}

void Encoder::EmitLiteral(std::uint8_t c) {
  codes_.push_back(c);
  ++charFreq_[c];
  if (codes_.size() >= static_cast<std::size_t>(options_.blockCodes)) SendBlock();
}

void Encoder::EmitMatch(int length, std::uint32_t distance) {
  std::uint16_t code = static_cast<std::uint16_t>(256 + length - kMinMatch);
  codes_.push_back(code);
  ++charFreq_[code];
  std::uint32_t p = distance - 1;
  positions_.push_back(static_cast<std::uint16_t>(p));
  ++posFreq_[static_cast<std::size_t>(PositionSymbol(p))];
  if (codes_.size() >= static_cast<std::size_t>(options_.blockCodes)) SendBlock();
}

void Encoder::WriteTemporaryLengths(const std::uint8_t* len, int n, int countBits, int special) {
  while (n > 0 && len[n - 1] == 0) --n;
  bits_.Put(countBits, static_cast<std::uint32_t>(n));
  int i = 0;
  while (i < n) {
    int k = len[i++];
    if (k <= 6)
      bits_.Put(3, static_cast<std::uint32_t>(k));
    else
      bits_.Put(k - 3, (1u << (k - 3)) - 2);  // 111, then k - 7 ones and a zero
    if (i == special) {
      while (i < 6 && len[i] == 0) ++i;
      bits_.Put(2, static_cast<std::uint32_t>(i - 3) & 3);
    }
  }
}

void Encoder::SendBlock() {
  if (codes_.empty() || status_ != EncodeStatus::kOk) return;
  std::uint8_t charLen[kCharCodes];
  std::uint16_t charCode[kCharCodes] = {};
  bits_.Put(16, static_cast<std::uint32_t>(codes_.size()));
  if (BuildCodeLengths(charFreq_.data(), kCharCodes, kMaxCodeLength, charLen) >= 2) {
    MakeCodes(charLen, kCharCodes, charCode);
    std::uint32_t tFreq[kTemporaryCodes] = {};
    WalkCharLengths(charLen, [&](int s, int, int) { ++tFreq[s]; });
    std::uint8_t tLen[kTemporaryCodes];
    std::uint16_t tCode[kTemporaryCodes] = {};
    int used = BuildCodeLengths(tFreq, kTemporaryCodes, kMaxCodeLength, tLen);
    if (used >= 2) {
      MakeCodes(tLen, kTemporaryCodes, tCode);
      WriteTemporaryLengths(tLen, kTemporaryCodes, kTemporaryCountBits, 3);
    } else {
      int only = 0;
      while (tFreq[only] == 0) ++only;
      bits_.Put(kTemporaryCountBits, 0);
      bits_.Put(kTemporaryCountBits, static_cast<std::uint32_t>(only));
    }
    int n = WalkCharLengths(charLen, [](int, int, int) {});
    bits_.Put(kCharCountBits, static_cast<std::uint32_t>(n));
    WalkCharLengths(charLen, [&](int s, int extraBits, int extra) {
      bits_.Put(tLen[s], tCode[s]);
      if (extraBits) bits_.Put(extraBits, static_cast<std::uint32_t>(extra));
    });
  } else {
    // One character code for the whole block: no table, codes of no bits.
    bits_.Put(kTemporaryCountBits, 0);
    bits_.Put(kTemporaryCountBits, 0);
    bits_.Put(kCharCountBits, 0);
    bits_.Put(kCharCountBits, static_cast<std::uint32_t>(OnlySymbol(charFreq_)));
  }
  std::uint8_t posLen[kPositionCodesMax];
  std::uint16_t posCode[kPositionCodesMax] = {};
  if (BuildCodeLengths(posFreq_.data(), positionCodes_, kMaxCodeLength, posLen) >= 2) {
    MakeCodes(posLen, positionCodes_, posCode);
    WriteTemporaryLengths(posLen, positionCodes_, positionCountBits_, -1);
  } else {
    bits_.Put(positionCountBits_, 0);
    bits_.Put(positionCountBits_, static_cast<std::uint32_t>(OnlySymbol(posFreq_)));
  }
  std::size_t k = 0;
  for (std::uint16_t c : codes_) {
    bits_.Put(charLen[c], charCode[c]);
    if (c < 256) continue;
    std::uint32_t p = positions_[k++];
    int s = PositionSymbol(p);
    bits_.Put(posLen[s], posCode[s]);
    if (s > 1) bits_.Put(s - 1, p - (1u << (s - 1)));
  }
  codes_.clear();
  positions_.clear();
  std::fill(charFreq_.begin(), charFreq_.end(), 0);
  std::fill(posFreq_.begin(), posFreq_.end(), 0);
  Drain(false);
}

EncodeStatus Encoder::Drain(bool all) {
  if (all) bits_.PadToByte();
  auto& bytes = bits_.bytes();
  if (bytes.empty()) return status_;
  if (written_ + bytes.size() > limit_) return status_ = EncodeStatus::kNoGain;
  if (!out_.Write(bytes.data(), bytes.size())) return status_ = EncodeStatus::kWriteFailed;
  written_ += bytes.size();
  bytes.clear();
  return status_;
}

}  // namespace quz::lzh

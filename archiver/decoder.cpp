#include "archiver/decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "archiver/bit_io.h"
#include "archiver/huffman.h"
#include "archiver/lz_tables.h"

namespace quz::lzh {

namespace {

Error CopyStored(ByteSource& in, std::uint64_t packedSize, ByteSink& out, std::uint64_t originalSize,
                 std::uint16_t& crc) {
  crc = 0;
  if (packedSize < originalSize) return Error::kTruncated;
  std::vector<std::uint8_t> buffer(65536);
  std::uint64_t left = originalSize;
  while (left > 0) {
    std::size_t want = left < buffer.size() ? static_cast<std::size_t>(left) : buffer.size();
    std::int64_t got = in.Read(buffer.data(), want);
    if (got < 0) return Error::kReadFailed;
    if (got == 0) return Error::kTruncated;
    crc = Crc16(buffer.data(), static_cast<std::size_t>(got), crc);
    if (!out.Write(buffer.data(), static_cast<std::size_t>(got))) return Error::kWriteFailed;
    left -= static_cast<std::uint64_t>(got);
  }
  return Error::kOk;
}

class LzDecoder {
 public:
  LzDecoder(Method method, ByteSource& in, std::uint64_t packedSize, ByteSink& out)
      : in_(in, packedSize),
        out_(out),
        positionCodes_(PositionCodes(method)),
        positionCountBits_(PositionCountBits(method)),
        window_(kHistory * 2 + kMaxMatch, ' ') {}

  Error Run(std::uint64_t originalSize, std::uint16_t& crc);

 private:
  static constexpr std::size_t kHistory = 65536;  // the largest distance a position code can name

  Error ReadBlockHeader();
  // What a failure is really due to: the source, the end of the data, or
  // the data itself.
  Error Failure(Error e) const {
    if (in_.readFailed()) return Error::kReadFailed;
    if (in_.overrun()) return Error::kTruncated;
    return e;
  }
  bool ReadTemporaryLengths(int n, int countBits, int special, HuffmanDecoder& table);
  bool ReadCharLengths();
  Error Flush(std::size_t end);

  BitReader in_;
  ByteSink& out_;
  int positionCodes_;
  int positionCountBits_;
  // kHistory bytes of history (spaces before the data starts), then the
  // bytes being produced.
  std::vector<std::uint8_t> window_;
  std::size_t flushed_ = kHistory;
  std::uint16_t crc_ = 0;
  std::uint32_t blockLeft_ = 0;
  HuffmanDecoder temporary_{8};
  HuffmanDecoder chars_{12};
  HuffmanDecoder positions_{8};
  std::uint8_t lengths_[kCharCodes] = {};
};

// One of the small tables: the temporary table that codes the character
// table's lengths, or the position table.
bool LzDecoder::ReadTemporaryLengths(int nn, int countBits, int special, HuffmanDecoder& table) {
  int n = static_cast<int>(in_.Get(countBits));
  if (n == 0) {
    int c = static_cast<int>(in_.Get(countBits));
    if (c >= nn) return false;
    table.BuildSingle(c);
    return true;
  }
  if (n > nn) return false;
  std::uint8_t len[kTemporaryCodes + kPositionCodesMax] = {};
  int i = 0;
  while (i < n) {
    std::uint32_t bits = in_.Peek16();
    int c = static_cast<int>(bits >> 13);
    if (c == 7) {
      // Longer lengths continue in unary: one more per 1 bit.
      std::uint32_t mask = 1u << 12;
      while (mask && (bits & mask)) {
        mask >>= 1;
        ++c;
      }
      if (c > kMaxCodeLength) return false;
      in_.Skip(c - 3);
    } else {
      in_.Skip(3);
    }
    len[i++] = static_cast<std::uint8_t>(c);
    if (i == special) {
      int zeros = static_cast<int>(in_.Get(2));
      if (i + zeros > nn) return false;
      while (zeros-- > 0) len[i++] = 0;
    }
  }
  return table.Build(len, nn);
}

bool LzDecoder::ReadCharLengths() {
  int n = static_cast<int>(in_.Get(kCharCountBits));
  if (n == 0) {
    int c = static_cast<int>(in_.Get(kCharCountBits));
    if (c >= kCharCodes) return false;
    chars_.BuildSingle(c);
    return true;
  }
  if (n > kCharCodes) return false;
  std::memset(lengths_, 0, sizeof lengths_);
  int i = 0;
  while (i < n) {
    int c = temporary_.Decode(in_);
    if (c < 0) return false;
    if (c <= 2) {
      int zeros = c == 0 ? 1 : c == 1 ? static_cast<int>(in_.Get(4)) + 3 : static_cast<int>(in_.Get(kCharCountBits)) + 20;
      if (i + zeros > n) return false;
      i += zeros;  // already zero
    } else {
      lengths_[i++] = static_cast<std::uint8_t>(c - 2);
    }
    if (in_.overrun()) return false;
  }
  return chars_.Build(lengths_, kCharCodes);
}

Error LzDecoder::ReadBlockHeader() {
  blockLeft_ = in_.Get(16);
  if (blockLeft_ == 0) return Error::kBadData;
  if (!ReadTemporaryLengths(kTemporaryCodes, kTemporaryCountBits, 3, temporary_)) return Error::kBadData;
  if (!ReadCharLengths()) return Error::kBadData;
  if (!ReadTemporaryLengths(positionCodes_, positionCountBits_, -1, positions_)) return Error::kBadData;
  if (in_.overrun()) return Error::kTruncated;
  return Error::kOk;
}

Error LzDecoder::Flush(std::size_t end) {
  if (end > flushed_) {
    crc_ = Crc16(window_.data() + flushed_, end - flushed_, crc_);
    if (!out_.Write(window_.data() + flushed_, end - flushed_)) return Error::kWriteFailed;
  }
  flushed_ = end;
  return Error::kOk;
}

Error LzDecoder::Run(std::uint64_t originalSize, std::uint16_t& crc) {
  std::uint8_t* w = window_.data();
  std::size_t pos = kHistory;
  std::uint64_t left = originalSize;
  while (left > 0) {
    if (blockLeft_ == 0) {
      Error e = ReadBlockHeader();
      if (e != Error::kOk) return Failure(e);
    }
    --blockLeft_;
    int c = chars_.Decode(in_);
    if (c < 0) return Failure(Error::kBadData);
    if (c < 256) {
      w[pos++] = static_cast<std::uint8_t>(c);
      --left;
    } else {
      std::size_t len = static_cast<std::size_t>(c - 256 + kMinMatch);
      int p = positions_.Decode(in_);
      if (p < 0) return Failure(Error::kBadData);
      std::size_t distance = p == 0 ? 1 : (std::size_t{1} << (p - 1)) + in_.Get(p - 1) + 1;
      if (len > left) len = static_cast<std::size_t>(left);
      const std::uint8_t* from = w + pos - distance;
      if (distance >= len) {
        std::memcpy(w + pos, from, len);
      } else {
        for (std::size_t k = 0; k < len; ++k) w[pos + k] = from[k];
      }
      pos += len;
      left -= len;
    }
    if (in_.overrun()) return Failure(Error::kTruncated);
    if (pos >= 2 * kHistory) {
      if (Error e = Flush(pos); e != Error::kOk) return e;
      std::memmove(w, w + pos - kHistory, kHistory);
      pos = kHistory;
      flushed_ = kHistory;
    }
  }
  if (in_.readFailed()) return Error::kReadFailed;
  Error e = Flush(pos);
  crc = crc_;
  return e;
}

}  // namespace

Error DecodeData(Method method, ByteSource& in, std::uint64_t packedSize, ByteSink& out, std::uint64_t originalSize,
                 std::uint16_t& crc) {
  crc = 0;
  if (method == Method::kStored) return CopyStored(in, packedSize, out, originalSize, crc);
  if (!IsCompressed(method)) return Error::kUnknownMethod;
  LzDecoder decoder(method, in, packedSize, out);
  Error e = decoder.Run(originalSize, crc);
  return e;
}

}  // namespace quz::lzh

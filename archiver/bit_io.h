// Bit streams, most significant bit first.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archiver/stream.h"

namespace quz::lzh {

// Reads at most `limit` bytes from a source.  Past them it supplies zero
// bits, so that look-ahead near the end is harmless, and remembers whether
// any of those were consumed: a stream that needs them is truncated.
class BitReader {
 public:
  BitReader(ByteSource& source, std::uint64_t limit) : source_(source), remaining_(limit) { Refill(); }
  BitReader(const BitReader&) = delete;
  BitReader& operator=(const BitReader&) = delete;
  // The next 16 bits without consuming them.
  std::uint32_t Peek16() const { return static_cast<std::uint32_t>(bits_ >> 48); }
  void Skip(int n) {
    bits_ <<= n;
    count_ -= n;
    if (count_ < 32) Refill();
  }
  // n from 0 to 16.
  std::uint32_t Get(int n) {
    if (n == 0) return 0;
    std::uint32_t v = static_cast<std::uint32_t>(bits_ >> (64 - n));
    Skip(n);
    return v;
  }
  // Bits beyond the data were consumed.
  bool overrun() const { return padding_ > count_; }
  bool readFailed() const { return readFailed_; }

 private:
  void Refill();

  ByteSource& source_;
  std::uint64_t remaining_;
  std::uint64_t bits_ = 0;  // top-aligned
  int count_ = 0;
  int padding_ = 0;  // zero bits appended at the end, counted while in bits_
  bool readFailed_ = false;
  static constexpr std::size_t kBufferSize = 16384;
  std::unique_ptr<std::uint8_t[]> buffer_{new std::uint8_t[kBufferSize]};
  std::size_t bufferPos_ = 0;
  std::size_t bufferLen_ = 0;
};

// Collects bits into a byte vector; whole bytes can be taken out at any
// time.
class BitWriter {
 public:
  // n from 0 to 32; value's bits above n must be zero.
  void Put(int n, std::uint32_t value) {
    acc_ = (acc_ << n) | value;
    count_ += n;
    while (count_ >= 8) {
      count_ -= 8;
      bytes_.push_back(static_cast<std::uint8_t>(acc_ >> count_));
    }
    acc_ &= (std::uint64_t{1} << count_) - 1;
  }
  // Completes the last byte with zero bits.
  void PadToByte() {
    if (count_) Put(8 - count_, 0);
  }
  std::vector<std::uint8_t>& bytes() { return bytes_; }

 private:
  std::uint64_t acc_ = 0;
  int count_ = 0;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace quz::lzh

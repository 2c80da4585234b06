// LZ77 with static Huffman blocks (-lh4- to -lh7-): hash chains find
// matches of 3 to 256 bytes, one step of lazy evaluation picks between
// neighbouring matches, and each block carries its own code tables.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archiver/bit_io.h"
#include "archiver/lzh.h"
#include "archiver/stream.h"

namespace quz::lzh {

struct EncoderOptions {
  int maxChain = 128;     // candidates looked at per position
  int goodLength = 16;    // a previous match this long quarters the search
  int lazyLength = 32;    // a previous match this long is taken without looking further
  int niceLength = 160;   // a match this long ends the search
  int blockCodes = 32768; // codes per block (at most 65535)
};

enum class EncodeStatus {
  kOk,
  kNoGain,       // the output would pass the limit: store the data instead
  kWriteFailed,  // the sink refused data
  kTooLarge,     // 4 GiB or more of input
};

class Encoder {
 public:
  // Output reaches `out` only in whole blocks, and never more than `limit`
  // bytes of it: when the data does not shrink below the limit the encoder
  // says so before writing past it, so the caller can store the data in
  // the same place instead.
  Encoder(Method method, ByteSink& out, std::uint64_t limit, const EncoderOptions& options = {});
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  EncodeStatus Write(const void* data, std::size_t n);
  EncodeStatus Finish();
  std::uint64_t packedSize() const { return written_; }

 private:
  void Process(bool final);
  std::uint32_t Insert(std::uint64_t pos);
  int FindMatch(std::uint32_t candidate, std::uint64_t pos, int prevLength, std::uint32_t& distance);
  void EmitLiteral(std::uint8_t c);
  void EmitMatch(int length, std::uint32_t distance);
  void SendBlock();
  void WriteTemporaryLengths(const std::uint8_t* len, int n, int countBits, int special);
  void WriteCharLengths();
  EncodeStatus Drain(bool all);
  std::uint8_t* At(std::uint64_t pos) { return window_.data() + (pos - base_); }

  ByteSink& out_;
  std::uint64_t limit_;
  EncoderOptions options_;
  int windowBits_;
  std::uint32_t windowSize_;
  int positionCodes_;
  int positionCountBits_;
  EncodeStatus status_ = EncodeStatus::kOk;

  // Input: window_ holds the stream from base_ to end_; pos_ is the next
  // position to code.
  std::vector<std::uint8_t> window_;
  std::uint64_t base_ = 0;
  std::uint64_t end_ = 0;
  std::uint64_t pos_ = 0;
  // Hash chains over absolute positions plus one (0: none).
  std::vector<std::uint32_t> head_;
  std::vector<std::uint32_t> prev_;
  std::uint32_t prevMask_;
  // Lazy evaluation state: the match found at pos_ - 1.
  int prevLength_ = 0;
  std::uint32_t prevDistance_ = 0;
  bool pendingLiteral_ = false;

  // The codes of the block being collected.
  std::vector<std::uint16_t> codes_;
  std::vector<std::uint16_t> positions_;  // distance - 1 of each match
  std::vector<std::uint32_t> charFreq_;
  std::vector<std::uint32_t> posFreq_;

  BitWriter bits_;
  std::uint64_t written_ = 0;
};

}  // namespace quz::lzh

// Canonical Huffman codes of at most 16 bits, as the LZH block tables use
// them: codes are given out in order of length, then of symbol.
#pragma once

#include <cstdint>
#include <vector>

namespace quz::lzh {

constexpr int kMaxCodeLength = 16;

// Code lengths for `freq` limited to maxLength bits; symbols with frequency
// 0 get length 0.  Returns the number of symbols used; with fewer than two
// no code is needed and every length is 0.
int BuildCodeLengths(const std::uint32_t* freq, int n, int maxLength, std::uint8_t* lengths);
// The canonical codes for a complete set of lengths.
void MakeCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes);

class BitReader;

// Decodes one table.  Lengths from the stream are never trusted: an
// over-full set is refused, and a code that no symbol owns is an error
// when it is met.
class HuffmanDecoder {
 public:
  explicit HuffmanDecoder(int fastBits) : fastBits_(fastBits), fast_(std::size_t{1} << fastBits) {}
  // False when the lengths do not form a prefix code (or exceed 16).
  bool Build(const std::uint8_t* lengths, int n);
  // Every code decodes to `symbol` without consuming bits.
  void BuildSingle(int symbol);
  // -1 for a code without a symbol.
  int Decode(BitReader& in) const;

 private:
  int fastBits_;
  int single_ = -1;
  // symbol << 5 | length, 0 where the code is longer than fastBits_ or
  // unassigned.
  std::vector<std::uint32_t> fast_;
  std::uint16_t count_[kMaxCodeLength + 1] = {};
  std::vector<std::uint16_t> sorted_;
};

}  // namespace quz::lzh

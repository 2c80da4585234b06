// Sizes of the block tables shared by the encoder and the decoder.
#pragma once

namespace quz::lzh {

constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
// Characters 0-255, then match lengths 3-256.
constexpr int kCharCodes = 256 + kMaxMatch - kMinMatch + 1;
constexpr int kCharCountBits = 9;
// Codes of the temporary table that codes the character table's lengths:
// 0-2 are runs of zero lengths, 3-18 the lengths 1-16.
constexpr int kTemporaryCodes = 19;
constexpr int kTemporaryCountBits = 5;
constexpr int kPositionCodesMax = 17;

}  // namespace quz::lzh

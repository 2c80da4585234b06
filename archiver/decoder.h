// Decoding of an entry's data: stored (-lh0-) or LZ77 with static Huffman
// blocks (-lh4- to -lh7-).
#pragma once

#include <cstdint>

#include "archiver/lzh.h"
#include "archiver/stream.h"

namespace quz::lzh {

// Reads at most packedSize bytes from `in` and writes exactly originalSize
// bytes to `out`, or fails.  `crc` receives the CRC-16 of what was written.
// Nothing in the data is trusted: table contents, counts and references
// are checked, every loop is bounded by the sizes given, and data that
// would need bytes beyond packedSize is reported as truncated.
Error DecodeData(Method method, ByteSource& in, std::uint64_t packedSize, ByteSink& out, std::uint64_t originalSize,
                 std::uint16_t& crc);

}  // namespace quz::lzh

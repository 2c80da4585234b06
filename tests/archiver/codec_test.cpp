// The Huffman tables and the LZ77 coder, below the archive level.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archiver/bit_io.h"
#include "archiver/decoder.h"
#include "archiver/encoder.h"
#include "archiver/huffman.h"
#include "archiver/lzh.h"
#include "archiver/stream.h"
#include "tests/archiver/lzh_test_data.h"

namespace {

using namespace quz::lzh;
using lzhtest::Pack;
using quztest::Pattern;

const Method kCompressed[] = {Method::kLh4, Method::kLh5, Method::kLh6, Method::kLh7};

TEST(Huffman, LengthsAreLimitedTo16Bits) {
  // Fibonacci frequencies make an unlimited Huffman code 39 bits deep.
  std::vector<std::uint32_t> freq(40);
  freq[0] = freq[1] = 1;
  for (int i = 2; i < 40; ++i) freq[i] = freq[i - 1] + freq[i - 2];
  std::vector<std::uint8_t> len(40);
  EXPECT_EQ(BuildCodeLengths(freq.data(), 40, 16, len.data()), 40);
  // A complete prefix code: the Kraft sum is exactly one.
  std::uint64_t kraft = 0;
  for (std::uint8_t l : len) {
    ASSERT_LE(l, 16);
    if (l) kraft += std::uint64_t{1} << (16 - l);
  }
  EXPECT_EQ(kraft, std::uint64_t{1} << 16);
  // More frequent symbols never get longer codes.
  for (int i = 1; i < 40; ++i) EXPECT_GE(len[i - 1], len[i]);
}

TEST(Huffman, DecoderRefusesOverfullAndUnassignedCodes) {
  HuffmanDecoder d(8);
  const std::uint8_t overfull[3] = {1, 1, 1};
  EXPECT_FALSE(d.Build(overfull, 3));
  const std::uint8_t tooLong[2] = {1, 17};
  EXPECT_FALSE(d.Build(tooLong, 2));
  // One code of one bit: "0" is symbol 1, "1" is nobody's.
  const std::uint8_t incomplete[2] = {0, 1};
  ASSERT_TRUE(d.Build(incomplete, 2));
  const std::uint8_t bits[2] = {0x7F, 0xFF};
  MemorySource src(bits, 2);
  BitReader r(src, 2);
  EXPECT_EQ(d.Decode(r), 1);
  EXPECT_EQ(d.Decode(r), -1);
}

// What decoding ended with, and the data it wrote; `crc` receives the data's CRC.
using Result = std::pair<Error, std::string>;
Result Unpack(Method m, const std::string& packed, std::uint64_t size, std::uint16_t* crc = nullptr) {
  MemorySource src(packed);
  MemorySink sink;
  std::uint16_t ignored = 0;
  Error e = DecodeData(m, src, packed.size(), sink, size, crc ? *crc : ignored);
  return {e, sink.data()};
}

void ExpectRoundTrip(Method m, const std::string& data, const EncoderOptions& options = {}, std::size_t chunk = 0) {
  std::string packed = Pack(m, data, options, chunk);
  std::uint16_t crc = 0;
  const auto [error, out] = Unpack(m, packed, data.size(), &crc);
  ASSERT_EQ(error, Error::kOk) << MethodId(m) << " size " << data.size();
  EXPECT_TRUE(out == data) << MethodId(m) << " size " << data.size();
  EXPECT_EQ(crc, Crc16(data.data(), data.size()));
}

// The archive's CRC-16 (polynomial 0xA001, reflected) at its check value,
// whole or fed in pieces: other archivers check it, so a fault symmetric in
// packing and unpacking would otherwise go unseen here.
TEST(Crc16, CheckValueWholeOrInPieces) {
  EXPECT_EQ(Crc16("", 0), 0);
  EXPECT_EQ(Crc16("123456789", 9), 0xBB3D);
  std::uint16_t crc = 0;
  for (const char* piece : {"1", "2345", "6789"}) crc = Crc16(piece, std::strlen(piece), crc);
  EXPECT_EQ(crc, 0xBB3D);
}

TEST(Codec, RoundTripsOfTypicalDataAtTheLimitsAndInSmallBlocks) {
  std::vector<std::string> samples = {
      "",
      "a",
      "ab",
      "abc",
      std::string(100000, '\0'),
      Pattern(50000, 1),
      lzhtest::Text(300000, 2),
      lzhtest::Repetitive(200000),
      // Every byte value, then the same again as one long match.
      [] {
        std::string s;
        for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
        return s + s + s;
      }(),
  };
  const std::string text = lzhtest::Text(20000, 4);
  for (Method m : kCompressed) {
    for (const std::string& s : samples) ExpectRoundTrip(m, s);
    const std::size_t w = std::size_t{1} << WindowBits(m);
    // A period of exactly the window: every match lies at the largest
    // distance the method can express; one byte more is out of reach.
    for (std::size_t period : {w - 1, w, w + 1}) {
      std::string unit = Pattern(period, static_cast<unsigned>(period));
      ExpectRoundTrip(m, unit + unit + unit.substr(0, 1000));
    }
    for (std::size_t size : {w - 1, w, w + 1, 2 * w + 3, (std::size_t{1} << 17) + 2 * w + 7})
      ExpectRoundTrip(m, lzhtest::Text(size, static_cast<unsigned>(size)));
    // Runs of 255, 256, 257 and 513 equal bytes: the longest match and one
    // past it.
    for (std::size_t run : {255u, 256u, 257u, 258u, 259u, 513u}) {
      std::string s(run + 2, 'y');
      s.front() = 'x';
      s.back() = 'z';
      ExpectRoundTrip(m, s);
    }
    for (int codes : {1, 2, 3, 100, 65535}) {
      EncoderOptions options;
      options.blockCodes = codes;
      ExpectRoundTrip(m, text, options);
    }
  }
  // Blocks of one literal kind only, or one match kind only.
  EncoderOptions one;
  one.blockCodes = 1;
  ExpectRoundTrip(Method::kLh5, std::string(5000, 'q'), one);
}

TEST(Codec, StreamingInPiecesGivesTheSameOutput) {
  std::string data = lzhtest::Text(400000, 9) + Pattern(70000, 9) + lzhtest::Repetitive(100000);
  for (Method m : {Method::kLh5, Method::kLh7}) {
    std::string whole = Pack(m, data);
    for (std::size_t chunk : {1u, 7u, 4096u, 65537u}) {
      if (chunk == 1 && m == Method::kLh7) continue;  // slow with the sanitisers, nothing new
      EXPECT_TRUE(Pack(m, data, {}, chunk) == whole) << MethodId(m) << " chunk " << chunk;
    }
    ExpectRoundTrip(m, data);
  }
}

TEST(Codec, CompressesWhatIsCompressible) {
  std::string zeros(1 << 20, '\0');
  EXPECT_LT(Pack(Method::kLh5, zeros).size(), 2000u);
  std::string text = lzhtest::Text(1 << 20, 5);
  for (Method m : kCompressed) EXPECT_LT(Pack(m, text).size(), text.size() / 2) << MethodId(m);
  // A wider window finds repeats a narrow one cannot.
  std::string unit = Pattern(20000, 5);
  std::string far = unit + unit + unit;
  EXPECT_GT(Pack(Method::kLh5, far).size(), 50000u);
  EXPECT_LT(Pack(Method::kLh6, far).size(), 25000u);
}

TEST(Codec, StopsBeforeWritingPastTheLimit) {
  std::string random = Pattern(300000, 11);
  MemorySink packed;
  Encoder enc(Method::kLh5, packed, random.size() - 1);
  EncodeStatus status = enc.Write(random.data(), random.size());
  if (status == EncodeStatus::kOk) status = enc.Finish();
  EXPECT_EQ(status, EncodeStatus::kNoGain);
  EXPECT_LT(packed.data().size(), random.size());
  // Once refused, it stays refused.
  EXPECT_EQ(enc.Finish(), EncodeStatus::kNoGain);
}

// A stream of fields, each a number of bits and its value.
using Fields = std::vector<std::pair<int, std::uint32_t>>;
std::string Stream(const Fields& fields) {
  BitWriter w;
  for (const auto& [bits, value] : fields) w.Put(bits, value);
  w.PadToByte();
  return std::string(w.bytes().begin(), w.bytes().end());
}

// A hand-made stream: one block, each table given as a single code.
std::string SingleCodeStream(std::uint32_t blockSize, std::uint32_t charCode, std::uint32_t positionCode,
                             int positionBits, int extraBits = 0, std::uint32_t extra = 0) {
  Fields fields{{16, blockSize}, {5, 0}, {5, 0}, {9, 0}, {9, charCode}, {positionBits, 0},
                {positionBits, positionCode}};
  for (std::uint32_t i = 0; i < blockSize && extraBits; ++i) fields.emplace_back(extraBits, extra);
  return Stream(fields);
}

TEST(Decoder, ReadsHandMadeStreams) {
  // 'A' three times, with tables of one code that take no bits at all.
  EXPECT_EQ(Unpack(Method::kLh5, SingleCodeStream(3, 'A', 0, 4), 3), Result(Error::kOk, "AAA"));
  // Matches of 256 bytes at distance 1 from before the data: the window
  // starts out as spaces.
  EXPECT_EQ(Unpack(Method::kLh5, SingleCodeStream(2, 509, 0, 4), 512), Result(Error::kOk, std::string(512, ' ')));
  // The stream may promise more codes than the entry needs.
  EXPECT_EQ(Unpack(Method::kLh7, SingleCodeStream(100, 'B', 0, 5), 4), Result(Error::kOk, "BBBB"));
  // Distance 65536 (position code 16 with 15 extra bits) reaches the
  // whole history of the widest window.
  EXPECT_EQ(Unpack(Method::kLh7, SingleCodeStream(1, 300, 16, 5, 15, 0x7FFF), 47),
            Result(Error::kOk, std::string(47, ' ')));
}

TEST(Decoder, RefusesBadTables) {
  Fields overlong{{16, 1}, {5, 20}};  // more lengths than codes
  for (int i = 0; i < 24; ++i) overlong.emplace_back(3, 1);
  const struct {
    const char* what;
    Method method;
    std::string stream;
  } cases[] = {
      {"a block of zero codes", Method::kLh5, SingleCodeStream(0, 'A', 0, 4)},
      {"a character code outside its table", Method::kLh5, SingleCodeStream(3, 510, 0, 4)},
      {"a position code outside its table", Method::kLh5, SingleCodeStream(3, 300, 14, 4)},
      {"... of -lh6-", Method::kLh6, SingleCodeStream(3, 300, 16, 5)},
      {"a character count larger than the table", Method::kLh5,
       Stream({{16, 1}, {5, 0}, {5, 0}, {9, 511}, {16, 0}, {16, 0}})},
      // The temporary table's one code 2 is a run of 20 + 9 bits of zero
      // lengths, past the character count of 10.
      {"zero lengths beyond the count", Method::kLh5,
       Stream({{16, 1}, {5, 0}, {5, 2}, {9, 10}, {9, 100}, {16, 0}, {16, 0}})},
      {"a temporary table of more lengths than codes", Method::kLh5,
       Stream(overlong)},
      {"a temporary table that over-fills the code space", Method::kLh5,
       Stream({{16, 1}, {5, 4}, {3, 1}, {3, 1}, {3, 1}, {2, 0}, {3, 1}, {16, 0}, {16, 0}})},
      {"a length extended past 16 bits", Method::kLh5, Stream({{16, 1}, {5, 2}, {16, 0xFFFE}, {16, 0}})},
  };
  for (const auto& c : cases) EXPECT_EQ(Unpack(c.method, c.stream, 3).first, Error::kBadData) << c.what;
}

TEST(Decoder, EveryTruncationIsAnError) {
  for (Method m : kCompressed) {
    std::string data = lzhtest::Text(3000, 21) + Pattern(200, 21);
    std::string packed = Pack(m, data);
    for (std::size_t cut = 0; cut < packed.size(); ++cut) {
      const auto [error, out] = Unpack(m, packed.substr(0, cut), data.size());
      ASSERT_NE(error, Error::kOk) << MethodId(m) << " cut at " << cut;
      EXPECT_LE(out.size(), data.size());
    }
  }
}

}  // namespace

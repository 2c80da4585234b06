// Damaged and hostile archives, made by mutating sound ones with a fixed
// seed: reading them must end with an error or with entries whose data
// passed its CRC and has its size, never with a crash, a hang or a read out
// of bounds (the native build runs this under AddressSanitizer).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archiver/archive.h"
#include "archiver/stream.h"
#include "tests/archiver/lzh_test_data.h"

// lzh_fuzzer.cpp
int ReadEveryEntry(const std::uint8_t* data, std::size_t size);

namespace {

using namespace quz::lzh;

// The first entry, -lh4- in blocks of 50 codes, has many block headers to
// damage.
std::string SeedArchive() {
  const std::string blocks = lzhtest::Text(3000, 5) + quztest::Pattern(500, 5);
  EncoderOptions small;
  small.blockCodes = 50;
  MemorySink sink;
  ArchiveWriter w(sink);
  Entry folder = lzhtest::Named("\x83\x5C\\dir");
  folder.hasWindowsTimes = true;
  w.AddFolder(folder);
  lzhtest::AddFile(w, "\x83\x5C\\dir\\file0", lzhtest::Text(3000, 1));
  lzhtest::AddFile(w, "\x83\x5C\\dir\\file1", lzhtest::Repetitive(2000), Method::kLh6);
  lzhtest::AddFile(w, "\x83\x5C\\dir\\file2", quztest::Pattern(300, 3));
  lzhtest::AddFile(w, "\x83\x5C\\dir\\file3", lzhtest::Text(1500, 4), Method::kLh7);
  w.Finish();
  return lzhtest::OldEntry(0, "-lh4-", "blocks", lzhtest::Pack(Method::kLh4, blocks, small), blocks.size(),
                          Crc16(blocks.data(), blocks.size())) +
         sink.data();
}

// Every entry of an archive read as the fuzzer reads it.
int ReadEveryEntry(const std::string& archive) {
  return ::ReadEveryEntry(reinterpret_cast<const std::uint8_t*>(archive.data()), archive.size());
}

TEST(Fuzz, MutatedArchivesNeverCrash) {
  const std::string seed = SeedArchive();
  ASSERT_EQ(ReadEveryEntry(seed), 6);
  std::mt19937 rng(9);
  for (int round = 0; round < 2500; ++round) ReadEveryEntry(lzhtest::Mutate(seed, rng, 4));
}

TEST(Fuzz, RandomBytesAreNoArchive) {
  std::mt19937 rng(10);
  for (int round = 0; round < 500; ++round) {
    std::string s = quztest::Pattern(1 + rng() % 400, static_cast<unsigned>(round));
    // Plausible starts: a level byte and a known method in place.
    if (s.size() > 21 && round % 2) {
      s.replace(2, 5, round % 4 == 1 ? "-lh5-" : "-lh0-");
      s[20] = static_cast<char>(rng() % 3);
    }
    ReadEveryEntry(s);
  }
}

}  // namespace

// Damaged and hostile archives, made by mutating sound ones with a fixed
// seed: reading them must end with an error or with entries whose data
// passed its CRC and has its size, never with a crash, a hang or a read out
// of bounds (the native build runs this under AddressSanitizer).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archiver/archive.h"
#include "archiver/stream.h"
#include "tests/archiver/lzh_test_data.h"

// lzh_fuzzer.cpp
int ReadEveryEntry(const std::uint8_t* data, std::size_t size);

namespace {

using namespace quz::lzh;

std::string SeedArchive() {
  MemorySink sink;
  ArchiveWriter w(sink);
  Entry e;
  e.unixTime = 1700000000;
  e.hasWindowsTimes = true;
  e.path = "\x83\x5C\\dir";
  w.AddFolder(e);
  const std::string a = lzhtest::Text(3000, 1), b = lzhtest::Repetitive(2000), c = lzhtest::RandomBytes(300, 3),
                    d = lzhtest::Text(1500, 4);
  const std::pair<const std::string*, Method> files[] = {{&a, Method::kLh5}, {&b, Method::kLh6}, {&c, Method::kLh5},
                                                         {&d, Method::kLh7}};
  int i = 0;
  for (const auto& [data, method] : files) {
    MemorySource src(*data);
    e.path = "\x83\x5C\\dir\\file" + std::to_string(i++);
    w.AddFile(e, src, data->size(), method);
  }
  w.Finish();
  return sink.data();
}

// Every entry of an archive read as the fuzzer reads it.
int ReadEveryEntry(const std::string& archive) {
  return ::ReadEveryEntry(reinterpret_cast<const std::uint8_t*>(archive.data()), archive.size());
}

TEST(Fuzz, MutatedArchivesNeverCrash) {
  const std::string seed = SeedArchive();
  ASSERT_EQ(ReadEveryEntry(seed), 5);
  std::mt19937 rng(9);
  for (int round = 0; round < 2500; ++round) {
    std::string s = seed;
    int edits = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < edits; ++k) {
      // Headers are where the sizes are: aim there half the time.
      std::size_t at = rng() % 2 ? rng() % s.size() : rng() % std::min<std::size_t>(s.size(), 120);
      switch (rng() % 5) {
        case 0: s[at] = static_cast<char>(s[at] ^ (1 << (rng() % 8))); break;
        case 1: s[at] = static_cast<char>(rng()); break;
        case 2: s[at] = static_cast<char>(rng() % 2 ? 0xFF : 0x00); break;
        case 3: s.resize(at); break;
        case 4: s.erase(at, 1 + rng() % 16); break;
      }
      if (s.empty()) s.assign(1, '\x01');
    }
    ReadEveryEntry(s);
  }
}

TEST(Fuzz, RandomBytesAreNoArchive) {
  std::mt19937 rng(10);
  for (int round = 0; round < 500; ++round) {
    std::string s = lzhtest::RandomBytes(1 + rng() % 400, static_cast<unsigned>(round));
    // Plausible starts: a level byte and a known method in place.
    if (s.size() > 21 && round % 2) {
      s.replace(2, 5, round % 4 == 1 ? "-lh5-" : "-lh0-");
      s[20] = static_cast<char>(rng() % 3);
    }
    ReadEveryEntry(s);
  }
}

}  // namespace

// Headers and whole archives: what the writer stores, what the reader
// accepts and refuses.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "archiver/archive.h"
#include "archiver/header.h"
#include "archiver/names.h"
#include "archiver/stream.h"
#include "tests/archiver/lzh_test_data.h"
#include "tests/support/test_data.h"

namespace {

using namespace quz::lzh;
using lzhtest::AddFile;
using lzhtest::FixChecksum;
using lzhtest::kHyo;
using lzhtest::kNou;
using lzhtest::kSo;
using lzhtest::Named;
using lzhtest::OldEntry;
using lzhtest::ReadAll;
using lzhtest::ReadEntry;
using quztest::Le32;
using quztest::Pattern;

std::uint16_t CrcOf(const std::string& s) { return Crc16(s.data(), s.size()); }

TEST(Names, SeparatorsAndDoubleByteCharacters) {
  EXPECT_EQ(NormaliseSeparators("a/b\xFF" "c\\d"), "a\\b\\c\\d");
  // The 0x5C of ソ stays; the one after it separates.
  EXPECT_EQ(NormaliseSeparators(kSo + "\\" + kHyo + "\xFF" + kNou), kSo + "\\" + kHyo + "\\" + kNou);
  EXPECT_EQ(SplitPath(kSo + kHyo + "\\x\\" + kNou), (std::vector<std::string>{kSo + kHyo, "x", kNou}));
}

TEST(Header, Level2LayoutFieldByField) {
  Entry e = Named("dir\\" + kSo + "\\name.txt");
  e.method = Method::kLh5;
  e.packedSize = 0x01020304;
  e.originalSize = 0x05060708;
  e.crc = 0xBEEF;
  e.attributes = 0x21;
  e.hasWindowsTimes = true;
  e.created = 1;
  e.modified = 2;
  e.accessed = 3;
  std::vector<std::uint8_t> h;
  ASSERT_EQ(BuildLevel2Header(e, h), Error::kOk);
  ASSERT_GE(h.size(), 26u);
  EXPECT_EQ(h[0] | h[1] << 8, static_cast<int>(h.size()));
  // Method, packed and original size, time, 0x20, level, data CRC, OS.
  EXPECT_EQ(std::string(h.begin() + 2, h.begin() + 24),
            "-lh5-" + Le32(0x01020304) + Le32(0x05060708) + Le32(1700000000) + "\x20\x02\xEF\xBE" + "M");
  // Walk the extended headers.
  std::map<int, std::string> ext;
  std::size_t pos = 24;
  std::size_t next = h[pos] | h[pos + 1] << 8;
  pos += 2;
  while (next) {
    ASSERT_LE(pos + next, h.size());
    ext[h[pos]] = std::string(h.begin() + static_cast<long>(pos) + 1, h.begin() + static_cast<long>(pos + next) - 2);
    pos += next;
    next = h[pos - 2] | h[pos - 1] << 8;
  }
  EXPECT_EQ(ext[0x01], "name.txt");
  EXPECT_EQ(ext[0x02], "dir\xFF" + kSo + "\xFF");
  EXPECT_EQ(ext[0x40], std::string("\x21\x00", 2));
  EXPECT_EQ(ext[0x41], Le32(1) + Le32(0) + Le32(2) + Le32(0) + Le32(3) + Le32(0));
  // The header CRC covers the header with the CRC itself as zero.
  ASSERT_EQ(ext[0x00].size(), 2u);
  std::string bytes(h.begin(), h.end());
  const std::size_t at = bytes.find(ext[0x00]);
  ASSERT_NE(at, std::string::npos);
  bytes[at] = bytes[at + 1] = 0;
  EXPECT_EQ(ext[0x00], Le32(CrcOf(bytes)).substr(0, 2));
}

TEST(Header, SizesWithALowByteOfZeroArePadded) {
  int padded = 0;
  for (std::size_t n = 1; n < 600; ++n) {
    Entry e = Named(std::string(n, 'n'));
    std::vector<std::uint8_t> h;
    ASSERT_EQ(BuildLevel2Header(e, h), Error::kOk);
    ASSERT_NE(h[0], 0) << n;
    ASSERT_NE(h.size() % 256, 0u) << n;
    if (h.size() % 256 == 1) {
      ++padded;
      // It still reads back, followed by the next entry.
      std::string archive(h.begin(), h.end());
      std::vector<std::uint8_t> h2;
      ASSERT_EQ(BuildLevel2Header(Named("after"), h2), Error::kOk);
      archive += std::string(h2.begin(), h2.end()) + '\0';
      Error error;
      std::vector<ReadEntry> all = ReadAll(archive, &error);
      EXPECT_EQ(error, Error::kOk);
      ASSERT_EQ(all.size(), 2u);
      EXPECT_EQ(all[0].entry.path, std::string(n, 'n'));
      EXPECT_EQ(all[1].entry.path, "after");
    }
  }
  // Each of 257 and 513: once padded, once not.
  EXPECT_EQ(padded, 4);
}

TEST(Header, RefusesWhatCannotBeStored) {
  std::vector<std::uint8_t> h;
  for (const std::string& bad : {std::string(""), std::string("a\\\\b"), std::string("a\\"), std::string("..\\x"),
                                 std::string(70000, 'x')})
    EXPECT_EQ(BuildLevel2Header(Named(bad), h), Error::kBadName) << bad.substr(0, 20);
  // Sizes are stored in 32 bits.
  Entry big = Named("big");
  big.originalSize = 0x100000000ull;
  EXPECT_EQ(BuildLevel2Header(big, h), Error::kTooLarge);
}

TEST(Archive, RoundTripOfFilesAndFolders) {
  MemorySink sink;
  ArchiveWriter w(sink);
  Entry folder = Named(kSo + "\\" + kHyo);
  folder.hasWindowsTimes = true;
  folder.modified = 133000000000000000ull;
  ASSERT_EQ(w.AddFolder(Named(kSo)), Error::kOk);
  ASSERT_EQ(w.AddFolder(folder), Error::kOk);
  ASSERT_EQ(w.AddFolder(Named("empty")), Error::kOk);
  // Each file with the method asked for and the one written: where packing
  // would not pay, the data is stored.
  const struct {
    std::string path, data;
    Method asked, used;
  } files[] = {{kSo + "\\" + kHyo + "\\" + kNou + ".txt", lzhtest::Text(100000, 1), Method::kLh5, Method::kLh5},
               {"empty.txt", "", Method::kLh5, Method::kStored},
               {"zeros.bin", std::string(70000, '\0'), Method::kLh6, Method::kLh6},
               {"random.bin", Pattern(40000, 2), Method::kLh7, Method::kStored},
               {"text7.txt", lzhtest::Text(50000, 3), Method::kLh7, Method::kLh7},
               {"stored.txt", lzhtest::Text(5000, 4), Method::kStored, Method::kStored},
               {"one", "1", Method::kLh5, Method::kStored}};
  for (const auto& f : files) {
    Method used;
    AddFile(w, f.path, f.data, f.asked, &used);
    EXPECT_EQ(used, f.used) << f.path;
  }
  ASSERT_EQ(w.Finish(), Error::kOk);

  Error error;
  std::vector<ReadEntry> all = ReadAll(sink.data(), &error);
  EXPECT_EQ(error, Error::kOk);
  ASSERT_EQ(all.size(), 3 + std::size(files));
  EXPECT_TRUE(all[0].entry.isFolder());
  EXPECT_EQ(all[0].entry.path, kSo);
  EXPECT_EQ(all[1].entry.path, kSo + "\\" + kHyo);
  EXPECT_EQ(all[1].entry.attributes & 0x10, 0x10);
  EXPECT_TRUE(all[1].entry.hasWindowsTimes);
  EXPECT_EQ(all[1].entry.modified, 133000000000000000ull);
  for (std::size_t i = 0; i < std::size(files); ++i) {
    const Entry& e = all[3 + i].entry;
    EXPECT_EQ(e.path, files[i].path);
    EXPECT_EQ(all[3 + i].extract, Error::kOk) << e.path;
    EXPECT_TRUE(all[3 + i].data == files[i].data) << e.path;
    EXPECT_EQ(e.method, files[i].used) << e.path;
    EXPECT_EQ(std::make_tuple(e.level, e.osId, e.unixTime, e.originalSize, e.isFolder()),
              std::make_tuple(2, 'M', 1700000000, files[i].data.size(), false))
        << e.path;
  }
}

TEST(Archive, ReadsLevel0AndLevel1Entries) {
  std::string data = "level zero data";
  // "\" after a double-byte character ending in 0x5C separates; the 0x5C
  // inside the character does not.
  std::string archive = OldEntry(0, "-lh0-", kSo + "\\" + kHyo + ".txt", data, data.size(), CrcOf(data));
  const std::string unixTime = "\x54" + Le32(1234567890);
  std::string folderExt = "\x02" + kNou + "\xFF" "sub\xFF";
  archive += OldEntry(1, "-lh0-", "one.txt", "1", 1, CrcOf("1"), {folderExt, unixTime});
  archive += OldEntry(1, "-lhd-", "", "", 0, 0, {"\x02" "plain\\folder\\"});
  archive += '\0';
  Error error;
  std::vector<ReadEntry> all = ReadAll(archive, &error);
  EXPECT_EQ(error, Error::kOk);
  ASSERT_EQ(all.size(), 3u);
  const Entry& zero = all[0].entry;
  EXPECT_EQ(std::make_tuple(zero.level, zero.path, zero.attributes, zero.hasDosTime, zero.dosTime, all[0].extract),
            std::make_tuple(0, kSo + "\\" + kHyo + ".txt", 0x20, true, 0x5A2B6C3Du, Error::kOk));
  EXPECT_EQ(all[0].data, data);
  // The extended headers are not data: one byte is packed.
  const Entry& one = all[1].entry;
  EXPECT_EQ(std::make_tuple(one.level, one.path, one.packedSize, one.hasUnixTime, one.unixTime, all[1].data),
            std::make_tuple(1, kNou + "\\sub\\one.txt", 1u, true, 1234567890, std::string("1")));
  EXPECT_TRUE(all[2].entry.isFolder());
  EXPECT_EQ(all[2].entry.path, "plain\\folder");
  // An archive without an end mark ends with the source.
  archive.pop_back();
  EXPECT_EQ(ReadAll(archive, &error).size(), 3u);
  EXPECT_EQ(error, Error::kOk);
}

TEST(Archive, DamagedArchivesAreReported) {
  MemorySink sink;
  ArchiveWriter w(sink);
  AddFile(w, "a.txt", lzhtest::Text(20000, 5));
  AddFile(w, "b.txt", "stored", Method::kStored);
  ASSERT_EQ(w.Finish(), Error::kOk);
  const std::string good = sink.data();
  Error error;
  // Truncated anywhere: never a clean, complete read.
  // (Only the end mark may go: an archive may end with its source.)
  for (std::size_t cut = 1; cut + 1 < good.size(); cut += (cut < 64 || cut > good.size() - 64) ? 1 : 97) {
    std::vector<ReadEntry> all = ReadAll(good.substr(0, cut), &error);
    bool whole = error == Error::kOk && all.size() == 2 && all[0].extract == Error::kOk && all[1].extract == Error::kOk;
    EXPECT_FALSE(whole) << "cut at " << cut;
  }
  // A data byte changed: the CRC tells.
  {
    std::string bad = good;
    std::size_t at = bad.rfind("stored");
    bad[at] = 'S';
    std::vector<ReadEntry> all = ReadAll(bad, &error);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].extract, Error::kOk);
    EXPECT_EQ(all[1].extract, Error::kCrcMismatch);
  }
  // Headers that lie, each with the error that ends the reading.
  auto changed = [](std::string entry, std::size_t at, char byte) {
    entry[at] = byte;
    FixChecksum(entry);
    return entry;
  };
  std::string badCrc = good;
  badCrc[30] ^= 0x01;  // in the first entry's header
  std::string badSum = OldEntry(0, "-lh0-", "x", "abc", 3, CrcOf("abc"));
  badSum[1] ^= 0x55;
  std::vector<std::uint8_t> level2;
  ASSERT_EQ(BuildLevel2Header(Named("x"), level2), Error::kOk);
  std::string longExtension(level2.begin(), level2.end());
  longExtension[24] = '\x7F';
  const std::pair<std::string, Error> headers[] = {
      {badCrc, Error::kBadHeader},  // the level-2 header's CRC tells
      {changed(OldEntry(0, "-lh5-", "x", "abc", 3, 0), 7, '\x70'), Error::kTruncated},  // packed past the end
      {badSum, Error::kBadHeader},
      {OldEntry(0, "-lh0-", "x", "abc", 4, 0), Error::kBadHeader},  // stored sizes disagree
      // A level-1 extended header longer than the packed size.
      {changed(OldEntry(1, "-lh0-", "x", "", 0, 0, {"\x01" "long name"}), 7, 2), Error::kBadHeader},
      {changed(OldEntry(0, "-lh0-", "x", "", 0, 0), 20, 3), Error::kUnsupportedLevel},
      {changed(OldEntry(0, "-lh0-", "x", "", 0, 0), 20, 7), Error::kBadHeader},
      {longExtension + '\0', Error::kBadHeader},  // a level-2 extended header past the header
  };
  for (std::size_t i = 0; i < std::size(headers); ++i) {
    ReadAll(headers[i].first, &error);
    EXPECT_EQ(error, headers[i].second) << i;
  }
}

// A sink that refuses everything after a given number of bytes, as a full
// disk does.
class FullDisk : public ByteSink {
 public:
  explicit FullDisk(std::size_t room) : room_(room) {}
  bool Write(const void* data, std::size_t n) override {
    if (pos_ + n > room_) return false;
    pos_ += n;
    return true;
  }
  bool Seek(std::uint64_t position) override {
    pos_ = position;
    return true;
  }
  std::uint64_t Tell() const override { return pos_; }

 private:
  std::size_t room_;
  std::uint64_t pos_ = 0;
};

TEST(Archive, FilesOfFourGibibytesShortSourcesAndFullDisksAreRefused) {
  MemorySink sink;
  ArchiveWriter w(sink);
  const std::string none, abc = "abc";
  MemorySource empty(none);
  EXPECT_EQ(w.AddFile(Named("huge"), empty, 0x100000000ull, Method::kLh5), Error::kTooLarge);
  EXPECT_EQ(sink.data().size(), 0u);
  // A source shorter than announced is an error, for either method.
  MemorySource shortSource(abc), shortStored(abc);
  EXPECT_EQ(w.AddFile(Named("short"), shortSource, 10, Method::kLh5), Error::kSizeChanged);
  EXPECT_EQ(w.AddFile(Named("short"), shortStored, 10, Method::kStored), Error::kSizeChanged);
  // A disk that fills up, wherever it does.
  const std::string text = lzhtest::Text(200000, 6), random = Pattern(200000, 6);
  for (std::size_t room : {0u, 10u, 100u, 5000u, 150000u}) {
    FullDisk disk(room);
    ArchiveWriter full(disk);
    MemorySource a(text), b(random);
    Error ea = full.AddFile(Named("a"), a, text.size(), Method::kLh5);
    Error eb = full.AddFile(Named("b"), b, random.size(), Method::kLh5);
    EXPECT_TRUE(ea == Error::kWriteFailed || eb == Error::kWriteFailed) << room;
  }
}

}  // namespace

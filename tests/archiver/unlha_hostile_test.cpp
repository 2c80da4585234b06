// Broken and malicious archives given to the unpack command: nothing is
// ever written outside the destination, and a damaged entry leaves no file
// that looks whole.
#include <gtest/gtest.h>

#include <random>

#include "archiver/archive.h"
#include "tests/archiver/lzh_test_data.h"
#include "tests/archiver/unlha_test_support.h"

namespace {

using namespace lzhtest;

// Unpacks `archive` below sandbox\dest\ and returns the result; the
// sandbox then holds the archive and what is below dest\, nothing else.
struct Sandbox {
  quztest::TempDir dir;
  Outcome Unpack(const std::string& archive) {
    quztest::WriteFile(dir / "a.lzh", archive);
    return Unlha("e -x -a1 -r2 -m1 " + Q(dir / "a.lzh") + " " + Q(dir / "dest\\"));
  }
  Tree Dest() { return ReadTree(dir / "dest\\"); }
  void ExpectNothingOutside() {
    for (const auto& [name, data] : ReadTree(dir.path()))
      EXPECT_TRUE(name == "a.lzh" || name.compare(0, 5, "dest\\") == 0) << "written outside: " << name;
    for (const auto& [name, data] : Dest()) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
  }
};

TEST(Hostile, NamesThatWouldLeaveTheFolderAreRefused) {
  const char* const names[] = {
      "../evil.txt", "..\\evil.txt", "a\\..\\..\\evil.txt", "a/../../evil.txt", "\xFF..\xFF" "evil.txt", "a\xFF..\xFFx",
      "/tmp/evil.txt", "\\evil.txt", "\xFF" "evil.txt", "\\", "C:evil.txt", "C:\\evil.txt", "evil.txt:stream", "...",
      "a\\ . \\evil.txt", "a\\.. \\b", "CON", "nul.txt", "sub\\COM1.log", "a\x01" "b", "", ".", "..", "a\\..",
      "a\\.\\b", "x\\\x83\x5C\\..", "ab\\ \\x"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    Sandbox box;
    // Dots that make no ".." are sound.
    std::string archive =
        StoredLevel0("..ok1", "first") + StoredLevel0(name, "evil") + StoredLevel0("ok..2", "second") + '\0';
    Outcome o = box.Unpack(archive);
    EXPECT_EQ(o.result, quz::lzh::kResultUnsafePath) << o.message;
    // The sound entries around it are still written.
    EXPECT_EQ(box.Dest(), (Tree{{"..ok1", "first"}, {"ok..2", "second"}}));
    box.ExpectNothingOutside();
  }
  EXPECT_FALSE(quztest::Exists(quztest::TempRoot() + "evil.txt"));
}

#ifndef _WIN32
// A link already inside the destination could lead anywhere: names through
// it are refused.
TEST(Hostile, NamesThroughALinkInTheDestinationAreRefused) {
  Sandbox box;
  plat::CreateFolder(box.dir / "dest");
  plat::CreateFolder(box.dir / "elsewhere");
  ASSERT_EQ(quztest::RunCommand("ln -s " + quztest::Quote(quztest::HostPath(box.dir / "elsewhere")) + " " +
                                quztest::Quote(quztest::HostPath(box.dir / "dest\\out"))),
            0);
  Outcome o = box.Unpack(StoredLevel0("out\\x.txt", "evil") + StoredLevel0("out\\deeper\\y.txt", "evil") +
                         StoredLevel0("ok.txt", "ok") + '\0');
  EXPECT_EQ(o.result, quz::lzh::kResultUnsafePath) << o.message;
  EXPECT_TRUE(ReadTree(box.dir / "elsewhere\\").empty());
  EXPECT_EQ(quztest::ReadFile(box.dir / "dest\\ok.txt"), "ok");
}
#endif

TEST(Hostile, DamagedEntriesLeaveNoFileBehind) {
  const std::string text = Text(60000, 5);
  const std::string lh5 = Pack(quz::lzh::Method::kLh5, text);
  const std::uint16_t crc = quz::lzh::Crc16(text.data(), text.size());
  const std::string after = StoredLevel0("after.txt", "after") + '\0';
  const std::uint32_t size = static_cast<std::uint32_t>(text.size());
  std::string badTable = lh5;
  for (int i = 2; i < 8; ++i) badTable[i] = '\xFF';
  std::string flipped = lh5;
  flipped[lh5.size() / 2] ^= 0x10;
  std::string lying = OldEntry(0, "-lh5-", "good.txt", lh5, size, crc);
  lying[7] = '\x7F';  // packed size far beyond the archive
  FixChecksum(lying);
  const std::pair<const char*, std::string> cases[] = {
      {"CRC mismatch", OldEntry(0, "-lh5-", "good.txt", lh5, size, static_cast<std::uint16_t>(crc ^ 1)) + after},
      {"original size too large", OldEntry(0, "-lh5-", "good.txt", lh5, size + 100, crc) + after},
      {"original size too small", OldEntry(0, "-lh5-", "good.txt", lh5, size - 100, crc) + after},
      {"packed size too small", OldEntry(0, "-lh5-", "good.txt", lh5.substr(0, lh5.size() / 2), size, crc) + after},
      {"packed size beyond the archive", lying},
      {"truncated stream", OldEntry(0, "-lh5-", "good.txt", lh5, size, crc).substr(0, 40 + lh5.size() / 3)},
      {"bad tables", OldEntry(0, "-lh5-", "good.txt", badTable, size, crc) + after},
      {"flipped bit", OldEntry(0, "-lh5-", "good.txt", flipped, size, crc) + after},
      {"stored data cut short", StoredLevel0("good.txt", text).substr(0, 5000)},
      {"header cut short", StoredLevel0("good.txt", text).substr(0, 12)},
      {"garbage", quztest::Pattern(3000, 4)},
  };
  for (const auto& [what, archive] : cases) {
    SCOPED_TRACE(what);
    Sandbox box;
    Outcome o = box.Unpack(archive);
    EXPECT_EQ(o.result, quz::lzh::kResultDamagedArchive) << o.message;
    EXPECT_FALSE(o.message.empty());
    EXPECT_EQ(box.Dest().count("good.txt"), 0u);
    box.ExpectNothingOutside();
    // The test command agrees.
    EXPECT_NE(Unlha("t " + Q(box.dir / "a.lzh")).result, 0);
  }
  // A good copy of the same entry unpacks, and replaces nothing on failure.
  Sandbox box;
  ASSERT_EQ(box.Unpack(OldEntry(0, "-lh5-", "good.txt", lh5, size, crc) + after).result, 0);
  EXPECT_EQ(box.Dest()["good.txt"], text);
  EXPECT_NE(box.Unpack(OldEntry(0, "-lh5-", "good.txt", flipped, size, crc) + after).result, 0);
  EXPECT_EQ(box.Dest()["good.txt"], text);  // the earlier file is untouched
}

TEST(Hostile, UnknownMethodsAreRefusedPerEntry) {
  Sandbox box;
  std::string archive = StoredLevel0("a.txt", "a") + OldEntry(0, "-lh9-", "odd.bin", "xxxxxx", 6, 0) +
                        OldEntry(0, "-lzs-", "old.bin", "yyyy", 8, 0) + StoredLevel0("b.txt", "b") + '\0';
  Outcome o = box.Unpack(archive);
  EXPECT_EQ(o.result, quz::lzh::kResultUnknownMethod);
  EXPECT_NE(o.message.find("-lh9-"), std::string::npos) << o.message;
  EXPECT_EQ(box.Dest(), (Tree{{"a.txt", "a"}, {"b.txt", "b"}}));
  EXPECT_EQ(Unlha("t " + Q(box.dir / "a.lzh")).result, quz::lzh::kResultUnknownMethod);
}

// Mutations of a sound archive, with a fixed seed: every run is the same.
TEST(Hostile, MutatedArchivesNeverEscapeOrCrash) {
  quztest::TempDir src;
  WriteTree(src / "in\\", {{"a.txt", Text(3000, 1)},
                           {"sub\\b.bin", quztest::Pattern(500, 2)},
                           {"sub\\c.txt", Repetitive(4000)},
                           {"empty\\", ""}});
  ASSERT_EQ(Unlha("a -d1 " + Q(src / "x.lzh") + " " + Q(src / "in\\")).result, 0);
  const std::string seed = quztest::ReadFile(src / "x.lzh");
  std::mt19937 rng(20261207);
  Sandbox box;
  int failures = 0;
  for (int round = 0; round < 400; ++round) {
    Outcome o = box.Unpack(Mutate(seed, rng, 3));
    EXPECT_TRUE(o.result >= 0 && o.result <= quz::lzh::kResultUnknownMethod) << o.result;
    if (o.result != 0) {
      ++failures;
      EXPECT_FALSE(o.message.empty());
    }
    box.ExpectNothingOutside();
    quztest::RemoveTree(box.dir / "dest");
  }
  EXPECT_GT(failures, 200);
}

}  // namespace

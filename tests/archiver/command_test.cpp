// The archiver's command line on real folders: what quz sends, round trips
// of every kind of file and name, results and messages.
#include <gtest/gtest.h>

#include <cstring>

#include "archiver/archive.h"
#include "archiver/command.h"
#include "tests/archiver/lzh_test_data.h"
#include "tests/archiver/unlha_test_support.h"

namespace {

using namespace lzhtest;

std::string PackLine(const std::string& archive, const std::string& folder, const std::string& extra = "") {
  return "a -d1 " + extra + Q(archive) + " " + Q(folder);
}
std::string UnpackLine(const std::string& archive, const std::string& folder) {
  return "e -x -a1 -r2 -m1 " + Q(archive) + " " + Q(folder);
}

// The methods the archive holds, by entry path.
std::map<std::string, std::string> Methods(const std::string& archive) {
  std::map<std::string, std::string> methods;
  for (const ReadEntry& r : ReadAll(quztest::ReadFile(archive))) methods[r.entry.path] = r.entry.methodId;
  return methods;
}


TEST(CommandLine, RefusesWhatItDoesNotKnow) {
  quztest::TempDir dir;
  const std::string archive = Q(dir / "a.lzh"), folder = Q(dir.path());
  std::vector<std::string> lines = {"", "   ", "add " + archive, "a " + archive, "l " + archive + " " + folder,
                                    "e " + archive + " " + folder + " extra", "t \"\"", "x " + archive + " " + folder};
  // Switches quz never sends.
  for (const char* sw : {"-d2", "-a0", "-o", "-o8", "-lh5", "-r", "-x2", "--"})
    lines.push_back(std::string("a ") + sw + " " + archive + " " + folder);
  for (const std::string& line : lines) EXPECT_EQ(Unlha(line).result, quz::lzh::kResultBadCommandLine) << line;
  Outcome o = Unlha("e -x -a1 -r2 -m1 -q " + archive + " " + folder);
  EXPECT_EQ(o.result, quz::lzh::kResultBadCommandLine);
  EXPECT_NE(o.message.find("-q"), std::string::npos) << o.message;
  // Nothing was created by any of them.
  EXPECT_TRUE(ReadTree(dir.path()).empty());
}

TEST(CommandLine, QuotedAndUnquotedPathsAndTheSwitchesQuzSends) {
  quztest::TempDir dir;
  WriteTree(dir / "in folder\\", {{"a.txt", "alpha"}, {"b\\c.txt", "gamma"}});
  WriteTree(dir / "plain\\", {{"x.txt", "ex"}});
  // Pack as the export does: quoted, the folder ending in "\" just before
  // the closing quote.
  Outcome o = Unlha("a -d1 \"" + dir / "my archive.lzh" + "\" \"" + dir / "in folder\\" + "\"");
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(o.message, "2 個のファイルを格納しました");
  // Unpack as the import's line reads, unquoted, where no path has a space.
  o = Unlha("a -d1 " + dir / "plain.lzh" + " " + dir / "plain\\");
  ASSERT_EQ(o.result, 0) << o.message;
  o = Unlha("e -x -a1 -r2 -m1 " + dir / "plain.lzh" + " " + dir / "out1\\");
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(ReadTree(dir / "out1\\"), (Tree{{"x.txt", "ex"}}));
  // Unquoted paths with spaces are words too many: refused, not guessed.
  o = Unlha("e -x " + dir / "my archive.lzh" + " " + dir / "third one\\");
  EXPECT_EQ(o.result, quz::lzh::kResultBadCommandLine);
  EXPECT_FALSE(quztest::Exists(dir / "third one"));
  // And quoted, with spaces, as quz sends it.
  o = Unlha(UnpackLine(dir / "my archive.lzh", dir / "save folder\\"));
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(ReadTree(dir / "save folder\\"), (Tree{{"a.txt", "alpha"}, {"b\\", ""}, {"b\\c.txt", "gamma"}}));
  EXPECT_EQ(o.message, "2 個のファイルを展開しました");
  // Tabs, upper-case commands and a folder without the final "\" do too.
  o = Unlha("E\t-x\t\"" + dir / "my archive.lzh" + "\"\t\"" + dir / "second" + "\"");
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(ReadTree(dir / "second\\").size(), 3u);
}

TEST(RoundTrip, EveryKindOfFileAndNameWithEveryMethod) {
  quztest::TempDir dir;
  Tree sample{{"empty.txt", ""},
              {"zeros.bin", std::string(100000, '\0')},
              {"random.bin", quztest::Pattern(70000, 7)},
              {"text.txt", Text(200000, 3)},
              {"sub\\empty folder\\", ""},
              {"sub\\inner\\deeper\\file.c", Text(5000, 9)},
              {kSo + "\\" + kHyo + ".txt", "so/hyo"},
              {kNou + kSo + "\\" + kNou, Repetitive(30000)}};
  std::string deep;
  for (int i = 0; i < 30; ++i) deep += "d" + std::to_string(i % 10) + "\\";
  sample[deep + "leaf.txt"] = "deep";
  WriteTree(dir / "src\\", sample);
  // Reading the tree back also gives the folders on the way of every entry.
  Tree expected = sample;
  for (const auto& [name, data] : sample)
    for (const std::string& folder : FoldersOf(name)) expected[folder + "\\"] = "";
  ASSERT_EQ(ReadTree(dir / "src\\"), expected);
  const std::pair<const char*, const char*> cases[] = {
      {"", "-lh5-"}, {"-o5 ", "-lh5-"}, {"-o6 ", "-lh6-"}, {"-o7 ", "-lh7-"}};
  for (const auto& [sw, method] : cases) {
    SCOPED_TRACE(sw);
    std::string archive = dir / (std::string("m") + method + ".lzh");
    Outcome o = Unlha(PackLine(archive, dir / "src\\", sw));
    ASSERT_EQ(o.result, 0) << o.message;
    auto methods = Methods(archive);
    EXPECT_EQ(methods["text.txt"], method);
    EXPECT_EQ(methods["random.bin"], "-lh0-");  // packing does not pay
    EXPECT_EQ(methods["empty.txt"], "-lh0-");
    EXPECT_EQ(methods["sub\\empty folder"], "-lhd-");
    EXPECT_EQ(methods[kNou + kSo], "-lhd-");
    std::string out = dir / (std::string("out") + method + "\\");
    o = Unlha(UnpackLine(archive, out));
    ASSERT_EQ(o.result, 0) << o.message;
    EXPECT_EQ(ReadTree(out), expected);
    o = Unlha("t " + Q(archive));
    EXPECT_EQ(o.result, 0) << o.message;
  }
}

TEST(RoundTrip, AFileOfManyBuffersAndWindows) {
  quztest::TempDir dir;
  // Text with a run of random bytes now and then, so both coding paths run.
  std::string big = Text(24 << 20, 11);
  for (std::size_t at = 0; at + 4096 < big.size(); at += 5 << 20) {
    std::string noise = quztest::Pattern(4096, static_cast<unsigned>(at));
    big.replace(at, noise.size(), noise);
  }
  WriteTree(dir / "src\\", {{"big.txt", big}});
  Outcome o = Unlha(PackLine(dir / "big.lzh", dir / "src\\"));
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_LT(quztest::SizeOf(dir / "big.lzh"), static_cast<std::int64_t>(big.size() / 2));
  o = Unlha(UnpackLine(dir / "big.lzh", dir / "out\\"));
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_TRUE(quztest::ReadFile(dir / "out\\big.txt") == big);
}

// Nothing to pack writes no archive; an archive replaces what was there
// and, written into the folder it packs, does not hold itself; a pack that
// fails leaves no archive.
TEST(Pack, NothingToPackAReplacedArchiveAndFailures) {
  quztest::TempDir dir;
  WriteTree(dir / "empty\\", {{"a\\", ""}, {"a\\b\\", ""}});
  Outcome o = Unlha(PackLine(dir / "x.lzh", dir / "empty\\"));
  EXPECT_EQ(o.result, 0) << o.message;
  EXPECT_NE(o.message.find("格納するファイルがありません"), std::string::npos);
  EXPECT_EQ(ReadTree(dir.path()).size(), 3u);  // empty, a, b: nothing else

  WriteTree(dir / "src\\", {{"one.txt", "1"}});
  quztest::WriteFile(dir / "x.lzh", "old contents");
  ASSERT_EQ(Unlha(PackLine(dir / "x.lzh", dir / "src\\")).result, 0);
  EXPECT_EQ(Methods(dir / "x.lzh").size(), 1u);
  ASSERT_EQ(Unlha(PackLine(dir / "src\\self.lzh", dir / "src\\")).result, 0);
  EXPECT_EQ(Methods(dir / "src\\self.lzh"), (std::map<std::string, std::string>{{"one.txt", "-lh0-"}}));

  o = Unlha(PackLine(dir / "x.lzh", dir / "missing\\"));
  EXPECT_EQ(o.result, quz::lzh::kResultInputFailed);
  EXPECT_NE(o.message.find("missing"), std::string::npos) << o.message;
  o = Unlha(PackLine(dir / "no such folder\\x.lzh", dir / "src\\"));
  EXPECT_EQ(o.result, quz::lzh::kResultWriteFailed);
  plat::CreateFolder(dir / "taken.lzh");
  EXPECT_EQ(Unlha(PackLine(dir / "taken.lzh", dir / "src\\")).result, quz::lzh::kResultWriteFailed);
  // A file of 4 GiB cannot be stored: nothing is written at all.
  {
    plat::File f;
    ASSERT_TRUE(f.Open(dir / "src\\huge.bin", plat::Access::Write, plat::Disposition::CreateNew));
    ASSERT_TRUE(f.SetLength(int64_t{1} << 32));
  }
  o = Unlha(PackLine(dir / "huge.lzh", dir / "src\\"));
  EXPECT_EQ(o.result, quz::lzh::kResultTooLarge);
  EXPECT_NE(o.message.find("4GB"), std::string::npos) << o.message;
  EXPECT_FALSE(quztest::Exists(dir / "huge.lzh"));
  plat::DeleteFile(dir / "src\\huge.bin");
  Tree left = ReadTree(dir.path());
  for (const auto& [name, data] : left) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

#ifndef _WIN32
// A file that announces more bytes than it gives, met half-way through a
// pack: the partial archive is removed.
TEST(Pack, AFileThatCannotBeReadWholeRemovesThePartialArchive) {
  const char* source = "/sys/kernel/mm/transparent_hugepage/enabled";
  plat::FileStatus st;
  std::string engine;
  if (!plat::ToEnginePath(source, engine) || !plat::GetFileStatus(engine, st) || st.size != 4096)
    GTEST_SKIP() << "no short sysfs file here";
  quztest::TempDir dir;
  WriteTree(dir / "src\\", {{"a.txt", Text(300000, 1)}});
  ASSERT_EQ(quztest::RunCommand("ln -s " + std::string(source) + " " + quztest::Quote(quztest::HostPath(dir / "src\\b.txt"))),
            0);
  Outcome o = Unlha(PackLine(dir / "x.lzh", dir / "src\\"));
  EXPECT_EQ(o.result, quz::lzh::kResultInputFailed) << o.message;
  EXPECT_NE(o.message.find("b.txt"), std::string::npos) << o.message;
  Tree left = ReadTree(dir.path());
  EXPECT_EQ(left.count("x.lzh"), 0u);
  for (const auto& [name, data] : left) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}
#endif

TEST(Unpack, ReplacesFilesAndRestoresTimesAndAttributes) {
  quztest::TempDir dir;
  WriteTree(dir / "src\\", {{"a.txt", "new a"}, {"ro.txt", "read only"}});
  ASSERT_TRUE(plat::SetFileTime(dir / "src\\a.txt", 1500000000));
  ASSERT_TRUE(plat::SetAttributes(dir / "src\\ro.txt", plat::kAttrReadOnly));
  ASSERT_EQ(Unlha(PackLine(dir / "x.lzh", dir / "src\\")).result, 0);
  WriteTree(dir / "out\\", {{"a.txt", "old a, longer than the new one"}, {"ro.txt", "old"}});
  ASSERT_TRUE(plat::SetAttributes(dir / "out\\ro.txt", plat::kAttrReadOnly));
  Outcome o = Unlha(UnpackLine(dir / "x.lzh", dir / "out\\"));
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(quztest::ReadFile(dir / "out\\a.txt"), "new a");
  EXPECT_EQ(quztest::ReadFile(dir / "out\\ro.txt"), "read only");
  EXPECT_EQ(quztest::TimeOf(dir / "out\\a.txt"), 1500000000);
  EXPECT_TRUE(plat::GetAttributes(dir / "out\\ro.txt") & plat::kAttrReadOnly);
  EXPECT_FALSE(plat::GetAttributes(dir / "out\\a.txt") & plat::kAttrReadOnly);
  // Without -a1 the attributes are left ordinary.
  o = Unlha("e " + Q(dir / "x.lzh") + " " + Q(dir / "plain\\"));
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_FALSE(plat::GetAttributes(dir / "plain\\ro.txt") & plat::kAttrReadOnly);
  // A folder where the archive has a file is left alone and reported.
  WriteTree(dir / "clash\\", {{"a.txt\\keep.txt", "keep"}});
  o = Unlha(UnpackLine(dir / "x.lzh", dir / "clash\\"));
  EXPECT_EQ(o.result, quz::lzh::kResultWriteFailed) << o.message;
  EXPECT_EQ(quztest::ReadFile(dir / "clash\\a.txt\\keep.txt"), "keep");
  EXPECT_EQ(quztest::ReadFile(dir / "clash\\ro.txt"), "read only");
}

TEST(ListAndTest, OneLinePerEntryAndMissingArchives) {
  quztest::TempDir dir;
  WriteTree(dir / "src\\", {{"a.txt", Text(10000, 2)}, {"f\\", ""}, {kSo + ".txt", "so"}});
  ASSERT_EQ(Unlha(PackLine(dir / "x.lzh", dir / "src\\")).result, 0);
  Outcome o = Unlha("l " + Q(dir / "x.lzh"));
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_NE(o.message.find("-lh5-"), std::string::npos) << o.message;
  EXPECT_NE(o.message.find(" a.txt\r\n"), std::string::npos) << o.message;
  EXPECT_NE(o.message.find(" f\\\r\n"), std::string::npos) << o.message;
  EXPECT_NE(o.message.find(" " + kSo + ".txt\r\n"), std::string::npos) << o.message;
  o = Unlha("t " + Q(dir / "x.lzh"));
  EXPECT_EQ(o.result, 0);
  EXPECT_NE(o.message.find("2 個のファイルは正常です"), std::string::npos) << o.message;
  for (const char* cmd : {"l ", "t ", "e "}) {
    o = Unlha(cmd + Q(dir / "none.lzh") + (cmd[0] == 'e' ? " " + Q(dir / "o\\") : ""));
    EXPECT_EQ(o.result, quz::lzh::kResultInputFailed) << cmd;
    EXPECT_EQ(o.message, "書庫が見つかりません: " + dir / "none.lzh");
  }
  EXPECT_FALSE(quztest::Exists(dir / "o"));
  quztest::WriteFile(dir / "empty.lzh", "");
  EXPECT_EQ(Unlha("t " + Q(dir / "empty.lzh")).result, quz::lzh::kResultDamagedArchive);
}

TEST(Messages, CutToTheBufferWithoutSplittingACharacter) {
  const std::string text = "ab" + kSo + "c" + kHyo + kNou;  // 2 + 2 + 1 + 2 + 2 bytes
  // Allowed ends: after a, b, ソ, c, 表, 能.
  const std::size_t ends[] = {0, 1, 2, 4, 5, 7, 9};
  for (std::size_t size = 1; size <= text.size() + 2; ++size) {
    char buffer[32];
    std::memset(buffer, 'X', sizeof buffer);
    quz::lzh::CopyToBuffer(text, buffer, size);
    std::size_t n = std::strlen(buffer);
    EXPECT_LT(n, size);
    EXPECT_EQ(buffer[size], 'X') << "wrote past the buffer at size " << size;
    std::size_t best = 0;
    for (std::size_t e : ends)
      if (e < size) best = e;
    EXPECT_EQ(n, best) << size;
    EXPECT_EQ(std::string(buffer, n), text.substr(0, n));
  }
  quz::lzh::CopyToBuffer(text, nullptr, 10);  // no buffer: nothing happens
  char one = 'X';
  quz::lzh::CopyToBuffer(text, &one, 0);
  EXPECT_EQ(one, 'X');
}

}  // namespace

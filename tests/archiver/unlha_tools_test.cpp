// Independent LZH tools and our archives: lhasa tests and extracts what we
// pack (with the command, and -lh4-, which only the writer makes) to the
// same names and bytes, and what jlha (another writer) packs we unpack to
// the same bytes.  The tools run on Linux only.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "archiver/archive.h"
#include "tests/archiver/lzh_test_data.h"
#include "tests/archiver/unlha_test_support.h"

namespace {

using namespace lzhtest;

bool Have(const char* tool) { return quztest::RunCommand(std::string("command -v ") + tool + " >/dev/null 2>&1") == 0; }

// The Linux path of an engine path, keeping code page 932 bytes as they
// are: lhasa names files with the stored bytes themselves.
std::string RawHostPath(const std::string& engine) {
  std::string p = engine.substr(2);
  for (std::size_t i = 0; i < p.size(); i += plat::CharLength(p, i))
    if (p[i] == '\\') p[i] = '/';
  return p;
}

std::string ReadRaw(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return f ? std::string(std::istreambuf_iterator<char>(f), {}) : "<missing>";
}

std::string Shell(const std::string& engine) { return quztest::Quote(quztest::HostPath(engine)); }

// lhasa tests the archive and extracts it to exactly the tree.
void ExpectLhasaGives(const std::string& archive, const Tree& tree, const std::string& target) {
  std::string out;
  EXPECT_EQ(quztest::RunCommand("lhasa t " + Shell(archive) + " 2>&1", &out), 0) << out;
  const std::string extract = "mkdir " + Shell(target) + " && cd " + Shell(target) + " && lhasa xq " + Shell(archive);
  EXPECT_EQ(quztest::RunCommand(extract + " 2>&1", &out), 0) << out;
  for (const auto& [name, data] : tree) {
    if (IsFolderKey(name))
      EXPECT_TRUE(std::filesystem::is_directory(RawHostPath(target + "\\" + name))) << name;
    else
      EXPECT_TRUE(ReadRaw(RawHostPath(target + "\\" + name)) == data) << name;
  }
}

TEST(Tools, LhasaReadsWhatWePack) {
  if (!Have("lhasa")) GTEST_SKIP() << "lhasa is not installed";
  quztest::TempDir dir;
  Tree tree{{"empty.txt", ""},
            {"one.txt", "1"},
            {"zeros.bin", std::string(50000, '\0')},
            {"random.bin", quztest::Pattern(40000, 3)},
            {"text.txt", Text(300000, 4)},
            {"sub\\empty\\", ""},
            {"sub\\deep\\er\\c\\d\\", ""},
            {"sub\\deep\\er\\c.txt", Repetitive(70000)},
            {"\x83\x5C\\\x95\x5C\\", ""},
            {"\x83\x5C\\\x95\x5C\x94\x5C.txt", Text(2000, 5)}};
  // Sizes around the block and window boundaries.
  for (std::size_t size : {8191u, 8192u, 8193u, 65535u, 65536u, 65537u})
    tree["size" + std::to_string(size)] = Text(size, static_cast<unsigned>(size));
  WriteTree(dir / "src\\", tree);
  for (const char* sw : {"-o5", "-o6", "-o7"}) {
    SCOPED_TRACE(sw);
    std::string archive = dir / (std::string("x") + sw + ".lzh");
    Outcome o = Unlha(std::string("a -d1 ") + sw + " " + Q(archive) + " " + Q(dir / "src\\"));
    ASSERT_EQ(o.result, 0) << o.message;
    ExpectLhasaGives(archive, tree, dir / (std::string("lha") + sw));
  }

  // -lh4-, from the archive writer.
  const Tree lh4{{"lh4.txt", Text(30000, 11)}, {"lh4 random.bin", quztest::Pattern(3000, 12) + Text(30000, 12)}};
  quz::lzh::MemorySink sink;
  quz::lzh::ArchiveWriter writer(sink);
  for (const auto& [name, data] : lh4) {
    quz::lzh::Method used;
    AddFile(writer, name, data, quz::lzh::Method::kLh4, &used);
    EXPECT_EQ(used, quz::lzh::Method::kLh4);
  }
  ASSERT_EQ(writer.Finish(), quz::lzh::Error::kOk);
  quztest::WriteFile(dir / "lh4.lzh", sink.data());
  ExpectLhasaGives(dir / "lh4.lzh", lh4, dir / "lha-lh4");
}

TEST(Tools, WeUnpackWhatJlhaPacks) {
  if (!Have("jlha")) GTEST_SKIP() << "jlha (jlha-utils) is not installed";
  quztest::TempDir dir;
  Tree tree{{"a.txt", "alpha"},
            {"empty.txt", ""},
            {"random.bin", quztest::Pattern(30000, 8)},
            {"text.txt", Text(200000, 9)},
            {"sub\\b.txt", Repetitive(90000)},
            {"sub\\deeper\\c.c", Text(9000, 10)}};
  WriteTree(dir / "src\\", tree);
  std::string files;
  for (const auto& [name, data] : tree) files += " " + name;
  std::replace(files.begin(), files.end(), '\\', '/');  // no double-byte names here
  // Each header level and each method once: the header is read before,
  // and apart from, the data it names (each start of jlha costs half a
  // second).
  for (const char* option : {"-a0o5", "-a1o6", "-a2o7"}) {
    SCOPED_TRACE(option);
    std::string archive = dir / (std::string("j") + option + ".lzh");
    std::string out;
    const std::string pack = "cd " + Shell(dir / "src") + " && jlha " + option + " " + Shell(archive) + files;
    ASSERT_EQ(quztest::RunCommand(pack + " 2>&1", &out), 0) << out;
    Outcome o = Unlha("t " + Q(archive));
    EXPECT_EQ(o.result, 0) << o.message;
    std::string target = dir / (std::string("out") + option + "\\");
    o = Unlha("e -x -a1 -r2 -m1 " + Q(archive) + " " + Q(target));
    ASSERT_EQ(o.result, 0) << o.message;
    Tree back = ReadTree(target);
    for (const auto& [name, data] : tree) EXPECT_TRUE(back[name] == data) << name;
  }
}

}  // namespace

#endif

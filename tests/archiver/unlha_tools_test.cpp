// Independent LZH tools and our archives: lhasa tests and extracts what we
// pack, bsdtar lists it, and what jlha (another writer) packs we unpack to
// the same bytes.  The tools run on Linux only.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <cstdio>

#include "tests/archiver/lzh_test_data.h"
#include "tests/archiver/unlha_test_support.h"

namespace {

using namespace lzhtest;

bool Have(const char* tool) { return quztest::RunCommand(std::string("command -v ") + tool + " >/dev/null 2>&1") == 0; }

// The Linux path of an engine path, keeping code page 932 bytes as they
// are: lhasa names files with the stored bytes themselves.
std::string RawHostPath(const std::string& engine) {
  std::string p = engine.substr(2);
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (Lead(p[i]))
      ++i;
    else if (p[i] == '\\')
      p[i] = '/';
  }
  return p;
}

std::string ReadRaw(const std::string& path) {
  std::string data;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "<missing>";
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  std::fclose(f);
  return data;
}

TEST(Tools, LhasaAndBsdtarReadWhatWePack) {
  if (!Have("lhasa")) GTEST_SKIP() << "lhasa is not installed";
  quztest::TempDir dir;
  Tree tree{{"empty.txt", ""},
            {"zeros.bin", std::string(50000, '\0')},
            {"random.bin", RandomBytes(40000, 3)},
            {"text.txt", Text(300000, 4)},
            {"sub\\empty\\", ""},
            {"sub\\deep\\er\\c.txt", Repetitive(70000)},
            {"\x83\x5C\\\x95\x5C\x94\x5C.txt", Text(2000, 5)}};
  WriteTree(dir / "src\\", tree);
  for (const char* sw : {"-o5", "-o6", "-o7"}) {
    SCOPED_TRACE(sw);
    std::string archive = dir / (std::string("x") + sw + ".lzh");
    Outcome o = Unlha(std::string("a -d1 ") + sw + " " + Q(archive) + " " + Q(dir / "src\\"));
    ASSERT_EQ(o.result, 0) << o.message;
    std::string out;
    EXPECT_EQ(quztest::RunCommand("lhasa t " + quztest::Quote(quztest::HostPath(archive)) + " 2>&1", &out), 0) << out;
    std::string target = dir / (std::string("lha") + sw);
    EXPECT_EQ(quztest::RunCommand("mkdir " + quztest::Quote(quztest::HostPath(target)) + " && cd " +
                                  quztest::Quote(quztest::HostPath(target)) + " && lhasa xq " +
                                  quztest::Quote(quztest::HostPath(archive)) + " 2>&1",
                                  &out),
              0)
        << out;
    for (const auto& [name, data] : tree) {
      if (IsFolderKey(name)) continue;
      EXPECT_TRUE(ReadRaw(RawHostPath(target + "\\" + name)) == data) << name;
    }
    if (Have("bsdtar")) {
      EXPECT_EQ(quztest::RunCommand("bsdtar --options lha:hdrcharset=CP932 -tf " +
                                    quztest::Quote(quztest::HostPath(archive)) + " 2>&1",
                                    &out),
                0)
          << out;
      EXPECT_NE(out.find("sub/deep/er/c.txt"), std::string::npos) << out;
      EXPECT_NE(out.find("\x83\x5C/\x95\x5C\x94\x5C.txt"), std::string::npos) << out;
    }
  }
}

TEST(Tools, WeUnpackWhatJlhaPacks) {
  if (!Have("jlha")) GTEST_SKIP() << "jlha (jlha-utils) is not installed";
  quztest::TempDir dir;
  Tree tree{{"a.txt", "alpha"},
            {"empty.txt", ""},
            {"random.bin", RandomBytes(30000, 8)},
            {"text.txt", Text(200000, 9)},
            {"sub\\b.txt", Repetitive(90000)},
            {"sub\\deeper\\c.c", Text(9000, 10)}};
  WriteTree(dir / "src\\", tree);
  std::string files;
  for (const auto& [name, data] : tree) {
    std::string n = name;
    for (char& c : n)
      if (c == '\\') c = '/';
    files += " " + n;
  }
  for (const char* option : {"-a0o5", "-a1o5", "-a2o5", "-a0o6", "-a1o6", "-a2o6", "-a0o7", "-a1o7", "-a2o7"}) {
    SCOPED_TRACE(option);
    std::string archive = dir / (std::string("j") + option + ".lzh");
    std::string out;
    ASSERT_EQ(quztest::RunCommand("cd " + quztest::Quote(quztest::HostPath(dir / "src")) + " && jlha " + option + " " +
                                  quztest::Quote(quztest::HostPath(archive)) + files + " 2>&1",
                                  &out),
              0)
        << out;
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

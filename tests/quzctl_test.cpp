// quzctl as its users run it: a copy of the program in a folder of its own,
// working on the state files beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/test_support.h"

#ifndef QUZCTL_BUILT_AT
#error "QUZCTL_BUILT_AT must name the built quzctl"
#endif

using quztest::ReadFile;

namespace {

class QuzctlTest : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& args, std::string* out = nullptr) { return quzctl.Run(args, out); }

  quztest::TempDir dir;
  quztest::Quzctl quzctl{dir, QUZCTL_BUILT_AT};
};

TEST_F(QuzctlTest, ConfigWritesReadsAndDeletesInTheFileFormat) {
  const std::string folder = "Z:\\バックアップ\\ソフト\\";
  EXPECT_EQ(Run({"config", "チェック間隔", "300"}), 0);
  EXPECT_EQ(Run({"config", "quz保存先フォルダ", folder}), 0);
  EXPECT_EQ(Run({"config", "チェック間隔", "600"}), 0);
  EXPECT_EQ(ReadFile(dir / "quz.ini"), "[チェック間隔]600\r\n[quz保存先フォルダ]" + folder + "\r\n");
  const std::pair<std::string, std::string> reads[] = {
      {"チェック間隔", "600\n"}, {"quz保存先フォルダ", folder + "\n"}, {"存在しないキー", ""}};
  for (const auto& [key, value] : reads) {
    std::string out;
    EXPECT_EQ(Run({"config", key}, &out), 0);
    EXPECT_EQ(out, value) << key;
  }
  // A second delete finds nothing and changes nothing.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Run({"config", "--delete", "チェック間隔"}), 0);
    EXPECT_EQ(ReadFile(dir / "quz.ini"), "[quz保存先フォルダ]" + folder + "\r\n");
  }
}

TEST_F(QuzctlTest, UsageErrorsExitWithTwoAndOneLine) {
  const std::vector<std::vector<std::string>> bad = {
      {}, {"nosuchverb"}, {"config"}, {"config", "a", "b", "c"}, {"config", "--delete"}, {"config", "--bogus", "x"},
      {"config", "bad]key", "1"}, {"watch", "--checks", "0"}, {"add"}, {"add", "--depth", "0", "x"},
      {"add", "--depth", "16", "x"}, {"add", "--depth"}, {"list", "x"}, {"check", "extra"}};
  for (const auto& args : bad) {
    EXPECT_EQ(Run(args), 2) << (args.empty() ? "(none)" : args[0]);
    std::string e = quzctl.Stderr();
    EXPECT_FALSE(e.empty());
    if (!args.empty()) {
      EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
    }
  }
  EXPECT_FALSE(quztest::Exists(dir / "quz.ini"));
}

TEST_F(QuzctlTest, ConcurrentProcessesKeepEveryWrite) {
  constexpr int kProcesses = 4;
  std::vector<std::thread> runners;
  std::vector<int> codes(kProcesses, -1);
  for (int i = 0; i < kProcesses; ++i)
    runners.emplace_back([&, i] { codes[i] = Run({"config", "key" + std::to_string(i), "値" + std::to_string(i)}); });
  for (auto& r : runners) r.join();
  EXPECT_EQ(codes, std::vector<int>(kProcesses, 0));
  std::string text = ReadFile(dir / "quz.ini");
  for (int i = 0; i < kProcesses; ++i)
    EXPECT_NE(text.find("[key" + std::to_string(i) + "]値" + std::to_string(i) + "\r\n"), std::string::npos) << text;
}

TEST_F(QuzctlTest, AddListsTargetsAndListShowsThemAsTheTargetWindowDoes) {
  ASSERT_TRUE(plat::CreateFolder(dir / "データ"));
  quztest::WriteFile(dir / "データ\\表.txt", std::string(1024, 'x'));
  quztest::WriteFile(dir / "mail.pst", "");
  quztest::WriteFile(dir / "quz.ini",
                     "[quz振り分け条件0-mode]0\r\n[quz振り分け条件0-mode2]1\r\n[quz振り分け条件0-ext]pst\r\n");
  std::string out;
  // The folder is given as the backend's shell knows it (a Linux path on
  // the posix build) and is stored in the engine's form.
  EXPECT_EQ(Run({"add", "--depth", "2", quztest::HostPath(dir / "データ"), dir / "mail.pst"}, &out), 0)
      << quzctl.Stderr();
  EXPECT_EQ(out, "added: " + dir.path() + "データ\\\nadded: " + dir.path() + "mail.pst\n");
  EXPECT_EQ(ReadFile(dir / "FileList.txt"),
            dir.path() + "データ\\<0<12<0\r\n" + dir.path() + "mail.pst<0<1<0\r\n");

  EXPECT_EQ(Run({"add", dir / "データ\\", dir / "missing.txt"}, &out), 1);
  EXPECT_EQ(out, "already listed: " + dir.path() + "データ\\\n");
  EXPECT_NE(quzctl.Stderr().find("missing.txt"), std::string::npos);

  // Withdrawn entries are left out; the cells are the target list's.
  quztest::WriteFile(dir / "FileList.txt",
                     ReadFile(dir / "FileList.txt") + dir.path() + "データ\\表.txt<0<0<0\r\n" + dir.path() + "gone.txt<-1<0<0\r\n");
  EXPECT_EQ(Run({"list"}, &out), 0);
  EXPECT_EQ(out, "データ\t" + dir.path() + "\t\t2階層まで検索\n"
                 "mail.pst\t" + dir.path() + "\t0KB\t差分保存\n"
                 "表.txt\t" + dir.path() + "データ\\\t2KB\t通常保存\n");
}

}  // namespace

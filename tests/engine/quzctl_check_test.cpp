// quzctl check and quzctl history, run as their users run them: a copy of
// quzctl in a folder of its own, with its state files beside it.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/check.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quztest::IsFile;
using quztest::ReadFile;
using quztest::WriteFile;

class QuzctlCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plat::CreateFolder(dir / "data"));
    data = dir / "data\\";
  }

  quztest::TempDir dir;
  quztest::Quzctl quzctl{dir, QUZCTL_BUILT_AT};
  std::string data;
};

std::vector<std::string> Split(const std::string& text, char c) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (size_t end; (end = text.find(c, at)) != std::string::npos; at = end + 1)
    parts.push_back(text.substr(at, end - at));
  parts.push_back(text.substr(at));
  return parts;
}

TEST_F(QuzctlCheckTest, CheckSavesTheTargetsAndHistoryListsTheRows) {
  std::string save = dir / "バックアップ\\";
  WriteFile(dir / "quz.ini", "[quz保存先フォルダ]" + save + "\r\n[世代間理数]2\r\n");
  WriteFile(dir / "FileList.txt", data + "<0<3<0\r\n");
  WriteFile(data + "a.txt", std::string(5000, 'a'));
  WriteFile(data + "日本語.txt", "b");
  plat::SetFileTime(data + "a.txt", 1052300000);

  std::string out;
  ASSERT_EQ(quzctl.Run({"check"}, &out), 0) << quzctl.Stderr();
  EXPECT_EQ(out, "2 files saved, 3 entries checked\n");
  std::string date = quz::DateFolder(save, plat::Now());
  EXPECT_EQ(ReadFile(date + "日本語.txt"), "b");
  // The saved times were kept: the next check saves nothing.
  ASSERT_EQ(quzctl.Run({"check"}, &out), 0);
  EXPECT_EQ(out, "0 files saved, 3 entries checked\n");

  // Three more saves of a.txt with at most 2 generations kept.
  for (int k = 1; k <= 3; ++k) {
    plat::SetFileTime(data + "a.txt", 1052300000 + k);
    ASSERT_EQ(quzctl.Run({"check"}, &out), 0);
    EXPECT_EQ(out, "1 file saved, 3 entries checked\n");
  }
  int copies = 0;
  for (const char* name : {"a.txt", "a(2).txt", "a(3).txt", "a(4).txt"}) copies += IsFile(date + name);
  EXPECT_EQ(copies, 2);

  // Rows of name, folder, sizes and date: the first check saved both files
  // (in the order the folder listed them), the later ones a.txt.
  const std::string a = "a.txt\t" + data + "\t5KB\t5KB\t", b = "日本語.txt\t" + data + "\t1KB\t1KB\t";
  ASSERT_EQ(quzctl.Run({"history"}, &out), 0);
  std::vector<std::string> rows = Split(out, '\n');
  ASSERT_EQ(rows.size(), 6u);  // five rows and the empty rest
  EXPECT_EQ(rows[5], "");
  EXPECT_NE(rows[0].starts_with(a), rows[1].starts_with(a));
  for (int r = 0; r < 5; ++r) {
    EXPECT_TRUE(rows[r].starts_with(a) || (r < 2 && rows[r].starts_with(b))) << rows[r];
    EXPECT_EQ(rows[r].substr(rows[r].rfind('\t') + 5, 1), "/") << rows[r];  // as 2003/05/07 18:33
  }
}

TEST_F(QuzctlCheckTest, CheckNamesWhatItCouldNotSaveAndFails) {
  WriteFile(data + "a.txt", "a");
  WriteFile(data + "locked.txt", "l");
  WriteFile(dir / "FileList.txt", data + "<0<3<0\r\n");
  std::string out;
  {
    quztest::Unreadable locked(data + "locked.txt");
    ASSERT_EQ(quzctl.Run({"check"}, &out), 1) << quzctl.Stderr();
  }
  const std::string errors = quzctl.Stderr();
  EXPECT_NE(errors.find(data + "locked.txt: "), std::string::npos) << errors;
  EXPECT_EQ(errors.find(data + "a.txt"), std::string::npos) << errors;
  // With no save folder set, the folder beside the program is taken and
  // written down.
  const std::string save = dir / "Save\\", date = quz::DateFolder(save, plat::Now());
  EXPECT_EQ(ReadFile(date + "a.txt"), "a");
  EXPECT_EQ(ReadFile(dir / "quz.ini"), "[quz保存先フォルダ]" + save + "\r\n");
  // The file stays listed and is saved once it can be read.
  EXPECT_NE(ReadFile(dir / "FileList.txt").find(data + "locked.txt<0<"), std::string::npos);
  ASSERT_EQ(quzctl.Run({"check"}, &out), 0) << quzctl.Stderr();
  EXPECT_EQ(out, "1 file saved, 3 entries checked\n");
  EXPECT_TRUE(IsFile(date + "locked.txt"));
  ASSERT_EQ(quzctl.Run({"check", "extra"}, &out), 2);
  ASSERT_EQ(quzctl.Run({"history"}, &out), 0);
  EXPECT_EQ(Split(out, '\n').size(), 3u);  // both files, and the empty rest
}

TEST_F(QuzctlCheckTest, ACatalogueThatCannotBeReadIsNeverWrittenOver) {
  WriteFile(data + "a.txt", "a");
  const std::string catalogue = data + "kept.txt<1<0<1\r\n";
  WriteFile(dir / "FileList.txt", catalogue);
  std::string out;
  {
    quztest::Unreadable held(dir / "FileList.txt");
    // Each tries for a second before it gives up: they run together.
    const std::vector<std::string> runs[] = {{"add", quztest::HostPath(data + "a.txt")}, {"check"}, {"list"}};
    int codes[3] = {};
    std::vector<std::thread> threads;
    for (int k = 0; k < 3; ++k) threads.emplace_back([&, k] { codes[k] = quzctl.Run(runs[k]); });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(std::vector<int>(codes, codes + 3), std::vector<int>(3, 1));
    EXPECT_NE(quzctl.Stderr().find(dir / "FileList.txt"), std::string::npos) << quzctl.Stderr();
  }
  EXPECT_EQ(ReadFile(dir / "FileList.txt"), catalogue);
  EXPECT_EQ(quzctl.Run({"add", quztest::HostPath(data + "a.txt")}, &out), 0) << quzctl.Stderr();
  EXPECT_EQ(ReadFile(dir / "FileList.txt"), catalogue + data + "a.txt<0<0<0\r\n");
}

}  // namespace

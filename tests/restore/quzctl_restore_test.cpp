// quzctl restore as its users run it: a copy of the program in a folder of
// its own, over a save folder written in the engine's formats.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/restore/save_fixture.h"
#include "tests/support/test_support.h"

using quztest::ReadFile;
using quztest::WriteFile;

namespace {

const int64_t kDay = restoretest::Seconds(2026, 12, 7);
int64_t At(int h, int m = 0) { return kDay + h * 3600 + m * 60; }

class QuzctlRestoreTest : public ::testing::Test {
 protected:
  QuzctlRestoreTest() : save(dir / "save\\", plat::TimeZoneOffset()) {}

  void SetUp() override {
    src = dir / "src\\";
    plat::CreateFolder(src);
    // The save folder quzctl finds by default.
    WriteFile(dir / "quz.ini", "[quz保存先フォルダ]" + save.root() + "\r\n");
    save.SaveCopy(src + "x.txt", "x at ten", At(10));
    save.SaveCopy(src + "x.txt", "x at half past", At(10, 30));
    save.SaveCopy(src + "sub\\y.txt", "y at ten", At(10, 2));
    save.SaveFragment(src + "m.mbx", "mail", At(9));
    save.SaveFragment(src + "m.mbx", "mail and more", At(11));
    save.SetTime(save.FragmentFolder(src + "m.mbx"), At(11));
  }

  std::string Folder() const { return src.substr(0, src.size() - 1); }

  quztest::TempDir dir;
  quztest::Quzctl quzctl{dir, QUZCTL_BUILT_AT};
  restoretest::SaveFolder save;
  std::string src;
};

TEST_F(QuzctlRestoreTest, ListShowsCandidatesFoldersAndFilesAsTheWindowOffersThem) {
  std::string out;
  ASSERT_EQ(quzctl.Run({"restore", "--list", Folder()}, &out), 0) << quzctl.Stderr();
  EXPECT_EQ(out, "folder: " + Folder() +
                     "\ncandidates:\n  全ての最新ファイル\n  2026年12月07日11時00分\n  2026年12月07日10時30分\n"
                     "  2026年12月07日10時00分\n  2026年12月07日09時00分\nfolders:\n  sub\nfiles:\n  m.mbx\n  x.txt\n");
  ASSERT_EQ(quzctl.Run({"restore", "--list", "--from", save.root(), src + "x.txt"}, &out), 0);
  EXPECT_EQ(out, "folder: " + src + "x.txt\ncandidates:\n  2026年12月07日10時30分\n  2026年12月07日10時00分\nfolders:\nfiles:\n  x.txt\n");
  ASSERT_EQ(quzctl.Run({"restore", "--list"}, &out), 0);
  EXPECT_NE(out.find("folder: 全体\ncandidates:\nfolders:\n"), std::string::npos) << out;
  EXPECT_NE(out.find("  " + src + "sub\\y.txt\n"), std::string::npos) << out;
  EXPECT_EQ(quzctl.Run({"restore", "--list", src + "nothing.txt"}, &out), 1);
}

TEST_F(QuzctlRestoreTest, AFolderOrFilesElsewhereAtATime) {
  std::string out;
  std::string to = dir / "out";
  ASSERT_EQ(quzctl.Run({"restore", "--at", "2026-12-07 10:05", "--to", to, Folder()}, &out), 0) << quzctl.Stderr();
  EXPECT_EQ(out, "3個のファイルを復元しました\n復元処理は正常に終了しました\n");
  EXPECT_EQ(ReadFile(to + "\\src\\x.txt"), "x at ten");
  EXPECT_EQ(ReadFile(to + "\\src\\m.mbx"), "mail");  // the 9:00 fragment; the next is 11:00

  // Files land in the folder given, which is kept for the next restore.
  std::string flat = dir / "flat";
  ASSERT_EQ(quzctl.Run({"restore", "--to", flat, src + "x.txt", src + "m.mbx"}, &out), 0) << quzctl.Stderr();
  EXPECT_EQ(ReadFile(flat + "\\x.txt"), "x at half past");
  EXPECT_NE(ReadFile(dir / "quz.ini").find("[復元先フォルダ]" + flat + "\r\n"), std::string::npos);

  EXPECT_EQ(quzctl.Run({"restore", "--to", flat, src + "nothing.txt"}, &out), 1);
}

TEST_F(QuzctlRestoreTest, InPlaceAsksOnTheConsoleUnlessYes) {
  WriteFile(src + "x.txt", "current x");
  WriteFile(src + "m.mbx", "current mail");
  std::string out;
  // いいえ for the first file, はい for the second (the order of the lists).
  int rc = quzctl.Run({"restore", src + "x.txt", src + "m.mbx"}, &out, "n\ny\n");
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(out, "1個のファイルを復元しました\n1個のファイルの復元に失敗したかキャンセルされました\n");
  EXPECT_EQ(ReadFile(src + "x.txt"), "current x");
  EXPECT_EQ(ReadFile(src + "m.mbx"), "mail and more");
  EXPECT_NE(quzctl.Stderr().find("ファイルの上書きの確認"), std::string::npos);

  // No answers at all: nothing is overwritten.
  WriteFile(src + "m.mbx", "current mail");
  EXPECT_EQ(quzctl.Run({"restore", src + "m.mbx"}, &out), 1);
  EXPECT_EQ(ReadFile(src + "m.mbx"), "current mail");

  EXPECT_EQ(quzctl.Run({"restore", "--yes", "--at", "2026-12-07 10:01", Folder()}, &out), 0);
  EXPECT_EQ(ReadFile(src + "x.txt"), "x at ten");
  EXPECT_EQ(quzctl.Stderr().find("ファイルの上書きの確認"), std::string::npos);
}

TEST_F(QuzctlRestoreTest, UsageErrorsExitWithTwo) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"restore"}, {"restore", "--at", "yesterday", src}, {"restore", "--bogus", src},
           {"restore", "--list", "a", "b"}, {"restore", "--to"}}) {
    EXPECT_EQ(quzctl.Run(args), 2) << args.back();
  }
}

}  // namespace

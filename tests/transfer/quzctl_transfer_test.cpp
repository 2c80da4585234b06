// quzctl export and import as their users run them: a copy of the program
// with the archiver beside it, a save folder in the engine's formats,
// exported plain and packed in pieces, imported into an empty save folder
// and restored from there with quzctl restore.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/platform.h"
#include "tests/restore/save_fixture.h"
#include "tests/support/test_support.h"
#include "tests/transfer/transfer_fixture.h"

#ifndef QUZCTL_BUILT_AT
#error "QUZCTL_BUILT_AT must name the built quzctl"
#endif
#ifndef UNLHA32_BUILT_AT
#error "UNLHA32_BUILT_AT must name the built archiver"
#endif

using quztest::Exists;
using quztest::Pattern;
using quztest::ReadFile;
using quztest::WriteFile;
using restoretest::SaveFolder;
using restoretest::Seconds;

namespace {

class QuzctlTransferTest : public ::testing::Test {
 protected:
  QuzctlTransferTest() : save(dir / "save\\", plat::TimeZoneOffset()) {}

  void SetUp() override {
    // The archiver beside quzctl, where the library search finds it.
    std::string archiver = quztest::BuildPath(UNLHA32_BUILT_AT), data;
    ASSERT_TRUE(plat::ReadWholeFile(archiver, data)) << archiver;
    WriteFile(dir / archiver.substr(archiver.rfind('\\') + 1), data);
    src = dir / "src\\";
    quz::WriteSetting(dir / "quz.ini", save.root(), "quz保存先フォルダ");
    const int64_t day = Seconds(2026, 12, 6);
    save.SaveCopy(src + "a.txt", "first a", day + 9 * 3600);
    save.SaveCopy(src + "a.txt", "second a, " + Pattern(90000, 21), day + 10 * 3600);
    save.SaveCopy(src + "sub\\b.bin", Pattern(120000, 22), day + 11 * 3600);
    save.SaveFragment(src + "m.mbx", Pattern(60000, 23), day + 8 * 3600);
    save.SaveFragment(src + "m.mbx", Pattern(60000, 23) + "appended", day + 12 * 3600);
    // The copy lists were written just now, within the second an export
    // ends in, and a file as new as the last export is taken again.
    for (const char* list : {"2026-12-6\\quzFileList.txt", "m.mbx\\quzFileList.txt"})
      EXPECT_TRUE(plat::SetFileTime(save.root() + list, save.FileTime(day + 12 * 3600)));
    expected = {{"a.txt", "second a, " + Pattern(90000, 21)},
                {"b.bin", Pattern(120000, 22)},
                {"m.mbx", Pattern(60000, 23) + "appended"}};
  }

  int Run(const std::vector<std::string>& args, std::string* out = nullptr) { return quzctl.Run(args, out); }
  std::string Stderr() { return quzctl.Stderr(); }
  std::string Setting(const char* key) { return quz::ReadSetting(dir / "quz.ini", key); }

  quztest::TempDir dir;
  quztest::Quzctl quzctl{dir, QUZCTL_BUILT_AT};
  SaveFolder save;
  std::string src;
  std::map<std::string, std::string> expected;
};

TEST_F(QuzctlTransferTest, ExportsAndTheImportOfPiecesIntoAnEmptySaveFolder) {
  const std::string dest = dir / "dest";
  std::string out;
  ASSERT_EQ(Run({"export", "--to", dest}, &out), 0) << out << Stderr();
  EXPECT_NE(out.find("quz - 書き出し結果: 7個"), std::string::npos) << out;
  EXPECT_EQ(Setting("書き出し先フォルダ"), dest + "\\");
  EXPECT_NE(Setting("最終書き出し日時"), "");
  EXPECT_EQ(quz::transfer::ListExportItems(dest).size(), 1u);

  ASSERT_EQ(Run({"export", "--reset"}, &out), 0) << Stderr();
  EXPECT_EQ(Setting("最終書き出し日時"), "0");

  // A saved file that cannot be read fails the export, is named, and the
  // last export time stays.
  const std::string held = save.root() + "2026-12-6\\b.bin";
  ASSERT_TRUE(Exists(held));
  {
    quztest::Unreadable unreadable(held);
    ASSERT_EQ(Run({"export", "--to", dir / "d"}), 1);
  }
  EXPECT_NE(Stderr().find(held + ": "), std::string::npos) << Stderr();
  EXPECT_EQ(Setting("最終書き出し日時"), "0");

  // Packed in pieces of 50,000 bytes, into a work folder made for it; the
  // medium questions are passed at the end of the input.
  const std::string pieces = dir / "pieces";
  const std::string work = dir / "work";
  plat::CreateFolder(pieces);  // the medium
  ASSERT_EQ(Run({"export", "--to", pieces, "--pack", "--work", work, "--split", "0.05"}, &out), 0) << out << Stderr();
  EXPECT_NE(Setting("最終書き出し日時"), "0");
  EXPECT_EQ(Setting("分割詳細設定1"), "1");
  EXPECT_EQ(Setting("分割詳細設定2"), "0.05");
  EXPECT_EQ(Setting("作業フォルダ"), work);
  EXPECT_NE(Stderr().find("次のメディアを挿入してください"), std::string::npos);
  ASSERT_GE(quz::transfer::ImportListLines(pieces).size(), 3u);

  const std::string rebuilt = dir / "rebuilt\\";
  quz::WriteSetting(dir / "quz.ini", rebuilt, "quz保存先フォルダ");
  ASSERT_EQ(Run({"import", pieces}, &out), 0) << out << Stderr();
  EXPECT_NE(Stderr().find("この分割ファイルは正常に結合・復元されました"), std::string::npos) << Stderr();
  const std::string restored = dir / "out";
  const std::vector<std::string> restore{"restore", "--from", rebuilt, "--to", restored, "--yes",
                                         src + "a.txt", src + "sub\\b.bin", src + "m.mbx"};
  ASSERT_EQ(Run(restore, &out), 0) << out << Stderr();
  for (const auto& [name, contents] : expected) EXPECT_TRUE(ReadFile(restored + "\\" + name) == contents) << name;
}

TEST_F(QuzctlTransferTest, UsageErrors) {
  EXPECT_EQ(Run({"export", "--split", "1.44", "--to", dir / "d"}), 2);  // pieces need --pack
  EXPECT_EQ(Run({"export", "--pack", "--split", "abc", "--to", dir / "d"}), 2);
  EXPECT_EQ(Run({"export", "--pack", "--split", "1", "--until-full", "--to", dir / "d"}), 2);
  EXPECT_EQ(Run({"export"}), 2);  // no destination stored yet
  EXPECT_EQ(Run({"import"}), 2);
  // A folder without export items imports nothing.
  std::string out;
  EXPECT_EQ(Run({"import", dir / "nothing"}, &out), 0);
  EXPECT_NE(out.find("現在のフォルダに対象となるファイルはありません"), std::string::npos) << out;
}

}  // namespace

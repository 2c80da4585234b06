#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "catalogue/file_list.h"
#include "catalogue/file_list_file.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quz::CFileList;
using quz::FileEntry;

class FileListFile : public ::testing::Test {
 protected:
  quztest::TempDir dir;
  const std::string file = dir / "FileList.txt";
  CFileList list;
};

TEST_F(FileListFile, AMissingFileIsCreatedEmptyAndLinesLoadAndSaveBackUnchanged) {
  ASSERT_TRUE(quz::LoadFileList(list, file));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(quztest::ReadFile(file), "");
  std::string text =
      "C:\\Data\\a.txt<1000<0<2000\r\n"
      "C:\\Data\\<0<3<0\r\n"
      "C:\\Data\\\x83\x5c\x83\x74\x83\x67.doc<-5<1<7\r\n";
  quztest::WriteFile(file, text);
  ASSERT_TRUE(quz::LoadFileList(list, file));
  ASSERT_EQ(list.Count(), 3);
  FileEntry* e = list.FindEntry("C:\\Data\\a.txt");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->savedTime, 1000);
  EXPECT_EQ(e->saveType, quz::SaveType::Normal);
  EXPECT_EQ(e->lookedAtTime, 2000);
  EXPECT_EQ(list.FindEntry("C:\\Data")->saveType, quz::SaveType::Search);
  EXPECT_EQ(list.EntryAt(2)->savedTime, -5);
  ASSERT_TRUE(quz::SaveFileList(list, file));
  EXPECT_EQ(quztest::ReadFile(file), text);
  EXPECT_FALSE(quztest::Exists(file + ".new"));
}

TEST_F(FileListFile, MalformedLineEndsLoadingAndDuplicatesKeepTheFirst) {
  quztest::WriteFile(file,
                     "C:\\a\\one<1<0<1\r\n"
                     "C:\\A\\x<2<0<2\r\n"
                     "C:\\a\\ONE<9<9<9\r\n"
                     "C:\\a\\two<3<x<\r\n"
                     "C:\\a\\bad<4<0\r\n"
                     "C:\\a\\after<5<0<5\r\n");
  ASSERT_TRUE(quz::LoadFileList(list, file));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.FindEntry("C:\\a\\one")->savedTime, 1);
  EXPECT_EQ(list.FindEntry("C:\\a\\two")->saveType, quz::SaveType::Normal);
  EXPECT_EQ(list.FindEntry("C:\\a\\two")->lookedAtTime, 0);
  EXPECT_EQ(list.FindEntry("C:\\a\\after"), nullptr);

  // Lines ending with LF alone: the second line loses its first byte.
  quztest::WriteFile(file, "C:\\b\\one<1<0<1\nC:\\b\\two<2<0<2\n");
  CFileList lf;
  ASSERT_TRUE(quz::LoadFileList(lf, file));
  EXPECT_NE(lf.FindEntry("C:\\b\\one"), nullptr);
  EXPECT_EQ(lf.FindEntry("C:\\b\\two"), nullptr);
  EXPECT_NE(lf.FindEntry(":\\b\\two"), nullptr);
}

TEST_F(FileListFile, LongLinesAndWithdrawnEntries) {
  std::string longPath = "C:\\" + std::string(5000, 'p') + "\\n.txt";
  quztest::WriteFile(file, longPath + "<1<0<1\r\nC:\\k\\kept<2<0<2\r\nC:\\k\\gone<-1<0<0\r\n" +
                               "C:\\k\\big<99999999999999999999<0<-99999999999\r\n");
  ASSERT_TRUE(quz::LoadFileList(list, file));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_TRUE(list.FindEntry("C:\\k\\gone")->IsWithdrawn());
  // The numbers out of range are clamped, as the save shows.
  ASSERT_TRUE(quz::SaveFileList(list, file));
  EXPECT_EQ(quztest::ReadFile(file),
            "C:\\k\\kept<2<0<2\r\nC:\\k\\big<2147483647<0<-2147483648\r\n");
}

TEST_F(FileListFile, ACatalogueThatCannotBeReadIsTriedAgainAndNeverWrittenOverNorLostByAFailedSave) {
  const std::string kept = "C:\\kept\\x<1<0<1\r\n";
  quztest::WriteFile(file, kept);
  auto holder = std::make_shared<plat::File>();
  // Another program holds it without sharing for the whole start...
  ASSERT_TRUE(holder->Open(file, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareNone));
  EXPECT_FALSE(quz::LoadFileList(list, file));
  EXPECT_EQ(plat::LastError().kind, plat::ErrorKind::SharingViolation);
  ASSERT_TRUE(list.AddLoaded("C:\\new\\y", 1, quz::SaveType::Normal, 1));
  holder->Close();
  EXPECT_FALSE(quz::SaveFileList(list, file));
  EXPECT_EQ(quztest::ReadFile(file), kept);

  // ...or only a moment, which the tries outlast.
  ASSERT_TRUE(holder->Open(file, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareNone));
  plat::Thread release;
  ASSERT_TRUE(release.Start([holder] {
    plat::Sleep(quz::kLoadRetryMs * 3);
    holder->Close();
  }));
  CFileList later;
  EXPECT_TRUE(quz::LoadFileList(later, file));
  EXPECT_TRUE(release.Join());
  EXPECT_NE(later.FindEntry("C:\\kept\\x"), nullptr);
  EXPECT_TRUE(quz::SaveFileList(later, file));

  // A save that fails (the temporary file's place is taken by a folder)
  // leaves the previous catalogue.
  ASSERT_TRUE(plat::CreateFolder(file + ".new"));
  ASSERT_TRUE(later.AddLoaded("C:\\new\\y", 1, quz::SaveType::Normal, 1));
  EXPECT_FALSE(quz::SaveFileList(later, file));
  EXPECT_EQ(quztest::ReadFile(file), kept);
}

}  // namespace

// The export's settings, stamp, selection and plain form, and what a write
// that fails does to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "app/settings.h"
#include "archiver/lzh.h"
#include "tests/archiver/lzh_test_data.h"
#include "tests/transfer/transfer_fixture.h"

using lzhtest::StoredLevel0;
using quztest::Exists;
using quztest::ReadFile;
using quztest::WriteFile;
using transfertest::kT0;
using transfertest::TransferTest;
using transfertest::WriteTree;
namespace t = quz::transfer;

namespace {

TEST_F(TransferTest, StampIsLocalStandardTimeInTenDigits) {
  // Japan: nine hours ahead of UTC, the next day after 15:00 UTC.
  EXPECT_EQ(t::ExportStamp(kT0, -32400), "2612071930");
  EXPECT_EQ(t::ExportStamp(kT0 + 5 * 3600, -32400), "2612080030");
  EXPECT_EQ(t::ExportStamp(0, 0), "7001010000");
  EXPECT_EQ(t::LastExportTimeText(0, 0), "1970年01月01日00時00分");
  EXPECT_EQ(t::LastExportTimeText(kT0, -32400), "2026年12月07日19時30分");
}

TEST_F(TransferTest, FirstPlainExportCopiesEveryFileButTheTempImage) {
  // Nothing is stored yet (what the windows store is their test's).
  const t::ExportSettings stored = t::LoadExportSettings(settings);
  EXPECT_EQ(std::make_tuple(stored.lastExportTime, stored.destination, stored.splitMode, stored.pieceSize),
            std::make_tuple(0, std::string(), 0, 0.0));
  // A missing work folder is the temporary folder, written back at once.
  ASSERT_TRUE(quz::DeleteSetting(settings, "作業フォルダ"));
  EXPECT_EQ(t::LoadExportSettings(settings).workFolder, plat::TempFolder());
  EXPECT_EQ(quz::ReadSetting(settings, "作業フォルダ"), plat::TempFolder());
  WriteTree(save, "2026-12-7\\a.txt", "alpha");
  WriteTree(save, "2026-12-7\\quzFileList.txt", "a.txt<C:\\a.txt\r\n");
  WriteTree(save, "mail.mbx\\0000000.dat", quztest::Pattern(3000, 1));
  WriteTree(save, "mail.mbx\\~temp.dat", "combined image");
  WriteTree(save, "mail.mbx\\~quz0000beef.tmp", "a fragment a killed save left");
  WriteTree(save, "upper\\~TEMP.DAT", "same name in capitals");
  WriteTree(save, "deep\\er\\still\\c.bin", quztest::Pattern(1048576, 2));
  plat::CreateFolder(save + "empty");

  t::ExportContext ctx = Context();
  t::ExportResult r = t::RunExport(ctx);
  EXPECT_EQ(r.ok, 1);
  const std::string folder = dest + "2612071030\\";
  EXPECT_EQ(r.exportFolder, folder);
  EXPECT_EQ(r.files, 5);
  EXPECT_EQ(r.bytes, 5 + 16 + 3000 + 21 + 1048576);
  EXPECT_EQ(r.text, "5個1.00MBのファイルを" + folder + "に書き出しました");
  EXPECT_EQ(ReadFile(folder + "2026-12-7\\a.txt"), "alpha");
  EXPECT_TRUE(ReadFile(folder + "mail.mbx\\0000000.dat") == quztest::Pattern(3000, 1));
  EXPECT_FALSE(Exists(folder + "mail.mbx\\~temp.dat"));
  EXPECT_FALSE(Exists(folder + "mail.mbx\\~quz0000beef.tmp"));
  EXPECT_EQ(ReadFile(folder + "upper\\~TEMP.DAT"), "same name in capitals");
  EXPECT_TRUE(ReadFile(folder + "deep\\er\\still\\c.bin") == quztest::Pattern(1048576, 2));
  EXPECT_TRUE(ui.Messages().empty());
  // The walk reports 0-9 %, the copy 10-99 %.
  ASSERT_FALSE(ui.ProgressReports().empty());
  for (const auto& [percent, caption] : ui.ProgressReports()) {
    EXPECT_LT(percent, 100);
    EXPECT_EQ(caption, "処理中");
  }

  EXPECT_EQ(ctx.lastExportTime, kT0);
  EXPECT_EQ(quz::ReadSetting(settings, "最終書き出し日時"), std::to_string(kT0));
}

TEST_F(TransferTest, SelectionByTimeAndAFileChangedAfterTheExportIsTakenNext) {
  WriteTree(save, "old.txt", "old", kT0 - 100);
  WriteTree(save, "equal.txt", "equal", kT0);
  WriteTree(save, "sub\\new.txt", "new", kT0 + 10);
  t::ExportContext ctx = Context();
  ctx.lastExportTime = kT0;
  now = kT0 + 60;
  t::ExportResult r = t::RunExport(ctx);
  ASSERT_EQ(r.ok, 1);
  const std::string first = dest + "2612071031\\";
  EXPECT_FALSE(Exists(first + "old.txt"));
  EXPECT_EQ(ReadFile(first + "equal.txt"), "equal");  // equal to the last export time: taken again
  EXPECT_EQ(ReadFile(first + "sub\\new.txt"), "new");
  EXPECT_EQ(r.files, 2);
  // The copies carry the saved files' times, which the restore orders by.
  EXPECT_EQ(quztest::TimeOf(first + "sub\\new.txt"), kT0 + 10);
  EXPECT_EQ(ctx.lastExportTime, kT0 + 60);

  // Changed after the export: the next export takes it, and only it.
  WriteTree(save, "old.txt", "changed", kT0 + 90);
  now = kT0 + 120;
  r = t::RunExport(ctx);
  ASSERT_EQ(r.ok, 1);
  const std::string second = dest + "2612071032\\";
  EXPECT_EQ(ReadFile(second + "old.txt"), "changed");
  EXPECT_FALSE(Exists(second + "equal.txt"));
  EXPECT_FALSE(Exists(second + "sub"));
  EXPECT_EQ(r.files, 1);

  // Nothing changed: an empty export folder, 0 files, and the time moves.
  now = kT0 + 180;
  r = t::RunExport(ctx);
  EXPECT_EQ(r.ok, 1);
  EXPECT_EQ(r.text, "0個0.00MBのファイルを" + dest + "2612071033\\に書き出しました");
  EXPECT_TRUE(quztest::IsFolder(dest + "2612071033"));
  EXPECT_EQ(ctx.lastExportTime, kT0 + 180);
}

// A destination that cannot hold folders (a file stands in its place, as
// a medium removed or write-protected) is told once; what cannot be read
// is named.  Either fails the export and keeps the last export time, and
// the next export takes the same files again.
TEST_F(TransferTest, WhatCannotBeWrittenOrReadFailsTheExportIsToldOrNamedAndIsTakenAgain) {
  WriteTree(save, "2026-12-7\\a.txt", "alpha");
  WriteTree(save, "2026-12-7\\b.txt", "bravo");
  WriteTree(save, "2026-12-8\\c.txt", "charlie");
  WriteTree(save, "mail.mbx\\~temp.dat", "combined image");
  quztest::WriteFile(dir / "blocked", "a file");
  t::ExportContext ctx = Context();
  ctx.destination = dir / "blocked\\inner";
  ctx.lastExportTime = 100;
  quz::WriteSetting(settings, "100", "最終書き出し日時");
  std::vector<std::string> reported;
  ctx.reportFailure = [&](const std::string& path, const std::string& reason) {
    EXPECT_FALSE(reason.empty());
    reported.push_back(path);
  };
  t::ExportResult r = t::RunExport(ctx);
  EXPECT_EQ(r.ok, 0);
  EXPECT_EQ(r.files, 0);
  EXPECT_EQ(quztest::CaptionsAndTexts(ui.Messages()),
            std::vector<std::string>{dir / "blocked\\inner\\" + " | フォルダを作れません"});
  EXPECT_EQ(ctx.lastExportTime, 100);
  EXPECT_EQ(quz::ReadSetting(settings, "最終書き出し日時"), "100");

  ctx.destination = dest;
  {
    quztest::Unreadable file(save + "2026-12-7\\b.txt");
    quztest::Unreadable folder(save + "2026-12-8");
    // The image is never exported, so a save holding it is no failure.
    quztest::Unreadable image(save + "mail.mbx\\~temp.dat");
    r = t::RunExport(ctx);
  }
  EXPECT_EQ(r.ok, 0);
  EXPECT_EQ(r.files, 1);
  std::sort(reported.begin(), reported.end());
  EXPECT_EQ(reported, (std::vector<std::string>{save + "2026-12-7\\b.txt", save + "2026-12-8"}));
  EXPECT_EQ(ctx.lastExportTime, 100);
  EXPECT_EQ(quz::ReadSetting(settings, "最終書き出し日時"), "100");
  EXPECT_EQ(ui.Messages().size(), 1u);

  now += 60;
  reported.clear();
  r = t::RunExport(ctx);
  EXPECT_EQ(r.ok, 1);
  EXPECT_EQ(r.files, 3);
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(ReadFile(dest + t::ExportStamp(now, 0) + "\\2026-12-7\\b.txt"), "bravo");
}

#ifndef _WIN32
// A medium that fills up in the middle of a copy: the device that is
// always full stands in the copy's place.
TEST_F(TransferTest, ACopyThatBreaksOffIsRemovedAndFailsTheExport) {
  WriteTree(save, "a.txt", "alpha");
  WriteTree(save, "b.txt", "beta");
  plat::CreateFolder(dest + "2612071030");
  ASSERT_EQ(quztest::RunCommand("ln -s /dev/full " + quztest::Quote(quztest::HostPath(dest + "2612071030\\a.txt"))), 0);
  t::ExportContext ctx = Context();
  t::ExportResult r = t::RunExport(ctx);
  EXPECT_EQ(r.ok, 0);
  EXPECT_EQ(r.files, 1);
  EXPECT_EQ(r.failedCopies, 1);
  EXPECT_FALSE(Exists(dest + "2612071030\\a.txt"));
  EXPECT_EQ(ReadFile(dest + "2612071030\\b.txt"), "beta");
  EXPECT_EQ(ctx.lastExportTime, 0);
  EXPECT_EQ(quz::ReadSetting(settings, "最終書き出し日時"), "");
}
#endif

// A stamp is month 1-12, day 1-31, hour 0-24 and minute 0-60; a piece name
// is a lower-case "b" or "e", three digits and "_" before one.
TEST_F(TransferTest, ExportItemsFollowTheStampAndPieceNameRules) {
  const std::string media = dir / "media\\";
  plat::CreateFolder(media);
  plat::CreateFolder(media + "0312011230");
  for (const char* name : {"0312011230.lzh", "b001_0312011230.lzh", "e002_0312011230.lzh", "e999_0312011230",
                           "0001010000", "9912312460.txt", "0013011230", "0300011230", "0312321230.lzh", "0312012500",
                           "9912312461", "031201123", "03120112300", "x001_0312011230.lzh", "B002_0312011230.lzh"})
    WriteFile(media + name, "x");
  std::vector<std::string> items = t::ListExportItems(media.substr(0, media.size() - 1));
  std::sort(items.begin(), items.end());
  std::vector<std::string> expected{media + "0001010000",          media + "0312011230",
                                    media + "0312011230.lzh",      media + "9912312460.txt",
                                    media + "b001_0312011230.lzh", media + "e002_0312011230.lzh",
                                    media + "e999_0312011230"};
  EXPECT_EQ(items, expected);
  // The import window lists them in order, whatever order the folder gives.
  EXPECT_EQ(t::ImportListLines(media), expected);
}

TEST_F(TransferTest, ImportOfAnExportFolderOverwritesAndCarriesTheTimes) {
  const std::string folder = dest + "2612071030\\";
  WriteTree(folder, "2026-12-7\\a.txt", "exported a", kT0 - 3600);
  WriteTree(folder, "mail.mbx\\0000001.dat", "fragment", kT0 - 7200);
  WriteTree(save, "2026-12-7\\a.txt", "older a", kT0 - 99999);
  WriteTree(save, "2026-12-7\\keep.txt", "untouched");

  std::vector<std::string> lines = t::ImportListLines(dest);
  ASSERT_EQ(lines, std::vector<std::string>{dest + "2612071030"});
  lines.push_back(dir / "vanished\\2612071031");  // a medium changed without refreshing
  t::ImportResult r = Import(lines, save);
  EXPECT_EQ(r.filesCopied, 2);
  EXPECT_EQ(r.problems, 0);
  EXPECT_EQ(ReadFile(save + "2026-12-7\\a.txt"), "exported a");
  EXPECT_EQ(ReadFile(save + "2026-12-7\\keep.txt"), "untouched");
  EXPECT_EQ(ReadFile(save + "mail.mbx\\0000001.dat"), "fragment");
  EXPECT_EQ(quztest::TimeOf(save + "2026-12-7\\a.txt"), kT0 - 3600);
  EXPECT_EQ(quztest::TimeOf(save + "mail.mbx\\0000001.dat"), kT0 - 7200);
  // No temporary file is left beside them.
  EXPECT_EQ(quztest::FileNames(save + "2026-12-7"), (std::vector<std::string>{"a.txt", "keep.txt"}));
  EXPECT_EQ(quztest::CaptionsAndTexts(ui.Messages()), std::vector<std::string>{"ファイル組込み | 完了しました"});

  // A folder without items lists only the placeholder, which imports
  // nothing and says nothing.
  lines = t::ImportListLines(dir / "missing");
  EXPECT_EQ(lines, std::vector<std::string>{"現在のフォルダに対象となるファイルはありません"});
  EXPECT_EQ(t::ImportListLines(""), lines);
  EXPECT_FALSE(Import(lines, save).ran);
  EXPECT_EQ(ui.Messages().size(), 1u);
}

TEST_F(TransferTest, AnImportedArchiveNeverWritesOutsideTheSaveFolder) {
  // A save folder whose path has blanks: the unpack line quotes it.
  const std::string saveWithBlanks = dir / "save folder\\";
  plat::CreateFolder(saveWithBlanks);
  const std::string media = dir / "media\\";
  plat::CreateFolder(media);
  WriteFile(media + "2612071030.lzh", StoredLevel0("ok.txt", "sound") + StoredLevel0("..\\..\\evil.txt", "evil") +
                                          StoredLevel0("sub\\ok2.txt", "also sound") + '\0');
  t::ImportResult r = Import(t::ImportListLines(media), saveWithBlanks);
  EXPECT_EQ(r.problems, 1);
  EXPECT_EQ(ReadFile(saveWithBlanks + "ok.txt"), "sound");
  EXPECT_EQ(ReadFile(saveWithBlanks + "sub\\ok2.txt"), "also sound");
  EXPECT_FALSE(Exists(dir / "evil.txt"));
  EXPECT_FALSE(Exists(quztest::TempRoot() + "evil.txt"));
  EXPECT_EQ(quztest::TextsOf(ui.Messages()), (std::vector<std::string>{"Unlha関数は失敗しました。", "完了しました"}));
}

}  // namespace

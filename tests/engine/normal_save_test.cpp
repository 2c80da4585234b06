// Normal saves, the generations they keep, and the block copy under every
// save and restore.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/run_state.h"
#include "catalogue/generation_index.h"
#include "engine/file_copy.h"
#include "engine/generations.h"
#include "engine/normal_save.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "tests/support/test_data.h"
#include "tests/support/test_support.h"

namespace {

using quz::CopyFileData;
using quz::kCopyAll;
using quz::kCopyBlock;
using quztest::IsFile;
using quztest::Pattern;
using quz::SaveNormal;
using quz::SaveNormalResult;
using quztest::ReadFile;
using quztest::WriteFile;

class SaveNormalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* f : {"src", "other.d", "2026-12-7"}) ASSERT_TRUE(plat::CreateFolder(dir / f));
    date = dir / "2026-12-7\\";
  }
  std::string List() { return IsFile(date + "quzFileList.txt") ? ReadFile(date + "quzFileList.txt") : ""; }

  quztest::TempDir dir;
  std::string date;
  std::atomic<int32_t> stop{0};
};

TEST_F(SaveNormalTest, SameNamesGetNumberedSuffixesBeforeTheExtensionAndListLines) {
  std::string a = dir / "src\\report.final.doc", b = dir / "other.d\\report.final.doc";
  WriteFile(a, "first");
  WriteFile(b, "second");
  SaveNormalResult r;
  ASSERT_EQ(SaveNormal(a, date, &stop, r), 1);
  EXPECT_EQ(r.copyPath, date + "report.final.doc");
  ASSERT_EQ(SaveNormal(b, date, &stop, r), 1);
  EXPECT_EQ(r.copyPath, date + "report.final(2).doc");
  WriteFile(a, "third");
  ASSERT_EQ(SaveNormal(a, date, &stop, r), 1);
  EXPECT_EQ(r.copyPath, date + "report.final(3).doc");
  EXPECT_EQ(r.size, 5);
  EXPECT_EQ(ReadFile(date + "report.final.doc"), "first");
  EXPECT_EQ(ReadFile(date + "report.final(2).doc"), "second");
  EXPECT_EQ(ReadFile(date + "report.final(3).doc"), "third");
  EXPECT_EQ(List(), "report.final.doc<" + a + "\r\nreport.final(2).doc<" + b + "\r\nreport.final(3).doc<" + a + "\r\n");

  // No extension (the folder's dot is none): the number goes at the end;
  // an empty source gives an empty copy.
  std::string readme = dir / "other.d\\README";
  WriteFile(readme, "");
  ASSERT_EQ(SaveNormal(readme, date, &stop, r), 1);
  EXPECT_EQ(r.copyPath, date + "README");
  ASSERT_EQ(SaveNormal(readme, date, &stop, r), 1);
  EXPECT_EQ(r.copyPath, date + "README(2)");
  EXPECT_EQ(ReadFile(date + "README(2)"), "");

  // Double-byte names whose second byte is "\" (0x5C) keep their folder.
  std::string sjis = dir / "src\\\x83\x5c\x83\x74\x83\x67.txt";
  WriteFile(sjis, "soft");
  ASSERT_EQ(SaveNormal(sjis, date, &stop, r), 1);
  EXPECT_EQ(r.copyPath, date + "\x83\x5c\x83\x74\x83\x67.txt");
  EXPECT_EQ(ReadFile(r.copyPath), "soft");
}

TEST_F(SaveNormalTest, NumbersGoOnPastTheHighestListedOrPresentAndAreNeverGivenTwice) {
  std::string a = dir / "src\\n.txt";
  WriteFile(a, "new");
  // n(998) was deleted as an old generation but its line is still there;
  // n(999) and n(1000) exist without one.
  WriteFile(date + "quzFileList.txt", "n(998).txt<C:\\x\\n.txt\r\n");
  WriteFile(date + "n(999).txt", "old");
  WriteFile(date + "n(1000).txt", "old");
  SaveNormalResult r;
  ASSERT_EQ(SaveNormal(a, date, &stop, r), 1);
  EXPECT_EQ(r.copyPath, date + "n(1001).txt");
  EXPECT_EQ(ReadFile(date + "n(1000).txt"), "old");
  // A copy deleted meanwhile does not give its number back.
  ASSERT_TRUE(plat::DeleteFile(r.copyPath));
  ASSERT_EQ(SaveNormal(a, date, &stop, r), 1);
  EXPECT_EQ(r.copyPath, date + "n(1002).txt");
  EXPECT_EQ(List(), "n(998).txt<C:\\x\\n.txt\r\nn(1001).txt<" + a + "\r\nn(1002).txt<" + a + "\r\n");

  // A copy never takes a name the export or the tidying passes over.
  for (const char* reserved : {"~quz0123abcd.tmp", "~temp.dat"}) {
    std::string source = dir / "src\\" + reserved;
    WriteFile(source, reserved);
    ASSERT_EQ(SaveNormal(source, date, &stop, r), 1);
    EXPECT_EQ(r.copyPath, date + quz::CopyName(source, 2));
    EXPECT_EQ(ReadFile(r.copyPath), reserved);
  }
}

TEST_F(SaveNormalTest, WhatSavesCutShortLeftIsRemovedByTheNextSave) {
  WriteFile(date + "quzFileList.txt", "kept.txt<C:\\a\\kept.txt\r\n");
  WriteFile(date + "kept.txt", "kept");
  // A temporary copy no note names (the note never reached the disk).
  WriteFile(date + "~quz0000abcd.tmp", "a copy cut short");
  // The notes in the save folder: a copy renamed but never listed, one
  // that got its line, a temporary copy in another day's folder, and
  // names that would lead out of the save folder, which are not followed.
  WriteFile(date + "orphan.txt", "renamed, never listed");
  WriteFile(dir / "~quz0000abce.pnd", "T 2026-12-7\\~quz0000abc0.tmp\r\nC 2026-12-7\\orphan.txt\r\n");
  WriteFile(dir / "~QUZ0000ABCF.PND", "C 2026-12-7\\kept.txt\r\n");
  ASSERT_TRUE(plat::CreateFolder(dir / "2026-12-6"));
  WriteFile(dir / "2026-12-6\\~quz00001111.tmp", "yesterday's copy cut short");
  WriteFile(dir / "~quz00002222.pnd", "T 2026-12-6\\~quz00001111.tmp\r\n");
  WriteFile(dir / "precious.txt", "not ours");
  WriteFile(dir / "~quz00003333.pnd", "C ..\\precious.txt\r\nC 2026-12-7\\..\\..\\precious.txt\r\n");

  std::string a = dir / "src\\a.txt";
  WriteFile(a, "a");
  SaveNormalResult r;
  ASSERT_EQ(SaveNormal(a, date, &stop, r), 1);
  EXPECT_EQ(quztest::FileNames(date), (std::vector<std::string>{"a.txt", "kept.txt", "quzFileList.txt"}));
  EXPECT_EQ(List(), "kept.txt<C:\\a\\kept.txt\r\na.txt<" + a + "\r\n");
  EXPECT_TRUE(quztest::FileNames(dir / "2026-12-6").empty());
  EXPECT_EQ(quztest::FileNames(dir.path()), std::vector<std::string>{"precious.txt"});
}

TEST_F(SaveNormalTest, FailedSavesLeaveNoCopyAndNoLineSoTheNameStaysFree) {
  SaveNormalResult r;
  // A source that is gone.
  EXPECT_EQ(SaveNormal(dir / "src\\missing.txt", date, &stop, r), 0);
  EXPECT_FALSE(IsFile(date + "missing.txt"));
  // A stop request during the copy of a large file.
  std::string big = dir / "src\\big.bin";
  std::string data = Pattern(1000000);
  WriteFile(big, data);
  stop = 1;
  EXPECT_EQ(SaveNormal(big, date, &stop, r), 0);
  EXPECT_FALSE(IsFile(date + "big.bin"));
  EXPECT_EQ(List(), "");
  stop = 0;
  ASSERT_EQ(SaveNormal(big, date, &stop, r), 1);
  EXPECT_EQ(r.copyPath, date + "big.bin");
  EXPECT_EQ(ReadFile(r.copyPath), data);
  EXPECT_EQ(List(), "big.bin<" + big + "\r\n");
  // A copy that cannot be created (the date folder is gone).
  EXPECT_EQ(SaveNormal(big, dir / "nowhere\\", &stop, r), 0);
}

TEST_F(SaveNormalTest, ASourceCutShortWhileCopiedGivesAWholeCopyOrNone) {
  std::string src = dir / "src\\mail.mbx";
  std::string data = Pattern(8 * 1024 * 1024, 3);
  for (int round = 0; round < 6; ++round) {
    WriteFile(src, data);
    std::atomic<bool> go{false};
    std::thread cutter([&] {
      while (!go) std::this_thread::yield();
      for (int spin = 0; spin < round * 200; ++spin) std::this_thread::yield();
      plat::File f;
      if (f.Open(src, plat::Access::ReadWrite, plat::Disposition::OpenExisting, plat::kShareAll))
        f.SetLength(1000);
    });
    SaveNormalResult r;
    go = true;
    int ok = SaveNormal(src, date, &stop, r);
    cutter.join();
    if (ok) {
      std::string copy = ReadFile(r.copyPath);
      // Either all of what was there when the copy began, or what was left
      // when it began after the cut: never padding.
      EXPECT_TRUE(copy == data || copy == data.substr(0, 1000)) << round << " " << copy.size();
    }
    // Every line names a copy that exists whole.
    std::vector<std::string> copies = quztest::FileNames(date);
    std::erase(copies, "quzFileList.txt");
    EXPECT_EQ(copies.size(), quztest::Lines(List()).size());
  }
}

class GenerationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    save = dir.path();
    for (int d = 1; d <= 5; ++d) ASSERT_TRUE(plat::CreateFolder(save + "2026-1-" + std::to_string(d)));
  }
  // A copy of source in date folder d with the given time, listed there.
  std::string Copy(int d, const std::string& name, plat::Time32 time) {
    std::string folder = save + "2026-1-" + std::to_string(d) + "\\";
    WriteFile(folder + name, "copy");
    plat::SetFileTime(folder + name, time);
    std::string list = IsFile(folder + "quzFileList.txt") ? ReadFile(folder + "quzFileList.txt") : "";
    WriteFile(folder + "quzFileList.txt", list + name + "<" + source + "\r\n");
    return folder + name;
  }

  quztest::TempDir dir;
  std::string save;
  std::string source = "C:\\work\\a.txt";
  quz::CGenerationIndex index;
};

TEST_F(GenerationsTest, TheNewestCopiesUpToTheMaximumSurvive) {
  std::string c[6];
  // Days in an order different from the copies' times.
  c[1] = Copy(3, "a.txt", 1000);
  c[2] = Copy(1, "a.txt", 2000);
  c[3] = Copy(4, "a.txt", 3000);
  c[4] = Copy(2, "a.txt", 4000);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(quz::RecordGeneration(index, source, c[k], 3), k == 4 ? 1 : 0);
  EXPECT_FALSE(IsFile(c[1]));
  EXPECT_TRUE(index.IsRemoved(c[1]));
  c[5] = Copy(5, "a.txt", 5000);
  EXPECT_EQ(quz::RecordGeneration(index, source, c[5], 3), 1);
  EXPECT_FALSE(IsFile(c[2]));
  for (int k = 3; k <= 5; ++k) EXPECT_TRUE(IsFile(c[k])) << k;
  EXPECT_EQ(index.CopyCount(), 3);
  EXPECT_FALSE(index.HasCopy(c[2]));
  EXPECT_EQ(quz::PruneGenerations(index, source, 3), 0);

  // The loader drops the deleted copies' lines.
  quz::RunState state;
  state.saveFolder = save;
  std::unique_ptr<plat::Thread> loader;
  quz::StartIndexLoader(index, state, loader);
  ASSERT_TRUE(loader->Join(30000));
  EXPECT_EQ(ReadFile(save + "2026-1-3\\quzFileList.txt"), "");
  EXPECT_EQ(ReadFile(save + "2026-1-1\\quzFileList.txt"), "");
  EXPECT_EQ(ReadFile(save + "2026-1-4\\quzFileList.txt"), "a.txt<" + source + "\r\n");
}

TEST_F(GenerationsTest, MaximumZeroKeepsEverythingAndMissingCopiesGoFirst) {
  std::string a = Copy(1, "a.txt", 1000), b = Copy(2, "a.txt", 2000), cc = Copy(3, "a.txt", 3000);
  for (const auto& p : {a, b, cc}) EXPECT_EQ(quz::RecordGeneration(index, source, p, 0), 0);
  // The newest copy deleted by hand: it is found missing and pruned first,
  // before any copy that still exists.
  ASSERT_TRUE(plat::DeleteFile(cc));
  EXPECT_EQ(quz::PruneGenerations(index, source, 2), 1);
  EXPECT_TRUE(index.IsRemoved(cc));
  EXPECT_TRUE(IsFile(a));
  EXPECT_TRUE(IsFile(b));
}

TEST_F(GenerationsTest, StatisticsOfTheGenerationsPage) {
  EXPECT_EQ(quz::GetGenerationStats(index).averageText, "0.0世代");
  int n = 0;
  for (int s = 0; s < 4; ++s)
    for (int k = 0; k < (s == 0 ? 4 : 2); ++k)
      index.AddCopy("C:\\s" + std::to_string(s), save + "copy" + std::to_string(n++));
  const quz::GenerationStats stats = quz::GetGenerationStats(index);
  EXPECT_EQ(std::make_tuple(stats.sourcesText, stats.copiesText, stats.averageText),
            std::make_tuple(std::string("4"), std::string("10"), std::string("2.5世代")));
}

TEST_F(GenerationsTest, SavesWhileTheLoaderRewritesTheListsLoseNoLine) {
  std::string date = save + "2026-1-1\\";
  ASSERT_TRUE(plat::CreateFolder(dir / "src"));
  quz::RunState state;
  state.saveFolder = save;
  std::atomic<bool> done{false};
  std::thread reloader([&] {
    std::unique_ptr<plat::Thread> loader;
    while (!done) {
      quz::StartIndexLoader(index, state, loader);
      if (loader) loader->Join();
    }
  });
  std::atomic<int32_t> stop{0};
  const int kSaves = 60;
  for (int k = 0; k < kSaves; ++k) {
    std::string src = dir / ("src\\f" + std::to_string(k % 7) + ".txt");
    WriteFile(src, std::to_string(k));
    quz::SaveNormalResult r;
    ASSERT_EQ(quz::SaveNormal(src, date, &stop, r, nullptr, &index), 1);
    quz::RecordGeneration(index, src, r.copyPath, 0);
  }
  done = true;
  reloader.join();
  EXPECT_EQ(quztest::Lines(ReadFile(date + "quzFileList.txt")).size(), static_cast<size_t>(kSaves));
  // The index in memory lost none of them either, whichever load ran last.
  EXPECT_EQ(index.CopyCount(), kSaves);
  EXPECT_EQ(index.SourceCount(), 7);
}

// The block copy under every save and restore.
struct Pair {
  plat::File in, out;
  Pair(const std::string& from, const std::string& to) {
    EXPECT_TRUE(in.Open(from, plat::Access::Read, plat::Disposition::OpenExisting));
    EXPECT_TRUE(out.Open(to, plat::Access::ReadWrite, plat::Disposition::CreateAlways));
  }
};

TEST(CopyFileData, CopiesWholeBlocksAndTheRestFromTheCurrentPositionWithinTheLimitUntilAStop) {
  quztest::TempDir dir;
  for (int64_t size : {int64_t{0}, int64_t{1}, kCopyBlock, kCopyBlock + 1, 3 * kCopyBlock - 7}) {
    std::string data = Pattern(static_cast<size_t>(size), static_cast<unsigned>(size));
    quztest::WriteFile(dir / "src", data);
    {
      Pair p(dir / "src", dir / "dst");
      EXPECT_EQ(CopyFileData(p.in, p.out, kCopyAll, nullptr), 1) << size;
      EXPECT_EQ(p.in.Position(), size);
      EXPECT_EQ(p.out.Position(), size);
    }
    EXPECT_EQ(quztest::ReadFile(dir / "dst"), data) << size;
  }

  std::string data = Pattern(250000, 7);
  quztest::WriteFile(dir / "src", data);
  {
    // From position 1000, at most 150000 bytes; the destination keeps its
    // own position too.
    Pair p(dir / "src", dir / "dst");
    ASSERT_TRUE(p.out.WriteAll("head"));
    ASSERT_EQ(p.in.Seek(1000), 1000);
    EXPECT_EQ(CopyFileData(p.in, p.out, 150000, nullptr), 1);
    EXPECT_EQ(p.in.Position(), 151000);
  }
  EXPECT_EQ(quztest::ReadFile(dir / "dst"), "head" + data.substr(1000, 150000));
  {
    // A limit beyond what is left copies what is left.
    Pair p(dir / "src", dir / "dst");
    ASSERT_EQ(p.in.Seek(200000), 200000);
    EXPECT_EQ(CopyFileData(p.in, p.out, 10 * kCopyBlock, nullptr), 1);
  }
  EXPECT_EQ(quztest::ReadFile(dir / "dst"), data.substr(200000));

  // A stop flag ends the copy after the current block, without a message.
  plat::ScriptedInteraction ui;
  std::atomic<int32_t> stop{1};
  {
    Pair p(dir / "src", dir / "dst");
    EXPECT_EQ(CopyFileData(p.in, p.out, kCopyAll, &stop, &ui), 0);
  }
  EXPECT_EQ(quztest::ReadFile(dir / "dst"), data.substr(0, kCopyBlock));
  EXPECT_TRUE(ui.Messages().empty());
  EXPECT_EQ(stop.load(), 1);
}

// A device on which every write fails for want of space: the posix backend
// and Wine both map Z:\ to the host's root.  Where there is none (a real
// Windows), the test is skipped.
const char kFullDevice[] = "Z:\\dev\\full";

TEST(CopyFileData, AFailedWriteWarnsOnceSetsTheStopFlagAndFails) {
  quztest::TempDir dir;
  quztest::WriteFile(dir / "src", Pattern(3 * kCopyBlock + 5));
  if (!plat::File().Open(kFullDevice, plat::Access::Write, plat::Disposition::OpenExisting, plat::kShareAll))
    GTEST_SKIP() << "no full device on this system";
  auto copyToFull = [&](std::atomic<int32_t>* stop, plat::IUserInteraction* ui) {
    plat::File in, out;
    EXPECT_TRUE(in.Open(dir / "src", plat::Access::Read, plat::Disposition::OpenExisting));
    EXPECT_TRUE(out.Open(kFullDevice, plat::Access::Write, plat::Disposition::OpenExisting, plat::kShareAll));
    return CopyFileData(in, out, kCopyAll, stop, ui);
  };

  plat::ScriptedInteraction ui;
  std::atomic<int32_t> stop{0};
  for (int round = 0; round < 3; ++round) EXPECT_EQ(copyToFull(&stop, &ui), 0);
  EXPECT_EQ(stop.load(), 1);
  EXPECT_EQ(quztest::CaptionsAndTexts(ui.Messages()),
            std::vector<std::string>{"ファイル書きこみエラー | ディスクの空き容量が足りません\r\n"
                                     "保存場所を変更するか、不要なファイルを削除してください"});
  EXPECT_EQ(ui.Messages().at(0).style, plat::kButtonsOk | plat::kIconWarning);

  // Without a stop flag the failure is silent.
  plat::ScriptedInteraction quiet;
  EXPECT_EQ(copyToFull(nullptr, &quiet), 0);
  EXPECT_TRUE(quiet.Messages().empty());
}

}  // namespace

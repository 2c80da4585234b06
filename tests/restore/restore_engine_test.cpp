// The restore engine over save folders written by hand in the engine's
// formats: picking the copy for a candidate time, writing it in place or
// elsewhere, rebuilding differential files, and what goes wrong; and over
// save folders written by real checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/paths.h"
#include "app/run_state.h"
#include "app/settings.h"
#include "app/temporary_files.h"
#include "catalogue/file_list.h"
#include "catalogue/generation_index.h"
#include "engine/check.h"
#include "platform/interaction.h"
#include "restore/restore_engine.h"
#include "tests/restore/save_fixture.h"
#include "tests/support/test_data.h"
#include "tests/support/test_support.h"

using plat::OverwriteAnswer;
using quz::RestoreSelectionRequest;
using quztest::Exists;
using quztest::Le32;
using quztest::Pattern;
using quztest::ReadFile;
using quztest::WriteFile;
using restoretest::Seconds;

namespace {

constexpr int32_t kJapan = -32400;
const int64_t kDay = Seconds(2026, 12, 7);
int64_t At(int h, int m = 0, int s = 0) { return kDay + h * 3600 + m * 60 + s; }

class RestoreEngineTest : public ::testing::Test {
 protected:
  RestoreEngineTest() : save(dir / "save\\", kJapan), ctx(table, ui) {
    ctx.timeZoneOffset = kJapan;
    quz::OverrideProgramFolder(dir.path());
    // Files already there are overwritten without a question.
    quz::WriteSetting(quz::kSettingsFile, "Yes", quz::kOverwriteAllKey);
    plat::CreateFolder(dir / "src");
    src = dir / "src\\";
    out = dir / "out";
  }
  ~RestoreEngineTest() override { quz::OverrideProgramFolder(""); }

  void Load() { table.Load(save.root(), nullptr); }

  RestoreSelectionRequest Request(const std::string& folder, std::vector<std::string> files, int64_t t) {
    return {folder, std::move(files), true, static_cast<int32_t>(t)};
  }

  std::string Folder() const { return src.substr(0, src.size() - 1); }
  std::string ErrorLog() { return Exists(dir / "lasterror.txt") ? ReadFile(dir / "lasterror.txt") : ""; }
  // Files left under a folder whose names are the restore's temporary ones.
  int Temporaries(const std::string& folder) {
    return static_cast<int>(std::ranges::count_if(quztest::FileNames(folder), quz::IsTemporaryName));
  }

  quztest::TempDir dir;
  restoretest::SaveFolder save;
  plat::ScriptedInteraction ui;
  quz::CRestoreTable table;
  quz::RestoreContext ctx;
  std::string src, out;
};

TEST_F(RestoreEngineTest, PickCopyTakesTheNewestCopyUpToSixtySecondsAfterTheCandidate) {
  std::string x = src + "x.txt";
  std::string c1000 = save.SaveCopy(x, "ten", At(10));
  std::string c1030 = save.SaveCopy(x, "half", At(10, 30));
  // Around local midnight: 23:59:00 + 60 s takes 00:00:00 but not 00:00:01.
  std::string y = src + "y.txt";
  save.SaveCopy(y, "before", At(23, 58));
  save.SaveCopy(y, "midnight", At(24));
  save.SaveCopy(y, "after", At(24, 0, 1));
  Load();

  auto pick = [&](const std::string& s, int64_t t) {
    quz::RestoreChoice c;
    if (!quz::PickCopy(ctx, s, static_cast<int32_t>(t), &c)) return std::string("none");
    return table.At(c.entry).location + "#" + std::to_string(c.fragment);
  };
  EXPECT_EQ(pick(x, At(10, 28, 59)), c1000 + "#-1");
  EXPECT_EQ(pick(x, At(10, 29)), c1030 + "#-1");  // 10:30:00 is within 60 s
  EXPECT_EQ(pick(x, quz::kAllNewestTime), c1030 + "#-1");
  EXPECT_EQ(pick(x, At(9, 58, 59)), "none");
  EXPECT_EQ(pick("C:\\nothing.txt", quz::kAllNewestTime), "none");
  EXPECT_EQ(pick(y, At(23, 59)), save.root() + "2026-12-8\\y.txt#-1");
  EXPECT_EQ(pick(y, At(23, 58, 59)), save.root() + "2026-12-7\\y.txt#-1");
  EXPECT_EQ(pick(y, At(24, 0, 1) - 60), save.root() + "2026-12-8\\y(2).txt#-1");
  // The same files under another offset: every time moves by an hour.
  ctx.timeZoneOffset = kJapan + 3600;
  EXPECT_EQ(pick(x, At(9, 1)), c1000 + "#-1");
  EXPECT_EQ(pick(x, At(8, 58, 59)), "none");

  // A differential file saved at 9:00, 10:00 and 11:00: 10:00 takes
  // fragments 0 and 1.
  ctx.timeZoneOffset = kJapan;
  std::string m = src + "in.mbx";
  save.SaveFragment(m, "aaaa", At(9));
  save.SaveFragment(m, "aaaabbbb", At(10));
  save.SaveFragment(m, "aaaabbbbcccc", At(11));
  Load();
  EXPECT_EQ(pick(m, At(10)), save.FragmentFolder(m) + "#1");
  EXPECT_EQ(pick(m, At(8, 59)), save.FragmentFolder(m) + "#0");
  EXPECT_EQ(pick(m, quz::kAllNewestTime), save.FragmentFolder(m) + "#2");

  // Two saves in one second: the later one is the newer state.
  std::string z = src + "z.txt";
  save.SaveCopy(z, "first", At(12));
  std::string later = save.SaveCopy(z, "second", At(12));
  save.SaveFragment(m, "aaaabbbbccccdddd", At(11));
  Load();
  EXPECT_EQ(pick(z, At(12)), later + "#-1");
  EXPECT_EQ(pick(m, quz::kAllNewestTime), save.FragmentFolder(m) + "#3");

  // A fragment a save set aside as damaged: a time after it but before the
  // chain that replaced it cannot be restored, and says so.
  std::string f = save.FragmentFolder(m);
  ASSERT_TRUE(plat::MoveFile(f + "0000003.dat", f + "0000003.damaged.dat"));
  save.SetTime(f + "0000003.damaged.dat", At(11, 30));
  save.SaveFragment(m, "aaaabbbbccccdddd", At(13));
  Load();
  EXPECT_EQ(quz::RestoreOne(ctx, m, static_cast<int32_t>(At(12)), "", out), 0);
  EXPECT_NE(ErrorLog().find(f + "0000003.damaged.dat"), std::string::npos);
  EXPECT_EQ(pick(m, At(11)), f + "#2");
  EXPECT_EQ(pick(m, quz::kAllNewestTime), f + "#3");
}

TEST_F(RestoreEngineTest, AFolderOrADriveElsewhereIsRecreatedUnderTheDestinationAndSelectedFilesLandDirectly) {
  save.SaveCopy(src + "x.txt", "x at ten", At(10));
  save.SaveCopy(src + "x.txt", "x at eleven", At(11));
  save.SaveCopy(src + "sub\\y.txt", "y at ten", At(10));
  save.SaveFragment(src + "in.mbx", "mail one", At(10));
  save.SaveFragment(src + "in.mbx", "mail one two", At(11));
  // A sibling folder whose name starts like the selected one.
  save.SaveCopy(dir / "src2\\z.txt", "not selected", At(10));
  Load();

  quz::RestoreCounts c = quz::RestoreSelection(ctx, Request(Folder(), {}, At(10, 30)), out + "\\");
  EXPECT_EQ(restoretest::Done(c), std::make_pair(3, 0));
  EXPECT_EQ(ReadFile(out + "\\src\\x.txt"), "x at ten");
  EXPECT_EQ(ReadFile(out + "\\src\\sub\\y.txt"), "y at ten");
  EXPECT_EQ(ReadFile(out + "\\src\\in.mbx"), "mail one");
  EXPECT_EQ(Temporaries(out + "\\src"), 0);
  // The restored file carries the copy's time, or its fragment's.
  EXPECT_EQ(quztest::TimeOf(out + "\\src\\x.txt"), save.FileTime(At(10)));
  EXPECT_EQ(quztest::TimeOf(out + "\\src\\in.mbx"), save.FileTime(At(10)));

  EXPECT_EQ(quztest::CaptionsAndTexts(ui.Messages()),
            std::vector<std::string>{"quz - 復元結果 | 3個のファイルを復元しました\r\n復元処理は正常に終了しました"});
  auto progress = ui.ProgressReports();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), std::make_pair(0, std::string("処理中")));
  EXPECT_EQ(progress.back(), std::make_pair(100, std::string("処理中")));

  // Selected files go straight into the folder, newest first.
  std::string flat = dir / "flat";
  c = quz::RestoreToFolder(ctx, Request(Folder(), {src + "x.txt", src + "in.mbx"}, quz::kAllNewestTime), flat);
  EXPECT_EQ(c.restored, 2);
  EXPECT_EQ(ReadFile(flat + "\\x.txt"), "x at eleven");
  EXPECT_EQ(ReadFile(flat + "\\in.mbx"), "mail one two");
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, quz::kRestoreFolderKey), flat);
  // Under the root the selected files are full paths and land by name; with
  // nothing selected the root restores nothing.
  c = quz::RestoreSelection(ctx, Request("", {src + "sub\\y.txt"}, quz::kAllNewestTime), dir / "named");
  EXPECT_EQ(c.restored, 1);
  EXPECT_EQ(ReadFile(dir / "named\\y.txt"), "y at ten");
  c = quz::RestoreSelection(ctx, Request("", {}, quz::kAllNewestTime), dir / "none");
  EXPECT_EQ(c.restored + c.failed, 0);
  // A drive keeps its folders under the destination: src2 too.
  c = quz::RestoreSelection(ctx, Request(src.substr(0, 2), {}, At(10, 30)), dir / "drive");
  EXPECT_EQ(c.restored, 4);
  EXPECT_EQ(ReadFile(dir / "drive" + (src + "sub\\y.txt").substr(2)), "y at ten");

  // A file with no copy at the time fails.
  c = quz::RestoreSelection(ctx, Request(Folder(), {src + "x.txt"}, At(9)), dir / "early");
  EXPECT_EQ(restoretest::Done(c), std::make_pair(0, 1));
  EXPECT_EQ(ui.Messages().back().text, "0個のファイルを復元しました\r\n1個のファイルの復元に失敗したかキャンセルされました");
}

TEST_F(RestoreEngineTest, InPlaceWarnsAsksBeforeOverwritingAndOverwriteAllLastsOneRestore) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    save.SaveCopy(src + name, std::string("saved ") + name, At(10));
    WriteFile(src + name, std::string("current ") + name);
  }
  save.SaveFragment(src + "m.mbx", std::string(3000000, 'm'), At(10));
  WriteFile(src + "m.mbx", "current mail");
  Load();
  auto request = Request(Folder(), {src + "a.txt", src + "b.txt", src + "m.mbx", src + "c.txt"}, quz::kAllNewestTime);

  ui.QueueAnswer(plat::kAnswerCancel);
  quz::RestoreCounts c;
  EXPECT_FALSE(quz::RestoreToOriginalPlaces(ctx, request, &c));
  EXPECT_EQ(ui.Messages()[0].caption, "元の場所に戻す - 警告");
  EXPECT_EQ(ui.Messages()[0].style, plat::kButtonsOkCancel | plat::kIconError);
  EXPECT_TRUE(ui.OverwriteQuestions().empty());
  EXPECT_EQ(ReadFile(src + "a.txt"), "current a.txt");

  // はい, いいえ, 全て上書き: the last file is not asked about.
  quz::WriteSetting(quz::kSettingsFile, "Yes", quz::kOverwriteAllKey);  // reset by the button
  ui.QueueOverwrite(OverwriteAnswer::Yes);
  ui.QueueOverwrite(OverwriteAnswer::No);
  ui.QueueOverwrite(OverwriteAnswer::All);
  EXPECT_TRUE(quz::RestoreToOriginalPlaces(ctx, request, &c));
  EXPECT_EQ(restoretest::Done(c), std::make_pair(3, 1));
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, quz::kOverwriteAllKey), "Yes");
  EXPECT_EQ(ReadFile(src + "a.txt"), "saved a.txt");
  EXPECT_EQ(ReadFile(src + "b.txt"), "current b.txt");
  EXPECT_EQ(ReadFile(src + "m.mbx"), std::string(3000000, 'm'));
  EXPECT_EQ(ReadFile(src + "c.txt"), "saved c.txt");
  std::vector<std::string> asked;  // the file, its size, the copy's size and time ("?": rebuilt)
  for (const plat::OverwriteQuestion& q : ui.OverwriteQuestions()) {
    const std::string copy = q.newUnknown ? "?" : std::to_string(q.newSize) + " @" + std::to_string(q.newTime);
    asked.push_back(q.path + " " + std::to_string(q.currentSize) + " " + copy);
  }
  const std::string copy = " 11 @" + std::to_string(save.FileTime(At(10)));
  EXPECT_EQ(asked, (std::vector<std::string>{src + "a.txt 13" + copy, src + "b.txt 13" + copy, src + "m.mbx 12 ?"}));

  // The next restore asks again.
  ui.QueueAnswer(plat::kAnswerOk);
  ui.QueueOverwrite(OverwriteAnswer::No);
  ui.SetDefaultOverwrite(OverwriteAnswer::No);
  EXPECT_TRUE(quz::RestoreToOriginalPlaces(ctx, Request(Folder(), {src + "b.txt"}, quz::kAllNewestTime), &c));
  EXPECT_EQ(ui.OverwriteQuestions().size(), 4u);
  EXPECT_EQ(c.failed, 1);
}

TEST_F(RestoreEngineTest, OverwriteTexts) {
  EXPECT_EQ(quz::OverwriteSizeText(1536, false), "サイズ : 1.50KB");
  EXPECT_EQ(quz::OverwriteSizeText(1048576 * 3 / 2, false), "サイズ : 1.50MB");
  EXPECT_EQ(quz::OverwriteSizeText(1048575, false), "サイズ : 1024.00KB");
  EXPECT_EQ(quz::OverwriteSizeText(5, true), "サイズ : (差分保存のため不明)");
  EXPECT_EQ(quz::OverwriteTimeText(0, true), "更新日時 : (差分保存のため不明)");
  // Local time: in January no zone here keeps daylight-saving time.
  const int64_t local = Seconds(2026, 1, 2, 3, 4, 5);
  EXPECT_EQ(quz::OverwriteTimeText(static_cast<int32_t>(local + plat::TimeZoneOffset()), false),
            "更新日時 : 2026年1月2日、3:4:5");
}

TEST_F(RestoreEngineTest, OpenFailuresAreReportedUntilTheUserDeclinesAndCountAsFailed) {
  std::string gone = save.SaveCopy(src + "gone.txt", "g", At(10));
  save.SaveCopy(src + "held.txt", "h", At(10));
  WriteFile(src + "held.txt", "in use");
  Load();
  // A folder where the list names a copy: nothing to restore from.
  ASSERT_TRUE(plat::DeleteFile(gone));
  ASSERT_TRUE(plat::CreateFolder(gone));

  // Another program holds the destination without sharing.
  plat::File holder;
  ASSERT_TRUE(holder.Open(src + "held.txt", plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareNone));

  ui.QueueAnswer(plat::kAnswerNo);  // do not show this again
  quz::RestoreCounts c = quz::RestoreSelection(ctx, Request(Folder(), {src + "held.txt"}, quz::kAllNewestTime), "");
  EXPECT_EQ(c.failed, 1);
  auto shown = ui.Messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(quztest::CaptionsAndTexts(shown)[0], src + "held.txt | ファイルを開けないか作成できません\r\n"
                                                 "このファイルの処理をスキップします\r\n\r\nこのダイアログを次回も表示しますか？");
  EXPECT_EQ(shown[0].style, plat::kButtonsYesNo | plat::kIconWarning);
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, quz::kOpenFailureDialogKey), "No");
  holder.Close();
  EXPECT_EQ(ReadFile(src + "held.txt"), "in use");
  EXPECT_EQ(Temporaries(src), 0);

  // Declined: the next failure is silent but still fails.
  ASSERT_TRUE(holder.Open(src + "held.txt", plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareNone));
  c = quz::RestoreSelection(ctx, Request(Folder(), {src + "held.txt"}, quz::kAllNewestTime), "");
  EXPECT_EQ(c.failed, 1);
  EXPECT_EQ(ui.Messages().size(), 3u);  // its result message, no open-failure message
  holder.Close();

  // The copy that is a folder is passed over, so the file fails.
  c = quz::RestoreSelection(ctx, Request(Folder(), {src + "gone.txt"}, quz::kAllNewestTime), out);
  EXPECT_EQ(c.failed, 1);
  EXPECT_FALSE(Exists(out + "\\gone.txt"));
}

TEST_F(RestoreEngineTest, AMissingOrDamagedFragmentFailsItsFileAndKeepsWhatWasThere) {
  std::string m = src + "in.mbx", d = src + "bad.mbx";
  save.SaveFragment(m, "first", At(9));
  std::string second = save.SaveFragment(m, "first second", At(10));
  save.SaveFragment(m, "first second third", At(11));
  ASSERT_TRUE(plat::DeleteFile(second));
  save.SaveFragment(d, "0123456789", At(9));
  // A record that claims more bytes than the fragment holds.
  std::string bad = save.WriteFragment(d, 1, Le32(12) + Le32(8) + Le32(4) + "AB", At(10));
  Load();
  plat::CreateFolder(out);
  WriteFile(out + "\\in.mbx", "what was there");

  quz::RestoreCounts c = quz::RestoreSelection(ctx, Request(Folder(), {m, d}, quz::kAllNewestTime), out);
  EXPECT_EQ(restoretest::Done(c), std::make_pair(0, 2));
  // The missing fragment is shown; the damaged one is one entry of the
  // error log.
  auto shown = ui.Messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].caption, second);
  const std::string log = ErrorLog();
  EXPECT_NE(log.find("\n " + bad + " "), std::string::npos) << log;
  EXPECT_EQ(quztest::Lines(log).size(), 1u);
  EXPECT_EQ(ReadFile(out + "\\in.mbx"), "what was there");
  EXPECT_FALSE(Exists(out + "\\bad.mbx"));
  EXPECT_EQ(Temporaries(out), 0);

  // Before the gap and the damage both restore.
  c = quz::RestoreSelection(ctx, Request(Folder(), {m, d}, At(9, 30)), out);
  EXPECT_EQ(c.restored, 2);
  EXPECT_EQ(ReadFile(out + "\\in.mbx"), "first");
  EXPECT_EQ(ReadFile(out + "\\bad.mbx"), "0123456789");
  // A fragment without its total length is damaged as well.
  save.WriteFragment(d, 1, "\x01", At(10));
  c = quz::RestoreSelection(ctx, Request(Folder(), {d}, quz::kAllNewestTime), dir / "other");
  EXPECT_EQ(c.failed, 1);
}

TEST_F(RestoreEngineTest, NothingIsWrittenOutsideTheDestinationWhateverTheListSays) {
  const std::string copy = save.SaveCopy(src + "ok.txt", "payload", At(10));
  // A foreign or damaged list: sources that climb out of their folder, and
  // one that lies in the save folder and is its own copy.
  WriteFile(save.root() + "2026-12-7\\quzFileList.txt",
            "ok.txt<" + src + "..\\..\\escaped.txt\r\n" + "ok.txt<" + src + "d\\..\\..\\up.txt\r\n" + "ok.txt<" + src +
                "d\\x/../../y.txt\r\n" + "ok.txt<" + src + "ok.txt\r\n" + "ok.txt<relative.txt\r\n" + "ok.txt<" + src +
                "dots\\..\r\n" + "ok.txt<" + copy + "\r\n");
  Load();
  ASSERT_EQ(table.Count(), 7);

  quz::RestoreCounts c = quz::RestoreSelection(ctx, Request(Folder(), {}, quz::kAllNewestTime), out);
  EXPECT_EQ(restoretest::Done(c), std::make_pair(1, 4));
  EXPECT_EQ(ReadFile(out + "\\src\\ok.txt"), "payload");
  EXPECT_FALSE(Exists(dir / "escaped.txt"));
  EXPECT_FALSE(Exists(dir / "up.txt"));
  EXPECT_FALSE(Exists(out + "\\up.txt"));
  EXPECT_FALSE(Exists(dir / "y.txt"));
  EXPECT_NE(ErrorLog().find("復元先フォルダの外を指すパスのため復元しません"), std::string::npos);

  // In place, a source must be a plain full path too; the copy restored
  // over itself stays whole.
  const std::vector<std::string> inPlace = {"relative.txt", src + "..\\..\\escaped.txt", src + "ok.txt", copy};
  c = quz::RestoreSelection(ctx, Request("", inPlace, quz::kAllNewestTime), "");
  EXPECT_EQ(restoretest::Done(c), std::make_pair(2, 2));
  EXPECT_FALSE(Exists(dir / "escaped.txt"));
  EXPECT_FALSE(Exists(quztest::TempRoot() + "escaped.txt"));
  EXPECT_EQ(ReadFile(src + "ok.txt"), "payload");
  EXPECT_EQ(ReadFile(copy), "payload");
}

#ifndef _WIN32
TEST_F(RestoreEngineTest, ACopyThatStopsAtAFailedWriteFailsAndLeavesTheOldFile) {
  std::string big(300000, 'z');
  save.SaveCopy(src + "big.txt", big, At(10));
  save.SaveFragment(src + "big.mbx", big, At(10));
  Load();
  plat::CreateFolder(out);
  WriteFile(out + "\\big.txt", "old");
  WriteFile(out + "\\big.mbx", "old mail");

  // Writes past 100 KB fail as on a full disk.
  quz::RestoreCounts c;
  quztest::WithFileSizeLimit(100000, [&] {
    c = quz::RestoreSelection(ctx, Request(Folder(), {src + "big.txt", src + "big.mbx"}, quz::kAllNewestTime), out);
  });

  EXPECT_EQ(restoretest::Done(c), std::make_pair(0, 2));
  EXPECT_EQ(ReadFile(out + "\\big.txt"), "old");
  EXPECT_EQ(ReadFile(out + "\\big.mbx"), "old mail");
  EXPECT_EQ(Temporaries(out), 0);
  EXPECT_NE(ErrorLog().find(save.root()), std::string::npos);

  c = quz::RestoreSelection(ctx, Request(Folder(), {src + "big.txt", src + "big.mbx"}, quz::kAllNewestTime), out);
  EXPECT_EQ(c.restored, 2);
  EXPECT_EQ(ReadFile(out + "\\big.txt"), big);
  EXPECT_EQ(ReadFile(out + "\\big.mbx"), big);
}
#endif

// Files saved by real checks at several moments, normal and differential,
// growing and shrinking, come back byte for byte as they were at each
// moment, elsewhere and in place.
// Every file below folder (ending with "\") whose time is later than
// `after` gets `time`: the checks of one test run within seconds, and this
// spreads them over moments ten minutes apart, as if the checks had run then.
void Retime(const std::string& folder, plat::Time32 after, plat::Time32 time) {
  std::vector<plat::DirEntry> entries;
  plat::ListDirectory(folder, entries);
  for (const auto& e : entries) {
    if (e.name == "." || e.name == "..") continue;
    if (e.isDirectory) {
      Retime(folder + e.name + "\\", after, time);
    } else if (e.mtime > after && e.name != "quzFileList.txt" && e.name != "~temp.dat") {
      ASSERT_TRUE(plat::SetFileTime(folder + e.name, time));
    }
  }
}

class RoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    quz::OverrideProgramFolder(dir.path());
    for (const char* f : {"data", "data\\sub", "save"}) ASSERT_TRUE(plat::CreateFolder(dir / f));
    data = dir / "data\\";
    state.saveFolder = dir / "save\\";
    context.catalogueFile = dir / "FileList.txt";
    context.historyFile = dir / "Rireki.txt";
    context.settingsFile = dir / "quz.ini";
    start = plat::Now() - 5;
    first = start - 86400;  // the first moment, a day back
  }
  void TearDown() override { quz::OverrideProgramFolder(""); }

  // Writes the files of moment k, runs a full check and moves what it
  // saved to that moment.
  void Check(int k, const std::map<std::string, std::string>& files) {
    if (k > 0) versions[k] = versions[k - 1];
    for (const auto& [name, contents] : files) {
      WriteFile(data + name, contents);
      ASSERT_TRUE(plat::SetFileTime(data + name, first + 600 * k - 100));  // a time of its own
      versions[k][name] = contents;
      // A file target that does not exist leaves the catalogue at a check,
      // so each is added when it first exists; ".mbx" files are saved
      // differentially.
      const quz::SaveType type = name.ends_with(".mbx") ? quz::SaveType::Differential : quz::SaveType::Normal;
      ASSERT_TRUE(list.FindEntry(data + name) || list.AddLoaded(data + name, 0, type, 0));
    }
    ASSERT_EQ(quz::FullCheck(context), 1);
    Retime(state.saveFolder, start, MomentTime(k));
  }
  plat::Time32 MomentTime(int k) const { return first + 600 * k; }
  int32_t Local(int k) const { return MomentTime(k) - plat::TimeZoneOffset(); }

  quztest::TempDir dir;
  std::string data;
  quz::RunState state;
  quz::CFileList list{&state};
  quz::CGenerationIndex index;
  plat::ScriptedInteraction ui;
  plat::Time32 start = 0, first = 0;
  std::map<int, std::map<std::string, std::string>> versions;  // moment -> name -> contents
  quz::CRestoreTable table;
  quz::CheckContext context{list, index, state, &ui};
};

TEST_F(RoundTripTest, EveryCandidateRestoresEveryFileAsItWas) {
  const std::string mail0 = Pattern(700000, 1);
  std::string mail1 = mail0 + Pattern(1000, 2);  // appended
  const std::string mail2 = std::string(mail1).replace(100000, 4, "WXYZ") + Pattern(3, 3);  // changed, appended
  std::string mail3 = mail2.substr(0, 300001);  // shrank
  std::string mail4 = mail3 + Pattern(600000, 4);  // grew past a comparison block
  Check(0, {{"a.txt", "a zero"}, {"mail.mbx", mail0}, {"sub\\log.mbx", "log"}});
  Check(1, {{"a.txt", "a one, longer"}, {"mail.mbx", mail1}, {"sub\\b.txt", Pattern(250000, 5)}});
  Check(2, {{"a.txt", "a2"}, {"mail.mbx", mail2}, {"sub\\log.mbx", "log grew"}});
  Check(3, {{"mail.mbx", mail3}, {"sub\\b.txt", "b shrank"}, {"sub\\log.mbx", "lo"}});
  Check(4, {{"a.txt", "a four"}, {"mail.mbx", mail4}, {"sub\\log.mbx", "lo"}});  // log.mbx only touched
  // The restore never reads the image the saves keep: a wrong one changes nothing.
  WriteFile(state.saveFolder + "mail.mbx\\~temp.dat", "stale");

  table.Load(state.saveFolder, nullptr);
  const std::string folder = data.substr(0, data.size() - 1);
  quz::RestoreContext ctx(table, ui);
  for (int k = 0; k <= 5; ++k) {
    SCOPED_TRACE(k);
    int moment = k == 5 ? 4 : k;
    std::string out = dir / ("out" + std::to_string(k));
    quz::RestoreCounts c = quz::RestoreToFolder(ctx, {folder, {}, true, k == 5 ? quz::kAllNewestTime : Local(k)}, out);
    const int saved = static_cast<int>(versions[moment].size());
    EXPECT_EQ(restoretest::Done(c), std::make_pair(saved, 4 - saved));  // files not yet saved then fail
    for (const char* name : {"a.txt", "sub\\b.txt", "mail.mbx", "sub\\log.mbx"}) {
      const std::string restored = out + "\\data\\" + name;
      if (versions[moment].count(name))
        EXPECT_TRUE(ReadFile(restored) == versions[moment][name]) << name;
      else
        EXPECT_FALSE(Exists(restored)) << name;
    }
  }

  // In place at moment 1, answering 全て上書き once.
  ui.QueueAnswer(plat::kAnswerOk);
  ui.QueueOverwrite(plat::OverwriteAnswer::All);
  quz::RestoreCounts c;
  ASSERT_TRUE(quz::RestoreToOriginalPlaces(ctx, {folder, {}, true, Local(1)}, &c));
  EXPECT_EQ(restoretest::Done(c), std::make_pair(4, 0));
  for (const auto& [name, contents] : versions[1]) EXPECT_TRUE(ReadFile(data + name) == contents) << name;
  EXPECT_EQ(ui.OverwriteQuestions().size(), 1u);
}

TEST_F(RoundTripTest, FifteenHundredFilesOfOneNameAreSavedByOneCheckAndRestoredApart) {
  constexpr int kFiles = 1500;
  for (int k = 0; k < kFiles; ++k) {
    std::string folder = data + "d" + std::to_string(k);
    ASSERT_TRUE(plat::CreateFolder(folder));
    WriteFile(folder + "\\desktop.ini", "desktop " + std::to_string(k));
    ASSERT_TRUE(list.AddLoaded(folder + "\\desktop.ini", 0, quz::SaveType::Normal, 0));
  }
  ASSERT_EQ(quz::FullCheck(context), 1);
  EXPECT_EQ(context.savedCount, kFiles);
  std::string date = quz::DateFolder(state.saveFolder, plat::Now());
  EXPECT_TRUE(Exists(date + "desktop(1000).ini"));
  EXPECT_TRUE(Exists(date + "desktop(1500).ini"));

  // Each source picks the copy with its own bytes.
  table.Load(state.saveFolder, nullptr);
  quz::RestoreContext ctx(table, ui);
  for (int k = 0; k < kFiles; ++k) {
    quz::RestoreChoice choice;
    ASSERT_TRUE(quz::PickCopy(ctx, data + "d" + std::to_string(k) + "\\desktop.ini", quz::kAllNewestTime, &choice)) << k;
    EXPECT_EQ(ReadFile(table.At(choice.entry).location), "desktop " + std::to_string(k));
  }
}

}  // namespace

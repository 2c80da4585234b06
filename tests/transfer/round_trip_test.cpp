// A save folder exported (plain, packed, split over two media), imported
// into an empty save folder, and restored from there byte for byte.
#include <gtest/gtest.h>

#include <map>

#include "app/settings.h"
#include "restore/restore_engine.h"
#include "restore/restore_table.h"
#include "tests/restore/save_fixture.h"
#include "tests/transfer/transfer_fixture.h"

using quztest::Exists;
using quztest::Pattern;
using quztest::ReadFile;
using restoretest::Seconds;
using transfertest::TransferTest;
namespace t = quz::transfer;

namespace {

class RoundTripTest : public TransferTest {
 protected:
  RoundTripTest() : original(save, 0), rebuilt(dir / "rebuilt\\") {
    src = dir / "src\\";
    const int64_t day = Seconds(2026, 12, 6);
    original.SaveCopy(src + "report.doc", Pattern(200000, 11), day + 9 * 3600);
    original.SaveCopy(src + "report.doc", "newer report", day + 10 * 3600);
    original.SaveCopy(src + "sub\\notes.txt", "notes, " + Pattern(70000, 12), day + 11 * 3600);
    original.SaveCopy(src + "空白 の 名前.txt", "a name with spaces", day + 11 * 3600);
    original.SaveFragment(src + "mail.mbx", Pattern(150000, 13), day + 8 * 3600);
    std::string grown = Pattern(150000, 13) + Pattern(40000, 14);
    grown[5000] ^= 0x55;
    original.SaveFragment(src + "mail.mbx", grown, day + 12 * 3600);
    expected = {{"report.doc", "newer report"},
                {"notes.txt", "notes, " + Pattern(70000, 12)},
                {"空白 の 名前.txt", "a name with spaces"},
                {"mail.mbx", grown}};
    // The copy lists were written just now; the export's clock says
    // otherwise.
    for (const char* list : {"2026-12-6\\quzFileList.txt", "mail.mbx\\quzFileList.txt"})
      EXPECT_TRUE(plat::SetFileTime(save + list, day + 12 * 3600));
  }

  // Imports the items found in a folder into the rebuilt save folder.
  t::ImportResult Import(const std::string& folder) {
    return TransferTest::Import(t::ImportListLines(folder), rebuilt);
  }

  // Restores every source, newest copies, from the rebuilt save folder.
  void ExpectRestoresExactly(const std::string& outName = "out") {
    quz::CRestoreTable table;
    quz::CRestoreTree tree;
    table.Load(rebuilt, &tree);
    quz::RestoreContext ctx(table, ui);
    ctx.timeZoneOffset = 0;
    quz::RestoreSelectionRequest r;
    for (const char* f : {"report.doc", "sub\\notes.txt", "空白 の 名前.txt", "mail.mbx"}) r.files.push_back(src + f);
    r.haveCandidate = true;
    r.candidateTime = quz::kAllNewestTime;
    const std::string out = dir / (outName + "\\");
    quz::RestoreCounts c = quz::RestoreToFolder(ctx, r, out);
    EXPECT_EQ(restoretest::Done(c), std::make_pair(4, 0));
    for (const auto& [name, contents] : expected) EXPECT_TRUE(ReadFile(out + name) == contents) << name;
  }

  restoretest::SaveFolder original;
  std::string rebuilt, src;
  std::map<std::string, std::string> expected;
};

TEST_F(RoundTripTest, PlainExportImportsAndRestores) {
  t::ExportContext ctx = Context();
  ASSERT_EQ(t::RunExport(ctx).ok, 1);
  // What a killed save leaves behind is no backup, wherever it is found.
  quztest::WriteFile(dest + "2612071030\\mail.mbx\\~quz0000beef.tmp", "a fragment cut short");
  t::ImportResult r = Import(dest);
  EXPECT_EQ(r.filesCopied, 8);  // four copies and their list, two fragments and their list
  EXPECT_FALSE(Exists(rebuilt + "mail.mbx\\~quz0000beef.tmp"));
  ExpectRestoresExactly();
}

TEST_F(RoundTripTest, PackedExportIsOnePieceThatImportsAndRestores) {
  t::ExportContext ctx = Context(true);
  t::ExportResult e = t::RunExport(ctx);
  ASSERT_EQ(e.ok, 1) << (ui.Messages().empty() ? "" : ui.Messages()[0].text);
  EXPECT_EQ(e.archivePath, work + "2612071030.lzh");
  EXPECT_EQ(e.pieces, 1);
  EXPECT_EQ(e.place, dest);
  EXPECT_TRUE(ReadFile(dest + "e001_2612071030.lzh") == ReadFile(e.archivePath));
  // The staged copies are gone; their folders stay, empty.
  EXPECT_FALSE(Exists(work + "2612071030\\mail.mbx\\0000000.dat"));
  EXPECT_TRUE(quztest::IsFolder(work + "2612071030\\mail.mbx"));
  EXPECT_EQ(ctx.lastExportTime, transfertest::kT0);

  t::ImportResult r = Import(dest);
  EXPECT_EQ(r.archivesUnpacked, 1);
  EXPECT_EQ(r.problems, 0);
  // The piece was gathered in the work folder, joined and unpacked.
  EXPECT_TRUE(Exists(work + "e001_2612071030.lzh"));
  EXPECT_EQ(quztest::CaptionsAndTexts(ui.Messages()),
            (std::vector<std::string>{work + "2612071030.lzh | この分割ファイルは正常に結合・復元されました",
                                      "ファイル組込み | 完了しました"}));
  ExpectRestoresExactly();

  // A second packed export with nothing new: no archive, not a failure.
  now += 60;
  ui.QueueAnswer(plat::kAnswerOk);
  t::ExportResult again = t::RunExport(ctx);
  EXPECT_EQ(again.ok, 1);
  EXPECT_EQ(ui.Messages().back().text, "対象となるファイルがないため圧縮ファイルは作成されませんでした");
  EXPECT_EQ(again.text, "0個0.00MBのファイルを0.00MBに圧縮して" + work + "2612071031.lzhに書き出しました");
  EXPECT_EQ(ctx.lastExportTime, transfertest::kT0 + 60);
}

// Two media: each time the writer asks for the next medium, what was
// written so far is carried off to the first medium's folder.
TEST_F(RoundTripTest, PiecesSpreadOverTwoMediaAreGatheredJoinedAndRestored) {
  const std::string media1 = dir / "media1\\";
  plat::CreateFolder(media1);
  struct Carrier : plat::ScriptedInteraction {
    std::string from, to;
    int Message(const std::string& text, const std::string& caption, unsigned style) override {
      if (text == t::kNextMediumText)
        for (const std::string& p : t::ListFolderLevel(from)) plat::MoveFile(p, to + p.substr(from.size()));
      return ScriptedInteraction::Message(text, caption, style);
    }
  } carrier;
  carrier.from = dest;
  carrier.to = media1;
  carrier.SetDefaultAnswer(plat::kAnswerCancel);
  t::ExportContext ctx = Context(true);
  ctx.ui = &carrier;
  ctx.splitEnabled = true;
  ctx.splitMode = t::kSplitUntilFull;
  // Each medium holds a little more than half of the archive.
  ctx.freeSpace = [&](const std::string&) { return quztest::SizeOf(work + "2612071030.lzh") / 2 + 1; };
  t::ExportResult e = t::RunExport(ctx);
  ASSERT_EQ(e.ok, 1);
  EXPECT_EQ(e.pieces, 2);
  EXPECT_EQ(quztest::FileNames(media1), std::vector<std::string>{"b001_2612071030.lzh"});
  EXPECT_EQ(quztest::FileNames(dest), std::vector<std::string>{"e002_2612071030.lzh"});

  // The first medium: the piece is gathered and the set is not complete.
  t::ImportResult r = Import(media1);
  EXPECT_EQ(r.piecesWaiting, 1);
  EXPECT_TRUE(Exists(work + "b001_2612071030.lzh"));
  EXPECT_EQ(quztest::CaptionsAndTexts(ui.Messages()),
            (std::vector<std::string>{work + "2612071030.lzh | この分割ファイルはまだ全て集まっていませんが\r\n"
                                             "その一部をハードディスクに複製しました\r\n"
                                             "全ての分割されたファイルが集まると自動で処理が進みます",
                                      "ファイル組込み | 完了しました"}));
  EXPECT_EQ(ui.Messages()[0].style, plat::kButtonsOk | plat::kIconInformation);
  EXPECT_FALSE(Exists(rebuilt + "2026-12-6"));

  // The second medium completes it.
  r = Import(dest);
  EXPECT_EQ(r.archivesUnpacked, 1);
  EXPECT_EQ(ui.Messages()[2].text, "この分割ファイルは正常に結合・復元されました");
  EXPECT_TRUE(ReadFile(work + "2612071030.lzh") == ReadFile(e.archivePath));
  ExpectRestoresExactly();

  // Importing from the work folder itself: the pieces there are not copied
  // onto themselves (which would empty them), and the set joins again.
  const std::string first = ReadFile(work + "b001_2612071030.lzh");
  r = Import(work);
  EXPECT_EQ(r.problems, 0);
  EXPECT_TRUE(ReadFile(work + "b001_2612071030.lzh") == first);
  EXPECT_TRUE(ReadFile(work + "2612071030.lzh") == ReadFile(e.archivePath));
  ExpectRestoresExactly("again");
}

TEST_F(RoundTripTest, APieceThatCannotBeWrittenFailsThePackedExport) {
  t::ExportContext ctx = Context(true);
  ctx.destination = dir / "no\\such\\medium";
  ctx.lastExportTime = 5;
  ui.QueueAnswer(plat::kAnswerCancel);
  t::ExportResult e = t::RunExport(ctx);
  EXPECT_EQ(e.ok, 0);
  ASSERT_FALSE(ui.Messages().empty());
  EXPECT_EQ(ui.Messages()[0].text, "ファイルを作れません\r\n別のメディアを挿入してください");
  EXPECT_EQ(ctx.lastExportTime, 5);
  EXPECT_EQ(quz::ReadSetting(settings, "最終書き出し日時"), "");
  // The staged copies are deleted all the same.
  EXPECT_FALSE(Exists(work + "2612071030\\mail.mbx\\0000000.dat"));
}

// A missing work folder is made, also two levels deep and with a name
// ending in a character whose second byte is "\"; one that cannot be made
// is told once, by its path.
TEST_F(RoundTripTest, AMissingWorkFolderIsMadeAndOneThatCannotBeIsToldOnce) {
  const std::string fresh = dir / "作業\\ソフト表";
  t::ExportContext ctx = Context(true);
  ctx.workFolder = fresh;
  ctx.splitEnabled = true;
  ctx.splitMode = t::kSplitFixedSize;
  ctx.pieceSize = 0.2;
  t::ExportResult e = t::RunExport(ctx);
  ASSERT_EQ(e.ok, 1);
  EXPECT_EQ(e.archivePath, fresh + "\\2612071030.lzh");
  ASSERT_GT(e.pieces, 1);

  // A work folder where a file stands: every piece fails, told once.
  quztest::WriteFile(dir / "blocked", "a file");
  const std::string blocked = dir / "blocked\\work";
  quz::WriteSetting(settings, blocked, "作業フォルダ");
  const size_t before = ui.Messages().size();
  t::ImportResult r = Import(dest);
  EXPECT_EQ(r.problems, e.pieces);
  auto shown = quztest::CaptionsAndTexts(ui.Messages());
  EXPECT_EQ(std::vector<std::string>(shown.begin() + before, shown.end()),
            (std::vector<std::string>{blocked + "\\ | フォルダを作れません", "ファイル組込み | 完了しました"}));

  // The packed export is told the same, once, and keeps the last export
  // time.
  now += 60;
  ctx.workFolder = blocked;
  e = t::RunExport(ctx);
  EXPECT_EQ(e.ok, 0);
  shown = quztest::CaptionsAndTexts(ui.Messages());
  ASSERT_EQ(shown.size(), before + 3);
  EXPECT_EQ(shown.back(), blocked + "\\ | フォルダを作れません");
  EXPECT_EQ(ctx.lastExportTime, transfertest::kT0);
}

}  // namespace

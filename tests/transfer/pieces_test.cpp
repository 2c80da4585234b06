// The piece writer and the joiner over real files, with the medium's free
// space made small where a case needs it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/transfer/transfer_fixture.h"

using quztest::Exists;
using quztest::Pattern;
using quztest::ReadFile;
using quztest::SizeOf;
using quztest::WriteFile;
using transfertest::TransferTest;
namespace t = quz::transfer;

namespace {

// The questions the writer asks, as the user reads them.
const std::string kNextMedium = "次のメディアを挿入してください\r\n準備ができたらOKを押してください";
const std::string kNoSpace = "空き容量がありません\r\n別のメディアを挿入してください";
const std::string kNotEnoughSpace = "指定された空き容量がありません\r\n別のメディアを挿入してください";

const std::string kName = "2612071030.lzh";
// Pieces by name, with their sizes.
using Sizes = std::map<std::string, int64_t>;
// The archive in pieces of 2 MB.
const Sizes kTwoPieces{{"b001_" + kName, 2000000}, {"e002_" + kName, 1000000}};

class PiecesTest : public TransferTest {
 protected:
  PiecesTest() : data(Pattern(3000000, 7)) { WriteFile(work + kName, data); }

  int Write(t::PieceWriterContext& ctx, int* pieces = nullptr, plat::IUserInteraction* with = nullptr) {
    plat::File archive;
    EXPECT_TRUE(archive.Open(work + kName, plat::Access::Read, plat::Disposition::OpenExisting));
    ctx.ui = with ? with : &ui;
    return t::WritePieces(ctx, archive, kName, dest, pieces);
  }
  // What dest holds.
  Sizes Pieces() {
    Sizes pieces;
    for (const std::string& path : t::ListFolderLevel(dest)) pieces[path.substr(dest.size())] = SizeOf(path);
    return pieces;
  }
  std::vector<std::string> Texts() { return quztest::TextsOf(ui.Messages()); }
  void Answer(std::initializer_list<int> answers) {
    for (int answer : answers) ui.QueueAnswer(answer);
  }
  // Pieces of a fixed size in megabytes, when splitting is on.
  static t::PieceWriterContext Fixed(double megabytes, bool split = true) {
    t::PieceWriterContext ctx;
    ctx.splitEnabled = split;
    ctx.splitMode = t::kSplitFixedSize;
    ctx.pieceSize = megabytes;
    return ctx;
  }
  // The pieces in dest join back into the archive.
  void ExpectJoinsBack(plat::IUserInteraction& with) {
    ASSERT_EQ(t::JoinPieces(dest, "2612071030", dir / "joined.lzh", with), 1);
    EXPECT_TRUE(ReadFile(dir / "joined.lzh") == data);
  }

  std::string data;
};

TEST_F(PiecesTest, FixedSizeOf144MegabytesMakesThreePiecesThatJoinBack) {
  t::PieceWriterContext ctx = Fixed(1.44);
  ASSERT_EQ(Write(ctx), 1);
  EXPECT_EQ(Pieces(), (Sizes{{"b001_" + kName, 1440000}, {"b002_" + kName, 1440000}, {"e003_" + kName, 120000}}));
  // The next medium is asked for before the second and the third piece.
  EXPECT_EQ(Texts(), std::vector<std::string>(2, kNextMedium));
  EXPECT_EQ(ui.Messages()[0].style, plat::kButtonsOk | plat::kIconInformation);

  ExpectJoinsBack(ui);
  ExpectJoinsBack(ui);  // the pieces stay: joining again rebuilds the same archive

  // A missing middle piece: no archive, no message.
  ASSERT_TRUE(plat::DeleteFile(dest + "b002_2612071030.lzh"));
  size_t before = ui.Messages().size();
  EXPECT_EQ(t::JoinPieces(dest, "2612071030", dir / "again.lzh", ui), 0);
  EXPECT_EQ(ui.Messages().size(), before);
  EXPECT_FALSE(Exists(dir / "again.lzh"));
  EXPECT_EQ(t::JoinPieces(dest, "2612071031", dir / "other.lzh", ui), 0);
}

TEST_F(PiecesTest, WithoutSplittingTheArchiveIsOnePieceIfTheMediumHoldsIt) {
  t::PieceWriterContext ctx = Fixed(1.44, false);
  ctx.freeSpace = [](const std::string&) { return int64_t{3000000}; };
  ASSERT_EQ(Write(ctx), 1);
  EXPECT_EQ(Pieces(), (Sizes{{"e001_" + kName, 3000000}}));
  EXPECT_TRUE(ui.Messages().empty());

  // One byte short: the question, and a cancel fails the writer.
  ctx.freeSpace = [](const std::string&) { return int64_t{2999999}; };
  ui.QueueAnswer(plat::kAnswerCancel);
  EXPECT_EQ(Write(ctx), 0);
  EXPECT_EQ(Texts(), std::vector<std::string>{kNotEnoughSpace});
  EXPECT_EQ(ui.Messages()[0].style, plat::kButtonsRetryCancel | plat::kIconInformation);
}

TEST_F(PiecesTest, FixedSizeComparesTheNominalSizeAlsoForTheLastPiece) {
  t::PieceWriterContext ctx = Fixed(1.44);
  int calls = 0;
  // Room for two pieces, then a medium with 500,000 bytes while 120,000
  // remain: asked all the same; Retry with a larger medium goes on.
  ctx.freeSpace = [&](const std::string&) { return ++calls == 3 ? int64_t{500000} : int64_t{1440000}; };
  Answer({plat::kAnswerOk, plat::kAnswerOk, plat::kAnswerRetry, plat::kAnswerOk});
  int pieces = 0;
  ASSERT_EQ(Write(ctx, &pieces), 1);
  EXPECT_EQ(Texts(), (std::vector<std::string>{kNextMedium, kNextMedium, kNotEnoughSpace, kNextMedium}));
  EXPECT_EQ(SizeOf(dest + "e003_2612071030.lzh"), 120000);

  // Cancelled at the third piece: the written pieces keep their "b" names.
  calls = 0;
  for (const char* n : {"b001_", "b002_", "e003_"}) plat::DeleteFile(dest + n + kName);
  Answer({plat::kAnswerOk, plat::kAnswerOk, plat::kAnswerCancel});
  EXPECT_EQ(Write(ctx, &pieces), 0);
  EXPECT_EQ(pieces, 2);
  EXPECT_EQ(Pieces(), (Sizes{{"b001_" + kName, 1440000}, {"b002_" + kName, 1440000}}));
}

TEST_F(PiecesTest, UntilFullFillsEachSmallMediumAndIgnoresThePieceSize) {
  t::PieceWriterContext ctx;
  ctx.splitMode = t::kSplitUntilFull;
  ctx.pieceSize = 1.44;  // ignored
  std::vector<int64_t> media{1000000, 0, 1200000, 5000000};
  size_t medium = 0;
  ctx.freeSpace = [&](const std::string& path) {
    EXPECT_EQ(path, dest);
    return media[medium++];
  };
  Answer({plat::kAnswerOk, plat::kAnswerRetry, plat::kAnswerOk, plat::kAnswerOk});
  ASSERT_EQ(Write(ctx), 1);
  EXPECT_EQ(Pieces(), (Sizes{{"b001_" + kName, 1000000}, {"b002_" + kName, 1200000}, {"e003_" + kName, 800000}}));
  EXPECT_EQ(Texts(), (std::vector<std::string>{kNextMedium, kNoSpace, kNextMedium, kNextMedium}));
  EXPECT_EQ(ui.Messages()[1].style, plat::kButtonsRetryCancel | plat::kIconError);
  ExpectJoinsBack(ui);
}

TEST_F(PiecesTest, AMediumThatIsGoneIsAskedForAgainAndNoBytesAreLost) {
  t::PieceWriterContext ctx = Fixed(2);
  ctx.freeSpace = [](const std::string&) { return int64_t{1} << 40; };  // far beyond 32 bits
  // The destination vanishes: the piece cannot be created.
  quztest::RemoveTree(dest);
  struct Restorer : plat::ScriptedInteraction {
    std::string folder;
    int Message(const std::string& text, const std::string& caption, unsigned style) override {
      if (text == t::kCannotCreatePieceText) plat::CreateFolder(folder);  // the user inserts a medium
      return ScriptedInteraction::Message(text, caption, style);
    }
  } restorer;
  restorer.folder = dest;
  restorer.QueueAnswer(plat::kAnswerRetry);
  restorer.SetDefaultAnswer(plat::kAnswerCancel);
  ASSERT_EQ(Write(ctx, nullptr, &restorer), 1);
  ASSERT_GE(restorer.Messages().size(), 1u);
  EXPECT_EQ(restorer.Messages()[0].text, "ファイルを作れません\r\n別のメディアを挿入してください");
  EXPECT_EQ(restorer.Messages()[0].style, plat::kButtonsRetryCancel | plat::kIconError);
  EXPECT_EQ(Pieces(), kTwoPieces);
  ExpectJoinsBack(restorer);
}

#ifndef _WIN32
// The free space says there is room, but the medium fills up inside the
// piece: the broken piece is removed, the question asked, and the retry
// writes the same bytes again.
TEST_F(PiecesTest, APieceThatBreaksOffIsRemovedAndWrittenAgain) {
  const std::string fullMedium = "ln -sf /dev/full " + quztest::Quote(quztest::HostPath(dest + "b001_" + kName));
  ASSERT_EQ(quztest::RunCommand(fullMedium), 0);
  t::PieceWriterContext ctx = Fixed(2);
  ctx.freeSpace = [](const std::string&) { return int64_t{1} << 40; };
  ui.QueueAnswer(plat::kAnswerRetry);
  ASSERT_EQ(Write(ctx), 1);
  ASSERT_GE(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0].text, "空き容量がありません\r\n別のメディアを挿入してください");
  EXPECT_EQ(Pieces(), kTwoPieces);
  ExpectJoinsBack(ui);

  // Cancelled instead: the writer fails and no broken piece is left.
  ASSERT_EQ(quztest::RunCommand(fullMedium), 0);
  plat::DeleteFile(dest + "e002_" + kName);
  ui.QueueAnswer(plat::kAnswerCancel);
  EXPECT_EQ(Write(ctx), 0);
  EXPECT_TRUE(Pieces().empty());
}
#endif

}  // namespace

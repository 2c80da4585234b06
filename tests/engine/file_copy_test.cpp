#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "engine/file_copy.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "tests/support/test_data.h"
#include "tests/support/test_support.h"

namespace {

using quz::CopyFileData;
using quz::kCopyAll;
using quz::kCopyBlock;

using quztest::Pattern;

struct Pair {
  plat::File in, out;
  Pair(const std::string& from, const std::string& to) {
    EXPECT_TRUE(in.Open(from, plat::Access::Read, plat::Disposition::OpenExisting));
    EXPECT_TRUE(out.Open(to, plat::Access::ReadWrite, plat::Disposition::CreateAlways));
  }
};

TEST(CopyFileData, CopiesWholeBlocksAndTheRestFromTheCurrentPositionWithinTheLimit) {
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
}

TEST(CopyFileData, AStopFlagEndsTheCopyAfterTheCurrentBlockWithoutAMessage) {
  quztest::TempDir dir;
  quztest::WriteFile(dir / "src", Pattern(5 * kCopyBlock));
  plat::ScriptedInteraction ui;
  std::atomic<int32_t> stop{1};
  {
    Pair p(dir / "src", dir / "dst");
    EXPECT_EQ(CopyFileData(p.in, p.out, kCopyAll, &stop, &ui), 0);
  }
  EXPECT_EQ(quztest::ReadFile(dir / "dst").size(), static_cast<size_t>(kCopyBlock));
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
  auto shown = ui.Messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text,
            "ディスクの空き容量が足りません\r\n保存場所を変更するか、不要なファイルを削除してください");
  EXPECT_EQ(shown[0].caption, "ファイル書きこみエラー");
  EXPECT_EQ(shown[0].style, plat::kButtonsOk | plat::kIconWarning);

  // Without a stop flag the failure is silent.
  plat::ScriptedInteraction quiet;
  EXPECT_EQ(copyToFull(nullptr, &quiet), 0);
  EXPECT_TRUE(quiet.Messages().empty());
}

}  // namespace

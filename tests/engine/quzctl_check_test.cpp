// quzctl check and quzctl history, run as their users run them: a copy of
// quzctl in a folder of its own, with its state files beside it; and checks
// ended abruptly.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/paths.h"
#include "app/temporary_files.h"
#include "engine/check.h"
#include "engine/crash_point.h"
#include "engine/differential_save.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "restore/restore_engine.h"
#include "tests/support/test_data.h"
#include "tests/support/test_support.h"

namespace {

using quztest::Pattern;
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
  EXPECT_EQ(quztest::FileNames(date).size(), 4u);  // two copies of a.txt, 日本語.txt and the list

  // Rows of name, folder, sizes and date: the first check saved both files
  // (in the order the folder listed them), the later ones a.txt.
  const std::string a = "a.txt\t" + data + "\t5KB\t5KB\t", b = "日本語.txt\t" + data + "\t1KB\t1KB\t";
  ASSERT_EQ(quzctl.Run({"history"}, &out), 0);
  EXPECT_TRUE(out.ends_with('\n'));
  std::vector<std::string> rows;
  std::istringstream lines(out);
  for (std::string row; std::getline(lines, row);) rows.push_back(row);
  ASSERT_EQ(rows.size(), 5u);
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
  EXPECT_TRUE(quztest::IsFile(date + "locked.txt"));
  ASSERT_EQ(quzctl.Run({"history"}, &out), 0);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);  // both files
}

TEST_F(QuzctlCheckTest, ACatalogueThatCannotBeReadIsNeverWrittenOver) {
  WriteFile(data + "a.txt", "a");
  const std::string catalogue = data + "kept.txt<1<0<1\r\n";
  WriteFile(dir / "FileList.txt", catalogue);
  {
    quztest::Unreadable held(dir / "FileList.txt");
    // Each tries for a second before it gives up: they run together.
    const std::vector<std::string> runs[] = {{"add", quztest::HostPath(data + "a.txt")}, {"check"}, {"list"}};
    std::vector<int> codes(3);
    std::vector<std::thread> threads;
    for (int k = 0; k < 3; ++k) threads.emplace_back([&, k] { codes[k] = quzctl.Run(runs[k]); });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(codes, std::vector<int>(3, 1));
    EXPECT_NE(quzctl.Stderr().find(dir / "FileList.txt"), std::string::npos) << quzctl.Stderr();
  }
  EXPECT_EQ(ReadFile(dir / "FileList.txt"), catalogue);
  EXPECT_EQ(quzctl.Run({"add", quztest::HostPath(data + "a.txt")}), 0) << quzctl.Stderr();
  EXPECT_EQ(ReadFile(dir / "FileList.txt"), catalogue + data + "a.txt<0<0<0\r\n");
}

// quzctl check ended abruptly in the middle of a large differential save and
// a large normal save: at the worst moments on purpose (through the crash
// points) and at random moments (killed from here).  Whatever the moment,
// the save folder holds nothing a later check or a restore could take for
// a backup, the next check saves both files, and the newest restore gives
// them back byte for byte.
const char kBothSaved[] = "2 files saved, 2 entries checked\n";

class InterruptedCheckTest : public QuzctlCheckTest {
 protected:
  void SetUp() override {
    QuzctlCheckTest::SetUp();
    mboxPath = data + "big.mbx";
    isoPath = data + "big.iso";
    save = dir / "save\\";
    WriteFile(dir / "quz.ini", "[quz保存先フォルダ]" + save + "\r\n");
    WriteFile(dir / "FileList.txt", mboxPath + "<0<1<0\r\n" + isoPath + "<0<0<0\r\n");
    mbox = Pattern(3 << 20, 1);
    // The restore reads its settings beside the program: the test's folder.
    quz::OverrideProgramFolder(dir.path());
  }
  void TearDown() override { quz::OverrideProgramFolder(""); }

  // Both files change as between two checks: the mailbox has some bytes
  // rewritten and, when it grows, a megabyte appended; the image is new
  // throughout.  A mailbox that keeps its length leaves a stale image only
  // its time to tell it by.
  void Change(bool grow = true) {
    ++round;
    for (int k = 0; k < 5; ++k) mbox[(round * 7919 + k * 524287) % mbox.size()] ^= 0x5A;
    if (grow) mbox += Pattern(1000000, round);
    iso = Pattern(5 << 20, 1000 + round);
    WriteFile(mboxPath, mbox);
    WriteFile(isoPath, iso);
    ASSERT_TRUE(plat::SetFileTime(mboxPath, 1200000000 + round));
    ASSERT_TRUE(plat::SetFileTime(isoPath, 1200000000 + round));
  }

  // A check that ends at a crash point, or is killed after killAfterMs.
  // Returns its exit status.
  int InterruptedCheck(const std::string& crashAt, uint32_t killAfterMs = 0) {
    quztest::ChildProcess child;
    std::vector<std::string> env;
    if (!crashAt.empty()) env.push_back("QUZ_CRASH_AT=" + crashAt);
    EXPECT_TRUE(child.Start(quzctl.exe(), {"check"}, dir / "interrupted.txt", env));
    if (killAfterMs > 0) {
      if (!child.Wait(killAfterMs)) child.Kill();
    } else {
      EXPECT_TRUE(child.Wait(120000));
    }
    return child.ExitCode();
  }

  // What a save folder may hold at any moment: fragments without a gap
  // that all apply, an image that is the fragments' result whenever it
  // carries the newest fragment's time, copies that a list line names (or
  // that a save's note names as being put in place), temporary files and
  // notes.  With `settled` (after a check that ran to its end) no temporary
  // file or note either.
  void ExpectConsistent(bool settled) {
    const std::string fragments = save + "big.mbx\\";
    ASSERT_TRUE(quztest::IsFolder(fragments));
    plat::Time32 newest = 0;
    const int32_t n = quz::CountFragments(fragments, &newest);
    std::string rebuilt = dir / "rebuilt";
    {
      plat::File image;
      ASSERT_TRUE(image.Open(rebuilt, plat::Access::ReadWrite, plat::Disposition::CreateAlways));
      for (int32_t k = 0; k < n; ++k) {
        plat::File f;
        ASSERT_TRUE(f.Open(quz::FragmentPath(fragments, k), plat::Access::Read, plat::Disposition::OpenExisting));
        ASSERT_EQ(quz::ApplyFragment(f, image), 1) << "fragment " << k;
      }
    }
    for (const std::string& name : quztest::FileNames(fragments)) {
      int32_t number = 0;
      if (name == "~temp.dat") {
        plat::FileStatus image;
        ASSERT_TRUE(plat::GetFileStatus(fragments + name, image));
        if (image.mtime == newest) {
          EXPECT_TRUE(ReadFile(fragments + name) == ReadFile(rebuilt)) << "a stale image";
        }
        if (settled) {
          EXPECT_EQ(image.mtime, newest);
        }
      } else if (quz::ParseFragmentName(name, number)) {
        EXPECT_LT(number, n) << name;
      } else if (quz::IsTemporaryName(name)) {
        EXPECT_FALSE(settled) << name;
      } else if (!quz::IsSetAsideFragmentName(name)) {
        EXPECT_EQ(name, "quzFileList.txt");
      }
    }
    // The copies the notes of saves cut short say were being put in place.
    std::set<std::string> becoming;
    for (const std::string& name : quztest::FileNames(save)) {
      EXPECT_TRUE(quz::IsPendingNoteName(name) && !settled) << name;
      for (const std::string& line : quztest::Lines(ReadFile(save + name)))
        if (line[0] == 'C') becoming.insert(save + line.substr(2));
    }
    // The date folders.
    std::vector<plat::DirEntry> entries;
    plat::ListDirectory(save, entries);
    for (const auto& e : entries) {
      if (!e.isDirectory || e.name == "." || e.name == ".." || e.name == "big.mbx") continue;
      const std::string date = save + e.name + "\\";
      std::set<std::string> named;
      std::string list;
      plat::ReadWholeFile(date + "quzFileList.txt", list);
      for (const std::string& line : quztest::Lines(list)) named.insert(line.substr(0, line.find('<')));
      for (const std::string& name : quztest::FileNames(date)) {
        if (name == "quzFileList.txt") continue;
        if (quz::IsTemporaryName(name))
          EXPECT_FALSE(settled) << name;
        else
          EXPECT_TRUE(named.count(name) || becoming.count(date + name)) << name << " is no listed copy";
      }
    }
  }

  // The next check saves both files (nothing at all when the interrupted
  // one got as far as writing the catalogue), and the newest restore gives
  // them back.
  void ExpectRecovery(bool bothUnsaved) {
    std::string out;
    ASSERT_EQ(quzctl.Run({"check"}, &out), 0) << quzctl.Stderr();
    if (bothUnsaved)
      EXPECT_EQ(out, kBothSaved);
    else
      EXPECT_TRUE(out == kBothSaved || out == "0 files saved, 2 entries checked\n") << out;
    ExpectConsistent(true);

    quz::CRestoreTable table;
    table.Load(save, nullptr);
    plat::ScriptedInteraction ui;
    quz::RestoreContext ctx(table, ui);
    std::string restored = dir / ("restored" + std::to_string(round));
    EXPECT_EQ(quz::RunRestore(ctx, {"", {mboxPath, isoPath}, true, quz::kAllNewestTime}, restored, false).restored, 2);
    EXPECT_TRUE(ReadFile(restored + "\\big.mbx") == mbox) << "the mailbox as restored differs";
    EXPECT_TRUE(ReadFile(restored + "\\big.iso") == iso) << "the image as restored differs";
    quztest::RemoveTree(restored);
  }

  std::string mboxPath, isoPath, save;
  std::string mbox, iso;
  int round = 0;
};

TEST_F(InterruptedCheckTest, NoKilledCheckNorDamagedFragmentStopsTheNextOneOrSpoilsTheNewestRestore) {
  Change();
  auto started = std::chrono::steady_clock::now();
  ExpectRecovery(true);
  const auto checkMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);

  // The differential save comes first: it compares, copies the appended
  // megabyte (blocks 1-9), applies the new fragment to the image (10-18);
  // the normal save's copy follows.  A step without recovery leaves its
  // state to the next interrupted check.
  struct Step {
    const char* crashAt;
    bool recover;
    bool grow;
  };
  const Step steps[] = {
      {"fragment-header", true, true},      {"fragment-record", true, false}, {"copy-block:5", true, true},
      {"fragment-written", true, false},    {"image-moved", true, false},     {"fragment-published", false, false},
      {"image-rebuilding:2", true, true},   {"copy-block:14", true, true},    {"image-updated", true, false},
      {"copy-block:40", true, true},        {"normal-copied", true, true},    {"normal-renamed", false, true},
      {"normal-renamed", true, false},      {"normal-listed", true, true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.crashAt);
    Change(step.grow);
    ASSERT_EQ(InterruptedCheck(step.crashAt), quz::kCrashExitCode) << ReadFile(dir / "interrupted.txt");
    ExpectConsistent(false);
    if (step.recover) ExpectRecovery(true);
  }

  // And at moments nobody chose.
  std::mt19937 random(static_cast<unsigned>(plat::Now()));
  for (int k = 0; k < 6; ++k) {
    uint32_t after = 1 + static_cast<uint32_t>(random() % (checkMs.count() + 1));
    SCOPED_TRACE("killed after " + std::to_string(after) + " ms");
    Change(k % 2 == 0);
    InterruptedCheck("", after);
    ExpectConsistent(false);
    ExpectRecovery(false);
  }

  // What an older version left when it was killed: fragment 1 cut short
  // under its own name, and no image.  It is set aside, with those after
  // it, and saving goes on.
  std::string fragments = save + "big.mbx\\";
  std::string cut = ReadFile(quz::FragmentPath(fragments, 1));
  WriteFile(quz::FragmentPath(fragments, 1), cut.substr(0, cut.size() / 2));
  ASSERT_TRUE(plat::DeleteFile(fragments + "~temp.dat"));
  Change();
  ExpectRecovery(true);
  std::string errors = quzctl.Stderr();
  EXPECT_NE(errors.find("damaged fragment set aside: " + fragments + "0000001.damaged.dat"), std::string::npos) << errors;
  EXPECT_NE(errors.find(fragments + "0000002.damaged.dat"), std::string::npos) << errors;
  EXPECT_EQ(quz::CountFragments(fragments), 2);
}

}  // namespace

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/differential_save.h"
#include "tests/support/test_data.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quztest::Fragment;
using quztest::Pattern;
using quz::FragmentPath;
using quz::SaveDifferential;
using quztest::ReadFile;
using quztest::WriteFile;

class DifferentialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* f : {"Mail", "save"}) ASSERT_TRUE(plat::CreateFolder(dir / f));
    source = dir / "Mail\\InBox.mbx";
    save = dir / "save\\";
    folder = save + "InBox.mbx\\";
  }

  // Saves the source with the given contents; returns the new fragment.
  std::string Save(const std::string& contents, std::vector<std::string>* setAside = nullptr) {
    WriteFile(source, contents);
    // Every save is of a changed file: its time moves.
    plat::SetFileTime(source, ++clock);
    quz::DifferentialSaveResult saved;
    EXPECT_EQ(SaveDifferential(source, save, &stop, saved), 1);
    if (setAside) *setAside = saved.setAside;
    int32_t n = quz::CountFragments(folder);
    std::string fragment = ReadFile(FragmentPath(folder, n - 1));
    EXPECT_EQ(saved.backupSize, static_cast<int64_t>(fragment.size()));
    EXPECT_EQ(ReadFile(folder + "~temp.dat"), contents);
    return fragment;
  }

  // The file rebuilt from all fragments, without the image.
  std::string Rebuild(const std::string& from) {
    std::string path = dir / "rebuilt";
    plat::File image;
    EXPECT_TRUE(image.Open(path, plat::Access::ReadWrite, plat::Disposition::CreateAlways));
    for (int32_t k = 0; k < quz::CountFragments(from); ++k) {
      plat::File f;
      EXPECT_TRUE(f.Open(FragmentPath(from, k), plat::Access::Read, plat::Disposition::OpenExisting));
      EXPECT_EQ(quz::ApplyFragment(f, image), 1) << k;
    }
    image.Close();
    return ReadFile(path);
  }

  quztest::TempDir dir;
  std::string source, save, folder;
  std::atomic<int32_t> stop{0};
  plat::Time32 clock = 1000000000;
};

TEST_F(DifferentialTest, FirstSaveHoldsTheWholeFileAppendsHoldOnlyTheNewBytesAndShrinkingCutsTheImage) {
  std::string v0 = Pattern(400);
  EXPECT_EQ(Save(v0), Fragment(400, {{0, v0}}));
  EXPECT_EQ(ReadFile(folder + "quzFileList.txt"), "<" + source + "\r\n");
  std::string more = Pattern(100, 9);
  EXPECT_EQ(Save(v0 + more), Fragment(500, {{400, more}}));
  EXPECT_EQ(Save(v0 + more), Fragment(500));  // touched, not changed
  // Shrinking cuts the image.
  EXPECT_EQ(Save(v0.substr(0, 100)), Fragment(100));
  EXPECT_EQ(Rebuild(folder), v0.substr(0, 100));
  EXPECT_EQ(quz::CountFragments(folder), 4);

  // An empty file: fragment 0 is T = 0 alone.
  std::string empty = dir / "Mail\\empty.dat";
  WriteFile(empty, "");
  quz::DifferentialSaveResult saved;
  ASSERT_EQ(SaveDifferential(empty, save, &stop, saved), 1);
  EXPECT_EQ(ReadFile(save + "empty.dat\\0000000.dat"), Fragment(0));
  EXPECT_EQ(saved.backupSize, 4);
}

TEST_F(DifferentialTest, DifferingRunsEndAtEightEqualWordsOrTakeInTheEnd) {
  // Bytes changed in a file of 1000 words (or 1000 words and 3 bytes), a
  // tail appended, and the records the save must hold: offset and length.
  const struct {
    size_t length;
    std::vector<size_t> changed;
    std::string tail;
    std::vector<std::pair<uint32_t, uint32_t>> records;
  } cases[] = {
      {4000, {41}, "appended", {{40, 4}, {4000, 8}}},
      // 5 words apart: one record over both and the 4 equal words between.
      {4000, {401, 421}, "", {{400, 24}}},
      // 9 words apart: two records.
      {4000, {801, 837}, "", {{800, 4}, {836, 4}}},
      // A run that meets the end with 4 equal words after it takes in the first.
      {4000, {3981}, "", {{3980, 8}}},
      {4000, {3997}, "", {{3996, 4}}},
      // A change confined to the last 3 bytes is still saved; a run that
      // reaches the end without equal words takes in the last bytes.
      {4003, {4001}, "", {{4000, 3}}},
      {4003, {3997}, "", {{3996, 7}}},
      // Blocks are compared on their own: the last word of the first and the
      // first of the second make two records.
      {2 * 512000 + 40, {511996, 512000}, "", {{511996, 4}, {512000, 4}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.changed[0]);
    const std::string base = Pattern(c.length);
    Save(base);
    std::string v = base;
    for (size_t at : c.changed) v[at] ^= 0x5A;
    v += c.tail;
    std::vector<quztest::Record> records;
    for (const auto& [offset, length] : c.records) records.push_back({offset, v.substr(offset, length)});
    EXPECT_EQ(Save(v), Fragment(static_cast<uint32_t>(v.size()), records));
    EXPECT_EQ(Rebuild(folder), v);
  }
}

TEST_F(DifferentialTest, SourcesOfTheSameNameGetNumberedFolders) {
  ASSERT_TRUE(plat::CreateFolder(dir / "Other"));
  std::string other = dir / "Other\\InBox.mbx";
  Save("mine");
  WriteFile(other, "theirs");
  quz::DifferentialSaveResult saved;
  ASSERT_EQ(SaveDifferential(other, save, &stop, saved), 1);
  EXPECT_EQ(ReadFile(save + "InBox.mbx(1)\\quzFileList.txt"), "<" + other + "\r\n");
  EXPECT_EQ(ReadFile(save + "InBox.mbx(1)\\0000000.dat"), Fragment(6, {{0, "theirs"}}));
  Save("mine, again");
  EXPECT_EQ(quz::CountFragments(folder), 2);
  // The owner is compared without regard to case.
  std::string upper = dir / "MAIL\\InBox.mbx";
  EXPECT_EQ(quz::ChooseFragmentFolder(upper, save), folder);
}

TEST_F(DifferentialTest, AMissingOrStaleImageIsRebuiltAndGivesTheSameFragment) {
  std::string v0 = Pattern(300000), v1 = v0;
  Save(v0);
  v1[1234] ^= 7;
  v1 += "tail";
  std::string expected = Save(v1);
  ASSERT_TRUE(plat::DeleteFile(FragmentPath(folder, 1)));

  ASSERT_TRUE(plat::DeleteFile(folder + "~temp.dat"));
  EXPECT_EQ(Save(v1), expected);
  ASSERT_TRUE(plat::DeleteFile(FragmentPath(folder, 1)));

  // An image whose time differs from the newest fragment's is not trusted.
  WriteFile(folder + "~temp.dat", "garbage");
  plat::SetFileTime(folder + "~temp.dat", 12345);
  EXPECT_EQ(Save(v1), expected);
}

TEST_F(DifferentialTest, AStoppedOrOversizedSaveLeavesNoFragmentAndTheNextTakesItsNumber) {
  std::string v0 = Pattern(1000);
  Save(v0);
  std::string v1 = v0 + Pattern(500000, 4);
  WriteFile(source, v1);
  stop = 1;
  quz::DifferentialSaveResult saved;
  EXPECT_EQ(SaveDifferential(source, save, &stop, saved), 0);
  EXPECT_EQ(quz::CountFragments(folder), 1);
  EXPECT_EQ(ReadFile(folder + "~temp.dat"), v0);
  stop = 0;
  // A file larger than the limit is refused alike.
  EXPECT_EQ(SaveDifferential(source, save, &stop, saved, nullptr, v1.size() - 1), 0);
  EXPECT_EQ(quz::CountFragments(folder), 1);
  EXPECT_EQ(Save(v1), Fragment(static_cast<uint32_t>(v1.size()), {{1000, v1.substr(1000)}}));
  EXPECT_EQ(Rebuild(folder), v1);
}

TEST_F(DifferentialTest, RandomEditsAlwaysRebuildToTheSavedFile) {
  std::mt19937 rng(20261207);
  std::string v = Pattern(700000, 5);
  Save(v);
  for (int round = 0; round < 25; ++round) {
    int kind = static_cast<int>(rng() % 4);
    if (kind == 0) {
      v += Pattern(rng() % 300000, round);
    } else if (kind == 1 && v.size() > 10) {
      v.resize(rng() % v.size());
    } else {
      for (int k = static_cast<int>(rng() % 20); k >= 0 && !v.empty(); --k) {
        size_t at = rng() % v.size();
        size_t n = std::min<size_t>(rng() % 64 + 1, v.size() - at);
        for (size_t i = 0; i < n; ++i) v[at + i] = static_cast<char>(rng());
      }
    }
    Save(v);
    ASSERT_EQ(Rebuild(folder), v) << round;
  }
}

TEST_F(DifferentialTest, DamagedFragmentsAreRefused) {
  std::string image = dir / "image";
  auto apply = [&](const std::string& fragment) {
    WriteFile(dir / "frag", fragment);
    plat::File f, i;
    EXPECT_TRUE(f.Open(dir / "frag", plat::Access::Read, plat::Disposition::OpenExisting));
    EXPECT_TRUE(i.Open(image, plat::Access::ReadWrite, plat::Disposition::CreateAlways));
    return quz::ApplyFragment(f, i);
  };
  EXPECT_EQ(apply(Fragment(10, {{2, "abc"}})), 1);
  EXPECT_EQ(ReadFile(image), std::string("\0\0abc\0\0\0\0\0", 10));
  std::string cut = Fragment(10, {{2, "abc"}});
  cut.pop_back();
  EXPECT_EQ(apply(cut), 0);                                       // record cut short
  EXPECT_EQ(apply(Fragment(4, {{2, "abc"}})), 0);  // past T
  EXPECT_EQ(apply("\x01\x00"), 0);                                 // no header
}

TEST_F(DifferentialTest, ADamagedOrMissingFragmentIsSetAsideWithThoseAfterItAndSavingGoesOn) {
  std::string v0 = Pattern(3000, 1), v1 = v0 + Pattern(3000, 2), v2 = v1 + Pattern(3000, 3);
  Save(v0);
  Save(v1);
  Save(v2);
  // Fragment 1 cut short, as a killed older version left it, and no image.
  std::string cut = ReadFile(FragmentPath(folder, 1));
  WriteFile(FragmentPath(folder, 1), cut.substr(0, cut.size() - 100));
  ASSERT_TRUE(plat::DeleteFile(folder + "~temp.dat"));
  WriteFile(folder + "~quz00001234.tmp", "left by a killed save");

  std::string v3 = v2 + "more";
  std::vector<std::string> setAside;
  EXPECT_EQ(Save(v3, &setAside), Fragment(9004, {{3000, v3.substr(3000)}}));
  EXPECT_EQ(setAside, (std::vector<std::string>{folder + "0000002.damaged.dat", folder + "0000001.damaged.dat"}));
  EXPECT_EQ(quz::CountFragments(folder), 2);
  EXPECT_EQ(Rebuild(folder), v3);
  EXPECT_FALSE(quztest::IsFile(folder + "~quz00001234.tmp"));

  // The new fragment 1 goes bad too: set aside under a name of its own.
  WriteFile(FragmentPath(folder, 1), "\x01");
  Save(v3, &setAside);
  EXPECT_EQ(setAside, std::vector<std::string>{folder + "0000001.damaged(2).dat"});
  EXPECT_EQ(Rebuild(folder), v3);

  // A fragment missing: those beyond the gap are set aside before it is
  // filled.
  for (const char* more : {"a", "b", "c"}) Save(v3 += more);
  ASSERT_TRUE(plat::DeleteFile(FragmentPath(folder, 2)));
  Save(v3 += "d", &setAside);
  EXPECT_EQ(setAside, (std::vector<std::string>{folder + "0000004.damaged.dat", folder + "0000003.damaged.dat"}));
  EXPECT_EQ(quz::CountFragments(folder), 3);
  EXPECT_EQ(Rebuild(folder), v3);
  for (const char* name : {"0000001.damaged.dat", "0000001.damaged(2).dat", "0000002.damaged.dat"})
    EXPECT_TRUE(quz::IsSetAsideFragmentName(name)) << name;
  for (const char* name : {"0000001.dat", "0000001.damaged.tmp", "000001.damaged.dat", "0000001.damaged(x).dat"})
    EXPECT_FALSE(quz::IsSetAsideFragmentName(name)) << name;
}

#ifndef _WIN32
TEST_F(DifferentialTest, ADiskThatFillsUpLeavesTheFolderAsItWasForTheNextSave) {
  std::string v0 = Pattern(200000, 1);
  Save(v0);
  plat::FileStatus image;
  ASSERT_TRUE(plat::GetFileStatus(folder + "~temp.dat", image));
  std::string v1 = v0 + Pattern(400000, 2);
  WriteFile(source, v1);
  plat::SetFileTime(source, ++clock);

  quz::DifferentialSaveResult saved;
  int result = -1;
  quztest::WithFileSizeLimit(300000, [&] { result = SaveDifferential(source, save, &stop, saved); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(stop, 1);  // the disk-full rule stops the check
  EXPECT_EQ(quztest::FileNames(folder), (std::vector<std::string>{"0000000.dat", "quzFileList.txt", "~temp.dat"}));
  EXPECT_EQ(quztest::TimeOf(folder + "~temp.dat"), image.mtime);
  EXPECT_EQ(ReadFile(folder + "~temp.dat"), v0);

  stop = 0;
  EXPECT_EQ(Save(v1), Fragment(600000, {{200000, v1.substr(200000)}}));
  EXPECT_EQ(Rebuild(folder), v1);
}
#endif

}  // namespace

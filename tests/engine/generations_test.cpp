#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "app/run_state.h"
#include "catalogue/generation_index.h"
#include "engine/generations.h"
#include "engine/normal_save.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quztest::IsFile;
using quztest::ReadFile;
using quztest::WriteFile;

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
  {
    plat::LockGuard guard(index.Mutex());
    ASSERT_NE(index.CopiesOf(source), nullptr);
    EXPECT_EQ(index.CopiesOf(source)->pairs.size(), 3u);
  }
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
  EXPECT_TRUE(IsFile(a));
  // The newest copy deleted by hand: it is found missing and pruned first,
  // before any copy that still exists.
  ASSERT_TRUE(plat::DeleteFile(cc));
  EXPECT_EQ(quz::PruneGenerations(index, source, 2), 1);
  EXPECT_TRUE(index.IsRemoved(cc));
  EXPECT_TRUE(IsFile(a));
  EXPECT_TRUE(IsFile(b));
}

TEST_F(GenerationsTest, SavesWhileTheLoaderRewritesTheListsLoseNoLine) {
  // Normal saves into one date folder while the loader keeps rewriting its
  // list: every copy keeps its line.
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
}

}  // namespace

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "catalogue/generation_index.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quz::CGenerationIndex;
using quz::CopyList;

std::string ListOf(const std::string& folder) { return quztest::ReadFile(folder + "quzFileList.txt"); }

std::string MakeDateFolder(const quztest::TempDir& save, const std::string& name,
                           const std::string& list) {
  std::string folder = save / name + "\\";
  EXPECT_TRUE(plat::CreateFolder(folder));
  quztest::WriteFile(folder + "quzFileList.txt", list);
  return folder;
}

TEST(GenerationIndex, LoaderIndexesCopiesDropsRemovedOnesKeepingOrderAndTerminatesATornLastLine) {
  quztest::TempDir save;
  std::string day1 = MakeDateFolder(save, "2026-12-1",
                                    "a.txt<C:\\src\\a.txt\r\n"
                                    "b.txt<C:\\src\\b.txt");
  std::string day2 = MakeDateFolder(save, "2026-12-2",
                                    "a.txt<C:\\src\\a.txt\r\n"
                                    "a(1).txt<C:\\src\\a.txt\r\n"
                                    "c.txt<C:\\src\\c.txt<extra\r\n");
  std::string diff = MakeDateFolder(save, "mail.pst", "<C:\\src\\mail.pst\r\n");
  MakeDateFolder(save, ".hidden", "x.txt<C:\\src\\x.txt\r\n");
  quztest::WriteFile(save / "stray.txt", "not a folder");

  CGenerationIndex index;
  index.MarkRemoved(day2 + "a.txt");
  index.LoadSaveFolder(save.path());

  // Removed copies and the folder named with a leading "." are not indexed,
  // removed ones are not kept in their list; the second field ends at a further "<".
  EXPECT_EQ(index.CopyCount(), 4);
  EXPECT_EQ(index.SourceCount(), 3);
  EXPECT_EQ(ListOf(day2), "a(1).txt<C:\\src\\a.txt\r\nc.txt<C:\\src\\c.txt\r\n");
  EXPECT_EQ(ListOf(day1), "a.txt<C:\\src\\a.txt\r\nb.txt<C:\\src\\b.txt\r\n");
  // The differential folder's single line is not a generation and survives.
  EXPECT_EQ(ListOf(diff), "<C:\\src\\mail.pst\r\n");

  CopyList* a = index.CopiesOf("C:\\src\\A.TXT");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->pairs.size(), 2u);
  // The date folders come in the order the file system lists them.
  std::set<std::string> paths;
  for (const auto& pair : a->pairs) {
    std::string path;
    ASSERT_TRUE(index.CopyPath(pair.handle, &path));
    paths.insert(path);
    EXPECT_EQ(pair.time, 0);
  }
  EXPECT_EQ(paths, (std::set<std::string>{day1 + "a.txt", day2 + "a(1).txt"}));
  EXPECT_EQ(quztest::FileNames(day2), std::vector<std::string>{"quzFileList.txt"});

  // Loading again adds nothing twice.
  index.LoadSaveFolder(save.path());
  EXPECT_EQ(index.CopyCount(), 4);
  EXPECT_EQ(index.CopiesOf("C:\\src\\a.txt")->pairs.size(), 2u);
  EXPECT_FALSE(index.LoadCopyList(save / "missing\\"));
}

TEST(GenerationIndex, StatisticsAndRefusedPaths) {
  CGenerationIndex index;
  for (int i = 0; i < 10; ++i)
    EXPECT_TRUE(index.AddCopy("C:\\src\\f" + std::to_string(i % 4) + ".txt",
                              "D:\\save\\2026-1-" + std::to_string(i) + "\\f.txt"));
  EXPECT_FALSE(index.AddCopy("C:\\src\\f0.txt", "D:\\save\\2026-1-0\\f.txt"));
  EXPECT_EQ(index.CopiesOf("C:\\src\\f1.txt")->pairs.size(), 3u);
  // A folder part the map cannot hold is refused, and nothing is half-added
  // (nor was the copy added twice).
  std::string longFolder = "C:\\" + std::string(260, 'x') + "\\";
  EXPECT_FALSE(index.AddCopy(longFolder + "a.txt", "D:\\save\\1\\a.txt"));
  EXPECT_FALSE(index.AddCopy("C:\\src\\f1.txt", longFolder + "a.txt"));
  EXPECT_EQ(index.SourceCount(), 4);
  EXPECT_EQ(index.CopyCount(), 10);
  EXPECT_TRUE(index.RemoveCopy("D:\\save\\2026-1-0\\f.txt"));
  EXPECT_EQ(index.CopyCount(), 9);
}

TEST(GenerationIndex, StartIndexLoaderRunsOnceAtATimeAndSignalsReady) {
  quztest::TempDir save;
  std::string list;
  for (int f = 0; f < 20; ++f) list += "f" + std::to_string(f) + ".txt<C:\\s\\f" + std::to_string(f) + ".txt\r\n";
  for (int d = 0; d < 50; ++d) MakeDateFolder(save, "2026-2-" + std::to_string(d), list);
  CGenerationIndex index;
  quz::RunState state;
  state.saveFolder = save.path();
  std::unique_ptr<plat::Thread> loader;
  quz::StartIndexLoader(index, state, loader);
  std::unique_ptr<plat::Thread> second;
  // A start while one runs does nothing.
  if (state.generationReady == 0) {
    quz::StartIndexLoader(index, state, second);
    EXPECT_EQ(second, nullptr);
  }
  ASSERT_TRUE(loader->Join(30000));
  EXPECT_EQ(state.generationReady, 1);
  EXPECT_EQ(index.CopyCount(), 1000);
  EXPECT_EQ(index.SourceCount(), 20);
  // Once finished it can be started again.
  quz::StartIndexLoader(index, state, loader);
  ASSERT_TRUE(loader->Join(30000));
  EXPECT_EQ(state.generationReady, 1);
  EXPECT_EQ(index.CopyCount(), 1000);
}

}  // namespace

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "catalogue/paged_store.h"
#include "catalogue/path_map.h"
#include "tests/support/test_data.h"

namespace {

using quz::CPagedStore;
using quz::CPathMap;

TEST(PagedStore, WritesAndReadsAcrossPageBoundaries) {
  CPagedStore store;
  const std::string data = quztest::Pattern(250000);
  ASSERT_TRUE(store.Write(50000, data.data(), static_cast<int32_t>(data.size())));
  EXPECT_EQ(store.Size(), 300000);
  std::string back(data.size(), '\0');
  ASSERT_TRUE(store.Read(50000, back.data(), static_cast<int32_t>(back.size())));
  EXPECT_EQ(back, data);
  // The unwritten start reads as zeros; nothing starts at or beyond the size.
  char c = 1;
  EXPECT_TRUE(store.Read(0, &c, 1));
  EXPECT_EQ(c, 0);
  EXPECT_FALSE(store.Read(300000, &c, 1));
  EXPECT_FALSE(store.Read(299999, back.data(), 2));
  EXPECT_FALSE(store.Write(0x7FFFFFF0, data.data(), 100));
}

std::set<std::string> AllPaths(const CPathMap& map) {
  std::set<std::string> paths;
  int32_t position = map.FirstPosition();
  std::string path;
  int64_t value;
  while (map.Next(position, &path, &value)) {
    EXPECT_TRUE(paths.insert(path).second) << path;
    if (position == 0) break;
  }
  return paths;
}

TEST(PathMap, FolderPartIsExactButNamesIgnoreCaseAndShortPathsComeBackWhole) {
  CPathMap map;
  int32_t a = map.Insert("C:\\Data\\a.txt", 1);
  EXPECT_EQ(map.Insert("C:\\Data\\A.TXT", 2), a);
  EXPECT_EQ(map.Count(), 1);
  int64_t value = 0;
  EXPECT_FALSE(map.Find("C:\\data\\a.txt", &value));
  ASSERT_TRUE(map.Find("C:\\Data\\A.txt", &value));
  EXPECT_EQ(value, 2);
  EXPECT_NE(map.Insert("C:\\DATA\\a.txt", 3), a);
  EXPECT_EQ(map.Count(), 2);
  // The second byte of a double-byte character is not folded: 0x83 0x41 and
  // 0x83 0x61 are two different katakana.
  EXPECT_NE(map.Insert("C:\\x\\\x83\x41.txt", 1), map.Insert("C:\\x\\\x83\x61.txt", 2));
  EXPECT_EQ(map.Count(), 4);

  // Paths come back as first written, a root and a path without any
  // separator whole.
  map.Insert("C:\\", 5);
  map.Insert("plainname.txt", 6);
  EXPECT_EQ(AllPaths(map), (std::set<std::string>{"C:\\Data\\a.txt", "C:\\DATA\\a.txt", "C:\\x\\\x83\x41.txt",
                                                  "C:\\x\\\x83\x61.txt", "C:\\", "plainname.txt"}));
  EXPECT_TRUE(map.Find("c:\\", &value));
  EXPECT_EQ(value, 5);
}

TEST(PathMap, RemovedRecordsArePassedOverAndTheStoreKeepsItsSize) {
  CPathMap map;
  EXPECT_EQ(map.FirstPosition(), 0);
  for (const char* name : {"one", "two", "three"}) map.Insert(std::string("C:\\d\\") + name, 1);
  int32_t size = map.StoreSize();
  EXPECT_TRUE(map.Remove("C:\\d\\TWO"));
  EXPECT_FALSE(map.Remove("C:\\d\\two"));
  EXPECT_FALSE(map.Remove("C:\\nowhere\\two"));
  EXPECT_EQ(map.StoreSize(), size);
  EXPECT_EQ(map.Count(), 2);
  EXPECT_EQ(AllPaths(map), (std::set<std::string>{"C:\\d\\one", "C:\\d\\three"}));
  int64_t value;
  EXPECT_FALSE(map.Find("C:\\d\\two", &value));
  EXPECT_TRUE(map.Find("C:\\d\\three", &value));
  // The last record removed: iteration still ends cleanly.
  EXPECT_TRUE(map.Remove("C:\\d\\three"));
  EXPECT_TRUE(map.Remove("C:\\d\\one"));
  EXPECT_EQ(map.FirstPosition(), 0);
  int32_t position = -1;
  EXPECT_FALSE(map.Next(position, nullptr, &value));
  // Re-inserting after removal makes a new record.
  EXPECT_GE(map.Insert("C:\\d\\two", 9), size);
}

TEST(PathMap, PathsTheKeyCannotHoldAreRefusedNotShortened) {
  CPathMap map;
  std::string folder254 = "C:\\" + std::string(251, 'f');
  std::string folder255 = folder254 + "g";
  EXPECT_GE(map.Insert(folder254 + "\\a.txt", 1), 0);
  EXPECT_EQ(map.Insert(folder255 + "\\a.txt", 2), -1);
  EXPECT_EQ(map.Insert(folder255 + "x\\a.txt", 2), -1);
  EXPECT_EQ(map.Insert("C:\\d\\" + std::string(300, 'n'), 3), -1);
  EXPECT_EQ(map.Insert(std::string(300, 'n'), 3), -1);
  EXPECT_EQ(map.Count(), 1);
  int64_t value = 0;
  EXPECT_FALSE(map.Find(folder255 + "\\a.txt", &value));
  ASSERT_TRUE(map.Find(folder254 + "\\a.txt", &value));
  EXPECT_EQ(value, 1);
  // A 251-byte name fits after the code, 252 does not.
  EXPECT_GE(map.Insert("C:\\d\\" + std::string(250, 'n'), 4), 0);
  EXPECT_EQ(map.Insert("C:\\d\\" + std::string(251, 'n'), 4), -1);
}

TEST(PathMap, ManyFoldersUseEveryByteOfTheFolderCode) {
  CPathMap map;
  map.InitBuckets(7777);
  auto pathOf = [](int i) {
    return "C:\\Users\\someone\\folder" + std::to_string(i) + "\\file" + std::to_string(i % 13) + ".dat";
  };
  std::vector<int32_t> handles;
  for (int i = 0; i < 6000; ++i) {
    handles.push_back(map.Insert(pathOf(i), i));
    ASSERT_GE(handles.back(), 0);
  }
  // Past 16384 bytes of folder strings the third code byte is in use, and
  // the record store runs over several pages.
  EXPECT_GT(map.DictionaryStoreSize(), 16384 * 2);
  EXPECT_GT(map.StoreSize(), CPagedStore::kPageSize);
  for (int i = 0; i < 6000; ++i) {
    std::string path;
    int64_t value;
    ASSERT_TRUE(map.Record(handles[i], &path, &value));
    EXPECT_EQ(path, pathOf(i));
    EXPECT_EQ(value, i);
  }
  EXPECT_EQ(AllPaths(map).size(), 6000u);
  // Bucket count is fixed once something is stored.
  map.InitBuckets(3);
  int64_t value;
  EXPECT_TRUE(map.Find(pathOf(5), &value));
}

}  // namespace

// The library itself, loaded the way any program loads it: by its name
// from beside the program (LoadLibraryA on Windows, dlopen of
// libunlha32.so elsewhere), the entry Unlha found by name, and the two
// command lines quz sends.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <cstring>

#include "tests/archiver/lzh_test_data.h"
#include "tests/archiver/unlha_test_support.h"

namespace {

using namespace lzhtest;

#ifdef _WIN32
using UnlhaEntry = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
#else
using UnlhaEntry = int (*)(void*, const char*, char*, unsigned long);
#endif

class Library {
 public:
  Library() {
#ifdef _WIN32
    handle_ = LoadLibraryA("UNLHA32.DLL");
    if (handle_) entry_ = reinterpret_cast<UnlhaEntry>(reinterpret_cast<void*>(GetProcAddress(handle_, "Unlha")));
#else
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return;
    std::string path(exe, static_cast<std::size_t>(n));
    path = path.substr(0, path.find_last_of('/')) + "/libunlha32.so";
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_) entry_ = reinterpret_cast<UnlhaEntry>(dlsym(handle_, "Unlha"));
#endif
  }
  ~Library() {
#ifdef _WIN32
    if (handle_) FreeLibrary(handle_);
#else
    if (handle_) dlclose(handle_);
#endif
  }
  bool loaded() const { return handle_ != nullptr; }
  UnlhaEntry entry() const { return entry_; }

  Outcome Call(const std::string& line, unsigned long size = 255) {
    std::vector<char> buffer(size + 8, 'X');
    Outcome o;
    o.result = entry_(nullptr, line.c_str(), buffer.data(), size);
    EXPECT_EQ(buffer[size], 'X') << "wrote past the buffer";
    if (size) {
      std::size_t n = strnlen(buffer.data(), size);
      EXPECT_LT(n, size) << "no terminating NUL";
      o.message.assign(buffer.data(), n);
    }
    return o;
  }

 private:
#ifdef _WIN32
  HMODULE handle_ = nullptr;
#else
  void* handle_ = nullptr;
#endif
  UnlhaEntry entry_ = nullptr;
};

TEST(Entry, TheLibraryBesideTheProgramTakesQuzsCommandLines) {
  Library lib;
  ASSERT_TRUE(lib.loaded());
  ASSERT_NE(lib.entry(), nullptr);
  quztest::TempDir dir;
  const Tree tree{{"a.txt", Text(40000, 1)}, {"f\\", ""}, {"f\\\x83\x5C.txt", "so"}, {"g\\h\\", ""}};
  WriteTree(dir / "export 2601011200\\", tree);
  // Packing as the export does.
  std::string archive = dir / "work folder\\2601011200.lzh";
  plat::CreateFolder(dir / "work folder");
  char line[1024];
  std::snprintf(line, sizeof line, "a -d1 \"%s\" \"%s\"", archive.c_str(), (dir / "export 2601011200\\").c_str());
  Outcome o = lib.Call(line);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(o.message, "2 個のファイルを格納しました");
  // Unpacking as the import's format reads, paths unquoted ...
  quztest::WriteFile(dir / "plain.lzh", quztest::ReadFile(archive));
  std::snprintf(line, sizeof line, "e -x -a1 -r2 -m1 %s %s", (dir / "plain.lzh").c_str(), (dir / "save\\").c_str());
  o = lib.Call(line);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(ReadTree(dir / "save\\"), (Tree{{"a.txt", tree.at("a.txt")}, {"f\\", ""}, {"f\\\x83\x5C.txt", "so"},
                                            {"g\\", ""}, {"g\\h\\", ""}}));
  // ... and quoted, as quz sends it, where paths have spaces.
  std::snprintf(line, sizeof line, "e -x -a1 -r2 -m1 \"%s\" \"%s\"", archive.c_str(), (dir / "save folder\\").c_str());
  o = lib.Call(line);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(ReadTree(dir / "save folder\\"), ReadTree(dir / "save\\"));
  // Unquoted paths with spaces are two words too many: refused, not guessed.
  std::snprintf(line, sizeof line, "e -x -a1 -r2 -m1 %s %s", archive.c_str(), (dir / "third one\\").c_str());
  o = lib.Call(line);
  EXPECT_EQ(o.result, 1) << o.message;
  EXPECT_FALSE(quztest::Exists(dir / "third one"));
}

TEST(Entry, ResultsAndMessagesCutToTheBuffer) {
  Library lib;
  ASSERT_NE(lib.entry(), nullptr);
  quztest::TempDir dir;
  Outcome o = lib.Call("q -x");
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(o.message, "不明なコマンドです: q");
  o = lib.Call("e -x -a1 -r2 -m1 " + dir / "none.lzh" + " " + dir.path());
  EXPECT_EQ(o.result, 2);
  EXPECT_EQ(o.message, "書庫が見つかりません: " + dir / "none.lzh");
  // A small buffer gets the start of the message, never half a character.
  for (unsigned long size = 1; size < 12; ++size) {
    o = lib.Call("q", size);
    const std::string full = "不明なコマンドです: q";
    EXPECT_EQ(full.compare(0, o.message.size(), o.message), 0);
    EXPECT_EQ(o.message.size() % 2, 0u) << size;  // only double-byte characters come first
    EXPECT_GE(o.message.size() + 2, size - 1);
  }
  // No buffer at all, or none of the command line, is no crash.
  EXPECT_EQ(lib.entry()(nullptr, "q", nullptr, 0), 1);
  char buffer[16];
  EXPECT_EQ(lib.entry()(nullptr, nullptr, buffer, sizeof buffer), 1);
  // A long listing is cut at the buffer's end.
  WriteTree(dir / "in\\", {});
  Tree many;
  for (int i = 0; i < 40; ++i) many["\x95\x5C" + std::to_string(i) + ".txt"] = "x";
  WriteTree(dir / "in\\", many);
  ASSERT_EQ(lib.Call("a -d1 " + dir / "m.lzh" + " " + dir / "in\\").result, 0);
  o = lib.Call("l " + dir / "m.lzh");
  EXPECT_EQ(o.result, 0);
  EXPECT_GT(o.message.size(), 240u);
  EXPECT_LT(o.message.size(), 255u);
}

}  // namespace

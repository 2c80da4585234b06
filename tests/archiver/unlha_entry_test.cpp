// The library itself, loaded the way quz loads it: by its bare name from
// beside the program, the entry Unlha found by name.  What the commands do
// is the command tests'; here, what the entry adds: the caller's buffer and
// arguments that are missing.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "tests/archiver/unlha_test_support.h"

namespace {

using namespace lzhtest;

#ifdef _WIN32
using UnlhaEntry = int(__stdcall*)(void*, const char*, char*, unsigned long);
#else
using UnlhaEntry = int (*)(void*, const char*, char*, unsigned long);
#endif

// The entry's result and what it wrote into a buffer of `size` bytes,
// which it must end with a NUL and never pass.
Outcome Call(UnlhaEntry entry, const std::string& line, unsigned long size = 255) {
  std::vector<char> buffer(size + 8, 'X');
  Outcome o;
  o.result = entry(nullptr, line.c_str(), buffer.data(), size);
  EXPECT_EQ(buffer[size], 'X') << "wrote past the buffer";
  std::size_t n = strnlen(buffer.data(), size);
  EXPECT_LT(n, size) << "no terminating NUL";
  o.message.assign(buffer.data(), n);
  return o;
}

TEST(Entry, TheLibraryBesideTheProgramWritesItsMessageIntoTheCallersBuffer) {
  plat::Library library;
  ASSERT_TRUE(library.Load("UNLHA32.DLL"));
  const auto entry = reinterpret_cast<UnlhaEntry>(library.Symbol("Unlha"));
  ASSERT_NE(entry, nullptr);
  Outcome o = Call(entry, "q -x");
  EXPECT_EQ(o.result, quz::lzh::kResultBadCommandLine);
  EXPECT_EQ(o.message, "不明なコマンドです: q");
  // A small buffer gets the start of the message, never half a character.
  EXPECT_EQ(Call(entry, "q", 6).message, "不明");
  // No buffer at all, or no command line, is no crash.
  EXPECT_EQ(entry(nullptr, "q", nullptr, 0), quz::lzh::kResultBadCommandLine);
  char buffer[16];
  EXPECT_EQ(entry(nullptr, nullptr, buffer, sizeof buffer), quz::lzh::kResultBadCommandLine);
}

}  // namespace

#include <gtest/gtest.h>

#include "app/status_text.h"
#include "app/text.h"

using quz::kNone;

// "ソ" and "表" are double-byte characters whose second byte is "\" (0x5C).
TEST(EqualNoCase, FoldsAsciiLettersOnlyAndComparesSecondBytesExactly) {
  const struct {
    const char *a, *b;
    bool equal;
  } cases[] = {
      {"Yes", "YES", true}, {"Yes", "yes", true}, {"C:\\Data\\A.TXT", "c:\\data\\a.txt", true}, {"", "", true},
      {"Yes", "Ye", false}, {"Ye", "Yes", false}, {"Yes", "No!", false}, {"[", "{", false},
      // 0x83 0x61 against 0x83 0x41: folding the second byte would make them
      // equal.
      {"\x83\x61", "\x83\x41", false}, {"\x83\x61", "\x83\x61", true}, {"ソフトA", "ソフトa", true},
      {"C:\\表\\File", "c:\\表\\FILE", true}, {"表", "ソ", false},
  };
  for (const auto& c : cases) EXPECT_EQ(quz::EqualNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
}

TEST(Find, BytesFindEveryOffsetCharactersNeverStartOnASecondByte) {
  const struct {
    const char *text, *pattern;
    size_t bytes, chars;
  } cases[] = {
      {"abcabc", "ca", 2, 2}, {"abc", "", 0, 0}, {"", "", kNone, kNone}, {"", "a", kNone, kNone},
      {"abc", "abcd", kNone, kNone},
      // The 0x5C inside "ソ" is found by a byte search only.
      {"ソ", "\\", 1, kNone}, {"ソ\\", "\\", 1, 2}, {"表示\\a", "\\a", 4, 4},
      // 0x83 0x83 0x41: the first character is 0x83 0x83, so 0x83 0x41 at
      // offset 1 is no character match.
      {"\x83\x83\x41", "\x83\x41", 1, kNone}, {"[quz保存先フォルダ]Z:\\", "]", 18, 18},
      // 0x81 followed by 0x20 (not a trail byte) is two single bytes; a lead
      // byte at the very end.
      {"\x81 x", " x", 1, 1}, {"a\x81", "\x81", 1, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(quz::FindBytes(c.text, c.pattern), c.bytes) << c.text << " / " << c.pattern;
    EXPECT_EQ(quz::FindChars(c.text, c.pattern), c.chars) << c.text << " / " << c.pattern;
  }
}

TEST(LastCharPos, SkipsSeparatorsInsideDoubleByteCharacters) {
  EXPECT_EQ(quz::LastCharPos("C:\\a\\b.txt", '\\'), 4u);
  EXPECT_EQ(quz::LastCharPos("C:\\データ\\ソ", '\\'), 9u);  // the last "\" is the trail of ソ
  EXPECT_EQ(quz::LastCharPos("C:\\表", '\\'), 2u);
  EXPECT_EQ(quz::LastCharPos("abc", '\\'), kNone);
  EXPECT_EQ(quz::LastCharPos("", '\\'), kNone);
  EXPECT_TRUE(quz::EndsWithChar("C:\\a\\", '\\'));
  EXPECT_FALSE(quz::EndsWithChar("C:\\ソ", '\\'));
  EXPECT_TRUE(quz::EndsWithChar("C:\\ソ\\", '\\'));
}

TEST(CutText, KeepsWholeCharacters) {
  EXPECT_EQ(quz::CutText("quz - 待機中", 63), "quz - 待機中");
  EXPECT_EQ(quz::CutText(std::string(70, 'a'), 63), std::string(63, 'a'));
  // 62 single bytes and then a double-byte character: it does not fit in
  // the 63rd byte and is left out whole.
  EXPECT_EQ(quz::CutText(std::string(62, 'a') + "中b", 63), std::string(62, 'a'));
  std::string japanese;
  for (int i = 0; i < 40; ++i) japanese += "処";
  EXPECT_EQ(quz::CutText(japanese, 63), japanese.substr(0, 62));
  EXPECT_EQ(quz::CutText("", 63), "");
  EXPECT_EQ(quz::CutText("ab", 0), "");
}

TEST(FolderPaths, SeparatorsAreWholeCharacters) {
  // A path, then WithSeparator, StripTrailingSeparator, the same keeping a
  // root, and FolderOf.
  const struct {
    const char *path, *with, *stripped, *rooted, *folder;
  } cases[] = {
      {"C:\\a", "C:\\a\\", "C:\\a", "C:\\a", "C:\\"},
      {"C:\\a\\\\", "C:\\a\\\\", "C:\\a", "C:\\a", "C:\\a\\\\"},
      {"C:\\", "C:\\", "C:", "C:\\", "C:\\"},
      {"\\", "\\", "", "\\", "\\"},
      {"", "", "", "", ""},
      {"a.txt", "a.txt\\", "a.txt", "a.txt", ""},
      // The last byte of ソ is 0x5C but no separator.
      {"C:\\ソ", "C:\\ソ\\", "C:\\ソ", "C:\\ソ", "C:\\"},
      {"C:\\表\\ソ\\", "C:\\表\\ソ\\", "C:\\表\\ソ", "C:\\表\\ソ", "C:\\表\\ソ\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(quz::WithSeparator(c.path), c.with) << c.path;
    EXPECT_EQ(quz::StripTrailingSeparator(c.path), c.stripped) << c.path;
    EXPECT_EQ(quz::StripTrailingSeparator(c.path, true), c.rooted) << c.path;
    EXPECT_EQ(quz::FolderOf(c.path), c.folder) << c.path;
  }
}

// The tray's texts at their edges; the common ones are the resident
// program's test.
TEST(TrayText, ProgressSurveyAndLoading) {
  EXPECT_EQ(quz::BusyTrayText(999, 1000, 1), "quz - 処理中(99%  : 999/1000)");
  // A large catalogue does not overflow the percentage.
  EXPECT_EQ(quz::BusyTrayText(249999, 250000, 1), "quz - 処理中(99%  : 249999/250000)");
  EXPECT_EQ(quz::BusyTrayText(0, 1000, 1), "quz - ファイル調査中");
  EXPECT_EQ(quz::BusyTrayText(0, 0, 1), "quz - ファイル調査中");
  EXPECT_EQ(quz::BusyTrayText(-1, 1000, 0), "quz - 世代管理システム準備中");
  EXPECT_EQ(quz::BusyTrayText(-1, 0, 0), "quz - 世代管理システム準備中");
  // The ticks after a check, before the idle picture.
  EXPECT_EQ(quz::BusyTrayText(-1, 1000, 1), "quz - 処理中");
}

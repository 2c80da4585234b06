#include <gtest/gtest.h>

#include "app/text.h"

using quz::EqualNoCase;
using quz::FindBytes;
using quz::FindChars;
using quz::kNone;
using quz::LastCharPos;

// "ソ" and "表" are double-byte characters whose second byte is "\" (0x5C).
TEST(EqualNoCase, IgnoresCaseOfAsciiLetters) {
  EXPECT_TRUE(EqualNoCase("Yes", "YES"));
  EXPECT_TRUE(EqualNoCase("Yes", "yes"));
  EXPECT_TRUE(EqualNoCase("C:\\Data\\A.TXT", "c:\\data\\a.txt"));
  EXPECT_TRUE(EqualNoCase("", ""));
  EXPECT_FALSE(EqualNoCase("Yes", "Ye"));
  EXPECT_FALSE(EqualNoCase("Ye", "Yes"));
  EXPECT_FALSE(EqualNoCase("Yes", "No!"));
  EXPECT_FALSE(EqualNoCase("[", "{"));  // only letters fold
}

TEST(EqualNoCase, ComparesSecondBytesOfDoubleByteCharactersExactly) {
  // 0x83 0x61 ("ッ" region) against 0x83 0x41: folding the second byte would
  // make them equal.
  EXPECT_FALSE(EqualNoCase("\x83\x61", "\x83\x41"));
  EXPECT_TRUE(EqualNoCase("\x83\x61", "\x83\x61"));
  EXPECT_TRUE(EqualNoCase("ソフトA", "ソフトa"));
  EXPECT_TRUE(EqualNoCase("C:\\表\\File", "c:\\表\\FILE"));
  EXPECT_FALSE(EqualNoCase("表", "ソ"));
}

TEST(FindBytes, FindsEveryByteOffset) {
  EXPECT_EQ(FindBytes("abcabc", "ca"), 2u);
  EXPECT_EQ(FindBytes("abc", ""), 0u);
  EXPECT_EQ(FindBytes("", ""), kNone);
  EXPECT_EQ(FindBytes("", "a"), kNone);
  EXPECT_EQ(FindBytes("abc", "abcd"), kNone);
  // The 0x5C inside "ソ" is found by a byte search.
  EXPECT_EQ(FindBytes("ソ", "\\"), 1u);
}

TEST(FindChars, NeverStartsOnASecondByte) {
  EXPECT_EQ(FindChars("ソ", "\\"), kNone);
  EXPECT_EQ(FindChars("ソ\\", "\\"), 2u);
  EXPECT_EQ(FindChars("表示\\a", "\\a"), 4u);
  // 0x83 0x83 0x41: the first character is 0x83 0x83, so 0x83 0x41 at
  // offset 1 is no match, while a byte search finds it.
  EXPECT_EQ(FindChars("\x83\x83\x41", "\x83\x41"), kNone);
  EXPECT_EQ(FindBytes("\x83\x83\x41", "\x83\x41"), 1u);
  EXPECT_EQ(FindChars("abc", ""), 0u);
  EXPECT_EQ(FindChars("", "a"), kNone);
  EXPECT_EQ(FindChars("[quz保存先フォルダ]Z:\\", "]"), 18u);
}

TEST(FindChars, LeadByteWithoutValidTrailAdvancesByOne) {
  // 0x81 followed by 0x20 (not a trail byte) is two single bytes.
  EXPECT_EQ(FindChars("\x81 x", " x"), 1u);
  // A lead byte at the very end.
  EXPECT_EQ(FindChars("a\x81", "\x81"), 1u);
}

TEST(LastCharPos, SkipsSeparatorsInsideDoubleByteCharacters) {
  EXPECT_EQ(LastCharPos("C:\\a\\b.txt", '\\'), 4u);
  EXPECT_EQ(LastCharPos("C:\\データ\\ソ", '\\'), 9u);  // the last "\" is the trail of ソ
  EXPECT_EQ(LastCharPos("C:\\表", '\\'), 2u);
  EXPECT_EQ(LastCharPos("abc", '\\'), kNone);
  EXPECT_EQ(LastCharPos("", '\\'), kNone);
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
  struct Case {
    const char* path;
    const char* with;      // WithSeparator
    const char* stripped;  // StripTrailingSeparator
    const char* rooted;    // StripTrailingSeparator keeping a root
    const char* folder;    // FolderOf
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    EXPECT_EQ(quz::WithSeparator(c.path), c.with) << c.path;
    EXPECT_EQ(quz::StripTrailingSeparator(c.path), c.stripped) << c.path;
    EXPECT_EQ(quz::StripTrailingSeparator(c.path, true), c.rooted) << c.path;
    EXPECT_EQ(quz::FolderOf(c.path), c.folder) << c.path;
  }
}

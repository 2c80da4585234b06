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

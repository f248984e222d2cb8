// Byte-level rules of the string helpers and the Japanese codecs that the
// topic tests leave open: odd lead bytes, the word-wise binary pre-scan, the
// middle of the charset table, and "=" early in a base64 group.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/bytes.h"
#include "jcode/jconvert.h"

using namespace tarvo;

TEST(StringHelpers, TwoDigitNumberPadsOnlyOneCharacter) {
  const std::pair<std::int32_t, std::string> cases[] = {
      {0, "00"},    {7, "07"},     {9, "09"},           {10, "10"},          {99, "99"},
      {123, "123"}, {65535, "65535"}, {-5, "-5"},        {-1, "-1"},          {-10, "-10"},
      {-123, "-123"}, {INT32_MIN, "-2147483648"},        {INT32_MAX, "2147483647"},
  };
  for (const auto& [n, want] : cases) EXPECT_EQ(TwoDigitNumber(n), want) << n;
}

TEST(StringHelpers, MbcsContainsNoCaseOnDoubleByteText) {
  struct Case {
    std::string s, upperSub;
    bool want;
  } cases[] = {
      // A trail byte that is a letter is neither upper-cased nor a match start.
      {"\x83\x61", "A", false},
      {"\x83\x41", "A", false},
      {"\x83\x61" "a", "A", true},
      {"\x83" "FROM", "FROM", false},
      {"\x83" "Xfrom", "FROM", true},
      {"\x82\xa0 from", "FROM", true},
      {"\x88\xea\x93\xf1", "\x93\xf1", true},
      {"\x88\xea\x93\xf1", "\xea\x93", false},
      // Only the text before the first NUL is searched.
      {std::string("ab\0cd", 5), "CD", false},
      {"abc", "", false},
      {"\xfd" "a", "A", true},  // 0xFD leads nothing in code page 932
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MbcsContainsNoCase(c.s, c.upperSub), c.want) << c.s << " / " << c.upperSub;
    EXPECT_EQ(MbcsContainsNoCase(c.s, c.upperSub), MbcsContains(UpperCase(c.s), c.upperSub)) << c.s;
  }
}

TEST(DetectCode, BinaryPreScanFindsEveryByteValueInEveryLane) {
  // The pre-scan reads eight bytes at a time: a binary byte must be seen in
  // every lane of a word and in the tail, and no other byte may pass for one.
  for (std::size_t pos = 0; pos < 20; ++pos) {
    for (int b = 0; b < 256; ++b) {
      std::string text(24, 'a');
      text[pos] = static_cast<char>(b);
      const bool binary = b <= 0x07 || b == 0xFF;
      EXPECT_EQ(DetectCode(text) == ckBinary, binary) << "byte " << b << " at " << pos;
    }
  }
}

TEST(Converters, OddLeadBytesFromShiftJis) {
  struct Case {
    std::string in, euc, jis;
  } cases[] = {
      // 0x80, 0xA0 and 0xFD..0xFF lead a pair for EUC but are single bytes for JIS.
      {"\x80\x40" "a", "\x9F\xA1" "a", "\x80\x40" "a"},
      {"\xA0\x40", "\xDF\xA1", "\xA0\x40"},
      {"\xFD\x40", "\x99\xA1", "\xFD\x40"},
      {"\xFE\x40", "\x9B\xA1", "\xFE\x40"},
      {"\xFF\x40", "\x9D\xA1", "\xFF\x40"},
      // A lead byte at the end pairs with 0.
      {"\xFD", "\x99\xE1", "\xFD"},
      // After a kanji run, the single byte closes the run first.
      {"\x88\xea\xFD", "\xB0\xEC\x99\xE1", "\x1b$B0l\x1b(B\xFD"},
      // Half-width katakana: EUC's single shift, JIS's raw 8-bit byte.
      {"\xA1\xDF", "\x8E\xA1\x8E\xDF", "\xA1\xDF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SJISToEUC(c.in), c.euc) << c.in;
    EXPECT_EQ(SJISToJIS(c.in), c.jis) << c.in;
  }
}

TEST(DecodeHeaderText, MiddleEntriesOfTheCharsetTable) {
  // あ (0x82 0xA0) in base64 is gqA=; ESC $ B $ " ESC ( B in base64 is GyRCJCIbKEI=.
  struct Case {
    std::string in, want;
  } cases[] = {
      {"=?SHIFT-JIS?B?gqA=?=", "\x82\xa0"},
      {"=?shift-jis?b?gqA=?=", "\x82\xa0"},
      {"=?Shift_JIS?B?gqA=?=", "\x82\xa0"},
      {"=?shift_jis?Q?=82=A0?=", "\x82\xa0"},
      {"=?SJIS?B?gqA=?=", "\x82\xa0"},
      {"=?sjis?q?=82=A0_x?=", "\x82\xa0 x"},
      {"=?ISO-8859-1?B?Y2Fm6Q==?=", "caf\xe9"},
      // None of them converts JIS: the escapes stay as decoded.
      {"=?Shift_JIS?B?GyRCJCIbKEI=?=", "\x1b$B$\"\x1b(B"},
      {"=?ISO-8859-1?B?GyRCJCIbKEI=?=", "\x1b$B$\"\x1b(B"},
      // Table order: SHIFT_JIS comes before SJIS and ISO-8859-1, so only its words are decoded.
      {"=?ISO-8859-1?Q?a?= =?SJIS?Q?b?= =?Shift_JIS?Q?c?=", "=?ISO-8859-1?Q?a?= =?SJIS?Q?b?= c"},
      {"=?ISO-8859-1?Q?a?= =?SJIS?Q?b?=", "=?ISO-8859-1?Q?a?= b"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeHeaderText(c.in), c.want) << c.in;
}


#include <gtest/gtest.h>

#include "jcode/jconvert.h"

using namespace tarvo;

namespace {
struct Case {
  std::string in, want;
  const char* why;
};

const std::string kKoreJIS = "GyRCJDMkcxsoQg==";   // ESC $ B $3 $s ESC ( B
const std::string kKoreSJIS = "\x82\xB1\x82\xF1";  // こん
const std::string kNihonUTF8 = "5pel5pys";         // 日本
const std::string kNihonSJIS = "\x93\xFA\x96\x7B";
}  // namespace

TEST(EncodedWords, Iso2022JP) {
  const Case cases[] = {
      {"=?ISO-2022-JP?B?" + kKoreJIS + "?=", kKoreSJIS, "B word"},
      {"=?iso-2022-jp?b?" + kKoreJIS + "?=", kKoreSJIS, "lower-case name and B"},
      {"=?ISO-2022-JP?Q?=1B$B$3$s=1B(B?=", kKoreSJIS, "Q word"},
      {"=?ISO-2022-JP?B?" + kKoreJIS + "?= =?ISO-2022-JP?B?" + kKoreJIS + "?=", kKoreSJIS + " " + kKoreSJIS,
       "words separated by a space"},
      {"=?ISO-2022-JP?B?" + kKoreJIS + "?==?ISO-2022-JP?B?" + kKoreJIS + "?=", kKoreSJIS + kKoreSJIS,
       "words joined"},
      {"Re: =?ISO-2022-JP?B?" + kKoreJIS + "?= and\t=?ISO-2022-JP?B?" + kKoreJIS + "?= end",
       "Re: " + kKoreSJIS + " and\t" + kKoreSJIS + " end", "text around words stays"},
      // Words before the first with escapes stay as decoded; later ones are converted.
      {"=?ISO-2022-JP?B?YQBi?= =?ISO-2022-JP?B?" + kKoreJIS + "?= =?ISO-2022-JP?B?YQBi?=",
       std::string("a\0b ", 4) + kKoreSJIS + " ab", "JIS note"},
      // An open two-byte run ends with its word.
      {"=?ISO-2022-JP?B?GyRCJDM=?==?ISO-2022-JP?B?JDM=?=", "\x82\xB1$3", "one word at a time"},
      {"=?ISO-2022-JP?Q?abc?= =?ISO-2022-JP?B?" + kKoreJIS + "?=", "=?ISO-2022-JP?Q?abc?= " + kKoreSJIS,
       "B before Q: Q words stay"},
      {"=?ISO-2022-JP?B?Gy-RC?=", "Gy-RC", "bad base64 gives its text"},
      {"=?ISO-2022-JP?B?" + kKoreJIS, kKoreJIS, "unterminated word loses its marker"},
      {"=?ISO-2022-JP?B?" + kKoreJIS + "?= =?ISO-2022-JP?B?abc", kKoreSJIS + " abc", "last word unterminated"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeHeaderText(c.in), c.want) << c.why;
}

TEST(EncodedWords, CharsetTable) {
  const Case cases[] = {
      {"=?UTF-8?B?" + kNihonUTF8 + "?= =?ISO-2022-JP?B?" + kKoreJIS + "?=",
       "=?UTF-8?B?" + kNihonUTF8 + "?= " + kKoreSJIS, "only the first charset of the table"},
      {"=?ISO-2202-JP?B?" + kKoreJIS + "?=", "\x1B$B$3$s\x1B(B", "ISO-2202-JP stays JIS"},
      {"=?GB2312?B?" + kKoreJIS + "?=", kKoreSJIS, "GB2312 with escapes"},
      {"=?GB2312?Q?=B0=A1?=", "\xB0\xA1", "GB2312 without escapes"},
      {"=?Shift_JIS?B?gqA=?=", "\x82\xA0", "Shift_JIS"},
      {"=?SHIFT-JIS?Q?=82=A0?=", "\x82\xA0", "SHIFT-JIS"},
      {"=?SJIS?B?abc", "abc", "unterminated SJIS word"},
      {"=?ISO-8859-1?Q?Caf=E9_au_lait?=", "Caf\xE9 au lait", "Q underscores"},
      {"=?ISO-8859-1?Q?a=5Fb?=", "a_b", "encoded underscore"},
      {"=?EUC-JP?B?pKI=?=", "=?EUC-JP?B?pKI=?=", "unknown charset stays"},
      {"\x81=?SJIS?B?YQ==?=", "\x81=?SJIS?B?YQ==?=", "no marker begins on a trail byte"},
      {"\x1B$B$3$s\x1B(B", kKoreSJIS, "raw JIS without words"},
      {"plain \x82\xA0 text", "plain \x82\xA0 text", "nothing to decode"},
      {"", "", "empty"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeHeaderText(c.in), c.want) << c.why;
}

TEST(EncodedWords, Utf8) {
  const Case cases[] = {
      {"=?UTF-8?B?" + kNihonUTF8 + "?=", kNihonSJIS, "B word"},
      {"=?utf-8?q?=E6=97=A5=E6=9C=AC?=", kNihonSJIS, "Q word"},
      {"x=?UTF-8?B?" + kNihonUTF8 + "?=y", "x" + kNihonSJIS + "y", "text around"},
      {"=?UTF-8?B?" + kNihonUTF8 + "?= \x82 x", "", "a raw Shift-JIS byte empties the value"},
      {"=?UTF-8?B?YfCfmIBi?=", "a?b", "an emoji becomes the default character"},
      {"=?UTF-8?Q?=F0=9F=98=80=F0=9F=98=80?=", "??", "two emoji"},
      {"=?UTF-8?Q?=C3=A9?=", "?", "a character CP932 lacks"},
      {"=?UTF-8?Q?=C3(?=", "", "a wrong continuation byte"},
      {"=?UTF-8?Q?=E6=97?=", "", "a missing continuation byte"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeHeaderText(c.in), c.want) << c.why;
}

TEST(EncodedWords, Utf8Reading) {
  const Case cases[] = {
      {"abc", "abc", "ASCII"},
      {std::string("a\0b", 3), std::string("a\0b", 3), "NUL is a character"},
      {"\xE6\x97\xA5", "\x93\xFA", "three bytes"},
      {"\xCE\xB1", "\x83\xBF", "two bytes (alpha)"},
      {"\xF0\x9F\x98\x80", "?", "four bytes"},
      {"\xF4\x8F\xBF\xBF", "?", "U+10FFFF"},
      {"\xF0\x9F\x98", "?", "a cut four-byte sequence reads as three bytes"},
      {"\xF0\x9F\x98\x80\x80", "", "a stray continuation byte after it"},
      {"\xF0\x80\x80\x80", "", "an overlong four-byte form keeps the old reading"},
      {"\x82\xA0", "?", "a continuation byte as a lead takes one more"},
      {"\x82", "", "a lead byte at the end"},
      {"\xE6\x97", "", "three-byte lead cut short"},
  };
  for (const auto& c : cases) EXPECT_EQ(UTF8ToSJIS(c.in), c.want) << c.why;
}

TEST(EncodedWords, CharsetStepReportsWhetherItFoundAWord) {
  std::string W = "a =?SJIS?B?gqA=?= b", R = "x";
  bool utf8 = false;
  EXPECT_FALSE(DecodeCharsetWords("UTF-8", false, W, R, utf8));
  EXPECT_EQ(W, "a =?SJIS?B?gqA=?= b");
  EXPECT_EQ(R, "x");
  EXPECT_FALSE(utf8);
  EXPECT_TRUE(DecodeCharsetWords("SJIS", false, W, R, utf8));
  EXPECT_EQ(R, "xa \x82\xA0 b");
  std::string W2 = "=?UTF-8?Q?a?=", R2;
  EXPECT_TRUE(DecodeCharsetWords("UTF-8", false, W2, R2, utf8));
  EXPECT_TRUE(utf8);
  EXPECT_EQ(R2, "a");
}

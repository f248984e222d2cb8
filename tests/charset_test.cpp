// Charset decoding to Unicode and the display rule for stored bytes.
#include <gtest/gtest.h>

#include "jcode/charset.h"

using namespace tarvo;

TEST(Charset, DecodesEachFamilyByItsName) {
  struct Case {
    const char* charset;
    std::string bytes;
    const char* want;
  } cases[] = {
      {"ISO-2022-JP", "\x1b$B$3$s$K$A$O\x1b(B!", "こんにちは!"},
      {"iso-2022-jp", "\x1b$B-!\x1b(B", "①"},  // NEC row 13 as Windows mailers write it
      {"Shift_JIS", "\x82\xb1\x82\xf1", "こん"},
      {"windows-31j", "\xfb\xfc\x8b\xb4", "髙橋"},
      {"CP932", "\x87\x40", "①"},
      {"EUC-JP", "\xa4\xb3\xa4\xf3", "こん"},
      {"utf-8", "\xef\xbb\xbf\xe3\x81\x93\xf0\x9f\x98\x80", "こ😀"},  // byte-order mark dropped
      {"UTF8", "caf\xc3\xa9", "café"},
      {"\"utf-8\"", "a", "a"},
      {"utf-8*ja", "\xe6\x97\xa5", "日"},
      {"ISO-8859-1", "caf\xe9", "café"},
      {"iso-8859-2", "Miros\xb3\x61w", "Mirosław"},
      {"windows-1251", "\xc0\xf2", "Ат"},
      {"KOI8-R", "\xf0\xd2\xc9", "При"},
      {"euc-kr", "\xc7\xd1", "한"},
      {"ks_c_5601-1987", "\xc7\xd1", "한"},
      {"gb2312", "\xd6\xd0\xce\xc4", "中文"},
      {"big5", "\xa4\xa4", "中"},
      {"utf-16", "\xff\xfe\x42\x30", "あ"},
      {"utf-7", "+MEI-", "あ"},
      {"us-ascii", "plain", "plain"},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> got = DecodeCharsetToUtf8(c.bytes, c.charset);
    ASSERT_TRUE(got.has_value()) << c.charset;
    EXPECT_EQ(*got, c.want) << c.charset;
  }
}

TEST(Charset, UnknownCharsetOrEightBitAsciiIsLeftToTheCaller) {
  EXPECT_FALSE(DecodeCharsetToUtf8("abc", "x-no-such-charset").has_value());
  // Values beyond U+10FFFF that the system converter passes on come out as
  // the lossless code points of their bytes, not as five-byte forms.
  for (const auto& [bytes, charset] : {std::pair<std::string, std::string>{std::string("\x7f\xff\xff\xff", 4), "ucs-4"},
                                       {"\xf6\x88\x90\x8c a", "\xf8\xdb\xff\x7futf-8"}}) {
    const std::optional<std::string> got = DecodeCharsetToUtf8(bytes, charset);
    if (!got) continue;  // a system that refuses the name or the value is fine too
    EXPECT_EQ(CheckedUtf8(*got), *got) << charset;
    for (const unsigned char b : *got) EXPECT_TRUE(b != 0xC0 && b != 0xC1 && b < 0xF5) << charset;
  }
  EXPECT_FALSE(DecodeCharsetToUtf8("abc", "").has_value());
  EXPECT_FALSE(DecodeCharsetToUtf8("abc", "unknown-8bit").has_value());
  EXPECT_FALSE(DecodeCharsetToUtf8("caf\xe9", "us-ascii").has_value());
}

TEST(Charset, BadBytesShowAsReplacementCharacters) {
  // A byte that starts no character in the declared charset becomes U+FFFD,
  // never some other character; the rest decodes.
  EXPECT_EQ(*DecodeCharsetToUtf8("a\xff" "b\xe3\x81", "utf-8"), "a\uFFFD" "b\uFFFD\uFFFD");
  EXPECT_EQ(*DecodeCharsetToUtf8("\xa4\xb3\xff", "euc-jp"), "こ\uFFFD");
  // A lead byte without its second byte keeps the byte after it, and so do
  // single shifts to no katakana; JIS X 0212 is read too.
  EXPECT_EQ(*DecodeCharsetToUtf8("\xa4 y\x8e\xe0z\xa4", "euc-jp"), "\uFFFD y\uFFFD\uFFFDz\uFFFD");
  EXPECT_EQ(*DecodeCharsetToUtf8("\x8e\xb1\x8f\xb0\xa1", "euc-jp"), "ｱ丂");
  // iconv refuses 0x81 in windows-1252; decoding goes on after it.
  EXPECT_EQ(*DecodeCharsetToUtf8("x\x81y", "windows-1252"), "x\uFFFDy");
  EXPECT_EQ(*DecodeCharsetToUtf8("\xc7", "euc-kr"), "\uFFFD");  // cut at the end
  // 8-bit bytes are no ISO-2022-JP: they do not pair up into a kanji that
  // eats the letter after them.
  EXPECT_EQ(*DecodeCharsetToUtf8("Dij\x8a" "at", "iso-2022-jp"), "Dij\uFFFD" "at");
  EXPECT_EQ(*DecodeCharsetToUtf8("\x1b$B$3\x1b(B\x1b$B$", "iso-2022-jp"), "こ\uFFFD");  // half a pair
}

TEST(Charset, Utf8MultibyteRule) {
  struct Case {
    std::string s;
    bool want;
  } cases[] = {
      {"", false},
      {"ascii only", false},
      {"\xe6\x97\xa5\xe6\x9c\xac", true},
      {"\xc3\xa9", true},
      {"\xf0\x9f\x98\x80", true},
      {"\x93\xfa\x96\x7b", false},      // Shift-JIS
      {"\xc0\xaf", false},              // overlong
      {"\xed\xa0\x80", false},          // surrogate
      {"\xf4\x90\x80\x80", false},      // past U+10FFFF
      {"\xe6\x97", false},              // cut
      {"\xe6\x97\xa5\x1b$B", true},     // ESC is ASCII
      {std::string("\xc3\xa9\0x", 4), true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsUtf8Multibyte(c.s), c.want) << c.s;
}

TEST(Charset, StoredTextShowsAsUtf8OnlyWhenItIs) {
  EXPECT_EQ(StoredTextToUtf8("\xe6\x97\xa5"), "日");
  EXPECT_EQ(StoredTextToUtf8("\x93\xfa"), "日");
  EXPECT_EQ(StoredTextToUtf8("\x93\xfa\xe6\x97\xa5", TDecodeMode::Replace).substr(0, 3), "日");
  EXPECT_EQ(StoredTextToUtf8("a\x80", TDecodeMode::Replace), "a\xef\xbf\xbd");
}

TEST(Charset, DecodedTextForDumpReplacesOnlyTheLosslessCodePoints) {
  const std::string text = "x\xef\x9e\x81y\xef\xbc\x81";  // U+F781, then U+FF01 stays
  EXPECT_EQ(TextToUtf8(text, TTextKind::Decoded, TDecodeMode::Replace), "x\xef\xbf\xbdy\xef\xbc\x81");
  EXPECT_EQ(TextToUtf8(text, TTextKind::Decoded, TDecodeMode::Lossless), text);
}

TEST(Charset, NamesAreNormalised) {
  EXPECT_EQ(NormaliseCharset(" \"UTF-8\" "), "utf-8");
  EXPECT_EQ(NormaliseCharset("ISO-2022-JP*ja"), "iso-2022-jp");
  EXPECT_EQ(NormaliseCharset("'Shift_JIS'"), "shift_jis");
}

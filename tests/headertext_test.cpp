// The Unicode form of header text: every encoded word by its own charset,
// raw 8-bit text by what it is.
#include <gtest/gtest.h>

#include "jcode/jconvert.h"

using namespace tarvo;

namespace {
struct Case {
  std::string in, want;
  const char* why;
};

void Check(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) EXPECT_EQ(DecodeHeaderTextUtf8(c->in), c->want) << c->why;
}
#define CHECK_CASES(cases) Check(std::begin(cases), std::end(cases))
}  // namespace

TEST(HeaderTextUtf8, EveryCharsetByItsOwnConverter) {
  const Case cases[] = {
      {"=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=", "こん", "ISO-2022-JP"},
      {"=?Shift_JIS?B?gqA=?=", "あ", "Shift_JIS"},
      {"=?windows-31j?Q?=82=A0?=", "あ", "Windows-31J is code page 932"},
      {"=?EUC-JP?B?pKI=?=", "あ", "EUC-JP"},
      {"=?UTF-8?B?5pel?=", "日", "UTF-8"},
      {"=?ISO-8859-1?Q?Caf=E9_au_lait?=", "Café au lait", "ISO-8859-1 is not code page 932"},
      {"=?ISO-8859-2?Q?Miros=B3aw?=", "Mirosław", "ISO-8859-2"},
      {"=?iso-8859-15?q?=A4_5?=", "€ 5", "ISO-8859-15"},
      {"=?windows-1252?Q?=80?=", "€", "windows-1252"},
      {"=?EUC-KR?B?x9E=?=", "한", "EUC-KR"},
      {"=?GB2312?B?1tDOxA==?=", "中文", "GB2312 through iconv"},
      {"=?GB2312?B?GyRCJDMkcxsoQg==?=", "こん", "GB2312 holding JIS escapes"},
      {"=?ISO-2202-JP?B?GyRCJDMkcxsoQg==?=", "こん", "the misspelt ISO-2022-JP"},
      {"=?us-ascii?Q?hello_world?=", "hello world", "us-ascii"},
      {"=?us-ascii?Q?=E6=97=A5?=", "日", "us-ascii that holds 8-bit bytes is read like raw text"},
      {"=?unknown-8bit?Q?=93=FA?=", "日", "so is unknown-8bit"},
      {"=?UTF-16?B?//7lZQ==?=", "日", "UTF-16 with its byte-order mark"},
      {"=?utf-8*ja?B?5pel?=", "日", "an RFC 2231 language is ignored"},
      {"=?x-no-such-charset?B?YQ==?=", "=?x-no-such-charset?B?YQ==?=", "an unknown charset stays as written"},
  };
  CHECK_CASES(cases);
}

TEST(HeaderTextUtf8, EveryWordOnItsOwn) {
  const Case cases[] = {
      {"=?UTF-8?B?5pel?= =?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=", "日こん", "two charsets in one value"},
      {"=?UTF-8?B?5pel?= =?UTF-8?Q?=E6=9C=AC?=", "日本", "B and Q words in one value"},
      {"=?UTF-8?B?5pel?=\t \t=?UTF-8?B?5pel?=", "日日", "blanks between adjacent words go"},
      {"=?UTF-8?B?5pel?==?UTF-8?B?5pel?=", "日日", "words written together"},
      {"a =?UTF-8?B?5pel?= b =?UTF-8?B?5pel?= c", "a 日 b 日 c", "blanks beside text stay"},
      {"=?UTF-8?Q?=E6=97?= =?UTF-8?Q?=A5?=", "日", "a character split over two words"},
      {"=?ISO-2022-JP?B?GyRCJDM=?==?ISO-2022-JP?B?JDM=?=", "ここ", "a JIS run goes on into the next word"},
      {"=?iso-2022-jp?B?GyRCJUsbKEI=?= =?iso-2022-jp?B?GyRCJWMhPCVzGyhC?=", "ニャーン", "words joined, blank dropped"},
      {"=?iso-2022-jp?B?GyRCJUslYyE8JXMbKEI=?= =?Shift_JIS?B?g2w=?=", "ニャーンネ", "each charset on its own"},
      {"=?x-no-such?Q?a?= =?UTF-8?Q?b?=", "=?x-no-such?Q?a?= b", "blanks after a word left as written stay"},
  };
  CHECK_CASES(cases);
}

TEST(HeaderTextUtf8, QAndBText) {
  const Case cases[] = {
      {"=?UTF-8?Q?=e6=97=a5?=", "日", "lower-case hex"},
      {"=?UTF-8?Q?a=5Fb_c?=", "a_b c", "an encoded underscore and a space"},
      {"=?UTF-8?Q?100=_=3D?=", "100= =", "an = without hex stays"},
      {"=?UTF-8?B?5pelYQ?=", "日a", "missing padding"},
      {"=?UTF-8?B?5pel YQ==?=", "日a", "a blank inside"},
      {"=?UTF-8?B?5p-l?=", "=?UTF-8?B?5p-l?=", "a character outside base64 keeps the word"},
      {"=?UTF-8?B?5pel", "=?UTF-8?B?5pel", "no end: not a word"},
      {"=?UTF-8?X?5pel?=", "=?UTF-8?X?5pel?=", "neither B nor Q"},
      {"=??B?5pel?=", "=??B?5pel?=", "no charset"},
      {"=?UTF 8?B?5pel?=", "=?UTF 8?B?5pel?=", "a blank in the charset"},
      {"=?=?UTF-8?B?5pel?=", "=?日", "a word after a stray opener"},
  };
  CHECK_CASES(cases);
}

TEST(HeaderTextUtf8, EveryCharacterKept) {
  const Case cases[] = {
      {"=?UTF-8?B?8J+YgCBNaXJvc8WCYXcg44Cc?=", "😀 Mirosław 〜", "emoji, Polish, wave dash"},
      {"=?ISO-2022-JP?B?GyRCfGI2NhsoQg==?=", "髙橋", "an NEC-selected IBM kanji in JIS"},
      {"=?ISO-2022-JP?B?GyRCLSEbKEI=?=", "①", "NEC row 13 in JIS"},
      {"=?Shift_JIS?Q?=FB=FC?=", "髙", "an IBM extension pair"},
      {"=?UTF-8?Q?a=FFb?=", "a\uFFFD" "b", "a byte that starts no character stays visible"},
      {std::string("=?UTF-8?Q?a=00b?=", 17), std::string("a\0b", 3), "NUL is an ordinary byte"},
  };
  CHECK_CASES(cases);
}

TEST(HeaderTextUtf8, RawEightBitText) {
  const Case cases[] = {
      {"Re: 日本語 ok", "Re: 日本語 ok", "UTF-8 as RFC 6532 allows"},
      {"\x93\xfa\x96\x7b", "日本", "Shift-JIS"},
      {"\xC6\xFC\xCB\xDC\xB8\xEC", "日本語", "EUC-JP"},
      {"\x1b$B$3$s\x1b(B =?UTF-8?B?5pel?=", "こん 日", "raw JIS beside a word: both converted"},
      {"x \x82\xA0\x82 y", "x あ\uF782 y", "a lone lead byte is kept"},
      {"plain", "plain", "ASCII"},
      {"", "", "empty"},
  };
  CHECK_CASES(cases);
}

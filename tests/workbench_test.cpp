#include <gtest/gtest.h>

#include "hash/Workbench.h"

using namespace tarvo;

namespace {
// "abc日本語ｱ x" in Shift-JIS, and what the tool rows make of it.
const std::string kMixed = "abc\x93\xfa\x96\x7b\x8c\xea\xb1 x";
const std::string kMixedJIS = "abc\x1b$BF|K\\8l\x1b(B\xb1 x";
const std::string kMixedEUC = "abc\xc6\xfc\xcb\xdc\xb8\xec\x8e\xb1 x";
}  // namespace

TEST(Workbench, EmptyInput) {
  EXPECT_EQ(ToolJIS(""), "");
  EXPECT_EQ(ToolEUC(""), "");
  EXPECT_EQ(ToolBase64(""), "");
  EXPECT_EQ(ToolMD5(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(ToolSHA1(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(Workbench, AsciiPassesWithoutEscapes) {
  const std::string ascii = "Hello, World! 0123 ~{|}";
  EXPECT_EQ(ToolJIS(ascii), ascii);
  EXPECT_EQ(ToolEUC(ascii), ascii);
}

TEST(Workbench, HalfWidthKatakana) {
  const std::string kana = "\xb1\xb2\xdf";  // ｱｲﾟ
  EXPECT_EQ(ToolJIS(kana), kana);           // raw 8-bit, no ESC ( I
  EXPECT_EQ(ToolEUC(kana), "\x8e\xb1\x8e\xb2\x8e\xdf");
  EXPECT_EQ(ToolJISBack(ToolJIS(kana)), kana);
  EXPECT_EQ(ToolEUCBack(ToolEUC(kana)), kana);
}

TEST(Workbench, MixedTextInEveryRow) {
  EXPECT_EQ(ToolJIS(kMixed), kMixedJIS);
  EXPECT_EQ(ToolEUC(kMixed), kMixedEUC);
  EXPECT_EQ(ToolBase64(kMixed), "YWJjk/qWe4zqsSB4");
  EXPECT_EQ(ToolJISBack(kMixedJIS), kMixed);
  EXPECT_EQ(ToolEUCBack(kMixedEUC), kMixed);
  EXPECT_EQ(ToolBase64Back("YWJjk/qWe4zqsSB4"), kMixed);
  // The digests are of the Shift-JIS bytes, not of the other rows.
  EXPECT_NE(ToolMD5(kMixed), ToolMD5(kMixedEUC));
  EXPECT_NE(ToolSHA1(kMixed), ToolSHA1(kMixedJIS));
}

TEST(Workbench, EveryDoubleByteCharacterRoundTrips) {
  // Every Shift-JIS pair of the JIS X 0208 rows, one text per lead byte.
  for (int lead = 0x81; lead <= 0xEF; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    std::string text;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      text += static_cast<char>(lead);
      text += static_cast<char>(trail);
    }
    EXPECT_EQ(ToolJISBack(ToolJIS(text)), text) << "lead " << lead;
    EXPECT_EQ(ToolEUCBack(ToolEUC(text)), text) << "lead " << lead;
  }
}

TEST(Workbench, Base64RoundTripsAnyBytes) {
  std::string bytes;
  for (int i = 1; i < 256; ++i) bytes += static_cast<char>(i);
  for (std::size_t n = 0; n <= 7; ++n) {
    const std::string text = bytes.substr(0, n) + bytes.substr(128);
    EXPECT_EQ(ToolBase64Back(ToolBase64(text)), text) << n;
  }
}

TEST(Workbench, InvalidBase64ComesBackUnchanged) {
  for (const std::string s : {"abc", "ab-d", "QUJD\x82\xa0", "QUJDRA="})
    EXPECT_EQ(ToolBase64Back(s), s) << s;
}

TEST(Workbench, DecodedNulEndsTheShownText) {
  const std::string decoded = ToolBase64Back("YQBi");  // 'a', 0, 'b'
  EXPECT_EQ(decoded, std::string("a\0b", 3));
  EXPECT_EQ(TextUpToNul(decoded), "a");
  EXPECT_EQ(TextUpToNul(std::string("\0x", 2)), "");
  EXPECT_EQ(TextUpToNul(kMixed), kMixed);
}

TEST(Workbench, UpcaseOfDigests) {
  const std::string md5 = ToolMD5("abc");
  EXPECT_EQ(md5, "900150983cd24fb0d6963f7d28e17f72");
  const std::string once = ToolUpcase(md5);
  EXPECT_EQ(once, "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(ToolUpcase(once), once);
  EXPECT_EQ(ToolMD5("abc"), md5);  // pressing the digest button brings lower case back
  EXPECT_EQ(ToolUpcase(ToolSHA1("abc")), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  // Double-byte characters keep their letter trail bytes.
  EXPECT_EQ(ToolUpcase("a\x82\x61z"), "A\x82\x61Z");
}

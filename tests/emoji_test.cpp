// Carrier emoji and the readings of Japanese text that depend on the message:
// the generated table against its source, the carrier of a sender, and each
// code of each carrier in each charset.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "jcode/charset.h"
#include "jcode/jconvert.h"

using namespace tarvo;

namespace {

std::string Utf8Of(const std::string& codePoints) {
  std::istringstream in(codePoints);
  std::string out, cp;
  while (in >> cp) AppendUtf8(out, static_cast<char32_t>(std::stoul(cp, nullptr, 16)));
  return out;
}

}  // namespace

TEST(Emoji, TableIsEmojiSources) {
  std::ifstream in("/usr/share/unicode/EmojiSources.txt");
  if (!in) GTEST_SKIP() << "no unicode-data";
  const TCarrier carriers[] = {TCarrier::Docomo, TCarrier::Au, TCarrier::SoftBank};
  std::size_t rows[3] = {};
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream f(line);
    for (std::string field; std::getline(f, field, ';');) fields.push_back(field);
    fields.resize(4);  // a last empty field leaves no piece
    for (int c = 0; c < 3; ++c) {
      if (fields[c + 1].empty()) continue;
      const unsigned code = std::stoul(fields[c + 1], nullptr, 16);
      EXPECT_EQ(CarrierEmoji(carriers[c], code >> 8, code & 0xFF), Utf8Of(fields[0])) << line;
      ++rows[c];
    }
  }
  for (int c = 0; c < 3; ++c) EXPECT_EQ(CarrierEmojiRows(carriers[c]).size(), rows[c]) << c;
  EXPECT_FALSE(EmojiPackageVersion().empty());
}

TEST(Emoji, CarrierOfSender) {
  const struct {
    const char *from, *mailer, *id;
    TCarrier want;
  } cases[] = {
      {"taro@docomo.ne.jp", "", "", TCarrier::Docomo},
      {"Taro@EZweb.ne.jp", "", "", TCarrier::Au},
      {"hanako@au.com", "", "", TCarrier::Au},
      {"x@softbank.ne.jp", "", "", TCarrier::SoftBank},
      {"x@i.softbank.jp", "", "", TCarrier::SoftBank},
      {"x@disney.ne.jp", "", "", TCarrier::SoftBank},
      {"x@example.jp", "", "<1@docomo.ne.jp>", TCarrier::Docomo},
      {"x@example.jp", "SoftBank Mail", "<1@docomo.ne.jp>", TCarrier::SoftBank},  // the mailer before the id
      {"x@notdocomo.ne.jp", "", "", TCarrier::Unknown},
      {"x@au.com.example", "", "", TCarrier::Unknown},
      {"", "", "", TCarrier::Unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(CarrierOfSender(c.from, c.mailer, c.id), c.want) << c.from << " " << c.mailer;
}

TEST(Emoji, EachCarrierInEachCharset) {
  const std::string sun = "\u2600", sad = "\U0001F625";
  const struct {
    TCarrier carrier;
    const char* charset;
    std::string bytes, want;
  } cases[] = {
      {TCarrier::Docomo, "shift_jis", "a\xF8\x9F" "b", "a" + sun + "b"},
      {TCarrier::Unknown, "shift_jis", "\xF8\x9F", sun},  // the shared range reads as docomo's
      {TCarrier::Au, "shift_jis", "\xF6\x60", sun},
      {TCarrier::Au, "shift_jis", "\xEB\x60", sun},           // au's mail row of it
      {TCarrier::Unknown, "shift_jis", "\xED\xAD", "\u63f5"},  // the same bytes from a PC: a kanji
      {TCarrier::SoftBank, "shift_jis", "\xF9\x8B", sun},
      {TCarrier::SoftBank, "shift_jis", "\xFB\x41", sad},
      {TCarrier::Docomo, "shift_jis", "\xFB\x41", "涬"},  // an IBM extension for the others
      {TCarrier::Docomo, "shift_jis", "\xF6\x60", "\uE488"},  // no docomo code: private use as before
      {TCarrier::Au, "iso-2022-jp", "\x1B$Bu\x41\x1B(B", sun},
      {TCarrier::Docomo, "iso-2022-jp", "\x1B$B$3\x1B(B\xF8\x9F", "こ" + sun},  // among JIS text
      {TCarrier::Unknown, "iso-2022-jp", "x\x1B$Gj\x1B$FA\x0Fy", "x" + sun + "6\u20E3y"},  // SoftBank web codes
      {TCarrier::Unknown, "iso-2022-jp", "\x1B$Gj\n", sun + "\n"},  // left open: ends at the line end
      {TCarrier::Docomo, "utf-8", "\uE63E", sun},
      {TCarrier::Unknown, "utf-8", "\uE63E", sun},
      {TCarrier::SoftBank, "utf-8", "\uE04A\uE63E", sun + "\uE63E"},
      {TCarrier::Au, "utf-8", "\uE488", "\uE488"},  // no table of au's private-use codes
      {TCarrier::Au, "euc-jp", "\xA4\xB3", "こ"},
  };
  for (const auto& c : cases) {
    const TTextContextScope scope({c.carrier, {}});
    EXPECT_EQ(DecodeCharsetToUtf8(c.bytes, c.charset).value_or("?"), c.want)
        << static_cast<int>(c.carrier) << " " << c.charset << " " << c.bytes;
  }
  const TTextContextScope scope({TCarrier::Au, {}});
  EXPECT_EQ(RawHeaderTextToUtf8("\xF6\x60"), sun);
  EXPECT_EQ(DecodeHeaderTextUtf8("=?ISO-2022-JP?B?GyRCdUEbKEI=?="), sun);
  EXPECT_EQ(LineToUtf8("\x1B$Bu\x41\x1B(B"), sun);
}

TEST(JapaneseText, HalfWidthKatakanaInJis) {
  EXPECT_EQ(*DecodeCharsetToUtf8("\x1B(I_\x1B(B", "iso-2022-jp"), "ﾟ");
  const std::string face = "(=\x1B(I_\x1B$B&X\x1B(I_\x1B(B)\x1B(II\x1B(B";
  EXPECT_EQ(*DecodeCharsetToUtf8(face, "iso-2022-jp"), "(=ﾟωﾟ)ﾉ");
  EXPECT_EQ(RawHeaderTextToUtf8(face), "(=ﾟωﾟ)ﾉ");
  EXPECT_EQ(LineToUtf8(face), "(=ﾟωﾟ)ﾉ");
  EXPECT_EQ(Cp932ToUtf8(JISToSJIS(face)), "(=ﾟωﾟ)ﾉ");
}

TEST(JapaneseText, RawHeaderBytes) {
  const struct {
    const char* fallback;
    std::string raw, want, why;
  } cases[] = {
      {"", "\xFB\xFC\x8B\xB4", "髙橋", "Shift_JIS: only it reads every byte"},
      {"", "\xFB\xFC" "abc", "髙abc", "leads 0xF5 and up are no EUC-JP"},
      {"", "\xF0\x40\xF1\x6F", "\uE000\uE0EB", "user-defined rows stay private use"},
      {"", "\xA4\xB3\xA4\xF3", "こん", "EUC-JP"},
      {"", "M\xFCnchen", "M\uF7FCnchen", "no declared charset: the byte is kept"},
      {"iso-8859-1", "M\xFCnchen", "München", "read by the declared charset"},
      {"iso-8859-1", "L\xFCtkebohle", "Lütkebohle", "the letter after it stays"},
      {"iso-8859-1", "\xC4pfel", "Äpfel", "a lone katakana byte is not enough"},
      {"iso-8859-1", "\x82\xB1\x82\xF1", "こん", "Shift_JIS pairs win over the declared charset"},
      {"iso-8859-1", "caf\xC3\xA9", "café", "well-formed UTF-8 first"},
  };
  for (const auto& c : cases) {
    const TTextContextScope scope({TCarrier::Unknown, c.fallback});
    EXPECT_EQ(RawHeaderTextToUtf8(c.raw), c.want) << c.why;
    EXPECT_EQ(DecodeHeaderTextUtf8("x " + c.raw), "x " + c.want) << c.why;
  }
}

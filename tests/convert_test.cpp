#include <gtest/gtest.h>
#include <iconv.h>

#include <memory>

#include "base/cp932.h"
#include "jcode/jconvert.h"

using namespace tarvo;

namespace {
struct Case {
  std::string in, want;
};

std::string Pair(std::pair<std::uint8_t, std::uint8_t> p) {
  return {static_cast<char>(p.first), static_cast<char>(p.second)};
}

// Decodes bytes with glibc iconv; empty when they do not decode completely.
std::string Iconv(const char* from, const std::string& bytes) {
  std::unique_ptr<void, int (*)(iconv_t)> cd(iconv_open("UTF-8", from), iconv_close);
  if (cd.get() == reinterpret_cast<void*>(-1)) return {};
  std::string in = bytes, out(64, '\0');
  char* ip = in.data();
  char* op = out.data();
  std::size_t il = in.size(), ol = out.size();
  if (iconv(cd.get(), &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0) return {};
  out.resize(out.size() - ol);
  return out;
}

// A JIS X 0208 row/cell pair CP932 maps to one character and back.
bool Cp932Maps(const std::string& sjis) {
  const std::string u = Cp932ToUtf8(sjis, TDecodeMode::Replace);
  return u.find("\xEF\xBF\xBD") == std::string::npos && Utf8ToCp932(u) == sjis;
}
}  // namespace

TEST(Convert, JISToSJISEscapes) {
  const Case cases[] = {
      {"\x1B$B$3$s\x1B(B" "abc", "\x82\xB1\x82\xF1" "abc"},
      {"\x1B$@$3$s\x1B(Jabc", "\x82\xB1\x82\xF1" "abc"},
      {"\x1B$B$3\x1B(I" "1_", "\x82\xB1" "\xB1\xDF"},  // half-width katakana: ｱﾟ
      {"\x1B$B$3$s", "\x82\xB1\x82\xF1"},       // a run left open
      {"\x1B$B" "0", "\x88\x7E"},               // the missing second byte is 0
      {"\x1B(B\x1B$B$3", "\x82\xB1"},           // consecutive escapes
      {"\x1B$B\x1B(B" "abc", "abc"},
      {"\x1B$B$3$\n", "\x82\xB1\x82\x88"},      // an odd run swallows the line end
      {std::string("a\0b", 3), "ab"},           // zero bytes dropped in single-byte mode
      {"\xB1\x82\xA0", "\xB1\x82\xA0"},         // 8-bit bytes copied
      {"\x1B$B\x1BXa$3", "\x82\xB1"},        // an unknown escape keeps the mode
      // Cut escapes and an escape that ends the text stop the conversion.
      {"ab\x1B", "ab"}, {"ab\x1B$", "ab"}, {"ab\x1B$B", "ab"}, {"ab\x1B(", "ab"},
      {"\x1B$B$3\x1B(B", "\x82\xB1"}, {"\x1B$B$3\x1B", "\x82\xB1"}, {"\x1B", ""},
      // Pairs that come out as ESC ( J are removed, in either case; ESC ( B stays.
      {"\x1B$B\x30\x9D\xF0\xCC", "\x88"},
      {"\x1B$B\x30\x9D\xF0\xEC", "\x88"},
      {"\x1B$B\x30\x9D\xF0\xC4", "\x88\x1B(B"},
  };
  for (const auto& c : cases) EXPECT_EQ(JISToSJIS(c.in), c.want) << c.in;
}

TEST(Convert, EUCAndSJISConverters) {
  const Case euc[] = {
      {"\x8E\xB1", "\xB1"}, {"\xA4\xA2", "\x82\xA0"}, {"\x80", "\x80"}, {"\xFF" "a", "\xFF" "a"},
      {"\x8E", std::string(1, '\0')}, {"\xA4", "\x82\x7E"}, {"\xC6\xFC\xCB\xDC", "\x93\xFA\x96\x7B"},
  };
  for (const auto& c : euc) EXPECT_EQ(EUCToSJIS(c.in), c.want) << c.in;
  const Case toEuc[] = {
      {"\xB1", "\x8E\xB1"}, {"\x82\xA0", "\xA4\xA2"}, {"\x81\x7F", "\xA1\xE0"}, {"abc", "abc"},
  };
  for (const auto& c : toEuc) EXPECT_EQ(SJISToEUC(c.in), c.want) << c.in;
  const Case toJis[] = {
      {"abc", "abc"},
      {"\x81\x7F", "\x1B$B\x21\x5F\x1B(B"},
      {"a\x93\xFA\x96\x7B" "b", "a\x1B$BF|K\\\x1B(B" "b"},
      {"\x82\xA0\xB1\x82\xA0", "\x1B$B$\"\x1B(B\xB1\x1B$B$\"\x1B(B"},
      {"\x82", "\x1B$B\x23\xE1\x1B(B"},  // a lead byte at the end pairs with 0
  };
  for (const auto& c : toJis) EXPECT_EQ(SJISToJIS(c.in), c.want) << c.in;
}

TEST(Convert, PairVariantsDifferOnlyAt7F) {
  for (int s1 : {0x81, 0x9F, 0xE0, 0xFC})
    for (int s2 = 0x40; s2 <= 0xFC; ++s2) {
      const auto e = SJISPairToJIS(s1, s2, TPairVariant::EUC);
      const auto j = SJISPairToJIS(s1, s2, TPairVariant::JIS);
      if (s2 == 0x7F) {
        EXPECT_EQ(e.second, 0x60);
        EXPECT_EQ(j.second, 0x5F);
        EXPECT_EQ(e.first, j.first);
      } else {
        EXPECT_EQ(e, j) << s1 << " " << s2;
      }
    }
}

// Every JIS X 0208 pair: the arithmetic agrees with iconv's EUC-JP and
// Shift_JIS tables, and each character CP932 maps survives both round trips.
TEST(Convert, EveryJISX0208CharacterRoundTrips) {
  int mapped = 0, checkedAgainstIconv = 0;
  for (int j1 = 0x21; j1 <= 0x7E; ++j1)
    for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
      const std::string sjis = Pair(JISPairToSJIS(j1, j2));
      const std::string euc = {static_cast<char>(j1 | 0x80), static_cast<char>(j2 | 0x80)};
      const std::string viaEuc = Iconv("EUC-JP", euc);
      if (!viaEuc.empty()) {
        ++checkedAgainstIconv;
        EXPECT_EQ(Iconv("SHIFT_JIS", sjis), viaEuc) << j1 << " " << j2;
      }
      if (!Cp932Maps(sjis)) continue;
      ++mapped;
      const auto back = SJISPairToJIS(sjis[0], sjis[1], TPairVariant::JIS);
      EXPECT_EQ(back.first, j1);
      EXPECT_EQ(back.second, j2);
      const std::string text = "a" + sjis + "\xB1" + sjis + sjis;
      EXPECT_EQ(SJISToEUC(sjis), euc);
      EXPECT_EQ(EUCToSJIS(SJISToEUC(text)), text) << j1 << " " << j2;
      EXPECT_EQ(JISToSJIS(SJISToJIS(text)), text) << j1 << " " << j2;
    }
  EXPECT_GT(checkedAgainstIconv, 6800);  // JIS X 0208 has 6879 characters
  EXPECT_GT(mapped, 6800);
}

TEST(Convert, LineByDetectedCode) {
  const Case cases[] = {
      {"\x1B$B$3$s\x1B(B", "\x82\xB1\x82\xF1"},        // JIS
      {"\x1B$@$3$s\x1B(B", "\x82\xB1\x82\xF1"},        // JIS78
      {"\xC6\xFC\xCB\xDC", "\x93\xFA\x96\x7B"},        // EUC
      {"\xB1\xB2\xB3\xB4", "\x89\x51\x8A\x53"},        // undecided: taken as EUC
      {"\x93\xFA\x96\x7B", "\x93\xFA\x96\x7B"},        // Shift-JIS stays
      {"plain ascii", "plain ascii"},
      {"$3$s", "$3$s"},                                // designation on an earlier line
      {std::string("a\x01\x1B$B$3", 6), std::string("a\x01\x1B$B$3", 6)},  // binary
  };
  for (const auto& c : cases) EXPECT_EQ(ConvertLineToSJIS(c.in), c.want) << c.in;
}

#include <gtest/gtest.h>

#include "jcode/jconvert.h"

using namespace tarvo;

namespace {
struct Case {
  std::string text;
  TCodeKind want;
  const char* why;
};

void Check(const std::vector<Case>& cases) {
  for (const auto& c : cases) EXPECT_EQ(DetectCode(c.text), c.want) << c.why;
}

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s += static_cast<char>(v);
  return s;
}
}  // namespace

TEST(DetectCode, ShortTextsAndTheLastByte) {
  Check({
      {"", ckNone, "empty"},
      {Bytes({0x00}), ckNone, "one byte 0x00"},
      {"\xFF", ckNone, "one byte 0xFF"},
      {"\x81", ckNone, "one lead byte"},
      {Bytes({'a', 'b', 0x01}), ckNone, "control byte only at the end"},
      {Bytes({'a', 0x01, 'b'}), ckBinary, "control byte before the end"},
      {Bytes({'a', 'b', 'c', 0x00, 'd', 'e'}), ckBinary, "pre-scan"},
      {"ab\xFF", ckNone, "0xFF at the end"},
      {"\xFF" "a", ckBinary, "0xFF first"},
      {"\x08\x7F\x1F", ckNone, "0x08 and 0x7F are not binary"},
  });
}

TEST(DetectCode, BinaryPreScanWindowIs512Bytes) {
  // 0x8E 0x00: the main scan takes 0x00 as a second byte and passes it over,
  // so only the pre-scan can find it.
  const std::string inside = std::string(510, 'a') + Bytes({0x8E, 0x00}) + "ab";
  const std::string outside = std::string(511, 'a') + Bytes({0x8E, 0x00}) + "ab";
  Check({
      {inside, ckBinary, "0x00 at position 512"},
      {outside, ckNone, "0x00 at position 513 is a second byte"},
      {std::string(599, 'a') + Bytes({0x00}) + "b", ckBinary, "main scan, rule 2"},
      {"\x82\xA0" + std::string(597, 'a') + Bytes({0x00}) + "b", ckSJIS, "never reached after Shift-JIS"},
      {Bytes({0x1B, '$', 0x00}), ckNone, "a control byte consumed as e"},
  });
}

TEST(DetectCode, EscapeSequences) {
  Check({
      {"ab\x1B$Bxyz\x1B(B", ckJIS, "ESC $ B"},
      {"\x1B$@xyz", ckJIS78, "ESC $ @"},
      {"\x1B(B", ckNone, "ESC ( B alone"},
      {"\x1B(Jab", ckNone, "ESC ( J"},
      {"ab\x1B$", ckNone, "ESC $ at the end: e counts 0"},
      {"\x1B$Aab", ckNone, "ESC $ A"},
      {"\x1B\x1B$B", ckNone, "ESC consumes the ESC after it"},
      {"$3$s", ckNone, "JIS kanji without their designation"},
      {"\x82\xA0\x1B$B", ckSJIS, "first decisive byte wins"},
      {"\xB1\xB1\x1B$B", ckJIS, "undecided gives way to JIS"},
  });
}

TEST(DetectCode, LeadByteRules) {
  Check({
      // rule 4
      {"\x81" "a", ckSJIS, "0x81"}, {"\x8D" "a", ckSJIS, "0x8D"},
      {"\x8F" "a", ckSJIS, "0x8F"}, {"\x9F" "a", ckSJIS, "0x9F"},
      // rule 5
      {"\x8E\x40", ckSJIS, "8E 40"}, {"\x8E\x7E", ckSJIS, "8E 7E"}, {"\x8E\x80", ckSJIS, "8E 80"},
      {"\x8E\xA0", ckSJIS, "8E A0"}, {"\x8E\xE0", ckSJIS, "8E E0"}, {"\x8E\xFC", ckSJIS, "8E FC"},
      {"\x8E\xA1", ckEUCOrSJIS, "8E A1"}, {"\x8E\xDF", ckEUCOrSJIS, "8E DF"},
      {"\x8E\x3F", ckNone, "8E 3F"}, {"\x8E\x7F", ckNone, "8E 7F"}, {"\x8E\xFD", ckNone, "8E FD"},
      {"\x8E\xFF", ckNone, "8E FF"},
      {"\x8E\x3F\x81" "a", ckSJIS, "scan goes on after 8E"},
      // rule 6
      {"\xA1\xF0", ckEUC, "A1 F0"}, {"\xDF\xFE", ckEUC, "DF FE"},
      {"\xA1\xA1", ckEUCOrSJIS, "A1 A1"}, {"\xDF\xDF", ckEUCOrSJIS, "DF DF"},
      {"\xB1\x9F", ckSJIS, "B1 9F"}, {"\xB1\x40", ckSJIS, "B1 40"}, {"\xB1\x30", ckSJIS, "B1 30"},
      {"\xB1\xA0", ckNone, "B1 A0"}, {"\xB1\xFF", ckNone, "B1 FF"},
      // rule 7
      {"\xE0\x40", ckSJIS, "E0 40"}, {"\xEF\x7E", ckSJIS, "EF 7E"}, {"\xE0\x80", ckSJIS, "E0 80"},
      {"\xE0\xA0", ckSJIS, "E0 A0"}, {"\xE0\xFD", ckEUC, "E0 FD"}, {"\xEF\xFE", ckEUC, "EF FE"},
      {"\xE0\xA1", ckEUCOrSJIS, "E0 A1"}, {"\xEF\xFC", ckEUCOrSJIS, "EF FC"},
      {"\xE0\x3F", ckNone, "E0 3F"}, {"\xE0\x7F", ckNone, "E0 7F"}, {"\xE0\xFF", ckNone, "E0 FF"},
      {"\xE3\x81\x93", ckSJIS, "UTF-8 hiragana ko"},
      // rule 8
      {"\xF0" "a", ckEUC, "F0"}, {"\xFE" "a", ckEUC, "FE"},
      // rule 9
      {"\x80" "a\xA0" "b", ckNone, "0x80 and 0xA0"},
      // ties
      {"\xB1\xB1\x81\x40", ckSJIS, "undecided, then Shift-JIS"},
      {"\xB1\xB1\xF0" "a", ckEUC, "undecided, then EUC"},
      {"\xB0\xA1\xA4\xA2", ckEUCOrSJIS, "EUC kanji of rows 0x30..0x5F only"},
      {"\xC6\xFC\xCB\xDC", ckEUC, "EUC 日本 (0xFC second byte)"},
  });
}

TEST(DetectCode, RunCheckAfterKatakanaAndE0) {
  Check({
      {"\xB1\xE0", ckEUCOrSJIS, "run of nothing"},
      {"\xB1\xE0\x9C", ckSJIS, "0x9C ends the run's range"},
      {"\xB1\xE0\x8E", ckEUCOrSJIS, "0x8E is not in the run's range"},
      {"\xB1\xE0\x9D" "a", ckEUCOrSJIS, "0x9D..0x9F pass in a run"},
      {"\xB1\xA1\x9D" "a", ckSJIS, "but not as a lead byte"},
      {"\xB1\xE0\xFD", ckEUC, "FD in a run"},
      {"\xB1\xEA" "abc\x81", ckSJIS, "ASCII letters keep the run going"},
      {"\xB1\xE0\x1B$B", ckEUCOrSJIS, "the byte that stops the run is passed over"},
      {"\xB1\xA1\x1B$B", ckJIS, "without a run the ESC counts"},
      {"\xB1\xE0 \x9D" "a", ckSJIS, "the scan goes on after the run"},
      {"\xB1\xE0\x81", ckSJIS, "the run reads the last byte"},
  });
}

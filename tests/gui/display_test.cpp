// The display codec: what the window shows and reads back unedited comes
// back byte for byte.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/Display.h"
#include "base/bytes.h"

using namespace tarvo;

namespace {
std::string Byte(int b) { return std::string(1, static_cast<char>(b)); }
}  // namespace

TEST(Display, EverySingleByteAndPairRoundTrips) {
  for (int b = 0; b < 256; ++b) EXPECT_EQ(FromDisplay(ToDisplay(Byte(b))), Byte(b)) << b;
  for (int lead = 0x80; lead < 256; ++lead)
    for (int trail = 0; trail < 256; ++trail) {
      // A duplicate pair reads back as the code Windows writes: same text.
      const std::string s = Byte(lead) + Byte(trail);
      ASSERT_EQ(ToDisplay(FromDisplay(ToDisplay(s))), ToDisplay(s)) << lead << ' ' << trail;
    }
}

TEST(Display, KnownTextDecodes) {
  EXPECT_EQ(ToDisplay("\x93\xfa\x96\x7b abc"), QStringLiteral("日本 abc"));
  EXPECT_EQ(FromDisplay(QStringLiteral("ｱ日")), "\xb1\x93\xfa");
  EXPECT_EQ(FromDisplay(QStringLiteral("한")), "?");  // not in CP932
}

TEST(Display, MemoGivesBackEveryByteOfItsLines) {
  // Every byte a line can hold (not CR, LF or NUL, which end lines), alone
  // and after each lead byte, and every double-byte character.
  TStringList lines;
  for (int b = 1; b < 256; ++b) {
    if (b == '\r' || b == '\n') continue;
    // std::string("<") rather than "<" + a temporary, which GCC 12 warns about falsely.
    lines.Add(std::string("<") + Byte(b) + ">");
    if (IsCp932LeadByte(static_cast<unsigned char>(b))) {
      std::string all;
      for (int t = 1; t < 256; ++t)
        if (t != '\r' && t != '\n') all += Byte(b) + Byte(t) + " ";
      lines.Add(all);
    }
  }
  lines.Add("");
  lines.Add("\xa0 \x81\x40 \x87\x40 \xfd\xfe\xff");
  QPlainTextEdit memo;
  SetMemoLines(memo, lines);
  // Duplicate pairs read back as the code Windows writes; the text is the same.
  const TStringList back = MemoLines(memo);
  ASSERT_EQ(back.Count(), lines.Count());
  for (std::size_t i = 0; i < lines.Count(); ++i) EXPECT_EQ(ToDisplay(back[i]), ToDisplay(lines[i])) << i;
}

TEST(Display, MemoLineCountFollowsTheBreaks) {
  struct Case {
    std::vector<std::string> lines;
    QString shown;
  } cases[] = {
      {{}, QString()},
      {{""}, QStringLiteral("\n")},
      {{"a"}, QStringLiteral("a\n")},
      {{"a", ""}, QStringLiteral("a\n\n")},
      {{"a", "b"}, QStringLiteral("a\nb\n")},
  };
  for (const Case& c : cases) {
    TStringList in;
    in.Lines = c.lines;
    QPlainTextEdit memo;
    SetMemoLines(memo, in);
    EXPECT_EQ(memo.toPlainText(), c.shown);
    EXPECT_EQ(MemoLines(memo).Lines, c.lines) << c.shown.toStdString();
  }
  // Text typed without a last break still counts as a line.
  QPlainTextEdit memo;
  memo.setPlainText(QStringLiteral("x\ny"));
  EXPECT_EQ(MemoLines(memo).Lines, (std::vector<std::string>{"x", "y"}));
}

TEST(Display, EditBoxKeepsEveryByteAndEndsAtZero) {
  QLineEdit edit;
  for (int b = 1; b < 256; ++b) {
    SetEditText(edit, std::string("<") + Byte(b) + ">");
    EXPECT_EQ(EditText(edit), std::string("<") + Byte(b) + ">") << b;
  }
  SetEditText(edit, std::string("ab\0cd", 5));
  EXPECT_EQ(EditText(edit), "ab");
  SetEditText(edit, std::string("\0x", 2));
  EXPECT_EQ(EditText(edit), "");
}

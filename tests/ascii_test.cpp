// The grammar's helpers and cursor, each read from a table of inputs.
#include <gtest/gtest.h>

#include "base/ascii.h"

using namespace tarvo;

namespace {

// One cursor call: what it gives and what it leaves.
struct TCursorRow {
  const char* what;
  std::string input, result, rest;
};

}  // namespace

TEST(Ascii, CharacterClasses) {
  struct Row {
    char c;
    bool wsp, fws, atext, tspecial;
  } rows[] = {
      {' ', true, true, false, false},  {'\t', true, true, false, false}, {'\r', false, true, false, false},
      {'\n', false, true, false, false}, {'a', false, false, true, false}, {'~', false, false, true, false},
      {'(', false, false, false, true}, {'=', false, false, true, true},  {'.', false, false, false, false},
      {'\x1b', false, false, false, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(IsWsp(r.c), r.wsp) << int(r.c);
    EXPECT_EQ(IsFws(r.c), r.fws) << int(r.c);
    EXPECT_EQ(IsAtext(r.c), r.atext) << int(r.c);
    EXPECT_EQ(IsTspecial(r.c), r.tspecial) << int(r.c);
  }
}

TEST(Ascii, CaseAndDigits) {
  struct Row {
    std::string a, b;
    bool equal, starts;
  } rows[] = {
      {"Content-Type", "content-type", true, true}, {"FROM", "from", true, true}, {"From:", "from", false, true},
      {"Fro", "from", false, false}, {"\xC3\xA4", "\xC3\x84", false, false},  // only ASCII letters fold
  };
  for (const Row& r : rows) {
    EXPECT_EQ(EqualsNoCase(r.a, r.b), r.equal) << r.a;
    EXPECT_EQ(StartsWithNoCase(r.a, r.b), r.starts) << r.a;
  }
  EXPECT_EQ(LowerAscii("MiXeD-9\xC3\x84"), "mixed-9\xC3\x84");
  EXPECT_EQ(FindNoCase("x <A HREF", "<a", 0), 2u);
  EXPECT_EQ(FindNoCase("x <A", "<a", 3), std::string_view::npos);
  const std::pair<char, int> hex[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'F', 15}, {'g', -1}, {' ', -1}};
  for (auto [c, v] : hex) EXPECT_EQ(HexValue(c), v) << c;
}

TEST(Ascii, Trims) {
  struct Row {
    std::string input, fws, fwsEnd, controls, collapsed;
  } rows[] = {
      {" \t a b \r\n", "a b", " \t a b", "a b", "a b"},
      {std::string("\0x\x1f", 3), std::string("\0x\x1f", 3), std::string("\0x\x1f", 3), "x", std::string("\0x\x1f", 3)},
      {"a \t\r\n b", "a \t\r\n b", "a \t\r\n b", "a \t\r\n b", "a b"},
      {"", "", "", "", ""},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(TrimFws(r.input), r.fws);
    EXPECT_EQ(TrimFwsEnd(r.input), r.fwsEnd);
    EXPECT_EQ(TrimControls(r.input), r.controls);
    EXPECT_EQ(CollapseFws(r.input), r.collapsed);
  }
}

TEST(Ascii, Utf8Sequences) {
  struct Row {
    const char* what;
    std::string bytes;
    std::size_t strict, shape;
  } rows[] = {
      {"ASCII", "a", 1, 1},
      {"two bytes", "\xC3\xA9", 2, 2},
      {"three bytes", "\xE3\x81\x82", 3, 3},
      {"four bytes", "\xF0\x9F\x98\x80", 4, 4},
      {"overlong C0", "\xC0\xAF", 0, 0},
      {"overlong three bytes", "\xE0\x80\xAF", 0, 3},
      {"surrogate", "\xED\xA0\x80", 0, 3},
      {"past U+10FFFF", "\xF4\x90\x80\x80", 0, 4},
      {"cut short", "\xE3\x81", 0, 0},
      {"stray trail byte", "\x81", 0, 0},
      {"Shift-JIS pair", "\x82\xA0", 0, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Utf8SequenceLength(r.bytes, 0), r.strict) << r.what;
    EXPECT_EQ(Utf8ShapeLength(r.bytes, 0), r.shape) << r.what;
  }
}

TEST(Ascii, SkipCfws) {
  const TCursorRow rows[] = {
      {"blanks and folds", " \t\r\n x", "", "x"},
      {"nested comments", "(a (b) c) (d)x y", "", "x y"},
      {"quoted pair hides a parenthesis", "(a \\) b)x", "", "x"},
      {"open comment runs to the end", "(a (b) c", "", ""},
      {"nothing to skip", "x (a)", "", "x (a)"},
  };
  for (const TCursorRow& r : rows) {
    std::string_view rest = r.input;
    SkipCfws(rest);
    EXPECT_EQ(rest, r.rest) << r.what;
  }
}

TEST(Ascii, ReadComment) {
  const TCursorRow rows[] = {
      {"simple", "(abc) x", "abc", " x"},
      {"nested", "(a (b) c)d", "a (b) c", "d"},
      {"quoted pairs kept", "(a\\)b)", "a\\)b", ""},
      {"left open", "(abc", "abc", ""},
      {"empty", "()", "", ""},
  };
  for (const TCursorRow& r : rows) {
    std::string_view rest = r.input;
    EXPECT_EQ(ReadComment(rest), r.result) << r.what;
    EXPECT_EQ(rest, r.rest) << r.what;
  }
  // A Shift-JIS trail byte 0x5C or a JIS run holding ")" ends nothing.
  const TCursorRow japanese[] = {
      {"Shift-JIS trail backslash", "(\x83\x5C)x", "\x83\x5C", "x"},
      {"JIS run", "(\x1b$B)(\x1b(B)x", "\x1b$B)(\x1b(B", "x"},
  };
  for (const TCursorRow& r : japanese) {
    std::string_view rest = r.input;
    EXPECT_EQ(ReadComment(rest, TTextUnits::RawJapanese), r.result) << r.what;
    EXPECT_EQ(rest, r.rest) << r.what;
  }
  EXPECT_EQ(UndoQuotedPairs("a\\)b\\\\"), "a)b\\");
}

TEST(Ascii, ReadQuoted) {
  const TCursorRow rows[] = {
      {"simple", "\"a b\" c", "a b", " c"},
      {"quoted pairs", "\"a\\\"b\\\\\"x", "a\"b\\", "x"},
      {"left open", "\"abc", "abc", ""},
      {"backslash at the end stays", "\"ab\\", "ab\\", ""},
      {"comment inside is text", "\"(a)\"", "(a)", ""},
  };
  for (const TCursorRow& r : rows) {
    std::string_view rest = r.input;
    EXPECT_EQ(ReadQuoted(rest), r.result) << r.what;
    EXPECT_EQ(rest, r.rest) << r.what;
  }
  // File names: a backslash quotes only a quote, and never the last one
  // (a Shift-JIS name may end in a trail byte 0x5C).
  const std::string value = "\"a\\\"b\\c\\\"";
  std::string_view rest = value;
  EXPECT_EQ(ReadQuoted(rest, TTextUnits::Bytes, TQuotedPairs::QuoteOnly, value.data() + value.size() - 1),
            "a\"b\\c\\");
  EXPECT_TRUE(rest.empty());
}

TEST(Ascii, ReadTokenAtomAndWord) {
  const TCursorRow tokens[] = {
      {"type", "text/plain", "text", "/plain"},
      {"stops at tspecial", "base64;x", "base64", ";x"},
      {"stops at a blank", "7bit (c)", "7bit", " (c)"},
      {"none", "=x", "", "=x"},
  };
  for (const TCursorRow& r : tokens) {
    std::string_view rest = r.input;
    EXPECT_EQ(ReadToken(rest), r.result) << r.what;
    EXPECT_EQ(rest, r.rest) << r.what;
  }
  const TCursorRow atoms[] = {
      {"CFWS around", " (c) john.doe", "john", ".doe"},
      {"comment after", "a+b (x) @", "a+b", "@"},
      {"none", "\"q\"", "", "\"q\""},
  };
  for (const TCursorRow& r : atoms) {
    std::string_view rest = r.input;
    EXPECT_EQ(ReadAtom(rest), r.result) << r.what;
    EXPECT_EQ(rest, r.rest) << r.what;
  }
  std::string_view rest = "by(x) ;";
  EXPECT_EQ(ReadUntil(rest, "(;"), "by");
  EXPECT_EQ(rest, "(x) ;");
}

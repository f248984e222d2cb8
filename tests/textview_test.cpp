// The views' line store: lines into shared buffers and an arena of its own.
#include <gtest/gtest.h>

#include "base/strlist.h"
#include "base/textview.h"

using namespace tarvo;

namespace {
TSharedBytes Shared(std::string s) { return ShareBytes(std::move(s)); }
}  // namespace

TEST(TextView, SplitsByTheListRule) {
  // The same rule as the string list: CR LF, CR or LF end a line; the first
  // NUL ends the text; a last line without a break still counts.
  const std::string cases[] = {
      "",
      "a",
      "a\r\nb\r\n",
      "a\rb\rc",
      "a\nb\n\nc",
      "a\r\r\nb",
      "a\n\rb",
      "x\r\n\r\n",
      std::string("ab\0cd\r\nef", 9),
      std::string("\0x", 2),
      "\r\n",
  };
  for (const std::string& text : cases) {
    TStringList want;
    want.SetText(text);
    TTextView got;
    got.AddLinesOf(Shared(text), 0, text.size());
    EXPECT_EQ(got.Lines(), want.Lines) << testing::PrintToString(text);
  }
}

TEST(TextView, CrOnlyAndLfOnlyTextsOfManyLines) {
  // One pass however the lines end (a scan per line would be quadratic).
  for (const char* brk : {"\r", "\n", "\r\n"}) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line" + std::to_string(i) + brk;
    TTextView v;
    v.AddLinesOf(Shared(text), 0, text.size());
    ASSERT_EQ(v.Count(), 20000u);
    EXPECT_EQ(v.Line(0), "line0");
    EXPECT_EQ(v.Line(19999), "line19999");
  }
}

TEST(TextView, RangeOfABufferAndMixedSources) {
  const TSharedBytes file = Shared("Header: x\r\n\r\nbody 1\r\nbody 2\r\n");
  TTextView v;
  v.Add("note");
  v.AddLinesOf(file, 13, file->size());
  v.Add(std::string(3000, 'z'));  // the arena grows and moves: lines stay right
  v.AddRef(file, 0, 6);
  EXPECT_EQ(v.Lines(), (std::vector<std::string>{"note", "body 1", "body 2", std::string(3000, 'z'), "Header"}));
  EXPECT_EQ(v.Text(), "note\r\nbody 1\r\nbody 2\r\n" + std::string(3000, 'z') + "\r\nHeader\r\n");
}

TEST(TextView, OutOfRangeOrEmptyRangesAddNothing) {
  const TSharedBytes file = Shared("abc");
  TTextView v;
  v.AddLinesOf(file, 2, 2);
  v.AddLinesOf(file, 3, 1);
  v.AddLinesOf(file, 0, 4);
  v.AddLinesOf(nullptr, 0, 1);
  EXPECT_TRUE(v.Empty());
}

TEST(TextView, CopiesShareTheBuffersAndOutliveTheSource) {
  TTextView a(TTextKind::Decoded);
  {
    const TSharedBytes file = Shared("one\ntwo\n");
    a.AddLinesOf(file, 0, file->size());
    a.Add("three");
  }  // the model holds the only reference now
  TTextView b(TTextKind::Decoded);
  b.AddView(a);
  a.Clear();
  EXPECT_TRUE(a.Empty());
  EXPECT_EQ(a.Kind(), TTextKind::Decoded);
  EXPECT_EQ(b.Lines(), (std::vector<std::string>{"one", "two", "three"}));
}

TEST(TextView, InterleavedCopiesAndReferencesAcrossBlocks) {
  // More lines than one block of entries, arena text past several blocks
  // (one line bigger than a block), converted lines between references.
  const TSharedBytes file = Shared("shared line");
  TTextView v;
  std::vector<std::string> want;
  for (int i = 0; i < 150000; ++i) {
    std::string own = "own " + std::to_string(i) + std::string(i % 97, '.');
    if (i == 70000) own = std::string(3 << 20, 'L');
    v.Add(own);
    want.push_back(own);
    v.AddRef(file, 0, 6);
    want.push_back("shared");
  }
  ASSERT_EQ(v.Count(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(v.Line(i), want[i]) << i;
  EXPECT_EQ(v.MaxLineBytes(), std::size_t{3} << 20);
  v.Clear();
  EXPECT_EQ(v.MaxLineBytes(), 0u);
}

TEST(TextView, LinesOfOtherViewsAndManyBuffersInTurn) {
  // More buffers taking turns than the view remembers, and lines borrowed
  // from another view's arena and buffers.
  std::vector<TSharedBytes> files;
  for (int k = 0; k < 7; ++k) files.push_back(Shared("file " + std::to_string(k)));
  TTextView other(TTextKind::Decoded), v(TTextKind::Decoded);
  other.Add("arena line");
  other.AddRef(files[6], 0, 6);
  std::vector<std::string> want;
  for (int i = 0; i < 300; ++i) {
    v.AddRef(files[i % 7], 0, 6);
    want.push_back("file " + std::to_string(i % 7));
    v.AddLineOf(other, i % 2);
    want.push_back(i % 2 ? "file 6" : "arena line");
  }
  EXPECT_EQ(v.Lines(), want);
}

TEST(TextView, LinesFromALineOnShareTheOtherViewsBuffers) {
  const TSharedBytes file = Shared("a\nb\nc\n");
  TTextView raw;
  raw.Add("note");
  raw.AddLinesOf(file, 0, file->size());
  TTextView copy(TTextKind::Decoded);
  copy.Add("own");
  copy.AddLinesFrom(raw, 1);
  copy.AddLinesFrom(raw, 9);  // past the end: nothing
  EXPECT_EQ(copy.Lines(), (std::vector<std::string>{"own", "a", "b", "c"}));
}

TEST(TextView, LinesAddedAfterDroppingBackAcrossABlockLandInPlace) {
  // Dropping lines back over a block's start and adding again must write
  // where the lines are read (a part's trailing blank lines can do that).
  TTextView v;
  std::vector<std::string> want;
  for (int i = 0; i < 5000; ++i) {
    v.Add("line " + std::to_string(i));
    want.push_back("line " + std::to_string(i));
  }
  for (int i = 0; i < 1000; ++i) {
    v.PopBack();
    want.pop_back();
  }
  for (int i = 0; i < 20000; ++i) {
    v.Add("again " + std::to_string(i));
    want.push_back("again " + std::to_string(i));
  }
  EXPECT_EQ(v.Lines(), want);
}

TEST(TextView, SharedLinesStayPutWhenEitherViewChanges) {
  const TSharedBytes file = Shared("a\nbb\nccc\n");
  TTextView raw;
  raw.Add("a note longer than any line");
  raw.AddLinesOf(file, 0, file->size());
  TTextView shown(TTextKind::Decoded);
  shown.AddLinesFrom(raw, 1);  // empty: takes the lines without copying them
  const std::vector<std::string> lines{"a", "bb", "ccc"};
  EXPECT_EQ(shown.Lines(), lines);
  EXPECT_EQ(shown.Kind(), TTextKind::Decoded);
  EXPECT_EQ(shown.MaxLineBytes(), 3u);  // the note is not among its lines

  // Writes to either view leave the other as it was, across block ends too.
  raw.PopBack();
  for (int i = 0; i < 5000; ++i) raw.Add("raw " + std::to_string(i));
  EXPECT_EQ(shown.Lines(), lines);
  shown.PopBack();
  shown.Add("own");
  EXPECT_EQ(shown.Lines(), (std::vector<std::string>{"a", "bb", "own"}));
  ASSERT_EQ(raw.Count(), 5003u);
  EXPECT_EQ(raw[2], "bb");
  EXPECT_EQ(raw[3], "raw 0");

  // A copy shares too, and a view may take lines of itself.
  TTextView copy = shown;
  copy.AddLinesFrom(copy, 1);
  EXPECT_EQ(copy.Lines(), (std::vector<std::string>{"a", "bb", "own", "bb", "own"}));
  EXPECT_EQ(shown.Lines(), (std::vector<std::string>{"a", "bb", "own"}));
  TTextView whole;
  whole.AddView(copy);
  copy.Clear();
  EXPECT_EQ(whole.Count(), 5u);
  EXPECT_EQ(whole[4], "own");
}

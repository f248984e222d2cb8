#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/mailutils.h"

using namespace tarvo;

namespace {

using namespace std::string_literals;

struct Field {
  std::string first;
  std::vector<std::string> continuations;
  bool operator==(const Field&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Field& f) {
  os << '[' << f.first;
  for (const std::string& c : f.continuations) os << " | " << c;
  return os << ']';
}

// The fields of a block, each view checked to lie inside it.
std::vector<Field> Fields(std::string_view block) {
  std::vector<Field> out;
  const auto inside = [block](std::string_view v) {
    return v.data() >= block.data() && v.data() + v.size() <= block.data() + block.size();
  };
  THeaderFieldReader reader(block);
  for (THeaderFieldView f; reader.Next(f);) {
    EXPECT_TRUE(inside(f.FirstLine));
    EXPECT_TRUE(inside(f.Continuations));
    Field& field = out.emplace_back();
    field.first = f.FirstLine;
    THeaderLines lines = f.ContinuationLines();
    for (std::string_view l; lines.Next(l);) field.continuations.emplace_back(l);
  }
  return out;
}

// A walk that takes the rest of every field whose line begins with "T",
// written down as "line" for a line given and "+line" for a line taken.
std::vector<std::string> Walk(std::string_view block) {
  std::vector<std::string> out;
  THeaderLineWalk walk(block);
  for (std::string_view line; walk.Next(line);) {
    out.emplace_back(line);
    if (!line.starts_with("T")) continue;
    THeaderLines rest = walk.TakeRest();
    for (std::string_view l; rest.Next(l);) out.push_back(std::string("+").append(l));
  }
  return out;
}

}  // namespace

TEST(CutHeaderLine, LineEndsAndPieces) {
  const std::string piece(kLineLookAhead, 'p');
  struct Case {
    std::string rest, text;
    std::size_t next;
  } cases[] = {
      {"", "", 0},
      {"a", "a", 1},
      {"a\r\nb", "a", 3},
      {"a\rb", "a", 2},
      {"a\nb", "a", 2},
      {"\n\rb", "", 1},
      {"\r\r\n", "", 1},
      {"a\0b\nc"s, "a\0b"s, 4},
      {piece, piece, kLineLookAhead},
      {piece + "q\n", piece, kLineLookAhead},
      {piece + "\r\n", piece, kLineLookAhead},
      // A CR as the window's last byte still takes the LF behind the window.
      {piece.substr(1) + "\r\nq", piece.substr(1), kLineLookAhead + 1},
  };
  for (const Case& c : cases) {
    const THeaderLineCut cut = CutHeaderLine(c.rest);
    EXPECT_EQ(cut.Text, c.text) << c.rest.size() << " bytes";
    EXPECT_EQ(cut.Next, c.next) << c.rest.size() << " bytes";
  }
}

TEST(THeaderFieldReader, Fields) {
  struct Case {
    std::string block;
    std::vector<Field> fields;
  } cases[] = {
      {"", {}},
      {"A: 1", {{"A: 1", {}}}},
      {"A: 1\r\n", {{"A: 1", {}}}},
      {"A: 1\r\n 2\r\n\t3\r\nB: x\r\n", {{"A: 1", {" 2", "\t3"}}, {"B: x", {}}}},
      // A line without a colon is a field of its own, and keeps its folds.
      {"A: 1\r\nno colon\r\n x\r\nB: 2", {{"A: 1", {}}, {"no colon", {" x"}}, {"B: 2", {}}}},
      // Line ends: CR only, LF only, and mixed in one block.
      {"A: 1\r 2\rB: 3\r", {{"A: 1", {" 2"}}, {"B: 3", {}}}},
      {"A: 1\n 2\nB: 3\n", {{"A: 1", {" 2"}}, {"B: 3", {}}}},
      {"A: 1\n 2\r\n 3\rB: 4\n\r C", {{"A: 1", {" 2", " 3"}}, {"B: 4", {}}, {"", {" C"}}}},
      // Folds before any field belong to the block's first line.
      {" x\r\n\ty\r\nA: 1", {{" x", {"\ty"}}, {"A: 1", {}}}},
      // The last line without its end is still read whole.
      {"A: 1\r\n 2", {{"A: 1", {" 2"}}}},
      {"A: 1\r\n \r\n", {{"A: 1", {" "}}}},
      // An empty line starts a field, and the folds after it are its own.
      {"A: 1\r\n\r\n x\r\n\r\n", {{"A: 1", {}}, {"", {" x"}}, {"", {}}}},
      {"\r\n\r\n", {{"", {}}, {"", {}}}},
      // A stray CR before CR LF is an empty line of its own.
      {"A\r\r\n x", {{"A", {}}, {"", {" x"}}}},
      // NUL is an ordinary byte: no line end, no blank that folds.
      {"A\0: 1\r\n \0\r\n\0 x"s, {{"A\0: 1"s, {" \0"s}}, {"\0 x"s, {}}}},
      {"\0"s, {{"\0"s, {}}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Fields(c.block), c.fields) << c.block;
}

TEST(THeaderFieldReader, LongLinesFoldAtThePieceEdge) {
  // The second piece of a long line is a line of its own: a continuation
  // when it starts with a blank, a new field otherwise.
  const std::string head = "A: " + std::string(kLineLookAhead - 3, 'x');
  EXPECT_EQ(Fields(head + " tail\r\nB: 1"), (std::vector<Field>{{head, {" tail"}}, {"B: 1", {}}}));
  EXPECT_EQ(Fields(head + "tail\r\n more"), (std::vector<Field>{{head, {}}, {"tail", {" more"}}}));
  // A line of exactly one piece leaves its line end as an empty line.
  EXPECT_EQ(Fields(head + "\r\n x"), (std::vector<Field>{{head, {}}, {"", {" x"}}}));
}

TEST(THeaderFieldReader, WholeLinesAreNeverCut) {
  const std::string head = "A: " + std::string(kLineLookAhead, 'x');
  const std::string block = head + "tail\r\n " + std::string(kLineLookAhead, 'y') + "z\r\nB: 1";
  THeaderFieldReader reader(block, kWholeLines);
  THeaderFieldView f;
  ASSERT_TRUE(reader.Next(f));
  EXPECT_EQ(f.FirstLine, head + "tail");
  THeaderLines lines = f.ContinuationLines();
  std::string_view line;
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(line.size(), kLineLookAhead + 2);
  EXPECT_FALSE(lines.Next(line));
  ASSERT_TRUE(reader.Next(f));
  EXPECT_EQ(f.FirstLine, "B: 1");
  EXPECT_FALSE(reader.Next(f));
}

TEST(ContinuationSpan, StopsAtTheFirstOtherLine) {
  struct Case {
    std::string rest;
    std::size_t span;
  } cases[] = {
      {"", 0}, {"A", 0}, {" a", 2}, {" a\r\n\tb\r\nC", 8}, {" a\r\n\r\n b", 4}, {" a\n", 3}, {"\0 a"s, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ContinuationSpan(c.rest), c.span) << c.rest;
}

TEST(THeaderLineWalk, TrimsAllButTheLineAfterATakenField) {
  using V = std::vector<std::string>;
  struct Case {
    std::string block;
    V seen;
  } cases[] = {
      {"", {}},
      {"  A: 1 \r\n", {"A: 1"}},
      // Folds of a field not taken come one by one, trimmed.
      {"A: 1\r\n  x \r\n\ty", {"A: 1", "x", "y"}},
      // A taken field takes its folds as they stand; the next field's
      // first line then comes as it stands too.
      {"T: 1\r\n  x \r\nB: 2 \r\n", {"T: 1", "+  x ", "B: 2 "}},
      {"T: 1\r\n\x01" "B\r\nC ", {"T: 1", "\x01" "B", "C"}},
      {"T\r\n\r\n  T2\r\n y\r\nZ ", {"T", "", "T2", "+ y", "Z "}},
      // A fold that is read as a line may take the folds after it.
      {"A: 1\r\n T: 2\r\n 3\r\n 4\r\nB", {"A: 1", "T: 2", "+ 3", "+ 4", "B"}},
      // Folds before any field: the first is a line of its own.
      {" T\r\n x\r\nB", {"T", "+ x", "B"}},
      {"\0T\0\r\nB"s, {"T", "B"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Walk(c.block), c.seen) << c.block;
}

TEST(HeaderReaders, ViewAndStreamFormsAgree) {
  const std::string block =
      "Received: from a.example (a.example [192.0.2.1])\r\n\tby b.example with ESMTP; Tue, 8 Dec 2026 09:00:00 "
      "+0900\r\nFrom: Taro <taro@example.jp>\r\nSubject: one\r\n two\r\nX-Odd\r\n";
  TMemoryStream s(block);
  TEnvSections a, b;
  EXPECT_EQ(GetEnvSections(block, a), GetEnvSections(&s, b));
  ASSERT_EQ(a.size(), 4u);
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].Name, b[i].Name);
    EXPECT_EQ(a[i].Value, b[i].Value);
  }
  EXPECT_EQ(a[2].Value, " one two");
  EXPECT_EQ(a[3].Name, "Subject");  // no colon: the name before it
  TMailEnvFormat e1, e2;
  GetMailEnvFormat(block, e1);
  GetMailEnvFormat(&s, e2);
  EXPECT_EQ(e1.Subject, "onetwo");
  EXPECT_EQ(e1.Subject, e2.Subject);
  EXPECT_EQ(e1.FromAddress, "taro@example.jp");
  TReceivedLists r1, r2;
  EXPECT_EQ(GetReceivedLists(block, r1), 1);
  EXPECT_EQ(GetReceivedLists(&s, r2), 1);
  EXPECT_EQ(r1[0].ReceivedText, r2[0].ReceivedText);
  EXPECT_EQ(r1[0].IP, "192.0.2.1");
  EXPECT_EQ(s.Position(), 0u);
}

TEST(HeaderReaders, TheLineAfterATakenFieldIsNotTrimmed) {
  // After a field read whole the next line is kept as it stands, so a
  // control byte before a name hides the field; after a one-line field
  // (Date) the line is trimmed and the field is found.
  struct Case {
    std::string block, subject;
  } cases[] = {
      {"From: a@x\r\n\x01Subject: hidden\r\n", ""},
      {"Date: 1\r\n\x01Subject: found\r\n", "found"},
      {"Cc: a@x\r\n\x01Subject: hidden\r\n", ""},
      {"X-Other: 1\r\n\x01Subject: found\r\n", "found"},
  };
  for (const Case& c : cases) {
    TMailEnvFormat env;
    GetMailEnvFormat(c.block, env);
    EXPECT_EQ(env.Subject, c.subject) << c.block;
  }
  TReceivedLists lists;
  EXPECT_EQ(GetReceivedLists("Received: a\r\n\x01Received: b\r\n", lists), 1);
  EXPECT_EQ(GetReceivedLists("X: a\r\n\x01Received: b\r\n", lists), 1);
  EXPECT_EQ(lists[0].ReceivedText, " b\r\n");
}

TEST(HeaderReaders, FoldsAfterAnEmptyLineStartAField) {
  TEnvSections sections;
  ASSERT_EQ(GetEnvSections("A: 1\r\n\r\n x:y\r\n z", sections), 2);
  EXPECT_EQ(sections[1].Name, "x");
  EXPECT_EQ(sections[1].Value, "y z");
  TReceivedLists lists;
  ASSERT_EQ(GetReceivedLists("X: 1\r\n\r\n Received: from a\r\n b", lists), 1);
  EXPECT_EQ(lists[0].ReceivedText, " from a\r\n b\r\n");
  TMailEnvFormat env;
  GetMailEnvFormat("X: 1\r\n\r\n Subject: s\r\n t", env);
  EXPECT_EQ(env.Subject, "st");
}

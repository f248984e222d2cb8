#include <gtest/gtest.h>

#include "mail/mailutils.h"

using namespace tarvo;

namespace {
std::vector<std::string> ReadAll(const std::string& bytes) {
  TMemoryStream s(bytes);
  std::vector<std::string> out;
  while (!s.AtEnd()) out.push_back(ReadStreamLine(s));
  return out;
}

struct Split {
  std::string envelope, body;
};
Split DoSplit(const std::string& mail) {
  TMemoryStream m(mail), e, b;
  SplitEnvelope(&m, &e, &b);
  EXPECT_EQ(e.Position(), 0u);
  EXPECT_EQ(b.Position(), 0u);
  // The pipeline's split, which takes over the buffer, must agree.
  TMemoryStream m2(mail), e2, b2;
  SplitEnvelopeConsuming(m2, e2, b2);
  EXPECT_EQ(e2.Bytes(), e.Bytes()) << mail;
  EXPECT_EQ(b2.Bytes(), b.Bytes()) << mail;
  EXPECT_EQ(e2.Position() + b2.Position() + m2.Size(), 0u);
  return {e.Bytes(), b.Bytes()};
}
}  // namespace

TEST(ReadStreamLine, LineEnds) {
  using V = std::vector<std::string>;
  EXPECT_EQ(ReadAll("a\r\nb\rc\nd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(ReadAll("a\n\rb"), (V{"a", "", "b"}));
  EXPECT_EQ(ReadAll(std::string("a\0b\n", 4)), (V{std::string("a\0b", 3)}));
  EXPECT_EQ(ReadAll("\r\n\r\n"), (V{"", ""}));
}

TEST(ReadStreamLine, LongLinesComeInPieces) {
  const std::string exact(2048, 'x');
  EXPECT_EQ(ReadAll(exact + "\r\n"), (std::vector<std::string>{exact, ""}));
  const std::string longer(2049, 'y');
  EXPECT_EQ(ReadAll(longer + "\n"), (std::vector<std::string>{exact.substr(0, 0) + std::string(2048, 'y'), "y"}));
  // A CR as the 2,048th byte still swallows the LF that follows the window.
  const std::string crAtEdge = std::string(2047, 'z') + "\r\nq";
  EXPECT_EQ(ReadAll(crAtEdge), (std::vector<std::string>{std::string(2047, 'z'), "q"}));
}

TEST(ReadStreamLine, AtEndReturnsEmptyAndStays) {
  TMemoryStream s(std::string("a"));
  EXPECT_EQ(ReadStreamLine(s), "a");
  EXPECT_EQ(ReadStreamLine(s), "");
  EXPECT_EQ(s.Position(), 1u);
}

TEST(IsContinuationLine, Blanks) {
  EXPECT_TRUE(IsContinuationLine(" x"));
  EXPECT_TRUE(IsContinuationLine("\t"));
  EXPECT_FALSE(IsContinuationLine(""));
  EXPECT_FALSE(IsContinuationLine("x "));
}

TEST(SplitEnvelope, BlankLineForms) {
  struct Case {
    std::string mail, envelope, body;
  } cases[] = {
      {"A: 1\nB: 2\n\nbody", "A: 1\nB: 2", "body"},
      {"A: 1\r\n\r\nbody\r\n", "A: 1\r\n", "body\r\n"},
      {"A: 1\r\n\r\n", "A: 1\r\n", ""},
      {"A: 1\r\nB: 2", "A: 1\r\nB: 2", ""},
      {"A: 1\r\n\nbody", "A: 1\r", "body"},
      {"\n\nbody", "", ""},
      {"", "", ""},
      // Old Mac files end every line with CR; mixed files may end the
      // blank line differently from the one before it.
      {"A: 1\rB: 2\r\rbody\rmore\r", "A: 1\rB: 2", "body\rmore\r"},
      {"A: 1\r\r", "A: 1", ""},
      {"A: 1\n\r\nbody", "A: 1", "body"},
      // A stray CR before CR LF and a line of blanks end nothing.
      {"A\r\r\nB\n \nD", "A\r\r\nB\n \nD", ""},
      {"A\r\r\nB\n\r\nC", "A\r\r\nB", "C"},
      {"A: 1\n\nx", "A: 1", "x"},
      {"A: 1\n\n", "A: 1", ""},
      {"A\r\n\r\nB\n\nC", "A\r\n", "B\n\nC"},
  };
  for (const auto& c : cases) {
    const Split s = DoSplit(c.mail);
    EXPECT_EQ(s.envelope, c.envelope) << c.mail;
    EXPECT_EQ(s.body, c.body) << c.mail;
  }
}

TEST(SplitEnvelope, AbsentStreamsAreFine) {
  TMemoryStream m(std::string("A: 1\n\nb")), e;
  SplitEnvelope(nullptr, &e, nullptr);
  EXPECT_EQ(e.Size(), 0u);
  SplitEnvelope(&m, &e, nullptr);
  EXPECT_EQ(e.Bytes(), "A: 1");
}

TEST(GetEnvSections, FieldsFoldingAndOddLines) {
  struct Case {
    std::string envelope;
    std::vector<std::pair<std::string, std::string>> fields;
  } cases[] = {
      {"Subject: abc\r\n def\r\nTo: x", {{"Subject", " abc def"}, {"To", " x"}}},
      {"X-A: 1\r\nabc", {{"X-A", " 1"}, {"X-A", "abc"}}},
      {"abc\r\nY: 2", {{"", "abc"}, {"Y", " 2"}}},
      {"Name : v", {{"Name ", " v"}}},
      // Unfolding keeps the blanks a continuation line begins with, and an ESC.
      {"S: a\r\n \t def \t\r\n", {{"S", " a \t def \t"}}},
      {"S: a\r\n x\r\n y", {{"S", " a x y"}}},
      {"S: a\r\n \x1b$B$s\x1b(B", {{"S", " a \x1b$B$s\x1b(B"}}},
      {"S: a\r\n   \r\n b", {{"S", " a    b"}}},
      // The first line is trimmed before the blank test, so it is a field.
      {" leading\r\nA: 1", {{"", "leading"}, {"A", " 1"}}},
      {"A: 1\r\n\r\n\r\nB: 2  ", {{"A", " 1"}, {"B", " 2"}}},
      {"A:", {{"A", ""}}},
  };
  for (const auto& c : cases) {
    TMemoryStream env(c.envelope);
    env.SetPosition(3);
    TEnvSections sections{{"stale", "x"}};
    const int n = GetEnvSections(&env, sections);
    ASSERT_EQ(n, static_cast<int>(c.fields.size())) << c.envelope;
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(sections[i].Name, c.fields[i].first) << c.envelope;
      EXPECT_EQ(sections[i].Value, c.fields[i].second) << c.envelope;
    }
    EXPECT_EQ(env.Position(), 0u);
  }
  TEnvSections sections{{"stale", "x"}};
  EXPECT_EQ(GetEnvSections(nullptr, sections), 0);
  EXPECT_TRUE(sections.empty());
}

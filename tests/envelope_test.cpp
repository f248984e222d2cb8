#include <gtest/gtest.h>

#include "mail/mailutils.h"

using namespace tarvo;

namespace {
struct Split {
  std::string envelope, body;
};
Split DoSplit(const std::string& mail) {
  const TEnvelopeSplit s = FindEnvelopeSplit(mail);
  if (s.HeaderEnd == 0) return {};  // the pipeline reads no header and no body then
  return {mail.substr(0, s.HeaderEnd), mail.substr(std::min<std::size_t>(s.BodyStart, mail.size()))};
}
}  // namespace

TEST(FindEnvelopeSplit, BlankLineForms) {
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
      // A boundary line of the declared multipart ends the header block too.
      {"Content-Type: multipart/mixed; boundary=b\n--b\nContent-Type: text/plain\n\nhi\n--b--\n",
       "Content-Type: multipart/mixed; boundary=b\n", "--b\nContent-Type: text/plain\n\nhi\n--b--\n"},
      {"Content-Type: multipart/mixed;\r\n boundary=\"b\"\r\nX: 1\r\n--b  \r\nY: 2",
       "Content-Type: multipart/mixed;\r\n boundary=\"b\"\r\nX: 1\r\n", "--b  \r\nY: 2"},
      // Not before the Content-Type field, not another boundary, not a text type.
      {"--b\nContent-Type: multipart/mixed; boundary=b\n\nx", "--b\nContent-Type: multipart/mixed; boundary=b", "x"},
      {"Content-Type: multipart/mixed; boundary=b\n--bc\n\nx", "Content-Type: multipart/mixed; boundary=b\n--bc", "x"},
      {"Content-Type: text/plain; boundary=b\n--b\n\nx", "Content-Type: text/plain; boundary=b\n--b", "x"},
  };
  for (const auto& c : cases) {
    const Split s = DoSplit(c.mail);
    EXPECT_EQ(s.envelope, c.envelope) << c.mail;
    EXPECT_EQ(s.body, c.body) << c.mail;
  }
}

TEST(HeaderRows, FieldsFoldingAndOddLines) {
  struct Case {
    std::string envelope;
    std::vector<std::pair<std::string, std::string>> fields;
  } cases[] = {
      {"Subject: abc\r\n def\r\nTo: x", {{"Subject", " abc def"}, {"To", " x"}}},
      {"X-A: 1\r\nabc", {{"X-A", " 1"}, {"X-A", "abc"}}},
      {"abc\r\nY: 2", {{"", "abc"}, {"Y", " 2"}}},
      {"Name : v", {{"Name", " v"}}},
      {"From x@y Tue 11:28:07 2005\r\nA: 1", {{"From x@y Tue 11", "28:07 2005"}, {"A", " 1"}}},
      // Unfolding keeps the blanks a continuation line begins with, and an ESC.
      {"S: a\r\n \t def \t\r\n", {{"S", " a \t def \t"}}},
      {"S: a\r\n x\r\n y", {{"S", " a x y"}}},
      {"S: a\r\n \x1b$B$s\x1b(B", {{"S", " a \x1b$B$s\x1b(B"}}},
      {"S: a\r\n   \r\n b", {{"S", " a    b"}}},
      // Only the line break goes: the blanks before it stay.
      {"S: and \r\n\tregister", {{"S", " and \tregister"}}},
      {"S: a \t\r\n b  ", {{"S", " a \t b  "}}},
      // The first line is trimmed before the blank test, so it is a field.
      {" leading\r\nA: 1", {{"", "leading"}, {"A", " 1"}}},
      {"A: 1\r\n\r\n\r\nB: 2  ", {{"A", " 1"}, {"B", " 2"}}},
      {"A:", {{"A", ""}}},
  };
  for (const auto& c : cases) {
    const std::vector<THeaderRow> rows = HeaderRows(ReadFields(c.envelope));
    ASSERT_EQ(rows.size(), c.fields.size()) << c.envelope;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].Name, c.fields[i].first) << c.envelope;
      EXPECT_EQ(rows[i].Value, c.fields[i].second) << c.envelope;
    }
  }
}

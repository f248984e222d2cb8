#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/headerfields.h"

using namespace tarvo;
using namespace std::string_literals;

TEST(CutHeaderLine, LineEnds) {
  struct Case {
    std::string rest, text;
    std::size_t next;
  } cases[] = {
      {"", "", 0},           {"a", "a", 1},         {"a\r\nb", "a", 3}, {"a\rb", "a", 2},
      {"a\nb", "a", 2},      {"\n\rb", "", 1},      {"\r\r\n", "", 1},  {"a\0b\nc"s, "a\0b"s, 4},
  };
  for (const Case& c : cases) {
    const THeaderLineCut cut = CutHeaderLine(c.rest);
    EXPECT_EQ(cut.Text, c.text) << c.rest;
    EXPECT_EQ(cut.Next, c.next) << c.rest;
  }
}

namespace {

// Each entry as "Name|Raw|Value".
std::vector<std::string> Entries(const THeaderFields& fields) {
  std::vector<std::string> out;
  for (const THeaderField& f : fields) out.push_back(std::string(f.Name) + "|" + std::string(f.Raw) + "|" + std::string(f.Value));
  return out;
}

}  // namespace

TEST(ReadFields, NamesRawAndUnfoldedValues) {
  using V = std::vector<std::string>;
  struct Case {
    std::string block;
    V entries;
  } cases[] = {
      {"", {}},
      {"A: 1", {"A| 1| 1"}},
      {"A: 1\r\n 2\r\n\t3\r\nB: x\r\n", {"A| 1\r\n 2\r\n\t3| 1 2\t3", "B| x| x"}},
      // Line ends: CR only, LF only, mixed.
      {"A: 1\r 2\rB: 3\n 4\n", {"A| 1\r 2| 1 2", "B| 3\n 4| 3 4"}},
      // A line that is no field keeps its folds, with no name.
      {"A: 1\r\nno colon\r\n x\r\nB: 2", {"A| 1| 1", "|no colon\r\n x|no colon x", "B| 2| 2"}},
      {" x\r\nA:", {"| x| x", "A||"}},
      // obs-field: blanks before the colon; a name holds no blank or control.
      {"Name : v", {"Name| v| v"}},
      {"X Y: z\r\n\x01S: t", {"|X Y: z|X Y: z", "|\x01S: t|\x01S: t"}},
      {"A: 1\r\n\r\n x", {"A| 1| 1", "|\r\n x| x"}},
      {"A\0: 1"s, {"|A\0: 1|A\0: 1"s}},
  };
  for (const Case& c : cases) EXPECT_EQ(Entries(ReadFields(c.block)), c.entries) << c.block;
}

TEST(ReadFields, LookUpByName) {
  const std::string block = "From: a\r\nreceived: 1\r\nX: y\r\nRECEIVED: 2\r\n";
  const THeaderFields fields = ReadFields(block);
  ASSERT_NE(FindField(fields, "from"), nullptr);
  EXPECT_EQ(FindField(fields, "From")->Value, " a");
  EXPECT_EQ(FindField(fields, "Received")->Value, " 1");
  EXPECT_EQ(FindField(fields, "Subject"), nullptr);
  EXPECT_EQ(FindField(fields, ""), nullptr);
  const auto received = FindFields(fields, "Received");
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1]->Value, " 2");
}

TEST(ReadPartFields, StopsAtTheBlankLineABoundaryOrContent) {
  const auto boundary = [](std::string_view line) { return line == "--b"; };
  struct Case {
    std::string bytes;
    std::size_t fields, used;
  } cases[] = {
      {"A: 1\r\n 2\r\nB: 3\r\n\r\nbody", 2, 18},
      {"A: 1\r\n--b\r\nx", 1, 6},
      {"A: 1\nbody line\n", 1, 5},
      {" fold\r\nA: 1\r\n\r\n", 1, 15},
      {"\r\nx", 0, 2},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    std::size_t used = 99;
    const THeaderFields f = ReadPartFields(c.bytes, boundary, used);
    EXPECT_EQ(f.size(), c.fields) << c.bytes;
    EXPECT_EQ(used, c.used) << c.bytes;
  }
}

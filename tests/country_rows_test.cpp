// Every row of the country table against the rows file it is generated from
// (tools/check_tables.py runs the generator again).
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/cp932.h"
#include "route/CountryNames.h"

using namespace tarvo;

namespace {

struct Row {
  std::string code2, nameJ, nameE;
};

std::vector<Row> ReadRows() {
  std::ifstream in(TARVO_SOURCE_DIR "/tools/country_rows.tsv");
  std::vector<Row> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string n, c2, j, e;
    std::getline(fields, n, '\t');
    std::getline(fields, c2, '\t');
    std::getline(fields, j, '\t');
    std::getline(fields, e, '\t');
    EXPECT_EQ(std::stoul(n), rows.size()) << line;
    auto dash = [](const std::string& s) { return s == "-" ? std::string() : s; };
    rows.push_back({dash(c2), dash(j), dash(e)});
  }
  return rows;
}

}  // namespace

TEST(CountryTable, EveryRowAsTheRowsFileHasIt) {
  const std::vector<Row> rows = ReadRows();
  ASSERT_EQ(rows.size(), kCountryCount);
  // Rows whose codes are empty or carry no three-letter and numeric code.
  const std::set<std::size_t> noCodes = {74, 113, 114, 127, 141, 207, 209};
  for (std::size_t i = 0; i < kCountryCount; ++i) {
    EXPECT_EQ(CountryCode2[i], rows[i].code2) << "row " << i;
    EXPECT_EQ(CountryNameE[i], rows[i].nameE) << "row " << i;
    EXPECT_EQ(CountryNameJUtf8[i], rows[i].nameJ) << "row " << i;
    EXPECT_EQ(CountryNameJ()[i], Utf8ToCp932(rows[i].nameJ)) << "row " << i;
    const std::string c3 = CountryCode3[i], cn = CountryCodeN[i];
    if (i >= 239 || noCodes.count(i)) {
      EXPECT_EQ(c3, "") << "row " << i;
      EXPECT_EQ(cn, "") << "row " << i;
      continue;
    }
    EXPECT_EQ(c3.size(), 3u) << "row " << i;
    for (char c : c3) EXPECT_TRUE(c >= 'A' && c <= 'Z') << "row " << i << ": " << c3;
    ASSERT_FALSE(cn.empty()) << "row " << i;
    EXPECT_NE(cn[0], '0') << "row " << i << ": " << cn;
    EXPECT_EQ(cn.find_first_not_of("0123456789"), std::string::npos) << "row " << i << ": " << cn;
  }
}

TEST(CountryTable, CodesAsTheyStoodBefore2002) {
  struct Case {
    std::size_t row;
    const char *code2, *code3, *codeN;
  } cases[] = {
      {61, "TP", "TMP", "626"}, {176, "RO", "ROM", "642"}, {200, "SD", "SDN", "736"},
      {236, "YU", "YUG", "891"}, {108, "JP", "JPN", "392"}, {0, "AF", "AFG", "4"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(CountryCode2[c.row], c.code2) << c.row;
    EXPECT_STREQ(CountryCode3[c.row], c.code3) << c.row;
    EXPECT_STREQ(CountryCodeN[c.row], c.codeN) << c.row;
  }
}

#include <gtest/gtest.h>

#include <set>

#include "base/cp932.h"
#include "route/CountryNames.h"

using namespace tarvo;

namespace {
std::string NameOf(std::string_view code) {
  const int row = FindCountryCode(code);
  return row < 0 ? "<none>" : Cp932ToUtf8(CountryNameJ()[row]);
}
}  // namespace

TEST(CountryTable, Rows) {
  std::set<std::string> distinct;
  int emptyCodes = 0;
  for (std::size_t i = 0; i < kCountryCount; ++i) {
    const std::string c2 = CountryCode2[i];
    if (c2.empty()) ++emptyCodes;
    else distinct.insert(c2);
    EXPECT_TRUE(c2.empty() || c2.size() == 2) << i;
    // A name that does not survive CP932 would come out with '?'.
    EXPECT_EQ(Cp932ToUtf8(CountryNameJ()[i]), CountryNameJUtf8[i]) << i;
  }
  EXPECT_EQ(emptyCodes, 5);
  EXPECT_EQ(distinct.size(), 243u);
  EXPECT_STREQ(CountryNameE[0], "AFGHANISTAN");
  EXPECT_STREQ(CountryCode3[0], "AFG");
  EXPECT_STREQ(CountryCodeN[0], "4");
  // Pre-2002 codes.
  EXPECT_STREQ(CountryCode3[61], "TMP");
  EXPECT_STREQ(CountryCodeN[61], "626");
  EXPECT_STREQ(CountryCode3[176], "ROM");
  EXPECT_STREQ(CountryCode3[236], "YUG");
  EXPECT_STREQ(CountryCodeN[236], "891");
  for (std::size_t i = 239; i < kCountryCount; ++i) EXPECT_STREQ(CountryCode3[i], "") << i;
  EXPECT_STREQ(CountryCode3[113], "");
  EXPECT_STREQ(CountryNameE[247], "EUROPE UNION");
}

TEST(CountryTable, Lookups) {
  const std::pair<std::string, std::string> cases[] = {
      {"KR", "韓国"},        {"GB", "イギリス"}, {"UK", "イギリス"}, {"EU", "ヨーロッパ連合"},
      {"MD", "モルドバ"},    {"AP", "アジア太平洋地域"}, {"JP", "日本"},     {"US", "アメリカ"},
      {"KP", "北朝鮮"},      {"FM", "ミクロネシア連邦"}, {"GD", "グレナダ"}, {"AE", "アラブ首長国連邦"},
      {"DO", "ドミニカ共和国"}, {"DM", "ドミニカ国"}, {"CD", "コンゴ民主共和国"}, {"CG", "コンゴ共和国"},
      {"TW", "台湾"},        {"CS", "セルビア・モンテネグロ"},
      {"us", "<none>"},      {"Jp", "<none>"},   {"XX", "<none>"},
      {"", "フランス"},
  };
  for (const auto& [code, name] : cases) EXPECT_EQ(NameOf(code), name) << code;
  EXPECT_EQ(FindCountryCode("KP"), 113);
  EXPECT_EQ(FindCountryCode("KR"), 114);
  EXPECT_EQ(FindCountryCode("AP"), 241);
  EXPECT_EQ(FindCountryCode("MD"), 245);
  EXPECT_EQ(FindCountryCode(""), 74);
}

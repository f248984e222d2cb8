#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "base/cp932.h"
#include "route/ResData.h"
#include "route/ccTDL.h"
#include "route/lookup.h"

using namespace tarvo;

namespace {
std::vector<TCountryRange> Records(std::string_view table) {
  std::vector<TCountryRange> out;
  for (std::size_t i = 0; i + kCountryRangeSize <= table.size(); i += kCountryRangeSize)
    out.push_back(ReadCountryRange(table.data() + i));
  return out;
}

std::string Dotted(std::uint32_t v) {
  return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 255) + "." + std::to_string((v >> 8) & 255) +
         "." + std::to_string(v & 255);
}

struct Answer {
  std::string country;
  std::vector<std::string> notes;
};
Answer Ask(const std::string& ip) {
  TStringList memo3;
  std::string country = IPToCountry(ip, memo3);
  return {Cp932ToUtf8(country), memo3.Lines};
}
}  // namespace

TEST(ResData, FreshCopyAtPositionZeroEachCall) {
  const TResData& c = ccTDL();
  auto a = c.GetDataStream();
  auto b = c.GetDataStream();
  ASSERT_NE(a.get(), b.get());
  EXPECT_EQ(a->Position(), 0u);
  EXPECT_GT(a->Size(), 0u);
  EXPECT_EQ(a->Bytes(), b->Bytes());
  char buf[12];
  EXPECT_EQ(a->Read(buf, sizeof buf), 12u);
  a->Bytes()[0] ^= 1;
  a.reset();
  EXPECT_EQ(b->Bytes(), std::string(c.Data()));
  EXPECT_EQ(c.GetDataStream()->Position(), 0u);
  EXPECT_EQ(c.DataSize(), static_cast<std::int32_t>(c.Data().size()));
}

TEST(ResData, WithoutDataGivesAnEmptyStream) {
  const TResData none;
  auto s = none.GetDataStream();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Size(), 0u);
  EXPECT_EQ(none.DataSize(), 0);
}

TEST(ResData, CarriesExactlyTheShippedFile) {
  std::ifstream f(std::string(TARVO_SOURCE_DIR) + "/route/ccTLD.bin", std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  EXPECT_EQ(ss.str(), std::string(ccTDL().Data()));
}

TEST(RangeTable, ShippedTableProperties) {
  const std::string_view table = ccTDL().Data();
  ASSERT_EQ(table.size() % kCountryRangeSize, 0u);
  const auto recs = Records(table);
  ASSERT_FALSE(recs.empty());
  struct Block {
    std::uint32_t first, last;
  } reserved[] = {{0x0A000000, 0x0AFFFFFF}, {0x7F000000, 0x7FFFFFFF}, {0xA9FE0000, 0xA9FEFFFF},
                  {0xAC100000, 0xAC1FFFFF}, {0xC0A80000, 0xC0A8FFFF}};
  std::set<std::string> codes;
  for (std::size_t i = 0; i < recs.size(); ++i) {
    const auto& r = recs[i];
    ASSERT_LE(r.FirstAddress, r.LastAddress) << i;
    ASSERT_EQ(static_cast<unsigned char>(table[i * 12 + 8]), 2u) << i;
    ASSERT_EQ(table[i * 12 + 11], '\0') << i;
    if (codes.insert(r.Code).second) {
      ASSERT_GE(FindCountryCode(r.Code), 0) << r.Code;
    }
    for (const auto& b : reserved) ASSERT_TRUE(r.LastAddress < b.first || r.FirstAddress > b.last) << Dotted(r.FirstAddress);
    if (i == 0) continue;
    const auto& p = recs[i - 1];
    ASSERT_LT(p.LastAddress, r.FirstAddress) << i;  // sorted, not overlapping
    // Neighbours of one code are merged.
    ASSERT_FALSE(p.LastAddress + 1 == r.FirstAddress && p.Code == r.Code) << i;
  }
}

TEST(IPToCountry, Addresses) {
  const std::string nf = "Not found IP...";
  struct Case {
    std::string ip, country;
    std::vector<std::string> notes;
  } cases[] = {
      {"", "Unknown", {}},
      {"127.0.0.1", "Local host", {nf}},
      {"127.255.1.2", "Local host", {nf}},
      {"192.168.1.1", "Local netowrk", {nf}},
      {"10.0.0.1", "", {nf}},
      {"8.8.8.8", "アメリカ", {}},
      {"133.0.0.1", "日本", {}},
      {"255.255.255.255", "", {nf}},
      {"0.0.0.1", "", {nf}},
      // Only the first two octets make a local network.
      {"192.169.0.1", "アメリカ", {}},
      // The fault mended: texts that are no dotted number are no error.
      {"IPv6:2001:db8::1", "", {nf}},
      {"mail.example.jp", "", {nf}},
      {"1..2.3", "", {nf}},
      {"8.8.8.8.", "", {nf}},
      {"127.0.0.1.5", "Local host", {nf}},
      {"192.168.0.x", "Local netowrk", {nf}},
      // Parts wrap to 8 bits: 264 is 8.
      {"264.8.8.8", "アメリカ", {}},
  };
  for (const auto& c : cases) {
    const Answer a = Ask(c.ip);
    EXPECT_EQ(a.country, c.country) << c.ip;
    EXPECT_EQ(a.notes, c.notes) << c.ip;
  }
}

TEST(IPToCountry, BoundsGapsAndEmptyNames) {
  const auto recs = Records(ccTDL().Data());
  // Inclusive bounds, and the address after a range when a gap follows it.
  std::size_t checked = 0;
  for (std::size_t i = 0; i + 1 < recs.size() && checked < 3; ++i) {
    if (recs[i].LastAddress + 1 == recs[i + 1].FirstAddress || recs[i].Code != "US") continue;
    EXPECT_EQ(Ask(Dotted(recs[i].FirstAddress)).country, "アメリカ");
    EXPECT_EQ(Ask(Dotted(recs[i].LastAddress)).country, "アメリカ");
    const Answer gap = Ask(Dotted(recs[i].LastAddress + 1));
    EXPECT_EQ(gap.country, "");
    EXPECT_EQ(gap.notes, std::vector<std::string>{"Not found IP..."});
    ++checked;
  }
  EXPECT_EQ(checked, 3u);
  // "AP" has a row without a name: the empty text, but no note.
  for (const auto& r : recs) {
    if (r.Code != "AP") continue;
    const Answer a = Ask(Dotted(r.FirstAddress));
    EXPECT_EQ(a.country, "");
    EXPECT_TRUE(a.notes.empty());
    break;
  }
}

TEST(IPToCountry, LookupsShareNothing) {
  TStringList memo3;
  EXPECT_EQ(Cp932ToUtf8(IPToCountry("133.0.0.1", memo3)), "日本");
  EXPECT_EQ(IPToCountry("10.1.1.1", memo3), "");
  EXPECT_EQ(IPToCountry("10.1.1.2", memo3), "");
  EXPECT_EQ(memo3.Count(), 2u);
}

TEST(FindRangeCode, SmallTables) {
  auto rec = [](std::uint32_t a, std::uint32_t b, const char* code) {
    std::string s(12, '\0');
    for (int k = 0; k < 4; ++k) {
      s[k] = static_cast<char>(a >> (8 * k));
      s[4 + k] = static_cast<char>(b >> (8 * k));
    }
    s[8] = 2;
    s[9] = code[0];
    s[10] = code[1];
    return s;
  };
  const std::string table = rec(10, 20, "AA") + rec(21, 21, "BB") + rec(30, 0xFFFFFFFF, "CC") + "trailing";
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0, nullptr}, {9, nullptr}, {10, "AA"}, {20, "AA"}, {21, "BB"},
      {22, nullptr}, {29, nullptr}, {30, "CC"}, {0xFFFFFFFF, "CC"},
  };
  for (const auto& [v, want] : cases) {
    const auto got = FindRangeCode(table, v);
    TMemoryStream s(table);
    const auto ref = FindRangeCodeLinear(s, v);
    EXPECT_EQ(got, ref) << v;
    EXPECT_EQ(got.has_value(), want != nullptr) << v;
    if (got && want) {
      EXPECT_EQ(*got, want) << v;
    }
  }
  EXPECT_EQ(FindRangeCode("", 5), std::nullopt);
  EXPECT_EQ(FindRangeCode(rec(1, 2, "AA").substr(0, 11), 1), std::nullopt);
}

// The binary search must give what the first-match scan of a copy gives.
TEST(FindRangeCode, AgreesWithTheLinearScan) {
  const std::string_view table = ccTDL().Data();
  const auto recs = Records(table);
  std::vector<std::uint32_t> probes = {0, 1, 0xFFFFFFFF, 0xFFFFFFFE};
  std::mt19937 rng(1234);
  for (std::size_t k = 0; k < 150; ++k) {
    const auto& r = recs[rng() % recs.size()];
    for (std::uint32_t v : {r.FirstAddress - 1, r.FirstAddress, r.FirstAddress + 1, r.LastAddress - 1,
                            r.LastAddress, r.LastAddress + 1})
      probes.push_back(v);
  }
  for (int k = 0; k < 150; ++k) probes.push_back(static_cast<std::uint32_t>(rng()));
  const auto copy = ccTDL().GetDataStream();
  for (std::uint32_t v : probes) {
    copy->SetPosition(0);
    ASSERT_EQ(FindRangeCode(table, v), FindRangeCodeLinear(*copy, v)) << Dotted(v);
  }
  // And the whole lookup, notes included, on a few texts.
  const std::vector<std::string> texts = {"8.8.8.8", "10.0.0.1", "127.0.0.1", "", "IPv6:::1", Dotted(probes[7]), "1.2.3"};
  for (const std::string& ip : texts) {
    TStringList m1, m2;
    EXPECT_EQ(IPToCountry(ip, m1), IPToCountryLinear(ip, m2)) << ip;
    EXPECT_EQ(m1.Lines, m2.Lines) << ip;
  }
}

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "base/cp932.h"
#include "route/EmbeddedTable.h"
#include "route/CountryNames.h"
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
// The answer as the route view shows it: the country and the notes.
Answer Ask(const std::string& ip) {
  const TCountryAnswer a = IPToCountry(ip);
  std::vector<std::string> notes;
  if (a.NotFound) notes.emplace_back(kNotFoundNote);
  return {Cp932ToUtf8(a.Country), notes};
}
}  // namespace

TEST(EmbeddedTable, FreshCopyAtPositionZeroEachCall) {
  const TEmbeddedTable& c = IPv4RangeTable();
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

TEST(EmbeddedTable, WithoutDataGivesAnEmptyStream) {
  const TEmbeddedTable none;
  auto s = none.GetDataStream();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Size(), 0u);
  EXPECT_EQ(none.DataSize(), 0);
}

TEST(EmbeddedTable, CarriesExactlyTheShippedFile) {
  std::ifstream f(std::string(TARVO_SOURCE_DIR) + "/route/ccTLD.bin", std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  EXPECT_EQ(ss.str(), std::string(IPv4RangeTable().Data()));
}

TEST(RangeTable, ShippedTableProperties) {
  const std::string_view table = IPv4RangeTable().Data();
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
      // IPv6, with the tag and the zone the relays write.
      {"2400:4050::1", "日本", {}},
      {"IPv6:2400:4050::1", "日本", {}},
      {"ipv6:2001:200::1", "日本", {}},
      {"2607:f8b0:4864:20::1034", "アメリカ", {}},
      {"2001:db8::1", "", {nf}},
      {"::1", "Local host", {nf}},
      {"fe80::1c2d:3e4f%eth0", "Local netowrk", {nf}},
      {"febf::1", "Local netowrk", {nf}},
      {"fec0::1", "", {nf}},
      {"fd00::1", "Local netowrk", {nf}},
      {"fc00::1", "Local netowrk", {nf}},
      {"::", "", {nf}},
      // IPv4-mapped: looked up as IPv4; private blocks are the local network.
      {"::ffff:8.8.8.8", "アメリカ", {}},
      {"::FFFF:133.0.0.1", "日本", {}},
      {"::ffff:127.0.0.1", "Local host", {nf}},
      {"::ffff:192.168.1.1", "Local netowrk", {nf}},
      {"::ffff:10.1.2.3", "Local netowrk", {nf}},
      {"::ffff:172.31.0.1", "Local netowrk", {nf}},
      {"::ffff:172.32.0.1", "アメリカ", {}},
      {"::ffff:808:808", "アメリカ", {}},
      // Not an address at all.
      {"1:::2", "", {nf}},
      {"2400:4050::1::2", "", {nf}},
  };
  for (const auto& c : cases) {
    const Answer a = Ask(c.ip);
    EXPECT_EQ(a.country, c.country) << c.ip;
    EXPECT_EQ(a.notes, c.notes) << c.ip;
  }
}

TEST(IPToCountry, BoundsGapsAndEmptyNames) {
  const auto recs = Records(IPv4RangeTable().Data());
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
  // North Korea, Micronesia and the Asia-Pacific ranges have rows of their own.
  for (const auto& [code, name] : {std::pair<std::string, std::string>{"AP", "アジア太平洋地域"},
                                   {"KP", "北朝鮮"}, {"FM", "ミクロネシア連邦"}}) {
    const auto r = std::find_if(recs.begin(), recs.end(), [&](const auto& rec) { return rec.Code == code; });
    ASSERT_NE(r, recs.end()) << code;
    const Answer a = Ask(Dotted(r->FirstAddress));
    EXPECT_EQ(a.country, name);
    EXPECT_TRUE(a.notes.empty());
  }
}

TEST(IPToCountry, LookupsShareNothing) {
  EXPECT_EQ(Cp932ToUtf8(IPToCountry("133.0.0.1").Country), "日本");
  const TCountryAnswer a = IPToCountry("10.1.1.1");
  EXPECT_EQ(a.Country, "");
  EXPECT_TRUE(a.NotFound);
  EXPECT_EQ(Cp932ToUtf8(IPToCountry("2400:4050::1").Country), "日本");
  EXPECT_EQ(IPToCountry("2001:db8::1").Country, "");
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
namespace {
std::vector<std::uint32_t> BoundProbes(const std::vector<TCountryRange>& recs) {
  std::vector<std::uint32_t> probes = {0, 1, 0xFFFFFFFE, 0xFFFFFFFF};
  for (const auto& r : recs)
    for (std::uint32_t v : {r.FirstAddress - 1, r.FirstAddress, r.FirstAddress + 1, r.LastAddress - 1, r.LastAddress,
                            r.LastAddress + 1})
      probes.push_back(v);
  return probes;
}

void ExpectSameAnswers(std::string_view table, const std::vector<std::uint32_t>& probes) {
  TMemoryStream copy{std::string(table)};
  for (std::uint32_t v : probes) {
    copy.SetPosition(0);
    ASSERT_EQ(FindRangeCode(table, v), FindRangeCodeLinear(copy, v)) << Dotted(v) << " of " << table.size() / 12;
  }
}
}  // namespace

TEST(FindRangeCode, AgreesWithTheLinearScanOnTheShippedTable) {
  const std::string_view table = IPv4RangeTable().Data();
  const auto recs = Records(table);
  std::mt19937 rng(1234);
  std::vector<TCountryRange> sample;
  for (int k = 0; k < 25; ++k) sample.push_back(recs[rng() % recs.size()]);
  sample.push_back(recs.front());
  sample.push_back(recs.back());
  std::vector<std::uint32_t> probes = BoundProbes(sample);
  for (int k = 0; k < 40; ++k) probes.push_back(static_cast<std::uint32_t>(rng()));
  ExpectSameAnswers(table, probes);
  // Every bound of two slices of the table, gaps included.
  for (std::size_t from : {std::size_t{0}, recs.size() / 2, recs.size() - 1500}) {
    const std::string_view slice = table.substr(from * 12, 1500 * 12);
    ExpectSameAnswers(slice, BoundProbes(Records(slice)));
  }
  // And the whole lookup, notes included, on a few texts.
  const std::vector<std::string> texts = {"8.8.8.8", "10.0.0.1", "127.0.0.1", "", "IPv6:::1", Dotted(probes[7]), "1.2.3"};
  for (const std::string& ip : texts) {
    const TCountryAnswer fast = IPToCountry(ip), slow = IPToCountryLinear(ip);
    EXPECT_EQ(fast.Country, slow.Country) << ip;
    EXPECT_EQ(fast.NotFound, slow.NotFound) << ip;
  }
}

TEST(FindRangeCode, AgreesWithTheLinearScanOnRandomTables) {
  std::mt19937 rng(99);
  for (int round = 0; round < 200; ++round) {
    std::string table;
    std::uint32_t next = round % 2 ? 0 : rng() % 16;
    const int count = round % 40;
    for (int k = 0; k < count; ++k) {
      const std::uint32_t first = next + (rng() % 3 == 0 ? 0 : rng() % 5);  // touching or with a gap
      const std::uint32_t last = first + rng() % 4;
      if (last < first || last > 0xFFFFFFF0u) break;
      char rec[12] = {};
      for (int b = 0; b < 4; ++b) {
        rec[b] = static_cast<char>(first >> (8 * b));
        rec[4 + b] = static_cast<char>(last >> (8 * b));
      }
      rec[8] = 2;
      rec[9] = static_cast<char>('A' + k % 26);
      rec[10] = 'X';
      table.append(rec, 12);
      next = last + 1;
    }
    const auto recs = Records(table);
    ExpectSameAnswers(table, BoundProbes(recs));
  }
}

// ---- the IPv6 table ----

namespace {
std::vector<TCountryRange6> Records6(std::string_view table) {
  std::vector<TCountryRange6> out;
  for (std::size_t i = 0; i + kCountryRange6Size <= table.size(); i += kCountryRange6Size)
    out.push_back(ReadCountryRange6(table.data() + i));
  return out;
}

// The address one above or below, wrapping.
TIPv6Address Step(TIPv6Address a, int delta) {
  for (int i = 15; i >= 0; --i) {
    const int v = a[static_cast<std::size_t>(i)] + delta;
    a[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v & 0xFF);
    if (v >= 0 && v <= 0xFF) break;
  }
  return a;
}

TIPv6Address V6(const char* text) { return ParseIPv6Address(text).value(); }

bool Touches(const TCountryRange6& r, const char* first, const char* last) {
  return !(r.LastAddress < V6(first) || r.FirstAddress > V6(last));
}

std::optional<std::string> Linear6(std::string_view table, const TIPv6Address& v) {
  for (const auto& r : Records6(table))
    if (r.FirstAddress <= v && v <= r.LastAddress) return r.Code;
  return std::nullopt;
}
}  // namespace

TEST(RangeTable6, ShippedTableProperties) {
  const std::string_view table = IPv6RangeTable().Data();
  ASSERT_EQ(table.size() % kCountryRange6Size, 0u);
  const auto recs = Records6(table);
  ASSERT_GT(recs.size(), 1000u);
  std::set<std::string> codes;
  for (std::size_t i = 0; i < recs.size(); ++i) {
    const auto& r = recs[i];
    ASSERT_LE(r.FirstAddress, r.LastAddress) << i;
    ASSERT_EQ(static_cast<unsigned char>(table[i * kCountryRange6Size + 32]), 2u) << i;
    ASSERT_EQ(table[i * kCountryRange6Size + 35], '\0') << i;
    if (codes.insert(r.Code).second) {
      ASSERT_GE(FindCountryCode(r.Code), 0) << r.Code;
    }
    ASSERT_FALSE(Touches(r, "::1", "::1") || Touches(r, "::ffff:0:0", "::ffff:ffff:ffff") ||
                 Touches(r, "fc00::", "fdff:ffff:ffff:ffff:ffff:ffff:ffff:ffff") ||
                 Touches(r, "fe80::", "febf:ffff:ffff:ffff:ffff:ffff:ffff:ffff"))
        << i;
    if (i == 0) continue;
    const auto& p = recs[i - 1];
    ASSERT_LT(p.LastAddress, r.FirstAddress) << i;
    ASSERT_FALSE(Step(p.LastAddress, 1) == r.FirstAddress && p.Code == r.Code) << i;
  }
}

TEST(FindRangeCode6, AgreesWithTheLinearScan) {
  // A small table: touching ranges, a gap, a range up to the top address.
  std::string table;
  auto add = [&table](const char* first, const char* last, const char* code) {
    const TIPv6Address a = V6(first), b = V6(last);
    table.append(reinterpret_cast<const char*>(a.data()), 16);
    table.append(reinterpret_cast<const char*>(b.data()), 16);
    table += '\x02';
    table += code;
    table += '\0';
  };
  add("1::", "1::ff", "AA");
  add("1::100", "1::100", "BB");
  add("2::", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", "CC");
  const std::pair<const char*, const char*> cases[] = {
      {"::", nullptr},       {"0:ffff:ffff:ffff:ffff:ffff:ffff:ffff", nullptr},
      {"1::", "AA"},         {"1::ff", "AA"},
      {"1::100", "BB"},      {"1::101", nullptr},
      {"1:ffff::", nullptr}, {"2::", "CC"},
      {"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", "CC"},
  };
  for (const auto& [text, want] : cases) {
    const auto got = FindRangeCode6(table, V6(text));
    EXPECT_EQ(got, Linear6(table, V6(text))) << text;
    EXPECT_EQ(got.value_or("none"), want ? want : "none") << text;
  }
  EXPECT_EQ(FindRangeCode6("", V6("1::")), std::nullopt);
  EXPECT_EQ(FindRangeCode6(table.substr(0, 35), V6("1::")), std::nullopt);

  // The shipped table: every bound of a few thousand records and their
  // neighbours, against a scan of the same records.
  const std::string_view shipped = IPv6RangeTable().Data();
  const std::size_t n = shipped.size() / kCountryRange6Size;
  for (std::size_t from : {std::size_t{0}, n / 3, n - 2000}) {
    const std::string_view slice = shipped.substr(from * kCountryRange6Size, 2000 * kCountryRange6Size);
    const auto recs = Records6(slice);
    std::size_t k = 0;
    for (const auto& r : recs) {
      for (const TIPv6Address& v : {Step(r.FirstAddress, -1), r.FirstAddress, r.LastAddress, Step(r.LastAddress, 1)}) {
        // Records are sorted: only the neighbours can hold the probe.
        std::optional<std::string> want;
        for (std::size_t j = k == 0 ? 0 : k - 1; j < std::min(recs.size(), k + 2); ++j)
          if (recs[j].FirstAddress <= v && v <= recs[j].LastAddress) want = recs[j].Code;
        ASSERT_EQ(FindRangeCode6(slice, v), want) << from << " " << k;
      }
      ++k;
    }
  }
}

TEST(IPToCountry, TheLinearScanGivesTheSameAnswers) {
  for (const char* ip : {"2400:4050::1", "2001:db8::1", "::1", "fe80::1", "::ffff:8.8.8.8", "::ffff:10.0.0.1",
                         "2a01:b747:3002:226::55", "IPv6:2603:10a6:20b:e3::17"}) {
    const TCountryAnswer fast = IPToCountry(ip), slow = IPToCountryLinear(ip);
    EXPECT_EQ(fast.Country, slow.Country) << ip;
    EXPECT_EQ(fast.NotFound, slow.NotFound) << ip;
  }
}

TEST(EmbeddedTable, CarriesExactlyTheShippedIPv6Table) {
  std::ifstream f(std::string(TARVO_SOURCE_DIR) + "/route/ccTLD6.bin", std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  EXPECT_EQ(ss.str(), std::string(IPv6RangeTable().Data()));
}

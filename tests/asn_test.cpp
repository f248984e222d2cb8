// The network owner of an address: text parsing, the table reader on small
// hand-made tables, and the shipped table.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "route/asn.h"
#include "tests/temp_dir.h"

using namespace tarvo;

namespace {

constexpr std::uint32_t kNone = 0xFFFFFF;

void PutLE(std::string& s, std::uint64_t v, int width) {
  for (int k = 0; k < width; ++k) s += static_cast<char>(v >> (8 * k) & 0xff);
}

struct TSmallTable {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> V4;  // start, owner index
  std::vector<std::pair<std::uint64_t, std::uint32_t>> V6;  // upper 64 bits, owner index
  std::vector<std::pair<std::uint32_t, std::string>> ASes;

  std::string Bytes() const {
    std::string pool, offsets;
    for (const auto& [number, name] : ASes) {
      PutLE(offsets, pool.size(), 3);
      pool += static_cast<char>(name.size());
      pool += name;
    }
    const std::string source = "test table";
    std::string out = "TarvoAS1";
    for (std::size_t n : {V4.size(), V6.size(), ASes.size(), pool.size(), source.size()}) PutLE(out, n, 4);
    out += source;
    for (const auto& e : V4) PutLE(out, e.first, 4);
    for (const auto& e : V4) PutLE(out, e.second, 3);
    for (const auto& e : V6) PutLE(out, e.first, 8);
    for (const auto& e : V6) PutLE(out, e.second, 3);
    for (const auto& a : ASes) PutLE(out, a.first, 4);
    return out + offsets + pool;
  }
};

TSmallTable Small() {
  return {{{0, kNone}, {0x01000000, 0}, {0x01000100, 1}, {0x01000200, kNone}, {0xC0000000, 1}},
          {{0, kNone}, {0x2001020000000000, 1}, {0x2001020000010000, kNone}},
          {{13335, "Cloudflare, Inc."}, {2516, ""}}};
}

TIPAddress Parse(std::string_view text) {
  const auto a = ParseAddressText(text);
  EXPECT_TRUE(a) << text;
  return a.value_or(TIPAddress{});
}

std::string Describe(const std::optional<TNetworkOwner>& o) {
  return o ? std::to_string(o->Number) + " " + o->Name : "-";
}

std::string V4Text(std::uint32_t v) {
  return std::to_string(v >> 24) + "." + std::to_string(v >> 16 & 255) + "." + std::to_string(v >> 8 & 255) + "." +
         std::to_string(v & 255);
}

std::string V6Text(std::uint64_t upper, std::uint64_t lower) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%x:%x:%x:%x:%x:%x:%x:%x", unsigned(upper >> 48), unsigned(upper >> 32 & 0xffff),
                unsigned(upper >> 16 & 0xffff), unsigned(upper & 0xffff), unsigned(lower >> 48),
                unsigned(lower >> 32 & 0xffff), unsigned(lower >> 16 & 0xffff), unsigned(lower & 0xffff));
  return buf;
}

// Standard output of a shell command, without a final newline.
std::string Output(const std::string& cmd) {
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen((cmd + " 2>/dev/null").c_str(), "r"), pclose);
  std::string out;
  char buf[256];
  for (std::size_t n; p && (n = std::fread(buf, 1, sizeof buf, p.get())) > 0;) out.append(buf, n);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

}  // namespace

TEST(AddressText, Accepted) {
  const std::pair<const char*, const char*> cases[] = {
      // text, the 16 bytes in hex
      {"1.2.3.4", "00000000000000000000ffff01020304"},
      {"255.255.255.255", "00000000000000000000ffffffffffff"},
      {"0.0.0.0", "00000000000000000000ffff00000000"},
      {"[192.0.2.1]", "00000000000000000000ffffc0000201"},
      {"::", "00000000000000000000000000000000"},
      {"::1", "00000000000000000000000000000001"},
      {"1::", "00010000000000000000000000000000"},
      {"2001:db8::1", "20010db8000000000000000000000001"},
      {"2001:DB8:0:0:0:0:0:1", "20010db8000000000000000000000001"},
      {"1:2:3:4:5:6:7:8", "00010002000300040005000600070008"},
      {"1:2:3:4:5:6:7::", "00010002000300040005000600070000"},
      {"::2:3:4:5:6:7:8", "00000002000300040005000600070008"},
      {"::ffff:1.2.3.4", "00000000000000000000ffff01020304"},
      {"::FFFF:0102:0304", "00000000000000000000ffff01020304"},
      {"64:ff9b::192.0.2.33", "0064ff9b0000000000000000c0000221"},
      {"1:2:3:4:5:6:1.2.3.4", "00010002000300040005000601020304"},
      {"IPv6:2001:db8::1", "20010db8000000000000000000000001"},
      {"[ipv6:2001:db8::1]", "20010db8000000000000000000000001"},
      {"fe80::1%eth0", "fe800000000000000000000000000001"},
  };
  for (const auto& [text, hex] : cases) {
    const auto a = ParseAddressText(text);
    ASSERT_TRUE(a) << text;
    std::string got;
    for (std::uint8_t b : a->Bytes) {
      char buf[3];
      std::snprintf(buf, sizeof buf, "%02x", b);
      got += buf;
    }
    EXPECT_EQ(got, hex) << text;
  }
}

TEST(AddressText, Rejected) {
  for (const char* text :
       {"", "1.2.3", "1.2.3.4.", "1.2.3.4.5", "1..2.3", "256.0.0.1", "1.2.3.1000", "0001.2.3.4", "-1.2.3.4", " 1.2.3.4",
        "1.2.3.4 ", "1.2.3.a", "IPv6:1.2.3.4", "IPv6:", "[1.2.3.4", "mail.example.jp", ":", ":::", "1:", ":1", "1:::2",
        "1::2::3", "12345::", "g::1", "1:2:3:4:5:6:7:8:9", "1:2:3:4:5:6:7::8", "::1.2.3", "1.2.3.4::", "::1.2.3.4:5",
        "1:2:3:4:5:6:7:1.2.3.4", "fe80::1%", "unknown"})
    EXPECT_FALSE(ParseAddressText(text)) << text;
}

TEST(AddressText, SpecialBlocksHaveNoOwner) {
  // Each pair: the edge of a special block, and its neighbour outside it.
  const std::pair<const char*, bool> cases[] = {
      {"10.0.0.0", true},        {"9.255.255.255", false},   {"10.255.255.255", true},  {"11.0.0.0", false},
      {"127.0.0.1", true},       {"169.254.1.1", true},      {"169.253.255.255", false}, {"172.16.0.0", true},
      {"172.31.255.255", true},  {"172.32.0.0", false},      {"192.168.0.1", true},     {"192.169.0.1", false},
      {"100.64.0.0", true},      {"100.127.255.255", true},  {"100.128.0.0", false},    {"0.1.2.3", true},
      {"224.0.0.1", true},       {"255.255.255.255", true},  {"223.255.255.255", false}, {"192.0.2.1", true},
      {"::", true},              {"::1", true},              {"::ffff:10.1.2.3", true}, {"::ffff:8.8.8.8", false},
      {"fe80::1", true},         {"febf:ffff::", true},      {"fc00::1", true},         {"fdff::1", true},
      {"fe00::1", false},        {"ff02::1", true},          {"2001:db8::1", true},     {"2001:db9::1", false},
      {"100::1", true},          {"100:0:0:1::", false},     {"64:ff9b::8.8.8.8", true}, {"2001:4860::8888", false},
  };
  for (const auto& [text, special] : cases) {
    EXPECT_EQ(IsSpecialAddress(Parse(text)), special) << text;
    if (special) {
      EXPECT_EQ(IPToNetwork(text), "") << text;
    }
  }
}

TEST(ASTableReader, SmallTableLookups) {
  const std::string bytes = Small().Bytes();
  const TASTable t(bytes);
  ASSERT_TRUE(t.Valid());
  EXPECT_EQ(t.Source(), "test table");
  const std::pair<const char*, const char*> cases[] = {
      {"0.255.255.255", "-"},
      {"1.0.0.0", "13335 Cloudflare, Inc."},  // first address
      {"1.0.0.255", "13335 Cloudflare, Inc."},  // last
      {"1.0.1.0", "2516 "},                    // one past: the next range
      {"1.0.1.255", "2516 "},
      {"1.0.2.0", "-"},
      {"191.255.255.255", "-"},
      {"192.0.0.0", "2516 "},
      {"255.255.255.255", "2516 "},           // the last range runs to the end
      {"::ffff:1.0.0.7", "13335 Cloudflare, Inc."},
      {"2001:1ff:ffff:ffff:ffff:ffff:ffff:ffff", "-"},
      {"2001:200::", "2516 "},
      {"2001:200:0:0:ffff:ffff:ffff:ffff", "2516 "},
      {"2001:200:0:ffff:ffff:ffff:ffff:ffff", "2516 "},
      {"2001:200:1::", "-"},
      {"ffff::", "-"},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(Describe(t.Find(Parse(text))), want) << text;
}

TEST(ASTableReader, BrokenTablesFindNothingAndDoNotCrash) {
  const std::string good = Small().Bytes();
  // Every truncation, and one byte too many.
  for (std::size_t n = 0; n < good.size(); ++n) {
    const std::string cut = good.substr(0, n);
    const TASTable t(cut);
    EXPECT_FALSE(t.Valid()) << n;
    EXPECT_FALSE(t.Find(Parse("1.0.0.1"))) << n;
  }
  EXPECT_FALSE(TASTable(good + "x").Valid());
  std::string magic = good;
  magic[7] = '2';
  EXPECT_FALSE(TASTable(magic).Valid());
  // Counts that overflow 32-bit arithmetic must not pass for the right size.
  std::string huge = good;
  huge[8] = huge[9] = huge[10] = huge[11] = '\xff';
  EXPECT_FALSE(TASTable(huge).Valid());

  // Owner indices and name offsets that point outside the table.
  TSmallTable bad = Small();
  bad.V4[1].second = 7;
  const std::string badBytes = bad.Bytes();  // the table is a view: its bytes must outlive it
  TASTable badIndex(badBytes);
  ASSERT_TRUE(badIndex.Valid());
  EXPECT_FALSE(badIndex.Find(Parse("1.0.0.1")));
  EXPECT_EQ(Describe(badIndex.Find(Parse("1.0.1.1"))), "2516 ");

  std::string badName = Small().Bytes();
  const std::size_t offsets = badName.size() - (1 + 16 + 1 + 0) - 2 * 3;
  badName[offsets + 3] = '\x7f';  // second AS's name far past the pool
  TASTable t1(badName);
  ASSERT_TRUE(t1.Valid());
  EXPECT_FALSE(t1.Find(Parse("1.0.1.1")));
  badName = Small().Bytes();
  badName[badName.size() - 18] = '\x40';  // first name's length past the pool's end
  TASTable t2(badName);
  ASSERT_TRUE(t2.Valid());
  EXPECT_FALSE(t2.Find(Parse("1.0.0.1")));
}

TEST(IPToNetwork, BothFamilies) {
  // Answers checked against python3-location's lookup of the same database.
  const std::pair<const char*, const char*> cases[] = {
      {"1.1.1.1", "AS13335 Cloudflare, Inc."},
      {"8.8.8.8", "AS15169 Google LLC"},
      {"::ffff:8.8.8.8", "AS15169 Google LLC"},
      {"[8.8.4.4]", "AS15169 Google LLC"},
      {"2001:4860:4860::8888", "AS15169 Google LLC"},
      {"IPv6:2606:4700:4700::1111", "AS13335 Cloudflare, Inc."},
      {"106.128.0.1", "AS2516 KDDI CORPORATION"},
      {"2001:268:c000::1", "AS2516 KDDI CORPORATION"},
      {"210.130.1.1", "AS2497 Internet Initiative Japan Inc."},
      {"40.107.0.1", "AS8075 Microsoft Corporation"},
      {"2a01:111:f400::1", "AS8075 Microsoft Corporation"},
      {"133.0.0.1", ""},  // a network the database names no AS for
      {"10.1.2.3", ""},
      {"fe80::1", ""},
      {"mail.example.jp", ""},
      {"", ""},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(IPToNetwork(text), want) << text;
}

TEST(ShippedASTable, WellFormed) {
  const TASTable& t = ASTable();
  ASSERT_TRUE(t.Valid());
  EXPECT_EQ(t.Source().substr(0, 16), "libloc-database ");
  EXPECT_NE(t.Source().find("CC BY-SA 4.0"), std::string_view::npos);
  std::uint32_t previous = 0;
  std::set<std::string> names;
  for (std::uint32_t i = 0; i < t.ASCount(); ++i) {
    const auto o = t.Owner(i);
    ASSERT_TRUE(o) << i;
    if (i > 0) {
      ASSERT_LT(previous, o->Number) << i;
    }
    previous = o->Number;
    names.insert(o->Name);
  }
  // Each name once in the pool, nothing else in it.
  std::size_t pool = 0;
  for (const std::string& name : names) pool += 1 + name.size();
  EXPECT_EQ(pool, t.PoolSize());
  EXPECT_LT(names.size(), t.ASCount());

  for (int family : {4, 6}) {
    const std::uint32_t n = family == 4 ? t.V4Count() : t.V6Count();
    auto start = [&](std::uint32_t i) { return family == 4 ? std::uint64_t{t.V4Start(i)} : t.V6Start(i); };
    auto owner = [&](std::uint32_t i) { return family == 4 ? t.V4Owner(i) : t.V6Owner(i); };
    ASSERT_EQ(start(0), 0u) << family;
    std::uint32_t owned = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
      if (owner(i)) {
        ASSERT_LT(*owner(i), t.ASCount()) << family << " " << i;
        ++owned;
      }
      if (i + 1 < n) {
        ASSERT_LT(start(i), start(i + 1)) << family << " " << i;
        ASSERT_NE(owner(i), owner(i + 1)) << "unmerged neighbours " << family << " " << i;
      }
    }
    EXPECT_GT(owned, n / 2) << family;
  }
}

TEST(ShippedASTable, EdgesOfEveryHundredthRange) {
  const TASTable& t = ASTable();
  ASSERT_TRUE(t.Valid());
  auto text = [&](const std::optional<std::uint32_t>& i) {
    if (!i) return std::string();
    const auto o = t.Owner(*i);
    return o ? "AS" + std::to_string(o->Number) + (o->Name.empty() ? "" : " " + o->Name) : std::string("?");
  };
  auto special = [](const std::string& ip) { return IsSpecialAddress(*ParseAddressText(ip)); };
  int checked = 0;
  for (std::uint32_t i = 1; i + 1 < t.V4Count(); i += 100) {
    const std::uint32_t first = t.V4Start(i), last = t.V4Start(i + 1) - 1;
    for (const auto& [ip, want] : {std::pair{V4Text(first), text(t.V4Owner(i))}, {V4Text(last), text(t.V4Owner(i))},
                                   {V4Text(last + 1), text(t.V4Owner(i + 1))}, {V4Text(first - 1), text(t.V4Owner(i - 1))}}) {
      if (special(ip)) continue;
      EXPECT_EQ(IPToNetwork(ip), want) << ip;
      EXPECT_EQ(IPToNetwork("::ffff:" + ip), want) << ip;
      ++checked;
    }
  }
  for (std::uint32_t i = 1; i + 1 < t.V6Count(); i += 100) {
    const std::uint64_t first = t.V6Start(i), last = t.V6Start(i + 1) - 1;
    for (const auto& [ip, want] :
         {std::pair{V6Text(first, 0), text(t.V6Owner(i))}, {V6Text(last, ~0ull), text(t.V6Owner(i))},
          {V6Text(last + 1, 0), text(t.V6Owner(i + 1))}, {V6Text(first - 1, ~0ull), text(t.V6Owner(i - 1))}}) {
      if (special(ip)) continue;
      EXPECT_EQ(IPToNetwork(ip), want) << ip;
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
}

// Makes the table again from the package when the version it was made from
// is at hand: the .deb named by TARVO_LIBLOC_DEB, or the installed package.
TEST(ShippedASTable, IsWhatTheGeneratorWrites) {
  const char* deb = std::getenv("TARVO_LIBLOC_DEB");
  const std::string source = deb ? deb : "/usr/share/libloc-location/location.db";
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "no libloc-database (set TARVO_LIBLOC_DEB to its .deb)";
  if (std::system("/usr/bin/python3 -c 'import location' 2>/dev/null") != 0) GTEST_SKIP() << "no python3-location";
  const std::string version =
      Output(deb ? "dpkg-deb -f '" + source + "' Version" : "dpkg-query -W -f '${Version}' libloc-database");
  const std::string wanted = "libloc-database " + version + " ";
  if (version.empty() || ASTable().Source().substr(0, wanted.size()) != wanted)
    GTEST_SKIP() << "libloc-database " << version << " at hand, the table is from " << ASTable().Source();

  const tarvo::testing::TTempDir dir;
  const std::filesystem::path out = dir / "asn.bin";
  const std::string cmd =
      std::string(TARVO_SOURCE_DIR) + "/tools/make_asn.py '" + source + "' '" + out.string() + "' 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  auto read = [](const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  };
  const std::string made = read(out), shipped = read(std::string(TARVO_SOURCE_DIR) + "/route/asn.bin");
  EXPECT_EQ(made.size(), shipped.size());
  EXPECT_TRUE(made == shipped);
}

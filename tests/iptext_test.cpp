#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "base/cp932.h"
#include "base/errors.h"
#include "jcode/iptext.h"

using namespace tarvo;

TEST(ParseIPOctets, Parts) {
  struct Case {
    std::string text;
    std::array<int, 4> want;
  } cases[] = {
      {"192.168.1.20", {192, 168, 1, 20}},
      {"10.*.*.*", {10, -2, -2, -2}},
      {"1.2", {1, -1, -1, 2}},
      {"1.2.3.4.5", {1, 2, 3, 5}},
      {"1.2.3.", {1, 2, 3, -1}},
      {"1.2.3.4.", {1, 2, 3, -1}},
      {"", {-1, -1, -1, -1}},
      {"5", {-1, -1, -1, 5}},
      {"256.0.x.255", {-1, 0, -1, 255}},
      {"-5.1.1.1", {-5, 1, 1, 1}},
      {"*x.**.0x10.$ff", {-1, -1, 16, 255}},
      {"..", {-1, -1, -1, -1}},
  };
  for (const auto& c : cases) {
    std::array<int, 4> got{};
    ParseIPOctets(c.text, got[0], got[1], got[2], got[3]);
    EXPECT_EQ(got, c.want) << c.text;
  }
}

TEST(IPTextToNumber, Numbers) {
  const std::pair<std::string, std::int64_t> cases[] = {
      {"0.0.0.0", 0},
      {"255.255.255.255", 0xFFFFFFFFLL},
      {"192.168.1.20", 0xC0A80114LL},
      {"300.0.0.0", 44LL << 24},
      {"-1.0.0.0", 255LL << 24},
      {"1.2.3", 0x01020003LL},
      {"1.2", 0x01000002LL},
      {"5", 5},
      {" 8.8.8.8", 0x08080808LL},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(IPTextToNumber(text), want) << text;
}

TEST(IPTextToNumber, RaisesOnPartsThatAreNoNumbers) {
  const std::pair<std::string, std::string> cases[] = {
      {"1..2.3", ""},
      {"1.2.3.4.", ""},
      {"1.2.3.4.5", ""},
      {"", ""},
      {"IPv6:2001:db8::1", "IPv6:2001:db8::1"},
      {"mail.example.jp", "mail"},
      {"1.2.3.x", "x"},
  };
  for (const auto& [text, part] : cases) {
    try {
      (void)IPTextToNumber(text);
      ADD_FAILURE() << "no error for " << text;
    } catch (const EConvertError& e) {
      EXPECT_EQ(Cp932ToUtf8(e.what()), "'" + part + "' は整数ではありません") << text;
    }
  }
}

TEST(ParseIPv4Address, OnlyThePlainDottedQuad) {
  const std::pair<std::string, std::optional<std::uint32_t>> cases[] = {
      {"192.0.2.1", 0xC0000201u},
      {"0.0.0.0", 0u},
      {"255.255.255.255", 0xFFFFFFFFu},
      {"001.002.003.004", 0x01020304u},
      {"256.0.0.1", std::nullopt},
      {"1.2.3", std::nullopt},
      {"1.2.3.4.", std::nullopt},
      {"1.2.3.4.5", std::nullopt},
      {"1..2.3", std::nullopt},
      {"1.2.3.0004", std::nullopt},
      {" 1.2.3.4", std::nullopt},
      {"1.2.3.4:25", std::nullopt},
      {"-1.2.3.4", std::nullopt},
      {"0x1.2.3.4", std::nullopt},
      {"", std::nullopt},
      {std::string("1.2.3.4\0", 8), std::nullopt},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(ParseIPv4Address(text), want) << text;
}

TEST(ParseIPv6Address, TextForms) {
  using A = TIPv6Address;
  const A loop = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  const A doc = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  const A mapped = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 192, 0, 2, 1};
  const A full = {0x20, 0x01, 0x0d, 0xb8, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6};
  const A one = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const std::pair<std::string, std::optional<A>> cases[] = {
      {"::1", loop},
      {"0:0:0:0:0:0:0:1", loop},
      {"2001:db8::1", doc},
      {"2001:DB8:0::0:1", doc},
      {"::ffff:192.0.2.1", mapped},
      {"::ffff:c000:201", mapped},
      {"2001:db8:1:2:3:4:5:6", full},
      {"1::", one},
      {"::", A{}},
      {"1:0:0:0:0:0:0::", one},
      // Not addresses.
      {"", std::nullopt},
      {":", std::nullopt},
      {":::", std::nullopt},
      {"1:::2", std::nullopt},
      {"1::2::3", std::nullopt},
      {"1:2:3:4:5:6:7", std::nullopt},
      {"1:2:3:4:5:6:7:8:9", std::nullopt},
      {"1:2:3:4:5:6:7::8", std::nullopt},
      {"12345::", std::nullopt},
      {"g::1", std::nullopt},
      {"1.2.3.4", std::nullopt},
      {"1.2.3.4::", std::nullopt},
      {"::1.2.3", std::nullopt},
      {"1:2:3:4:5:6:7:1.2.3.4", std::nullopt},
      {"[::1]", std::nullopt},
      {"fe80::1%eth0", std::nullopt},
      {"IPv6:::1", std::nullopt},
      {"04:25:45", std::nullopt},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(ParseIPv6Address(text), want) << text;
}

TEST(AddressCore, TagAndZoneOff) {
  const std::pair<std::string, std::string> cases[] = {
      {"192.0.2.1", "192.0.2.1"},
      {"IPv6:2001:db8::1", "2001:db8::1"},
      {"ipv6:::1", "::1"},
      {"fe80::1%eth0", "fe80::1"},
      {"fe80::1%12", "fe80::1"},
      {"1.2.3.4%eth0", ""},
      {"IPv6:1.2.3.4", "1.2.3.4"},
      {"mail.example.jp", ""},
      {"port=25", ""},
      {"", ""},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(AddressCore(text), want) << text;
}

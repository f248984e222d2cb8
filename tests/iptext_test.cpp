#include <gtest/gtest.h>

#include <array>

#include "base/cp932.h"
#include "base/errors.h"
#include "jcode/DString.h"

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

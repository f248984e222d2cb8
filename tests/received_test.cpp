#include <gtest/gtest.h>

#include "mail/mailutils.h"

using namespace tarvo;

namespace {
struct Relay {
  std::string server, host, ip;
};

Relay ParseOne(const std::string& text) {
  TReceivedList e;
  ParseReceivedLine(text, e);
  return {e.ServerName, e.Host, e.IP};
}

TReceivedLists Gather(const std::string& envelope) {
  TMemoryStream s(envelope);
  s.SetPosition(envelope.size() / 2);
  TReceivedLists lists{TReceivedList{"stale", "", "", "", "", "", ""}};
  const std::int32_t n = GetReceivedLists(&s, lists);
  EXPECT_EQ(n, static_cast<std::int32_t>(lists.size()));
  EXPECT_EQ(s.Position(), 0u);
  return lists;
}
}  // namespace

TEST(ParseReceivedLine, OneLineFields) {
  struct Case {
    std::string line;
    Relay want;
  } cases[] = {
      {" from alpha (beta [192.0.2.1]) by gamma", {"alpha", "beta", "192.0.2.1"}},
      {" from alpha (HELO beta) [192.0.2.1]", {"alpha", "beta", "192.0.2.1"}},
      {" from alpha (EHLO ehlo beta) [192.0.2.1]", {"alpha", "beta", "192.0.2.1"}},
      {" from alpha [192.0.2.1]", {"alpha", "", "192.0.2.1"}},
      {" from alpha ([192.0.2.1])", {"alpha", "", ""}},
      {" from [192.0.2.1] (port=25 helo=x)", {"[192.0.2.1]", "port=25", ""}},
      {" from alpha", {"", "", ""}},
      {" from alpha (beta", {"alpha", "", ""}},
      {" from alpha (beta [192.0.2.1", {"alpha", "beta", ""}},
      {" from alpha(beta)(192.0.2.9)", {"alpha", "beta", "192.0.2.9"}},
      // The character right after FROM is skipped whatever it is.
      {" fromXalpha (b)", {"alpha", "b", ""}},
      {" from    ", {"", "", ""}},
      {" by gamma with ESMTP", {"", "", ""}},
      {"\t(envelope-from <x>)", {"", "", ""}},
  };
  for (const auto& c : cases) {
    const Relay r = ParseOne(c.line);
    EXPECT_EQ(r.server, c.want.server) << c.line;
    EXPECT_EQ(r.host, c.want.host) << c.line;
    EXPECT_EQ(r.ip, c.want.ip) << c.line;
  }
}

TEST(ParseReceivedLine, SpecialCasesAndTheirOrder) {
  struct Case {
    std::string line, server;
  } cases[] = {
      {" (qmail 123 invoked from network)", "qmail"},
      {" (qmail 123 invoked by uid 0)", "qmail"},
      {" from a (b [1.2.3.4]) by hotmail.com with HTTP", "hotmail.com"},
      {" from a (b [1.2.3.4]) by mail.msn.com", "msn.com"},
      // Both web-mail domains: the MSN case comes later and wins.
      {" from a by hotmail.com with x msn.com", "msn.com"},
      // qmail words win over the MSN domain.
      {" from msn.com qmail invoked", "qmail"},
      // Hotmail without WITH is an ordinary line.
      {" from hotmail.com (b [1.2.3.4])", "hotmail.com"},
  };
  for (const auto& c : cases) {
    TReceivedList e{"old", "oldhost", "9.9.9.9", "", "", "", ""};
    ParseReceivedLine(c.line, e);
    EXPECT_EQ(e.ServerName, c.server) << c.line;
  }
  TReceivedList e{"old", "oldhost", "9.9.9.9", "", "", "", ""};
  ParseReceivedLine(" from a (b [1.2.3.4]) by hotmail.com with HTTP", e);
  EXPECT_EQ(e.Host, "");
  EXPECT_EQ(e.IP, "");
  // A line that is no special case leaves the fields it does not set alone.
  TReceivedList keep{"old", "oldhost", "9.9.9.9", "", "", "", ""};
  ParseReceivedLine(" from srv", keep);
  EXPECT_EQ(keep.ServerName, "old");
  EXPECT_EQ(keep.Host, "oldhost");
}

TEST(ParseReceivedLine, DoubleByteText) {
  // "FROM" hidden in a trail byte sequence is not found: 0x83 'F' is one character.
  EXPECT_EQ(ParseOne(" \x83""FROM alpha (b)").server, "");
  EXPECT_EQ(ParseOne(" \x82\xa0 from alpha (b)").server, "alpha");
}

TEST(GetReceivedLists, NoFields) {
  EXPECT_TRUE(Gather("Subject: x\r\nFrom: y\r\n").empty());
  TReceivedLists lists(2);
  EXPECT_EQ(GetReceivedLists(nullptr, lists), 0);
  EXPECT_TRUE(lists.empty());
  TMemoryStream empty;
  lists.resize(1);
  EXPECT_EQ(GetReceivedLists(&empty, lists), 0);
  EXPECT_TRUE(lists.empty());
}

TEST(GetReceivedLists, ThreeLineField) {
  const auto lists = Gather(
      "Received: from alpha (beta [192.0.2.1])\r\n"
      "\tby gamma with ESMTP id 12345\r\n"
      "\tfor <x>; Mon, 7 Dec 2026 04:25:45 +0900 (JST)\r\n"
      "Subject: test\r\n");
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].ServerName, "alpha");
  EXPECT_EQ(lists[0].Host, "beta");
  EXPECT_EQ(lists[0].IP, "192.0.2.1");
  EXPECT_EQ(lists[0].ReceivedText,
            " from alpha (beta [192.0.2.1])\r\n"
            "\tby gamma with ESMTP id 12345\r\n"
            "\tfor <x>; Mon, 7 Dec 2026 04:25:45 +0900 (JST)\r\n");
  EXPECT_EQ(ExtractReceivedDate(lists[0].ReceivedText), "Mon, 7 Dec 2026 04:25:45 +0900 (JST)");
  EXPECT_EQ(FormatMailDate(ExtractReceivedDate(lists[0].ReceivedText)), "2026/12/07 04:25:45");
}

TEST(GetReceivedLists, FieldNames) {
  struct Case {
    std::string envelope;
    std::size_t count;
  } cases[] = {
      {"received: from a (b [1.1.1.1])\r\n", 1},
      {"RECEIVED:from a (b [1.1.1.1])\r\n", 1},
      {"Received : from a (b [1.1.1.1])\r\n", 0},
      {"X-Received: from a (b [1.1.1.1])\r\n", 0},
      // A fresh line is trimmed, so leading blanks do not hide the name.
      {"A: 1\r\n  Received: from a\r\n", 1},
      {"Received: a\r\nReceived: b\r\nReceived: c", 3},
  };
  for (const auto& c : cases) EXPECT_EQ(Gather(c.envelope).size(), c.count) << c.envelope;
}

TEST(GetReceivedLists, FieldOnTheLastLine) {
  for (const std::string env : {"A: 1\r\nReceived: from a (b [1.1.1.1]) x", "Received: from a (b [1.1.1.1]) x\r\n"}) {
    const auto lists = Gather(env);
    ASSERT_EQ(lists.size(), 1u) << env;
    EXPECT_EQ(lists[0].ReceivedText, " from a (b [1.1.1.1]) x\r\n");
    EXPECT_EQ(lists[0].IP, "1.1.1.1");
  }
  // A continuation as the very last line ends the field with nothing held.
  const auto cont = Gather("Received: from a (b\r\n\t[1.1.1.1]) x");
  ASSERT_EQ(cont.size(), 1u);
  EXPECT_EQ(cont[0].ReceivedText, " from a (b\r\n\t[1.1.1.1]) x\r\n");
}

TEST(GetReceivedLists, HeldLineIsNotTrimmed) {
  // The second field's first line is the held one: its trailing blanks stay
  // and the name before them is stored.
  const auto held = Gather("Received: x\r\nReceived: from alpha  \r\n");
  ASSERT_EQ(held.size(), 2u);
  EXPECT_EQ(held[1].ReceivedText, " from alpha  \r\n");
  EXPECT_EQ(held[1].ServerName, "alpha");
  // The same line read fresh is trimmed and stores nothing.
  const auto fresh = Gather("A: 1\r\nReceived: from alpha  \r\n");
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_EQ(fresh[0].ReceivedText, " from alpha\r\n");
  EXPECT_EQ(fresh[0].ServerName, "");
}

TEST(GetReceivedLists, LaterLinesOverwriteOnlyWhatTheySet) {
  const auto a = Gather("Received: from alpha\r\n\t(beta [192.0.2.1]) by gamma\r\n");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].ServerName, "");
  EXPECT_EQ(a[0].IP, "");
  const auto b = Gather("Received: from alpha (beta [192.0.2.1])\r\n\t(envelope-from <x>)\r\n");
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].ServerName, "alpha");
  EXPECT_EQ(b[0].IP, "192.0.2.1");
  const auto c = Gather("Received: from alpha (beta [192.0.2.1])\r\n\tfrom delta (eps [192.0.2.7])\r\n");
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].ServerName, "delta");
  EXPECT_EQ(c[0].IP, "192.0.2.7");
}

TEST(ExtractReceivedDate, Cases) {
  const std::pair<std::string, std::string> cases[] = {
      {"no semicolon", ""},
      {"a; b; c\r\n", "b; c"},
      {";", ""},
      {"x;\r\n\tMon, 7 Dec\r\n", "Mon, 7 Dec"},
      // A ";" as a trail byte is not one.
      {"\x81;x", ""},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(ExtractReceivedDate(in), want) << in;
}

TEST(FormatMailDate, Cases) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"Mon, 7 Dec 2026 04:25:45 +0900 (JST)", "2026/12/07 04:25:45"},
      {"Mon, 07 Dec 2026 04:25:45 +0900", "2026/12/07 04:25:45"},
      {"7 Dec 2026 04:25:45", "2026/12/07 04:25:45"},
      {"2026", "2026/01/01 "},
      {"Mon,", "1/01/01 "},
      {"12 dec 2026", "2026/12/12 "},
      {"1 DEC 2026", "2026/12/01 "},
      {"1 December 2026", "2026/01/01 "},
      {"x 10:00 y 11:00", "1/01/01 11:00"},
      // Year and time broken over two lines make one word: the time.
      {"7 Dec 2026\r\n\t04:25:45", "1/12/07 2026\r\n\t04:25:45"},
      {"  7  Dec  2026", "2026/12/07 "},
      // Unsigned 16-bit: negative values wrap, -1 is no number.
      {"-999", "64537/01/01 "},
      {"-5 Jan 2000", "2000/01/65531 "},
      {"-1 Feb", "1/02/01 "},
      {"99999", "1/01/01 "},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(FormatMailDate(in), want) << in;
}

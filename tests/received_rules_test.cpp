// A rule of the date formatter that the main tests leave open: commas
// inside date words.
#include <gtest/gtest.h>

#include <string>

#include "mail/mailutils.h"

using namespace tarvo;

TEST(FormatMailDate, CommasAreRemovedFromEveryWord) {
  const std::pair<std::string, std::string> cases[] = {
      {"Tue, 8 Dec, 2026, 09:15:02", "2026/12/08 09:15:02"},
      {"Dec,,, 7,, 2026,,", "2026/12/07 "},
      // A comma without a space joins two words into one that counts as nothing.
      {"8,Dec 2026", "2026/01/01 "},
      {"12:00,", "1/01/01 12:00"},
      {",", "1/01/01 "},
      {"2,0,2,6", "2026/01/01 "},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(FormatMailDate(in), want) << in;
}

TEST(ParseReceivedField, HeloWordGivesWayToTheNameAfterIt) {
  struct Case {
    const char* line;
    const char *server, *host, *ip;
  } cases[] = {
      // The whole field is read: the word after HELO is the host even when
      // the comment is never closed, and the address after an empty HELO counts.
      {" from alpha (HELO beta", "alpha", "beta", ""},
      {" from alpha (helo beta", "alpha", "beta", ""},
      {" from alpha (EHLO", "alpha", "", ""},
      {" from alpha (HELO) [192.0.2.1]", "alpha", "", "192.0.2.1"},
      {" from alpha (HELO beta) [192.0.2.1]", "alpha", "beta", "192.0.2.1"},
  };
  for (const Case& c : cases) {
    TReceivedList e;
    ParseReceivedField(c.line, e);
    EXPECT_EQ(e.ServerName, c.server) << c.line;
    EXPECT_EQ(e.Host, c.host) << c.line;
    EXPECT_EQ(e.IP, c.ip) << c.line;
  }
}

TEST(ParseReceivedField, MsnAndQmailLinesClearHostAndIP) {
  const char* const lines[] = {
      " from a (b [1.2.3.4]) by mail.msn.com",
      " from a (b [1.2.3.4]) by MSN.COM with SMTP",
      " (qmail 123 invoked from network)",
      " from a (b [1.2.3.4]) qmail 1 invoked by uid 0",
  };
  for (const char* line : lines) {
    TReceivedList e;
    e.ServerName = "old";
    e.Host = "oldhost";
    e.IP = "9.9.9.9";
    ParseReceivedField(line, e);
    EXPECT_TRUE(e.ServerName == "msn.com" || e.ServerName == "qmail") << line << ": " << e.ServerName;
    EXPECT_EQ(e.Host, "") << line;
    EXPECT_EQ(e.IP, "") << line;
  }
}

TEST(GetReceivedLists, QmailContinuationClearsWhatTheFirstLineFound) {
  const std::string envelope =
      "Received: from alpha (beta [192.0.2.1])\r\n\t(qmail 1 invoked by uid 0); 7 Dec 2026 04:25:45\r\nX: y\r\n";
  TReceivedLists lists;
  ASSERT_EQ(GetReceivedLists(ReadFields(envelope), lists), 1);
  EXPECT_EQ(lists[0].ServerName, "qmail");
  EXPECT_EQ(lists[0].Host, "");
  EXPECT_EQ(lists[0].IP, "");
}

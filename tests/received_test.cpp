#include <gtest/gtest.h>

#include <ostream>

#include "mail/mailutils.h"

using namespace tarvo;

namespace {
struct Relay {
  std::string server, host, ip;
  bool operator==(const Relay&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Relay& r) {
  return os << r.server << " / " << r.host << " / " << r.ip;
}

TReceivedList Entry(std::string server, std::string host, std::string ip) {
  TReceivedList e;
  e.ServerName = std::move(server);
  e.Host = std::move(host);
  e.IP = std::move(ip);
  return e;
}

// A field as GetReceivedLists stores it: each line followed by CR LF.
std::string Field(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view l : lines) text.append(l).append("\r\n");
  return text;
}

Relay ParseOne(const std::string& text) {
  TReceivedList e;
  ParseReceivedField(text, e);
  return {e.ServerName, e.Host, e.IP};
}

std::string RouteDate(const std::string& text) {
  return FormatDateTime(ParseMailDate(ExtractReceivedDate(text)));
}

TReceivedLists Gather(const std::string& envelope) {
  TReceivedLists lists{Entry("stale", "", "")};
  const std::int32_t n = GetReceivedLists(ReadFields(envelope), lists);
  EXPECT_EQ(n, static_cast<std::int32_t>(lists.size()));
  return lists;
}
}  // namespace

// Fields in the forms the common servers write, folded as they fold them.
TEST(ParseReceivedField, ServersInTheWild) {
  struct Case {
    const char* what;
    std::string field;
    Relay want;
    std::string date;
  } cases[] = {
      {"Postfix",
       Field({" from mail.example.org (mail.example.org [192.0.2.25])",
              "\tby mx.example.jp (Postfix) with ESMTPS id 4QZ1x2Y3z4",
              "\tfor <taro@example.jp>; Mon,  7 Dec 2026 04:25:45 +0900 (JST)"}),
       {"mail.example.org", "mail.example.org", "192.0.2.25"}, "2026/12/07 04:25:45"},
      {"Postfix, IPv6 client without reverse name, authenticated",
       Field({" from client.example.net (unknown [IPv6:2001:db8:4:2::25])",
              "\t(Authenticated sender: hanako@example.jp)",
              "\tby smtp.example.jp (Postfix) with ESMTPSA id 1A2B3C;",
              "\tTue, 8 Dec 2026 10:00:00 +0900 (JST)"}),
       {"client.example.net", "unknown", "2001:db8:4:2::25"}, "2026/12/08 10:00:00"},
      {"Postfix, local pick-up: the from inside the comment names no relay",
       Field({" by mx.example.jp (Postfix, from userid 1000)", "\tid 7F3E2A; Mon, 7 Dec 2026 04:25:45 +0900 (JST)"}),
       {"", "", ""}, "2026/12/07 04:25:45"},
      {"Postfix, submission from a home router",
       Field({" from [192.168.1.20] (p5104-ipoe.example.ne.jp [203.0.113.4])",
              "\tby smtp.example.ne.jp (Postfix) with ESMTPSA id 9Z; Sat, 5 Dec 2026 23:59:59 +0900"}),
       {"[192.168.1.20]", "p5104-ipoe.example.ne.jp", "203.0.113.4"}, "2026/12/05 23:59:59"},
      {"Exim, port after the address",
       Field({" from mail-wr1-f54.example.com ([198.51.100.54]:36711)",
              "\tby mx.example.org with esmtps  (TLS1.3) tls TLS_AES_256_GCM_SHA384", "\t(Exim 4.96)",
              "\t(envelope-from <a@example.com>)", "\tid 1tAbCd-000Xyz-2Q", "\tfor b@example.org;",
              "\tMon, 07 Dec 2026 04:25:45 +0000"}),
       {"mail-wr1-f54.example.com", "", "198.51.100.54"}, "2026/12/07 04:25:45"},
      {"Exim, no reverse name: the HELO literal is not the address",
       Field({" from [203.0.113.7] (port=52713 helo=[192.168.1.10])",
              "\tby mail.example.org with esmtpsa (TLS1.2) (Exim 4.94.2)",
              "\t(envelope-from <c@example.org>) id 1kX; Mon, 07 Dec 2026 04:25:45 +0100"}),
       {"[203.0.113.7]", "", "203.0.113.7"}, "2026/12/07 04:25:45"},
      {"Exim, helo= beside the address",
       Field({" from host.example.net ([192.0.2.77] helo=desk) by mx.example.org with esmtp (Exim 4.94.2)",
              "\t(envelope-from <c@example.net>) id 1k; Sun, 06 Dec 2026 22:01:02 -0500"}),
       {"host.example.net", "", "192.0.2.77"}, "2026/12/06 22:01:02"},
      {"Exim, local delivery",
       Field({" from www-data by web.example.org with local (Exim 4.96)",
              "\t(envelope-from <www-data@web.example.org>) id 1tA; Mon, 07 Dec 2026 04:25:45 +0000"}),
       {"www-data", "", ""}, "2026/12/07 04:25:45"},
      {"Sendmail, may be forged",
       Field({" from relay.example.com (relay.example.com [192.0.2.8] (may be forged))",
              "\tby mail.example.jp (8.15.2/8.15.2) with ESMTP id 0B7JPjTq012345",
              "\tfor <taro@example.jp>; Mon, 7 Dec 2026 04:25:45 +0900"}),
       {"relay.example.com", "relay.example.com", "192.0.2.8"}, "2026/12/07 04:25:45"},
      {"Sendmail, ident user before the name",
       Field({" from desk (ident@pc7.example.com [192.0.2.9]) by mail.example.jp (8.15.2/8.15.2) with ESMTP id x;",
              "\tMon, 7 Dec 2026 04:25:45 +0900"}),
       {"desk", "pc7.example.com", "192.0.2.9"}, "2026/12/07 04:25:45"},
      {"Sendmail, local submission",
       Field({" (from taro@localhost)", "\tby mail.example.jp (8.15.2/8.15.2/Submit) id 0B7JPjr0012344;",
              "\tMon, 7 Dec 2026 04:25:44 +0900"}),
       {"", "", ""}, "2026/12/07 04:25:44"},
      {"qmail, HELO comment and the address in parentheses",
       Field({" from unknown (HELO mail.example.net) (198.51.100.23)", "  by mx.example.com with SMTP; 7 Dec 2026 19:25:45 -0000"}),
       {"unknown", "mail.example.net", "198.51.100.23"}, "2026/12/07 19:25:45"},
      {"qmail, authenticated user before the address",
       Field({" from unknown (HELO desk) (taro@198.51.100.30)", "  by smtp.example.com with ESMTPA; 7 Dec 26 19:25:45 -0000"}),
       {"unknown", "desk", "198.51.100.30"}, "2026/12/07 19:25:45"},
      {"HELO literal only",
       Field({" from desk (HELO [192.168.1.20]) by smtp.example.com with SMTP; 7 Dec 2026 19:25:45 -0000"}),
       {"desk", "", ""}, "2026/12/07 19:25:45"},
      {"amavis: the from side, not the by side",
       Field({" from mx.example.jp ([127.0.0.1])", "\tby localhost (mx.example.jp [127.0.0.1]) (amavisd-new, port 10024)",
              "\twith ESMTP id AbCdEfGh1234 for <taro@example.jp>;", "\tMon,  7 Dec 2026 04:25:46 +0900 (JST)"}),
       {"mx.example.jp", "", "127.0.0.1"}, "2026/12/07 04:25:46"},
      {"Microsoft 365 between its own servers, date folded inside",
       Field({" from AM6PR04MB1234.eurprd04.prod.example.com (2603:10a6:20b:e3::17) by",
              " AM0PR04MB5678.eurprd04.prod.example.com (2603:10a6:208:16c::10) with",
              " Microsoft SMTP Server (version=TLS1_2,", " cipher=TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384) id 15.20.7633.17; Mon, 7 Dec",
              " 2026 04:25:45 +0000"}),
       {"AM6PR04MB1234.eurprd04.prod.example.com", "", "2603:10a6:20b:e3::17"}, "2026/12/07 04:25:45"},
      {"Microsoft 365 edge",
       Field({" from EUR05-VI1-obe.outbound.protection.example.com",
              " (mail-vi1eur05on2044.outbound.protection.example.com [198.51.100.44])",
              " by mx.example.jp (Postfix) with ESMTPS id 4R; Mon,  7 Dec 2026 13:25:45 +0900 (JST)"}),
       {"EUR05-VI1-obe.outbound.protection.example.com", "mail-vi1eur05on2044.outbound.protection.example.com",
        "198.51.100.44"},
       "2026/12/07 13:25:45"},
      {"Exchange on premises: never the by side's address",
       Field({" from EXCH01.corp.example.com (10.0.0.5) by EXCH02.corp.example.com", " (10.0.0.6) with Microsoft SMTP Server (version=TLS1_2,",
              " cipher=TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256) id 15.1.2507.39; Mon, 7 Dec 2026", " 13:25:45 +0900"}),
       {"EXCH01.corp.example.com", "", "10.0.0.5"}, "2026/12/07 13:25:45"},
      {"Exchange, link-local address with a zone",
       Field({" from EXCH01.corp.example.com ([fe80::1c2d:3e4f:5a6b:7c8d%12]) by",
              " EXCH01.corp.example.com ([fe80::1c2d:3e4f:5a6b:7c8d%12]) with mapi id", " 15.01.2507.039; Mon, 7 Dec 2026 13:25:45 +0900"}),
       {"EXCH01.corp.example.com", "", "fe80::1c2d:3e4f:5a6b:7c8d"}, "2026/12/07 13:25:45"},
      {"Gmail, reverse name with its final dot",
       Field({" from mail-sor-f41.example.com (mail-sor-f41.example.com. [209.85.220.41])",
              "        by mx.example.com with SMTPS id a1sor123;", "        Mon, 07 Dec 2026 04:25:45 -0800 (PST)"}),
       {"mail-sor-f41.example.com", "mail-sor-f41.example.com.", "209.85.220.41"}, "2026/12/07 04:25:45"},
      {"Gmail over IPv6",
       Field({" from mail-pj1-x1034.example.com (mail-pj1-x1034.example.com. [2607:f8b0:4864:20::1034])",
              "        by mx.example.com with ESMTPS id q1si;", "        Mon, 07 Dec 2026 04:25:45 -0800 (PST)"}),
       {"mail-pj1-x1034.example.com", "mail-pj1-x1034.example.com.", "2607:f8b0:4864:20::1034"}, "2026/12/07 04:25:45"},
      {"Gmail, internal hop without from",
       Field({" by 2002:a05:6a10:1234:b0:5a1:bcde:f012 with SMTP id x1csp123;", "        Mon, 7 Dec 2026 04:25:46 -0800 (PST)"}),
       {"", "", ""}, "2026/12/07 04:25:46"},
      {"Amazon SES, the comment on the next line",
       Field({" from a27-5.smtp-out.example.com", "\t(a27-5.smtp-out.example.com [54.240.27.5])",
              "\tby mx.example.jp (Postfix) with ESMTPS id 4QZ", "\tfor <x@example.jp>; Mon,  7 Dec 2026 04:25:45 +0900 (JST)"}),
       {"a27-5.smtp-out.example.com", "a27-5.smtp-out.example.com", "54.240.27.5"}, "2026/12/07 04:25:45"},
      {"Amazon SES over IPv6",
       Field({" from e226-55.smtp-out.example.com", " (e226-55.smtp-out.example.com [2a01:b747:3002:226::55])",
              " by mx.example.jp (Postfix) with ESMTPS id 4QZ; Mon,  7 Dec 2026 04:25:45 +0900 (JST)"}),
       {"e226-55.smtp-out.example.com", "e226-55.smtp-out.example.com", "2a01:b747:3002:226::55"}, "2026/12/07 04:25:45"},
      {"Japanese ISP, IPv6 subscriber",
       Field({" from [IPv6:2400:4050:0:1::9] (p1234-ipoe.example.ne.jp [IPv6:2400:4050:0:1::9])",
              "\tby smtp.example.ne.jp with ESMTPA id 7; Mon, 7 Dec 2026 13:25:45 +0900 (JST)"}),
       {"[IPv6:2400:4050:0:1::9]", "p1234-ipoe.example.ne.jp", "2400:4050:0:1::9"}, "2026/12/07 13:25:45"},
      {"Japanese ISP, name and address without brackets",
       Field({" from smtp.example.co.jp (smtp.example.co.jp 203.0.113.70)", "\tby mx.example.ne.jp with ESMTP id 1;",
              "\t07 Dec 2026 13:25:45 +0900"}),
       {"smtp.example.co.jp", "smtp.example.co.jp", "203.0.113.70"}, "2026/12/07 13:25:45"},
      {"Japanese ISP, the address alone in parentheses",
       Field({" from smtp.example.co.jp (203.0.113.71) by mx.example.ne.jp with ESMTP; 07 Dec 2026 13:25:45 +0900"}),
       {"smtp.example.co.jp", "", "203.0.113.71"}, "2026/12/07 13:25:45"},
      {"web mail: from [address] by",
       Field({" from [203.0.113.72] by web.example.ne.jp with HTTP; Mon, 07 Dec 2026 13:25:45 +0900"}),
       {"[203.0.113.72]", "", "203.0.113.72"}, "2026/12/07 13:25:45"},
      {"web mail: from address by",
       Field({" from 203.0.113.73 by web.example.ne.jp (Webmail) with HTTP; Mon, 07 Dec 2026 13:25:45 +0900"}),
       {"203.0.113.73", "", "203.0.113.73"}, "2026/12/07 13:25:45"},
      {"Courier, IPv4-mapped address",
       Field({" from mail.example.org (mail.example.org [::ffff:192.0.2.40])", "  (AUTH: LOGIN taro, TLS: TLSv1/SSLv3,256bits,AES256-SHA)",
              "  by mx.example.org with ESMTPSA; Mon, 07 Dec 2026 04:25:45 +0900"}),
       {"mail.example.org", "mail.example.org", "::ffff:192.0.2.40"}, "2026/12/07 04:25:45"},
      {"a name that runs to the end of the field", Field({" from alpha"}), {"alpha", "", ""}, ""},
      {"a name and its address, no by", Field({" from alpha [192.0.2.1]"}), {"alpha", "", "192.0.2.1"}, ""},
      {"HELO comment, then the address", Field({" from alpha (HELO beta) [192.0.2.1]"}), {"alpha", "beta", "192.0.2.1"}, ""},
      {"a comment left open", Field({" from alpha (beta [192.0.2.1"}), {"alpha", "beta", "192.0.2.1"}, ""},
      {"no blank before the comments", Field({" from alpha(beta)(192.0.2.9)"}), {"alpha", "beta", "192.0.2.9"}, ""},
      {"not a dotted quad", Field({" from alpha (beta [192.0.2.256]) by c"}), {"alpha", "beta", ""}, ""},
      {"envelope-from names no relay",
       Field({" from alpha (beta [192.0.2.1])", "\t(envelope-from <x>)"}), {"alpha", "beta", "192.0.2.1"}, ""},
      {"FROM inside a word is no clause", Field({" by gamma (envelope-from x)"}), {"", "", ""}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseOne(c.field), c.want) << c.what;
    EXPECT_EQ(RouteDate(c.field), c.date) << c.what;
  }
}

TEST(ParseReceivedField, ReceivingSideAndProtocol) {
  struct Case {
    const char* what;
    std::string field, by, with;
  } cases[] = {
      {"Postfix", Field({" from a (a [192.0.2.1])", "\tby mx.example.jp (Postfix) with ESMTPS id 4QZ", "\tfor <t@example.jp>; Mon, 7 Dec 2026 04:25:45 +0900"}),
       "mx.example.jp", "ESMTPS"},
      {"Postfix, local pick-up", Field({" by desk.local (Postfix, from userid 1000)", "\tid 1A2B3C; Mon, 7 Dec 2026 04:25:45 +0900"}),
       "desk.local", ""},
      {"Exim, words after the protocol", Field({" from a ([192.0.2.1]:36711)", "\tby mx.example.org with esmtps  (TLS1.3) tls TLS_AES_256_GCM_SHA384",
                                            "\t(Exim 4.96) id 1tA; Mon, 07 Dec 2026 04:25:45 +0000"}),
       "mx.example.org", "esmtps"},
      {"Exim, local", Field({" from www-data by web.example.org with local (Exim 4.96) id 1tA; Mon, 07 Dec 2026 04:25:45 +0000"}),
       "web.example.org", "local"},
      {"Sendmail", Field({" from a (a [192.0.2.8]) by mail.example.jp (8.15.2/8.15.2) with ESMTP id 0B7J;", "\tMon, 7 Dec 2026 04:25:45 +0900"}),
       "mail.example.jp", "ESMTP"},
      {"Microsoft 365: the protocol is three words",
       Field({" from AM6PR04MB1234.example.com (2603:10a6:20b:e3::17) by", " AM0PR04MB5678.example.com (2603:10a6:208:16c::10) with",
              " Microsoft SMTP Server (version=TLS1_2,", " cipher=TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384) id 15.20.7633.17; Mon, 7 Dec",
              " 2026 04:25:45 +0000"}),
       "AM0PR04MB5678.example.com", "Microsoft SMTP Server"},
      {"Exchange mailbox", Field({" from EXCH01 ([fe80::1%12]) by EXCH01 ([fe80::1%12]) with mapi id 15.01.2507.039; Mon, 7 Dec 2026 13:25:45 +0900"}),
       "EXCH01", "mapi"},
      {"Gmail, internal", Field({" by 2002:a05:6a10:1234:b0:5a1:bcde:f012 with SMTP id x1csp123;", "        Mon, 7 Dec 2026 04:25:46 -0800 (PST)"}),
       "2002:a05:6a10:1234:b0:5a1:bcde:f012", "SMTP"},
      {"qmail", Field({" from unknown (HELO a) (198.51.100.23)", "  by mx.example.com with SMTP; 7 Dec 2026 19:25:45 -0000"}),
       "mx.example.com", "SMTP"},
      {"qmail, invoked: no by, no with", Field({" (qmail 12345 invoked from network); 7 Dec 2026 19:25:45 -0000"}), "", ""},
      {"web mail special case keeps its hop", Field({" from 192.0.2.1 by web.hotmail.com with HTTP; Mon, 7 Dec 2026 04:25:45 +0000"}),
       "web.hotmail.com", "HTTP"},
      {"amavis: the words in comments are not the clause",
       Field({" from mx.example.jp ([127.0.0.1])", "\tby localhost (mx.example.jp [127.0.0.1]) (amavisd-new, port 10024)",
              "\twith ESMTP id AbCd for <t@example.jp>;", "\tMon,  7 Dec 2026 04:25:46 +0900 (JST)"}),
       "localhost", "ESMTP"},
      {"after the date nothing counts", Field({" from a; Mon, 7 Dec 2026 04:25:46 +0900 by b with c"}), "", ""},
      {"by at the end", Field({" from a by"}), "", ""},
  };
  for (const auto& c : cases) {
    TReceivedList e;
    ParseReceivedField(c.field, e);
    EXPECT_EQ(e.By, c.by) << c.what;
    EXPECT_EQ(e.With, c.with) << c.what;
  }
}

TEST(ParseReceivedField, SpecialCasesAndTheirOrder) {
  struct Case {
    std::string field, server;
  } cases[] = {
      {" (qmail 123 invoked from network); 7 Dec 2026 19:25:45 -0000\r\n", "qmail"},
      {" (qmail 123 invoked by uid 0)\r\n", "qmail"},
      {" from a (b [1.2.3.4]) by hotmail.com with HTTP\r\n", "hotmail.com"},
      {" from a (b [1.2.3.4]) by mail.msn.com\r\n", "msn.com"},
      // Both web-mail domains: the MSN case comes later and wins.
      {" from a by hotmail.com with x msn.com\r\n", "msn.com"},
      // qmail words win over the MSN domain.
      {" from msn.com qmail invoked\r\n", "qmail"},
      // The field is judged as a whole: qmail wins wherever it stands.
      {" from a by web.hotmail.com with HTTP\r\n\t(qmail 5 invoked by uid 9)\r\n", "qmail"},
      // Where the field is folded does not matter.
      {" from x.hotmail.com ([192.0.2.4]) by mx.example.jp with SMTP\r\n", "hotmail.com"},
      {" from x.hotmail.com ([192.0.2.4])\r\n\tby mx.example.jp with SMTP\r\n", "hotmail.com"},
      {" from x.hotmail.com ([192.0.2.4]) by mx.example.jp\r\n\twith SMTP\r\n", "hotmail.com"},
      {" (qmail 123\r\n invoked from network)\r\n", "qmail"},
      // Hotmail without WITH is an ordinary field.
      {" from hotmail.com (b [1.2.3.4])\r\n", "hotmail.com"},
      // A mailbox at a web-mail domain names a user, not the server.
      {" from mx.example.org (mx.example.org [192.0.2.9]) by mx.example.jp with ESMTP for <taro@hotmail.com>\r\n",
       "mx.example.org"},
      {" from mx.example.org (mx.example.org [192.0.2.9])\r\n\t(envelope-from <hanako@msn.com>)\r\n", "mx.example.org"},
  };
  for (const auto& c : cases) {
    TReceivedList e = Entry("old", "oldhost", "9.9.9.9");
    ParseReceivedField(c.field, e);
    EXPECT_EQ(e.ServerName, c.server) << c.field;
  }
  TReceivedList e = Entry("old", "oldhost", "9.9.9.9");
  ParseReceivedField(" from a (b [1.2.3.4]) by hotmail.com with HTTP", e);
  EXPECT_EQ(e.Host, "");
  EXPECT_EQ(e.IP, "");
  // A field without a from clause leaves the fields alone.
  TReceivedList keep = Entry("old", "oldhost", "9.9.9.9");
  ParseReceivedField(" by srv with LMTP", keep);
  EXPECT_EQ((Relay{keep.ServerName, keep.Host, keep.IP}), (Relay{"old", "oldhost", "9.9.9.9"}));
}

TEST(ParseReceivedField, DoubleByteText) {
  // "FROM" glued to a lead byte is no word of its own.
  EXPECT_EQ(ParseOne(" \x83""FROM alpha (b)").server, "");
  EXPECT_EQ(ParseOne(" from \x82\xa0 (b [192.0.2.3])"), (Relay{"\x82\xa0", "b", "192.0.2.3"}));
}

TEST(GetReceivedLists, NoFields) {
  EXPECT_TRUE(Gather("Subject: x\r\nFrom: y\r\n").empty());
  EXPECT_TRUE(Gather("").empty());
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
      {"Received : from a (b [1.1.1.1])\r\n", 1},
      {"X-Received: from a (b [1.1.1.1])\r\n", 0},
      // A continuation line is part of the field above, whatever it says.
      {"A: 1\r\n  Received: from a\r\n", 0},
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

TEST(GetReceivedLists, FirstLineWithoutTrailingBlanks) {
  const auto lists = Gather("Received: x\r\nReceived: from alpha  \r\n\tby b  \r\n");
  ASSERT_EQ(lists.size(), 2u);
  EXPECT_EQ(lists[1].ReceivedText, " from alpha\r\n\tby b  \r\n");
  EXPECT_EQ(lists[1].ServerName, "alpha");
}

TEST(GetReceivedLists, TheWholeFieldIsRead) {
  // The TCP-info comment on the next line belongs to the name before it.
  const auto a = Gather("Received: from alpha\r\n\t(beta [192.0.2.1]) by gamma\r\nSubject: x\r\n");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].ServerName, "alpha");
  EXPECT_EQ(a[0].Host, "beta");
  EXPECT_EQ(a[0].IP, "192.0.2.1");
  // A second "from" further down is no second clause.
  const auto c = Gather("Received: from alpha (beta [192.0.2.1])\r\n\tfrom delta (eps [192.0.2.7])\r\n");
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].ServerName, "alpha");
  EXPECT_EQ(c[0].IP, "192.0.2.1");
  // Fields stay apart: the next field's address is not this one's.
  const auto d = Gather("Received: from alpha\r\nReceived: from delta (eps [192.0.2.7])\r\n");
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].IP, "");
  EXPECT_EQ(d[1].IP, "192.0.2.7");
}

TEST(ExtractReceivedDate, TheLastSemicolonADateFollows) {
  const std::pair<std::string, std::string> cases[] = {
      {"no semicolon", ""},
      {";", ""},
      {"a; b; c\r\n", "c"},
      {"x;\r\n\tMon, 7 Dec\r\n", "Mon, 7 Dec"},
      {"by a with b (version=TLS1_2; cipher=x) id 1; Mon, 7 Dec 2026 04:25:45 +0900\r\n",
       "Mon, 7 Dec 2026 04:25:45 +0900"},
      // Line breaks become blanks.
      {"id 1; Mon, 7 Dec\r\n 2026 04:25:45\r\n\t+0900\r\n", "Mon, 7 Dec  2026 04:25:45 \t+0900"},
      // A ";" inside a comment after the date, and one after it with no date.
      {"id 1; Mon, 7 Dec 2026 04:25:45 +0900 (JST; x)\r\n", "Mon, 7 Dec 2026 04:25:45 +0900 (JST; x)"},
      {"id 1; 7 Dec 2026 04:25:45 +0900; junk", "7 Dec 2026 04:25:45 +0900; junk"},
      {"id 1; 7 Dec 2026 04:25:45 +0900 (open; x", "7 Dec 2026 04:25:45 +0900 (open; x"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(ExtractReceivedDate(in), want) << in;
}

TEST(ParseMailDate, Forms) {
  struct Case {
    std::string text, shown;
    int zone;
    bool hasZone;
  } cases[] = {
      {"Mon, 7 Dec 2026 04:25:45 +0900 (JST)", "2026/12/07 04:25:45", 540, true},
      {"7 Dec 2026 04:25 GMT", "2026/12/07 04:25:00", 0, true},
      {"Mon, 07 Dec 26 04:25:45 -0000", "2026/12/07 04:25:45", 0, false},
      {"Thu, 1 Jan 98 00:00:00 EST", "1998/01/01 00:00:00", -300, true},
      {"1 Jan 49 00:00:00 PDT", "2049/01/01 00:00:00", -420, true},
      {"1 Jan 50 00:00:00 +0530", "1950/01/01 00:00:00", 330, true},
      {"7 Dec 126 04:25:45 -0330", "2026/12/07 04:25:45", -210, true},
      {"Mon, 7 Dec 2026 04:25:45.123 +0000", "2026/12/07 04:25:45", 0, true},
      {"Mon Dec  7 04:25:45 2026", "2026/12/07 04:25:45", 0, false},
      {"Mon,\r\n 7 (day) Dec\r\n\t2026 04:25:45 (local) +0900", "2026/12/07 04:25:45", 540, true},
      {"Monday, 7 December 2026 4:5:6 +0900", "2026/12/07 04:05:06", 540, true},
      {"7 dec 2026 04:25:45 z", "2026/12/07 04:25:45", 0, true},
      {"7 Dec 2026 04:25:45 J", "2026/12/07 04:25:45", 0, false},
      {"7 Dec 2026 23:59:60", "2026/12/07 23:59:60", 0, false},
      // What is no date-time shows nothing.
      {"", "", 0, false},
      {"Mon, 7 Dec 2026", "", 0, false},
      {"7 Dek 2026 04:25:45", "", 0, false},
      {"32 Dec 2026 04:25:45", "", 0, false},
      {"7 Dec 2026 24:00:00", "", 0, false},
      {"7 Dec 2026 04:60:00", "", 0, false},
      {"7 Dec 04:25:45", "", 0, false},
      {"2026-12-07 04:25:45", "", 0, false},
      // Days a month does not have, zones past +-2359.
      {"29 Feb 2024 10:00:00 +2359", "2024/02/29 10:00:00", 1439, true},
      {"29 Feb 2023 10:00:00 +0900", "", 0, false},
      {"30 Feb 2024 10:00:00 +0900", "", 0, false},
      {"31 Apr 2026 10:00:00 +0900", "", 0, false},
      {"29 Feb 1900 10:00:00 +0900", "", 0, false},
      {"7 Dec 2026 04:25:45 -9999", "", 0, false},
      {"7 Dec 2026 04:25:45 +2400", "", 0, false},
  };
  for (const auto& c : cases) {
    const TMailDate d = ParseMailDate(c.text);
    EXPECT_EQ(FormatDateTime(d), c.shown) << c.text;
    EXPECT_EQ(d.Valid, !c.shown.empty()) << c.text;
    if (!d.Valid) continue;
    EXPECT_EQ(d.ZoneMinutes, c.zone) << c.text;
    EXPECT_EQ(d.HasZone, c.hasZone) << c.text;
  }
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

TEST(ParseMailDate, InstantsAndIsoTimes) {
  struct Case {
    std::string text, iso;
    std::int64_t unix;
  } cases[] = {
      {"Thu, 1 Jan 1970 00:00:00 +0000", "1970-01-01T00:00:00+00:00", 0},
      {"Thu, 1 Jan 1970 09:00:00 +0900", "1970-01-01T09:00:00+09:00", 0},
      {"Wed, 31 Dec 1969 19:00:00 EST", "1969-12-31T19:00:00-05:00", 0},
      {"Tue, 8 Dec 2026 09:15:02 +0900", "2026-12-08T09:15:02+09:00", 1796688902},
      {"Tue, 8 Dec 2026 00:15:02 -0000", "2026-12-08T00:15:02+00:00", 1796688902},
      {"29 Feb 2024 12:00:00 -0330", "2024-02-29T12:00:00-03:30", 1709220600},
      {"1 Mar 2100 00:00:00 +0000", "2100-03-01T00:00:00+00:00", 4107542400},
  };
  for (const auto& c : cases) {
    const TMailDate d = ParseMailDate(c.text);
    ASSERT_TRUE(d.Valid) << c.text;
    EXPECT_EQ(FormatIsoTime(d), c.iso) << c.text;
    EXPECT_EQ(UnixTime(d), c.unix) << c.text;
  }
  EXPECT_EQ(FormatIsoTime(ParseMailDate("no date")), "");
}

TEST(FormatDelay, JapaneseTexts) {
  const std::pair<std::int64_t, std::string> cases[] = {
      {0, "0秒"},           {59, "59秒"},         {60, "1分"},          {185, "3分"},
      {3599, "59分"},       {3600, "1時間00分"},  {3779, "1時間02分"},  {90000, "25時間00分"},
      {-1, "−1秒 (時計のずれ)"}, {-3720, "−1時間02分 (時計のずれ)"}, {-25200, "−7時間00分 (時計のずれ)"},
      {INT64_MIN, "−2562047788015215時間30分 (時計のずれ)"},
  };
  for (const auto& [seconds, want] : cases) EXPECT_EQ(FormatDelay(seconds), want) << seconds;
}

// The route stage of the pipeline, and its rows in --dump and --country.
#include <gtest/gtest.h>

#include <optional>

#include "base/cp932.h"
#include "views/pipeline.h"
#include "run_tarvo.h"

using namespace tarvo;

namespace {
std::string RunProgram(const std::string& args) { return tarvo::testing::RunTarvo(args).out; }

std::vector<std::string> Row(const TRouteRow& r) {
  return {r.No, r.ServerName, r.Host, r.IP, Cp932ToUtf8(r.Country), r.Date};
}
}  // namespace

TEST(RouteView, SampleWithThreeRelays) {
  const std::string out = RunProgram("--dump " + std::string(TARVO_SOURCE_DIR) + "/samples/iso2022jp-plain.eml");
  EXPECT_NE(out.find("\"ListView2\": [[\"1\", \"mx1.example.jp\", \"mx1.example.jp\", \"133.0.0.25\", \"日本\", "
                     "\"2026/12/07 09:15:02\"],\n"
                     "  [\"2\", \"relay.example.com\", \"relay.example.com\", \"8.8.4.20\", \"アメリカ\", "
                     "\"2026/12/07 09:15:00\"],\n"
                     "  [\"3\", \"pc01\", \"localhost\", \"127.0.0.1\", \"Local host\", \"2026/12/07 09:14:58\"]],\n"
                     " \"Hops\": "),
            std::string::npos)
      << out;
  // The note for the relay at 127.0.0.1 is among the notes; the raw view is the body alone.
  EXPECT_NE(out.find("\"Notes\": [\"Not found IP...\"]"), std::string::npos) << out;
  EXPECT_NE(out.find("\"Memo3\": [\"\\u001b$B:4F#"), std::string::npos) << out;
}

TEST(RouteView, RowsNotesAndTheLoadGoesOn) {
  TMailViews v;
  LoadMailBytes(
      "Received: from a (b [192.168.0.9]) by c; 7 Dec 2026 01:02:03\r\n"
      "Received: from d (e [IPv6:2001:db8::1]) by f\r\n"
      "Received: by g with LMTP; Tue, 8 Dec 2026 10:00:00 +0000\r\n"
      "Received: from h (i [10.1.2.3])\r\n"
      "Subject: x\r\n\r\nbody\r\n",
      v);
  using R = std::vector<std::string>;
  ASSERT_EQ(v.ListView2.size(), 4u);
  EXPECT_EQ(Row(v.ListView2[0]), (R{"1", "a", "b", "192.168.0.9", "Local netowrk", "2026/12/07 01:02:03"}));
  // An IPv6 relay in a range no country holds: a note, and the load goes on.
  EXPECT_EQ(Row(v.ListView2[1]), (R{"2", "d", "e", "2001:db8::1", "", ""}));
  EXPECT_EQ(Row(v.ListView2[2]), (R{"3", "", "", "", "Unknown", "2026/12/08 10:00:00"}));
  EXPECT_EQ(Row(v.ListView2[3]), (R{"4", "h", "i", "10.1.2.3", "", ""}));
  EXPECT_EQ(v.Notes, (R{"Not found IP...", "Not found IP...", "Not found IP..."}));
  EXPECT_EQ(v.Memo3.Lines(), (R{"body"}));
  const std::vector<bool> unlocated = {v.ListView2[0].Unlocated, v.ListView2[1].Unlocated, v.ListView2[2].Unlocated,
                                       v.ListView2[3].Unlocated};
  EXPECT_EQ(unlocated, (std::vector<bool>{true, true, false, true}));
  EXPECT_EQ(v.ListView1.size(), 5u);
}

namespace {
// The rows of --dump: one JSON array per relay, as the dump writes them.
std::string DumpRows(const std::vector<std::vector<std::string>>& rows) {
  std::string out = "\"ListView2\": [";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    out += i ? ",\n  [" : "[";
    for (std::size_t k = 0; k < rows[i].size(); ++k) out += (k ? ", \"" : "\"") + rows[i][k] + "\"";
    out += "]";
  }
  return out + "],\n";
}
}  // namespace

TEST(RouteView, SampleFromAnIPv6HomeLine) {
  const std::string out = RunProgram("--dump " + std::string(TARVO_SOURCE_DIR) + "/samples/relays-ipv6.eml");
  EXPECT_NE(out.find(DumpRows({
                {"1", "mx.example.co.jp", "", "127.0.0.1", "Local host", "2026/12/07 13:25:47"},
                {"2", "mogw0123.example.ne.jp", "mogw0123.example.ne.jp", "133.0.0.9", "日本", "2026/12/07 13:25:46"},
                {"3", "smtp.example.ne.jp", "smtp.example.ne.jp", "2400:4050:0:2::25", "日本", "2026/12/07 04:25:42"},
                {"4", "[192.168.1.20]", "p5104-ipoe.example.ne.jp", "2400:4050:0:1::9", "日本", "2026/12/07 13:25:40"},
                {"5", "", "", "", "Unknown", "2026/12/07 13:25:39"},
            })),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\"Notes\": [\"Not found IP...\"]"), std::string::npos) << out;
  EXPECT_NE(out.find("\"Memo3\": [\"From a home line"), std::string::npos) << out;
}

TEST(RouteView, ServersOfTodayThroughDump) {
  const std::string mail =
      "Received: from mail-pj1-x1034.example.com (mail-pj1-x1034.example.com. [2607:f8b0:4864:20::1034])\r\n"
      "        by mx.example.com with ESMTPS id q1si;\r\n"
      "        Mon, 07 Dec 2026 04:25:45 -0800 (PST)\r\n"
      "Received: from a27-5.smtp-out.example.com\r\n"
      "\t(a27-5.smtp-out.example.com [54.240.27.5])\r\n"
      "\tby mx.example.jp (Postfix) with ESMTPS id 4QZ\r\n"
      "\tfor <x@example.jp>; Mon,  7 Dec 2026 21:25:44 +0900 (JST)\r\n"
      "Received: from e226-55.smtp-out.example.com\r\n"
      " (e226-55.smtp-out.example.com [2a01:b747:3002:226::55])\r\n"
      " by mx.example.jp (Postfix) with ESMTPS id 4QY; Mon,  7 Dec 2026 21:25:43 +0900 (JST)\r\n"
      "Received: from AM6PR04MB1234.eurprd04.prod.example.com (2603:10a6:20b:e3::17) by\r\n"
      " AM0PR04MB5678.eurprd04.prod.example.com (2603:10a6:208:16c::10) with\r\n"
      " Microsoft SMTP Server (version=TLS1_2,\r\n"
      " cipher=TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384) id 15.20.7633.17; Mon, 7 Dec\r\n"
      " 2026 12:25:42 +0000\r\n"
      "Received: from mail-wr1-f54.example.com ([209.85.221.54]:36711)\r\n"
      "\tby mx.example.org with esmtps  (TLS1.3) tls TLS_AES_256_GCM_SHA384\r\n"
      "\t(Exim 4.96)\r\n"
      "\t(envelope-from <a@example.com>)\r\n"
      "\tid 1tAbCd-000Xyz-2Q\r\n"
      "\tfor b@example.org;\r\n"
      "\tMon, 07 Dec 2026 12:25:41 +0000\r\n"
      "Received: from unknown (HELO desk) (taro@133.0.0.30)\r\n"
      "  by smtp.example.com with ESMTPA; 7 Dec 26 12:25:40 -0000\r\n"
      "Received: from relay.example.com (relay.example.com [::ffff:8.8.4.20] (may be forged))\r\n"
      "\tby mail.example.jp (8.15.2/8.15.2) with ESMTP id 0B7JPjTq012345\r\n"
      "\tfor <taro@example.jp>; Mon, 7 Dec 2026 21:25:39 +0900\r\n"
      "Received: (qmail 12345 invoked from network); 7 Dec 2026 12:25:38 -0000\r\n"
      "Subject: x\r\n\r\nbody\r\n";
  const std::string out = RunProgram("--dump " + tarvo::testing::WriteTemp("tarvo-route-servers.eml", mail));
  EXPECT_NE(out.find(DumpRows({
                {"1", "mail-pj1-x1034.example.com", "mail-pj1-x1034.example.com.", "2607:f8b0:4864:20::1034",
                 "アメリカ", "2026/12/07 04:25:45"},
                {"2", "a27-5.smtp-out.example.com", "a27-5.smtp-out.example.com", "54.240.27.5", "アメリカ",
                 "2026/12/07 21:25:44"},
                {"3", "e226-55.smtp-out.example.com", "e226-55.smtp-out.example.com", "2a01:b747:3002:226::55",
                 "アイルランド", "2026/12/07 21:25:43"},
                {"4", "AM6PR04MB1234.eurprd04.prod.example.com", "", "2603:10a6:20b:e3::17", "アメリカ",
                 "2026/12/07 12:25:42"},
                {"5", "mail-wr1-f54.example.com", "", "209.85.221.54", "アメリカ", "2026/12/07 12:25:41"},
                {"6", "unknown", "desk", "133.0.0.30", "日本", "2026/12/07 12:25:40"},
                {"7", "relay.example.com", "relay.example.com", "::ffff:8.8.4.20", "アメリカ", "2026/12/07 21:25:39"},
                {"8", "qmail", "", "", "Unknown", "2026/12/07 12:25:38"},
            })),
            std::string::npos)
      << out;
  // Every relay's address is in a range: no note above the body.
  EXPECT_NE(out.find("\"Memo3\": [\"body\"]"), std::string::npos) << out;
}

TEST(RouteView, HopsAndDeliveryThroughDump) {
  const std::string out = RunProgram("--dump " + std::string(TARVO_SOURCE_DIR) + "/samples/relays-ipv6.eml");
  EXPECT_NE(
      out.find("\"Hops\": [{\"by\": \"localhost\", \"with\": \"ESMTP\", \"time\": \"2026-12-07T13:25:47+09:00\", "
               "\"delay\": 1, \"as\": \"\", \"tls\": null},\n"
               "  {\"by\": \"mx.example.co.jp\", \"with\": \"ESMTPS\", \"time\": \"2026-12-07T13:25:46+09:00\", "
               "\"delay\": 4, \"as\": \"\", \"tls\": \"TLS\"},\n"
               "  {\"by\": \"mogw0123.example.ne.jp\", \"with\": \"ESMTP\", \"time\": \"2026-12-07T04:25:42+00:00\", "
               "\"delay\": 2, \"as\": \"AS4713 NTT Communications Corporation\", \"tls\": \"none\"},\n"
               "  {\"by\": \"smtp.example.ne.jp\", \"with\": \"ESMTPSA\", \"time\": \"2026-12-07T13:25:40+09:00\", "
               "\"delay\": 1, \"as\": \"AS4713 NTT Communications Corporation\", \"tls\": \"TLS\"},\n"
               "  {\"by\": \"desk.local\", \"with\": \"\", \"time\": \"2026-12-07T13:25:39+09:00\", "
               "\"delay\": null, \"as\": \"\", \"tls\": null}],\n"
               " \"Delivery\": {\"sent\": \"2026-12-07T13:25:38+09:00\", \"received\": \"2026-12-07T13:25:47+09:00\", "
               "\"seconds\": 9},\n"),
      std::string::npos)
      << out;
}

TEST(RouteView, DelaysSkewAndMissingDates) {
  struct Case {
    const char* what;
    std::string mail;
    std::vector<std::optional<std::int64_t>> delays;
    std::optional<std::int64_t> total;
  } cases[] = {
      {"a skewed clock, a hop without a date, the oldest hop",
       "Received: from a by b; Mon, 7 Dec 2026 10:00:00 +0900\r\n"
       "Received: from c by d; Mon, 7 Dec 2026 01:00:30 +0000\r\n"
       "Received: from e by f\r\n"
       "Received: from g by h; Mon, 7 Dec 2026 09:59:00 +0900\r\n"
       "Date: Mon, 7 Dec 2026 09:58:00 +0900\r\n\r\nx\r\n",
       {-30, std::nullopt, std::nullopt, std::nullopt}, 120},
      {"one hop", "Received: from a by b; Mon, 7 Dec 2026 10:00:00 +0900\r\nDate: Mon, 7 Dec 2026 10:12:00 +0900\r\n\r\n",
       {std::nullopt}, -720},
      {"no Date field", "Received: from a by b; 7 Dec 2026 10:00:00 +0900\r\nReceived: from c by d; 7 Dec 2026 09:00:00 +0900\r\n\r\n",
       {3600, std::nullopt}, std::nullopt},
      {"the top hop without a date", "Received: from a by b\r\nDate: 7 Dec 2026 10:00:00 +0900\r\n\r\n", {std::nullopt},
       std::nullopt},
      {"no hops", "Date: 7 Dec 2026 10:00:00 +0900\r\n\r\n", {}, std::nullopt},
  };
  for (const auto& c : cases) {
    TMailViews v;
    LoadMailBytes(c.mail, v);
    std::vector<std::optional<std::int64_t>> delays;
    for (const TRouteRow& r : v.ListView2) delays.push_back(r.Delay);
    EXPECT_EQ(delays, c.delays) << c.what;
    EXPECT_EQ(v.Delivery.Seconds, c.total) << c.what;
  }
}

TEST(RouteView, NoReceivedFieldsNoRows) {
  TMailViews v;
  LoadMailBytes("Subject: x\r\n\r\nbody\r\n", v);
  EXPECT_TRUE(v.ListView2.empty());
  EXPECT_EQ(v.Memo3.Lines(), std::vector<std::string>{"body"});
}

TEST(RouteView, CountryCommand) {
  const std::pair<std::string, std::string> cases[] = {
      // The network owner, when known, is the third line; an empty second
      // line stands in for a note not written.
      {"8.8.8.8", "アメリカ\n\nAS15169 Google LLC\n"},
      {"133.0.0.1", "日本\n"},
      {"127.0.0.1", "Local host\nNot found IP...\n"},
      {"IPv6:2001:db8::1", "\nNot found IP...\n"},
      {"2400:4050::1", "日本\n\nAS4713 NTT Communications Corporation\n"},
      {"::1", "Local host\nNot found IP...\n"},
      {"::ffff:8.8.8.8", "アメリカ\n\nAS15169 Google LLC\n"},
      {"''", "Unknown\n"},
      // Rows that once had no code of their own.
      {"175.45.176.1", "北朝鮮\n\nAS131279 Star Joint Venture Co. Ltd.\n"},
      {"14.1.91.1", "ミクロネシア連邦\n\nAS14593 Space Exploration Technologies Corporation\n"},
  };
  for (const auto& [ip, want] : cases) EXPECT_EQ(RunProgram("--country " + ip), want) << ip;
}

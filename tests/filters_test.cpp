// The filters' stamps: every family and value class read into the verdict
// its vendor documents, unknown values marked, whose stamp each is, the
// findings, and the TLS of a hop.
#include <gtest/gtest.h>

#include "tests/header_block.h"

#include "checks/filters.h"
#include "mail/receivedtls.h"
#include "views/pipeline.h"

using namespace tarvo;

namespace {

constexpr auto I = TLevel::Info, W = TLevel::Warn, B = TLevel::Bad;

struct StampCase {
  const char* header;
  const char* value;
  const char* family;
  std::optional<TLevel> level;  // nullopt: the stamp judges nothing
  bool skipped = false;
};

const StampCase kStamps[] = {
    // Microsoft 365: SCL alone.
    {"X-MS-Exchange-Organization-SCL", " -1", "Microsoft 365", I, true},
    {"X-MS-Exchange-Organization-SCL", "1", "Microsoft 365", I},
    {"X-MS-Exchange-Organization-SCL", "3", "Microsoft 365", I},
    {"X-MS-Exchange-Organization-SCL", "5", "Microsoft 365", W},
    {"X-MS-Exchange-Organization-SCL", "6", "Microsoft 365", W},
    {"X-MS-Exchange-Organization-SCL", "7", "Microsoft 365", B},
    {"X-MS-Exchange-Organization-SCL", "9", "Microsoft 365", B},
    {"X-MS-Exchange-Organization-SCL", "12", "Microsoft 365", std::nullopt},
    {"X-MS-Exchange-Organization-PCL", "2", "Microsoft 365", I},
    {"X-MS-Exchange-Organization-PCL", "8", "Microsoft 365", W},
    // The report: verdicts, categories, safety tips, bulk, allow lists.
    {"X-Forefront-Antispam-Report",
     "CIP:203.0.113.5;CTRY:JP;LANG:ja;SCL:1;SRV:;IPV:NLI;SFV:NSPM;H:mx.example.jp;PTR:mx.example.jp;CAT:NONE;"
     "SFS:(13230040)(4022899009);DIR:INB;",
     "Microsoft 365", I},
    {"X-Forefront-Antispam-Report", "SCL:-1;SFV:SKN;DIR:INB", "Microsoft 365", I, true},
    {"X-Forefront-Antispam-Report", "SCL:-1;SFV:SKA;DIR:INB", "Microsoft 365", I, true},
    {"X-Forefront-Antispam-Report", "SCL:1;SFV:SFE", "Microsoft 365", I, true},
    {"X-Forefront-Antispam-Report", "SFV:SKQ", "Microsoft 365", I, true},
    {"X-Forefront-Antispam-Report", "IPV:CAL;SCL:-1", "Microsoft 365", I, true},
    {"X-Forefront-Antispam-Report", "SCL:5;SFV:SPM;CAT:SPM", "Microsoft 365", W},
    {"X-Forefront-Antispam-Report", "SCL:6;SRV:BULK;CAT:BULK", "Microsoft 365", W},
    {"X-Forefront-Antispam-Report", "SFV:BLK", "Microsoft 365", W},
    {"X-Forefront-Antispam-Report", "SFV:SKB", "Microsoft 365", W},
    {"X-Forefront-Antispam-Report", "SFV:SKS", "Microsoft 365", W},
    {"X-Forefront-Antispam-Report", "CAT:OSPM", "Microsoft 365", W},
    {"X-Forefront-Antispam-Report", "CAT:FTBP", "Microsoft 365", W},
    {"X-Forefront-Antispam-Report", "SCL:9;SFV:SPM;CAT:HSPM", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "SCL:1;CAT:PHSH", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:HPHSH", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:HPHISH", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:MALW", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:AMP", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:SAP", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:SPOOF", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:UIMP", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:DIMP", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:GIMP", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:BIMP", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "CAT:INTOS", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "SFTY:9.19", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "SFTY:9.20", "Microsoft 365", B},
    {"X-Forefront-Antispam-Report", "SFTY:9.25;SCL:1", "Microsoft 365", I},
    {"X-Forefront-Antispam-Report", "SCL:-1;SFV:SKA;CAT:PHSH", "Microsoft 365", B, true},  // let through, still phishing
    {"X-Forefront-Antispam-Report-Untrusted", "SCL:1;SFV:NSPM;DIR:OUT", "Microsoft 365", I},
    {"X-Forefront-Antispam-Report", "CTRY:JP;LANG:ja", "Microsoft 365", std::nullopt},
    {"X-Microsoft-Antispam", "BCL:0;ARA:1444111002|2700799026;", "Microsoft 365", I},
    {"X-Microsoft-Antispam", "BCL:6;", "Microsoft 365", I},
    {"X-Microsoft-Antispam", "BCL:7;", "Microsoft 365", W},
    {"X-Microsoft-Antispam", "BCL:9;", "Microsoft 365", W},
    {"X-Microsoft-Antispam", "PCL:8;BCL:0", "Microsoft 365", W},
    {"X-Microsoft-Antispam-Untrusted", "BCL:8;", "Microsoft 365", W},
    {"X-Microsoft-Antispam-Mailbox-Delivery", "ucf:0;jmr:0;auth:1;dest:J;OFR:SpamFilterAuthJ;ENG:(5062000308)",
     "Microsoft 365", W},
    {"X-Microsoft-Antispam-Mailbox-Delivery", "ucf:0;dest:I;OFR:TrustedSenderList", "Microsoft 365", I},
    // SpamAssassin.
    {"X-Spam-Status", "Yes, score=12.3 required=5.0 tests=BAYES_99,URIBL_BLACK autolearn=spam version=3.4.6",
     "SpamAssassin", B},
    {"X-Spam-Status", "Yes, score=6.1 required=5.0 tests=BAYES_50,\t HTML_MESSAGE autolearn=no", "SpamAssassin", W},
    {"X-Spam-Status", "No, score=-0.1 required=5.0 tests=DKIM_SIGNED autolearn=ham", "SpamAssassin", I},
    {"X-Spam-Status", "No, hits=1.2 required=5.0", "SpamAssassin", I},
    {"X-Spam-Status", "Maybe, score=1", "SpamAssassin", std::nullopt},
    {"X-Spam-Flag", "YES", "SpamAssassin", W},
    {"X-Spam-Flag", "NO", "SpamAssassin", I},
    {"X-Spam-Score", "3.4", "SpamAssassin", std::nullopt},
    {"X-Spam-Level", "***", "SpamAssassin", std::nullopt},
    // rspamd.
    {"X-Spamd-Result", "default: True [16.10 / 15.00]; R_SPF_FAIL(1.00)[-all]; BAYES_SPAM(5.10)[99.99%]", "rspamd", B},
    {"X-Spamd-Result", "default: True [7.00 / 15.00]; BAYES_SPAM(7.00)[99%]", "rspamd", W},
    {"X-Spamd-Result", "default: False [0.40 / 15.00]; ARC_NA(0.00)[]", "rspamd", I},
    {"X-Rspamd-Action", "reject", "rspamd", B},
    {"X-Rspamd-Action", "add header", "rspamd", W},
    {"X-Rspamd-Action", "rewrite subject", "rspamd", W},
    {"X-Rspamd-Action", "no action", "rspamd", I},
    {"X-Rspamd-Action", "greylist", "rspamd", I},
    {"X-Rspamd-Action", "soft reject", "rspamd", I},
    {"X-Rspamd-Action", "discard", "rspamd", std::nullopt},
    {"X-Spam", "Yes", "rspamd", W},
    // Cisco.
    {"X-IronPort-AV", "E=Sophos;i=\"6.04,222,1695\";d=\"scan'208\";a=\"123\"", "Cisco", std::nullopt},
    {"X-SBRS", "-3.5", "Cisco", std::nullopt},
    {"X-Amp-Result", "MALICIOUS", "Cisco", B},
    {"X-Amp-Result", "CLEAN", "Cisco", I},
    {"X-Amp-Result", "WEIRD", "Cisco", std::nullopt},
    // Proofpoint.
    {"X-Proofpoint-Spam-Details", "rule=notspam policy=default score=0 spamscore=0 phishscore=0 bulkscore=0",
     "Proofpoint", I},
    {"X-Proofpoint-Spam-Details", "rule=spam policy=default score=98 spamscore=98", "Proofpoint", W},
    {"X-Proofpoint-Spam-Details", "rule=custom_rule_7 policy=x score=10", "Proofpoint", std::nullopt},
    // Barracuda.
    {"X-Barracuda-Spam-Status",
     "Yes, SCORE=10.11 using per-user scores of TAG_LEVEL=3.5 QUARANTINE_LEVEL=9.0 KILL_LEVEL=10.0 tests=A, B",
     "Barracuda", B},
    {"X-Barracuda-Spam-Status",
     "Yes, SCORE=3.60 using per-user scores of TAG_LEVEL=3.5 QUARANTINE_LEVEL=9.0 KILL_LEVEL=1000.0 tests=A",
     "Barracuda", W},
    {"X-Barracuda-Spam-Status", "No, SCORE=0.00 using global scores of TAG_LEVEL=3.5 KILL_LEVEL=9.0 tests=",
     "Barracuda", I},
    {"X-Barracuda-Spam-Score", "3.60", "Barracuda", std::nullopt},
    // Trend Micro.
    {"X-TM-AS-Result", "Yes-5.339-5.0-31-1", "Trend Micro", W},
    {"X-TM-AS-Result", "Yes-9.1-5.0-31-2", "Trend Micro", B},
    {"X-TM-AS-Result", "No--10.350-5.0-31-10", "Trend Micro", I},
    // Mimecast.
    {"X-Mimecast-Spam-Score", "7", "Mimecast", std::nullopt},
};

TEST(FilterStamps, EveryFamilyAndValueClass) {
  for (const StampCase& c : kStamps) {
    SCOPED_TRACE(std::string(c.header) + ": " + c.value);
    const std::optional<TFilterStamp> s = ReadFilterStamp(c.header, c.value);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Family, c.family);
    EXPECT_FALSE(s->Fields.empty());
    for (const TFilterField& f : s->Fields) EXPECT_FALSE(f.Meaning.empty()) << f.Name;
    ASSERT_EQ(s->Verdict.has_value(), c.level.has_value());
    if (!c.level) continue;
    EXPECT_EQ(s->Verdict->Level, *c.level);
    EXPECT_EQ(s->Verdict->Skipped, c.skipped);
    EXPECT_FALSE(s->Verdict->Text.empty());
  }
  EXPECT_FALSE(ReadFilterStamp("Subject", "SCL:9"));
  EXPECT_FALSE(ReadFilterStamp("X-Microsoft-Antispam-Message-Info", "abc"));
}

const TFilterField* FieldOf(const TFilterStamp& s, std::string_view name) {
  for (const TFilterField& f : s.Fields)
    if (f.Name == name) return &f;
  return nullptr;
}

TEST(FilterStamps, FieldsSayWhatTheyAreAndMarkTheUnknown) {
  const auto ms = ReadFilterStamp("X-Forefront-Antispam-Report",
                                  "CIP:203.0.113.5;CTRY:;SFV:XYZ;SFS:(1)(2);DIR:OUT;CAT:NONE");
  ASSERT_TRUE(ms);
  EXPECT_EQ(FieldOf(*ms, "CTRY"), nullptr);  // empty values are left out
  ASSERT_TRUE(FieldOf(*ms, "CIP"));
  EXPECT_TRUE(FieldOf(*ms, "CIP")->Known);
  EXPECT_NE(FieldOf(*ms, "CIP")->Meaning.find("IP アドレス"), std::string::npos);
  EXPECT_FALSE(FieldOf(*ms, "SFV")->Known);
  EXPECT_NE(FieldOf(*ms, "SFV")->Meaning.find("不明"), std::string::npos);
  EXPECT_FALSE(FieldOf(*ms, "CAT")->Known);
  EXPECT_NE(FieldOf(*ms, "SFS")->Meaning.find("公開されていません"), std::string::npos);
  EXPECT_TRUE(ms->Outbound);

  const auto box = ReadFilterStamp("X-Microsoft-Antispam-Mailbox-Delivery", "dest:J;OFR:SpamFilterAuthJ;jmr:0");
  ASSERT_TRUE(box);
  EXPECT_TRUE(box->Undocumented);
  EXPECT_NE(box->Verdict->Text.find("公開していない"), std::string::npos);
  EXPECT_NE(FieldOf(*box, "dest")->Meaning.find("迷惑メール フォルダ"), std::string::npos);

  const auto sa = ReadFilterStamp("X-Spam-Status", "Yes, score=6.1 required=5.0 tests=BAYES_50,\t HTML_MESSAGE");
  ASSERT_TRUE(sa && FieldOf(*sa, "tests"));
  EXPECT_EQ(FieldOf(*sa, "tests")->Value, "BAYES_50,HTML_MESSAGE");
  const auto bar = ReadFilterStamp("X-Barracuda-Spam-Status", "Yes, SCORE=3.60 using per-user scores of KILL_LEVEL=9");
  ASSERT_TRUE(bar);
  EXPECT_EQ(FieldOf(*bar, "SCORE")->Value, "3.60");
  const auto tm = ReadFilterStamp("X-TM-AS-Result", "No--10.350-5.0-31-10");
  ASSERT_TRUE(tm);
  EXPECT_EQ(FieldOf(*tm, "score")->Value, "-10.350");
  EXPECT_FALSE(FieldOf(*tm, "type")->Known);
  const auto level = ReadFilterStamp("X-Spam-Level", "****");
  EXPECT_NE(level->Fields.front().Meaning.find("4 点"), std::string::npos);
  const auto rs = ReadFilterStamp("X-Spamd-Result", "default: True [16.10 / 15.00]; R_SPF_FAIL(1.00)[-all]");
  EXPECT_EQ(FieldOf(*rs, "required")->Value, "15.00");
  EXPECT_EQ(FieldOf(*rs, "symbols")->Value, "R_SPF_FAIL(1.00)[-all]");
}

TEST(FilterStamps, CompAuthReasons) {
  const std::pair<const char*, const char*> cases[] = {
      {"000", "明示的"}, {"001", "暗黙"},   {"002", "禁止"},   {"010", "組織自身"}, {"130", "ARC"},
      {"101", "合格"},   {"701", "合格"},   {"201", "softpass"}, {"301", "していません"},
      {"401", "省略"},   {"901", "省略"},   {"601", "組織自身"},
  };
  for (const auto& [code, word] : cases) EXPECT_NE(CompAuthReasonMeaning(code).find(word), std::string::npos) << code;
  for (const char* none : {"", "5x1", "1000", "abc", "501", "801"}) EXPECT_EQ(CompAuthReasonMeaning(none), "") << none;
}


TEST(FilterStamps, WhoseStampItIs) {
  const auto fields = Fields({{"Received", "by mx.example.jp"},
                              {"X-Spam-Status", "Yes, score=20 required=5"},
                              {"Received", "by relay.sender.example"},
                              {"X-Spam-Flag", "YES"},
                              {"X-Forefront-Antispam-Report-Untrusted", "SCL:9;CAT:PHSH;DIR:OUT"},
                              {"X-Forefront-Antispam-Report", "SCL:9;CAT:PHSH;DIR:INB"},
                              {"X-MS-Exchange-Organization-SCL", "-1"}});
  TFilterContext mx;  // a receiver of its own wrote the top two fields
  mx.ReceiverWrote = {true, true, false, false, false, false, false};
  auto stamps = ReadFilterStamps(fields, mx);
  ASSERT_EQ(stamps.size(), 5u);
  EXPECT_EQ(stamps[0].Side, TFilterSide::Receiver);
  for (std::size_t i = 1; i < 5; ++i) EXPECT_EQ(stamps[i].Side, TFilterSide::Sender) << stamps[i].Header;

  TFilterContext exchange;  // Exchange Online: its stamps count wherever they stand
  exchange.ReceiverWrote = {true, false, false, false, false, false, false};
  exchange.MicrosoftReceiver = true;
  stamps = ReadFilterStamps(fields, exchange);
  EXPECT_EQ(stamps[0].Side, TFilterSide::Sender);
  EXPECT_EQ(stamps[2].Side, TFilterSide::Sender);  // the sending tenant's copy
  EXPECT_EQ(stamps[3].Side, TFilterSide::Receiver);
  EXPECT_EQ(stamps[4].Side, TFilterSide::Receiver);
  EXPECT_EQ(stamps[3].Ordinal, 0u);

  std::vector<TFinding> findings;
  AddFilterFindings(stamps, findings);
  // Phishing by the receiver, the skip by the receiver, the tenant as a note;
  // the sender's own spam verdicts raise nothing.
  ASSERT_EQ(findings.size(), 3u);
  EXPECT_EQ(findings[0].Kind, "receiver-filter");
  EXPECT_EQ(findings[0].Level, TLevel::Bad);
  EXPECT_NE(findings[0].Text.find("フィッシング"), std::string::npos);
  int tenant = 0, skip = 0;
  for (const TFinding& f : findings) {
    if (f.Kind == "sender-tenant") {
      ++tenant;
      EXPECT_EQ(f.Level, TLevel::Info);
    }
    if (f.Kind == "receiver-filter" && f.Level == TLevel::Info) {
      ++skip;
      EXPECT_NE(f.Text.find("フィッシングも検査されずに"), std::string::npos);
    }
  }
  EXPECT_EQ(tenant, 1);
  EXPECT_EQ(skip, 1);

  findings.clear();
  AddFilterFindings(ReadFilterStamps(fields, TFilterContext{}), findings);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].Kind, "sender-tenant");
}

TEST(FilterStamps, ExplanationShowsEveryFieldWithItsMeaning) {
  auto s = ReadFilterStamp("X-MS-Exchange-Organization-SCL", " 9");
  s->Side = TFilterSide::Receiver;
  const auto lines = FilterExplanationLines(*s, " 9");
  EXPECT_NE(lines[1].find("受け取った側"), std::string::npos);
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) { return l.rfind("SCL: 9 … ", 0) == 0 && l.find("確度の高い") != std::string::npos; }),
            lines.end());
  EXPECT_EQ(lines.back(), "9");
  auto u = ReadFilterStamp("X-Forefront-Antispam-Report-Untrusted", "SCL:1;DIR:OUT");
  EXPECT_NE(FilterExplanationLines(*u, "")[1].find("送信側の Microsoft 365 テナント"), std::string::npos);
}

TEST(ReceivedTls, EachFormOfTheField) {
  struct Case {
    const char* text;
    const char* with;
    const char* ip;
    std::optional<std::string> tls;
  };
  const Case cases[] = {
      {"from a.example (203.0.113.1) by b.outlook.com (10.1.2.3) with Microsoft SMTP Server "
       "(version=TLS1_2, cipher=TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384) id 15.20",
       "Microsoft SMTP Server", "203.0.113.1", "TLS1.2 ECDHE-RSA-AES256-GCM-SHA384"},
      {"from a by mx.google.com with ESMTPS id x (version=TLS1_3 cipher=TLS_AES_256_GCM_SHA384 bits=256/256);",
       "ESMTPS", "203.0.113.1", "TLS1.3 TLS_AES_256_GCM_SHA384"},
      {"from a (a [203.0.113.1]) (using TLSv1.3 with cipher TLS_AES_256_GCM_SHA384 (256/256 bits)) by mx",
       "ESMTPS", "203.0.113.1", "TLS1.3 TLS_AES_256_GCM_SHA384"},
      {"from a by b with esmtps  (TLS1.3) tls TLS_AES_128_GCM_SHA256 (Exim 4.96)", "esmtps", "203.0.113.1",
       "TLS1.3 TLS_AES_128_GCM_SHA256"},
      {"from a by b with esmtps (TLSv1.2:ECDHE-RSA-AES256-GCM-SHA384:256) (Exim 4.92)", "esmtps", "203.0.113.1",
       "TLS1.2 ECDHE-RSA-AES256-GCM-SHA384"},
      {"from a by b (8.15.2/8.15.2) with ESMTPS id x (version=TLSv1.2 cipher=ECDHE-RSA-AES256-GCM-SHA384 bits=256 verify=NOT)",
       "ESMTPS", "203.0.113.1", "TLS1.2 ECDHE-RSA-AES256-GCM-SHA384"},
      {"from a by b with ESMTPSA id x", "ESMTPSA", "203.0.113.1", "TLS"},
      {"from a by b with HTTPS", "HTTPS", "", "TLS"},
      {"from a by b with ESMTP id x", "ESMTP", "203.0.113.1", "none"},
      {"from a by b with SMTP", "SMTP", "[198.51.100.7]", "none"},
      {"from a by b with ESMTP", "ESMTP", "192.168.1.5", std::nullopt},
      {"from a by b with SMTP", "SMTP", "fd00::1", std::nullopt},
      {"from a by b with ESMTPA", "ESMTPA", "", std::nullopt},
      {"from a by b with mapi id 15", "mapi", "203.0.113.1", std::nullopt},
      {"from a by b; Tue, 8 Dec 2026", "", "203.0.113.1", std::nullopt},
      {"from smtps.example by b with ESMTP", "ESMTP", "10.0.0.1", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ReceivedTls(c.text, c.with, c.ip), c.tls) << c.text;
  for (const char* local : {"10.1.1.1", "127.0.0.1", "172.20.0.1", "169.254.3.4", "100.64.0.1", "::1", "fe80::1"})
    EXPECT_TRUE(IsLocalAddress(local)) << local;
  for (const char* outside : {"203.0.113.1", "172.32.0.1", "8.8.8.8", "2001:db8::1", "1.2.3", "1.2.3.4.5", "300.1.1.1"})
    EXPECT_FALSE(IsLocalAddress(outside)) << outside;
}

TEST(FilterStamps, ThroughThePipeline) {
  const std::string mail =
      "Received: from mx.example.jp by mbox.example.jp with ESMTPS; Tue, 8 Dec 2026 10:02:00 +0900\r\n"
      "Received: from out.sender.example (out.sender.example [203.0.113.9]) by mx.example.jp with ESMTP;"
      " Tue, 8 Dec 2026 10:01:00 +0900\r\n"
      "X-Spam-Status: Yes, score=7.0 required=5.0\r\n"
      "  tests=BAYES_99\r\n"
      "From: a@sender.example\r\n"
      "Subject: x\r\n\r\nbody\r\n";
  TMailViews v;
  LoadMailBytes(mail, v);
  ASSERT_EQ(v.Filters.size(), 1u);
  EXPECT_EQ(v.Filters[0].Family, "SpamAssassin");
  ASSERT_LT(v.Filters[0].Row, v.ListView1.size());
  EXPECT_EQ(v.ListView1[v.Filters[0].Row].Name, "X-Spam-Status");
  const auto lines = RowExplanationLines(v, v.Filters[0].Row);
  EXPECT_NE(lines.front().find("SpamAssassin"), std::string::npos);
  EXPECT_EQ(RowExplanationLines(v, v.Filters[0].Row + 1).front(), "このメールの差出人です。");
  ASSERT_EQ(v.ListView2.size(), 2u);
  EXPECT_EQ(v.ListView2[0].Tls, "TLS");
  EXPECT_EQ(v.ListView2[1].Tls, "none");
  EXPECT_TRUE(std::any_of(v.Findings.begin(), v.Findings.end(),
                          [](const TFinding& f) { return f.Kind == "hop-without-tls" && f.Level == TLevel::Info; }));
}

}  // namespace

// The two messages of tests/data/filters through the pipeline: whose each
// stamp is, by the receiving side's run.
TEST(FilterStamps, SidesInWholeMessages) {
  TMailViews m365;
  LoadMailFile(TARVO_SOURCE_DIR "/tests/data/filters/m365-phishing.eml", m365);
  std::vector<std::pair<std::string, std::string>> sides;
  for (const TFilterStamp& s : m365.Filters) sides.emplace_back(s.Header, FilterSideName(s.Side));
  const std::vector<std::pair<std::string, std::string>> wanted = {
      {"X-Forefront-Antispam-Report-Untrusted", "sender"}, {"X-Microsoft-Antispam-Untrusted", "sender"},
      {"X-MS-Exchange-Organization-SCL", "receiver"},      {"X-Forefront-Antispam-Report", "receiver"},
      {"X-Microsoft-Antispam", "receiver"},                {"X-Microsoft-Antispam-Mailbox-Delivery", "receiver"}};
  EXPECT_EQ(sides, wanted);
  ASSERT_FALSE(m365.Findings.empty());
  EXPECT_EQ(m365.Findings.front().Level, TLevel::Bad);
  int filter = 0, tenant = 0;
  for (const TFinding& f : m365.Findings) {
    filter += f.Kind == "receiver-filter";
    tenant += f.Kind == "sender-tenant";
  }
  EXPECT_GE(filter, 2);
  EXPECT_EQ(tenant, 1);
  // compauth's reason said in words on the safety page.
  const auto rows = AuthenticationRows(m365.Authentication);
  const auto compauth = std::find_if(rows.begin(), rows.end(), [](const TSafetyRow& r) { return r.Item == "compauth"; });
  ASSERT_NE(compauth, rows.end());
  EXPECT_NE(compauth->Explanation.find("理由 000: 明示的な認証に失敗"), std::string::npos) << compauth->Explanation;

  TMailViews sa;
  LoadMailFile(TARVO_SOURCE_DIR "/tests/data/filters/spamassassin.eml", sa);
  ASSERT_EQ(sa.Filters.size(), 5u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(sa.Filters[i].Side, TFilterSide::Receiver) << sa.Filters[i].Header;
  EXPECT_EQ(sa.Filters[4].Side, TFilterSide::Sender);  // the sender's own "No" below the receiver's run
  const auto bad = std::find_if(sa.Findings.begin(), sa.Findings.end(), [](const TFinding& f) {
    return f.Kind == "receiver-filter" && f.Level == TLevel::Bad;
  });
  ASSERT_NE(bad, sa.Findings.end());
  EXPECT_NE(bad->Text.find("SpamAssassin"), std::string::npos);
}

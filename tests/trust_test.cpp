// The receiving run as real receivers write it, and what a sender can add
// below it.
#include <gtest/gtest.h>

#include "tests/header_block.h"

#include <fstream>
#include <sstream>

#include "checks/auth.h"
#include "checks/trust.h"
#include "views/pipeline.h"

using namespace tarvo;

namespace {


TEST(Trust, OperatorsAndAnonymousHosts) {
  const std::pair<const char*, const char*> cases[] = {
      {"SJ1PEPF00001CE4.mail.protection.outlook.com", "microsoft"},
      {"MW4PR04CA0305.outlook.office365.com", "microsoft"},
      {"SEZPR01MB4302.apcprd01.prod.exchangelabs.com", "microsoft"},
      {"mx.microsoft.com", "microsoft"},
      {"mx.google.com", "google"},
      {"mail-sor-f41.gmail.com.", "google"},
      {"mta1007.mail.sp2.yahoo.com", "yahoo"},
      {"mx.mail.yahoo.co.jp", "yahoo"},
      {"mx.Example.co.jp", "example.co.jp"},
      {"2002:a05:6520:4c9:b0:26f:3a0c:4933", ""},
      {"[192.0.2.1]", ""},
      {"10.2.1.1", ""},
      {"DM6PR11MB1234", ""},
      {"", ""},
  };
  for (const auto& [host, op] : cases) EXPECT_EQ(OperatorOf(host), op) << host;
}

struct RunCase {
  const char* name;
  TTestHeader fields;
  const char* org;
  std::size_t oldest;
  std::vector<std::size_t> written;  // indices the receiver wrote
};

const RunCase kRuns[] = {
    {"gmail: address hops on top, results right below its Received",
     Fields({{"Received", " by 2002:a05:6520:4c9:b0:26f:3a0c:4933 with SMTP id x; Mon, 1 Jan 2024 00:00:00 +0000"},
             {"ARC-Authentication-Results", " i=1; mx.google.com; spf=pass smtp.mailfrom=a.example"},
             {"Received", " from mail.a.example (mail.a.example [192.0.2.1]) by mx.google.com with ESMTPS id y"},
             {"Received-SPF", " pass (google.com: domain of x@a.example designates 192.0.2.1) client-ip=192.0.2.1;"},
             {"Authentication-Results", " mx.google.com; spf=pass smtp.mailfrom=a.example"},
             {"Authentication-Results", " mx.google.com; dmarc=pass header.from=bank.example"},
             {"Received", " from x by mail.a.example with ESMTP"}}),
     "google.com", 2, {0, 1, 3, 4}},
    {"microsoft: named internal hops, the edge last",
     Fields({{"Received", " from A.prod.outlook.com by B.namprd11.prod.outlook.com with HTTPS"},
             {"Received", " from C (2603:10b6::1) by D.outlook.office365.com (2603:10b6::2) with Microsoft SMTP"},
             {"Authentication-Results", " spf=pass (sender IP is 192.0.2.1) smtp.mailfrom=a.example"},
             {"Received-SPF", " Pass (protection.outlook.com: domain of a.example) receiver=protection.outlook.com;"},
             {"Received", " from mail.a.example (192.0.2.1) by E.mail.protection.outlook.com (10.0.0.1)"},
             {"Authentication-Results", " spf=pass smtp.mailfrom=bank.example"},
             {"Received", " from mail.a.example by F.EURP189.PROD.OUTLOOK.COM"}}),
     "outlook.com", 6, {0, 1, 2, 3, 4, 5}},
    {"a hop below that names no organisation does not extend the run",
     Fields({{"Authentication-Results", " mx.example.jp; spf=pass smtp.mailfrom=a.example"},
             {"Received", " from x by mx.example.jp"},
             {"Authentication-Results", " mx.example.jp; dmarc=pass header.from=bank.example"},
             {"Received", " from y by 10.0.0.1"}}),
     "example.jp", 1, {0}},
    {"yahoo writes above its Received; nothing below counts",
     Fields({{"Received-SPF", " pass"},
             {"Authentication-Results", " mta1007.mail.sp2.yahoo.com; spf=pass"},
             {"Received", " from sender by mta1007.mail.sp2.yahoo.com with SMTP"},
             {"Authentication-Results", " mta1007.mail.sp2.yahoo.com; dmarc=pass"},
             {"Received", " from z by mail.sender.example"}}),
     "yahoo.com", 2, {0, 1}},
    {"no Received field: nothing is the receiver's",
     Fields({{"Authentication-Results", " mx.example.jp; dmarc=pass"}, {"From", " a@example.jp"}}), "",
     TTrustBoundary::npos, {}},
};

TEST(Trust, ReceivingRun) {
  for (const RunCase& c : kRuns) {
    SCOPED_TRACE(c.name);
    const TTrustBoundary b(c.fields, {});
    EXPECT_EQ(b.ReceivingOrg(), c.org);
    EXPECT_EQ(b.OldestReceived(), c.oldest);
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
      const bool written = std::find(c.written.begin(), c.written.end(), i) != c.written.end();
      EXPECT_EQ(b.IsReceiverWritten(i), written) << i;
      if (b.IsAboveRun(i)) {
        EXPECT_TRUE(written) << i;
      }
    }
  }
  EXPECT_TRUE(TTrustBoundary(kRuns[1].fields, {}).IsMicrosoft());
  EXPECT_FALSE(TTrustBoundary(kRuns[0].fields, {}).IsMicrosoft());
}

TEST(Trust, AuthServIds) {
  const TTrustBoundary gmail(kRuns[0].fields, {"MX.Home.Example."});
  EXPECT_TRUE(gmail.BelongsToReceiver("mx.google.com"));
  EXPECT_TRUE(gmail.BelongsToReceiver("MX.GOOGLE.COM"));
  EXPECT_TRUE(gmail.BelongsToReceiver("mx.home.example"));  // trusted by the user
  EXPECT_FALSE(gmail.BelongsToReceiver("mx.google.com.evil.example"));
  EXPECT_FALSE(gmail.BelongsToReceiver(""));
  EXPECT_FALSE(gmail.BelongsToReceiver("mx.microsoft.com"));
  EXPECT_TRUE(TTrustBoundary(kRuns[1].fields, {}).BelongsToReceiver("mx.microsoft.com"));
}

TEST(Trust, TrustedIdsExtendTheRun) {
  // The user's own fetcher on top: Gmail's fields count once it is trusted.
  const auto fields = Fields({{"Received", " from imap.gmail.com by laptop.home.example with IMAP"},
                              {"Authentication-Results", " mx.google.com; dmarc=pass header.from=a.example"},
                              {"Received", " from mail.a.example by mx.google.com with ESMTPS"}});
  EXPECT_FALSE(TTrustBoundary(fields, {}).IsReceiverWritten(1));
  const TTrustBoundary b(fields, {"mx.google.com"});
  EXPECT_TRUE(b.IsReceiverWritten(1));
  EXPECT_EQ(b.ReceivingOrg(), "home.example");

  SetTrustedAuthServIds({" Mx.Google.Com ", ""});
  EXPECT_EQ(TrustedAuthServIds(), std::vector<std::string>{"mx.google.com"});
  EXPECT_TRUE(TTrustBoundary(fields).IsReceiverWritten(1));
  SetTrustedAuthServIds({});
}

// ---- whole messages ----

std::string ReadAuthFile(const std::string& name) {
  std::ifstream f(std::string(TARVO_SOURCE_DIR) + "/tests/data/auth/" + name, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::string KindsOf(const TMailViews& v) {
  std::string s = LevelName(VerdictLevel(v.Findings));
  for (const TFinding& f : v.Findings) s += " " + f.Kind;
  return s;
}

// Each message carries a field (or a statement) the sender forged; the
// verdict must be the one the message gets without it.
struct Forgery {
  const char* file;
  const char* forged;  // cut from the message to get it as the receiver saw it
  const char* counted;  // a method the forged text must not make count, or ""
} const kForgeries[] = {
    {"forged-a1-below-run.eml",
     "Authentication-Results: mx.example.jp; spf=pass smtp.mailfrom=bank.example;\n\tdkim=pass "
     "header.d=bank.example; dmarc=pass header.from=bank.example\n",
     "dmarc"},
    {"forged-a1-arc.eml",
     "ARC-Authentication-Results: i=1; mx.example.jp; spf=pass smtp.mailfrom=bank.example;\n\tdmarc=pass "
     "header.from=bank.example; arc=none\n",
     "dmarc"},
    {"forged-a2-merge.eml",
     "Authentication-Results: mx.example.jp; dkim=pass header.d=bank.example;\n\tdmarc=pass header.from=bank.example\n",
     "dmarc"},
    {"forged-a3-header-from.eml", " dmarc=pass header.from=evil.example", "dmarc"},
    {"forged-a4-received-spf.eml", "Authentication-Results: mx.example.jp; spf=pass smtp.mailfrom=bank.example\n", ""},
    {"forged-a5-helo.eml", "", ""},
    {"forged-a6-seal.eml", "ARC-Seal: i=1; a=rsa-sha256; t=1709510401; cv=pass; d=bank.example; s=arc; b=AAAA\n", "arc"},
};

TEST(Trust, ForgedResultsChangeNothing) {
  for (const Forgery& c : kForgeries) {
    SCOPED_TRACE(c.file);
    const std::string message = ReadAuthFile(c.file);
    ASSERT_FALSE(message.empty());
    TMailViews forged, clean;
    LoadMailBytes(message, forged);
    std::string cut = message;
    if (*c.forged) {
      const std::size_t at = cut.find(c.forged);
      ASSERT_NE(at, std::string::npos);
      cut.erase(at, std::string_view(c.forged).size());
    }
    LoadMailBytes(cut, clean);
    // The lying link is what a reader must be warned of, forged pass or not.
    EXPECT_EQ(VerdictLevel(forged.Findings), TLevel::Bad) << KindsOf(forged);
    EXPECT_EQ(KindsOf(forged), KindsOf(clean));
    const TAuthentication& a = forged.Authentication;
    if (std::string_view(c.counted) == "dmarc") {
      EXPECT_FALSE(a.Dmarc);
    }
    if (std::string_view(c.counted) == "arc") {
      EXPECT_FALSE(a.Arc);
    }
    EXPECT_TRUE(std::any_of(a.Claims.begin(), a.Claims.end(), [](const TAuthClaim& x) { return !x.Trusted; }) ||
                !*c.forged);
  }
  // A5: the HELO pass is the HELO name's, not the envelope domain's.
  TMailViews helo;
  LoadMailBytes(ReadAuthFile("forged-a5-helo.eml"), helo);
  ASSERT_TRUE(helo.Authentication.Spf);
  EXPECT_EQ(helo.Authentication.Spf->Domain, "mail.evil.example");
  EXPECT_EQ(helo.Authentication.Spf->Identity, "helo");
  EXPECT_EQ(helo.Authentication.SpfAligned, false);
}

// Real receivers' layouts: what they wrote counts, what the sender added
// below does not.
struct Receiver {
  const char* file;
  const char* org;
  const char* spfDomain;
  bool compauth;
} const kReceivers[] = {
    {"rx-microsoft.eml", "outlook.com", "mail.shop.example", true},
    {"rx-gmail.eml", "google.com", "mail.shop.example", false},
    {"rx-yahoo.eml", "yahoo.com", "mail.shop.example", false},
};

TEST(Trust, RealReceivers) {
  for (const Receiver& c : kReceivers) {
    SCOPED_TRACE(c.file);
    TMailViews v;
    LoadMailBytes(ReadAuthFile(c.file), v);
    const TAuthentication& a = v.Authentication;
    EXPECT_EQ(a.ReceivingOrg, c.org);
    ASSERT_TRUE(a.Spf && a.Dmarc);
    EXPECT_EQ(a.Spf->Result, "pass");
    EXPECT_EQ(a.Spf->Domain, c.spfDomain);
    EXPECT_EQ(a.Dmarc->Result, "pass");
    EXPECT_EQ(a.CompAuth.has_value(), c.compauth);
    EXPECT_EQ(a.SpfAligned, true);
    EXPECT_EQ(VerdictLevel(v.Findings), TLevel::Info) << KindsOf(v);
    // The sender's own "bank.example" results are listed, not believed.
    std::size_t forged = 0;
    for (const TAuthClaim& x : a.Claims)
      if (x.Domain == "bank.example") {
        ++forged;
        EXPECT_FALSE(x.Trusted);
        EXPECT_FALSE(x.Why.empty());
      }
    EXPECT_GE(forged, 1u);
  }
}

}  // namespace

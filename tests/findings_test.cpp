// The warning signs: each firing on what should raise it and silent on its
// look-alikes that should not, and the two whole messages through the pipeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "checks/auth.h"
#include "views/pipeline.h"

using namespace tarvo;

namespace {

// A shop's own mail: every field agrees with From, and everything passed.
const std::map<std::string, std::string> kClean = {
    {"From", "Shop <info@shop.example.co.jp>"},
    {"Reply-To", "\"Support, Shop\" <help@www.shop.example.co.jp>"},
    {"Return-Path", "<bounce@mail.shop.example.co.jp>"},
    {"Sender", "<info@shop.example.co.jp>"},
    {"Message-ID", "<1234@mail.shop.example.co.jp>"},
    {"Received", "from mail.shop.example.co.jp by mx.example with ESMTP"},
    {"Authentication-Results",
     "mx.example; spf=pass smtp.mailfrom=mail.shop.example.co.jp; dkim=pass header.d=shop.example.co.jp;"
     " dmarc=pass header.from=shop.example.co.jp"},
};

struct Case {
  const char* name;
  std::map<std::string, std::string> change;  // "" removes the field
  std::string html;
  std::string kind;  // the sign expected, or "" for none at all
};

const char* kDmarcFail = "mx.example; spf=pass smtp.mailfrom=shop.example.co.jp; dmarc=fail header.from=shop.example.co.jp";

const Case kCases[] = {
    {"clean", {}, "", ""},
    {"reply-to elsewhere", {{"Reply-To", "<help@other.example>"}}, "", "reply-to-domain"},
    {"reply-to to the list that sends", {{"Reply-To", "<dev@lists.example.org>"}, {"List-Post", "<mailto:dev@lists.example.org>"}},
     "", ""},
    {"reply-to in the same organisation", {{"Reply-To", "help@news.example.co.jp (Help)"}}, "", ""},
    {"return-path elsewhere", {{"Return-Path", "<bounce@esp.example.net>"}}, "", "return-path-domain"},
    {"empty return-path", {{"Return-Path", "<>"}}, "", ""},
    {"sender elsewhere", {{"Sender", "<owner@lists.example.org>"}}, "", "sender-domain"},
    {"address in the display name", {{"From", "\"info@bank.example\" <info@shop.example.co.jp>"}}, "",
     "display-name-address"},
    {"address in an encoded display name",
     {{"From", "=?UTF-8?B?c2VydmljZUBiYW5rLmV4YW1wbGU=?= <info@shop.example.co.jp>"}}, "", "display-name-address"},
    {"wide at sign in the display name", {{"From", "\"support\xEF\xBC\xA0" "bank.example\" <info@shop.example.co.jp>"}}, "",
     "display-name-address"},
    {"address in the comment form", {{"From", "info@shop.example.co.jp (admin@bank.example)"}}, "",
     "display-name-address"},
    {"the real address in the display name", {{"From", "\"INFO@shop.example.co.jp\" <info@shop.example.co.jp>"}}, "",
     ""},
    {"an at sign that is no address", {{"From", "\"Shop @ Tokyo\" <info@shop.example.co.jp>"}}, "", ""},
    {"junk comma before the address", {{"From", "Shop ,_<info@shop.example.co.jp>"}, {"Reply-To", "<help@other.example>"}},
     "", "reply-to-domain"},
    {"two senders and no Sender", {{"From", "a@shop.example.co.jp, b@evil.example"}, {"Sender", ""}}, "", "from-several"},
    {"two authors and the Sender one of them",
     {{"From", "<info@shop.example.co.jp>, \"Hanako\" <hanako@shop.example.co.jp>"}}, "", ""},
    {"the same sender twice", {{"From", "info@shop.example.co.jp, <INFO@shop.example.co.jp>"}, {"Sender", ""}}, "", ""},
    {"message-id elsewhere", {{"Message-ID", "<0102018c.abc@email.amazonses.com>"}}, "", "message-id-domain"},
    {"message-id without a domain", {{"Message-ID", "<0102018c.abc.def>"}}, "", ""},
    {"punycode reply-to", {{"Reply-To", "<help@xn--shp-eka.example.co.jp>"}}, "", "punycode-domain"},
    {"punycode link", {}, "<a href=\"https://xn--shp-eka.example.co.jp/\">ご案内</a>", "punycode-domain"},
    {"link text shows another host", {}, "<p><A HREF='https://evil.example/x'>https://www.bank.example/login</A>",
     "link-mismatch"},
    {"link host hidden behind userinfo and entities", {},
     "<a class=x href=\"http://www.bank.example@evil.example/\">www&#46;bank&#x2e;example</a>", "link-mismatch"},
    {"link text on its own host", {},
     "<a href=\"https://www.shop.example.co.jp/a?b\"><b>shop.example.co.jp</b></a>", ""},
    {"link text that names no host", {}, "<a href=\"https://click.esp.example/t/1\">詳しくはこちら</a>"
                                         "<a href=\"https://click.esp.example/t/2\">version 1.2</a>", ""},
    {"mail link", {}, "<a href=\"mailto:x@evil.example\">info@shop.example.co.jp</a>", ""},
    {"dmarc fail", {{"Authentication-Results", kDmarcFail}}, "", "auth-fail"},
    {"spf softfail", {{"Authentication-Results", "mx.example; spf=softfail smtp.mailfrom=shop.example.co.jp; dmarc=pass"
                                                 " header.from=shop.example.co.jp"}},
     "", "auth-fail"},
    {"no results at all", {{"Authentication-Results", ""}}, "", "auth-missing"},
    {"results that prove nothing", {{"Authentication-Results", "mx.example; spf=none; dkim=none; dmarc=none"}}, "",
     "auth-missing"},
    {"spf passing for another domain only",
     {{"Authentication-Results", "mx.example; spf=pass smtp.mailfrom=esp.example.net"}}, "", "auth-missing"},
};

std::string Envelope(const std::map<std::string, std::string>& change) {
  std::map<std::string, std::string> fields = kClean;
  for (const auto& [k, v] : change) fields[k] = v;
  std::string head;
  for (const auto& [k, v] : fields)
    if (!v.empty()) head += k + ": " + v + "\r\n";
  return head;
}

std::vector<TFinding> FindingsOf(const std::string& head, const std::string& body, const std::string& html) {
  const THeaderFields fields = ReadFields(head);
  return GetFindings(fields, GetAuthentication(fields, body), html);
}

std::string Kinds(const std::vector<TFinding>& f) {
  std::string s;
  for (const TFinding& x : f) s += x.Kind + " ";
  return s;
}

TEST(Findings, EachSignFiresOnlyOnWhatRaisesIt) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::vector<TFinding> f = FindingsOf(Envelope(c.change), "", c.html);
    if (c.kind.empty()) {
      EXPECT_TRUE(f.empty()) << Kinds(f);
      continue;
    }
    ASSERT_FALSE(f.empty());
    EXPECT_TRUE(std::all_of(f.begin(), f.end(), [&](const TFinding& x) { return x.Kind == c.kind; })) << Kinds(f);
    for (const TFinding& x : f) {
      EXPECT_FALSE(x.Text.empty());
      EXPECT_FALSE(x.Detail.empty());
    }
  }
}

TEST(Findings, DetailsCarryTheValues) {
  auto f = FindingsOf(Envelope({{"Reply-To", "<help@other.example>"}}), "", "");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].Detail, "From: info@shop.example.co.jp / Reply-To: help@other.example");
  EXPECT_EQ(f[0].Level, TLevel::Warn);

  f = FindingsOf(Envelope({{"Reply-To", "<a@xn--wgv71a119e.jp>"}}), "", "");
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[1].Kind, "punycode-domain");
  EXPECT_EQ(f[1].Detail, "Reply-To: xn--wgv71a119e.jp (日本語.jp)");

  f = FindingsOf(Envelope({}), "", "<a href=\"https://evil.example/x\">https://www.bank.example/</a>");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].Detail, "表示: https://www.bank.example/ / 行き先: https://evil.example/x");
  EXPECT_NE(f[0].Text.find("www.bank.example"), std::string::npos);
}

TEST(Findings, LevelsDependOnWhatPassed) {
  const std::string link = "<a href=\"https://evil.example/x\">www.bank.example</a>";
  // With DMARC passing the sender is who it says; a click counter is likelier.
  EXPECT_EQ(VerdictLevel(FindingsOf(Envelope({}), "", link)), TLevel::Warn);
  EXPECT_EQ(VerdictLevel(FindingsOf(Envelope({{"Authentication-Results", kDmarcFail}}), "", link)), TLevel::Bad);
  EXPECT_EQ(VerdictLevel(FindingsOf(Envelope({{"Return-Path", "<b@esp.example>"}}), "", "")), TLevel::Info);
  EXPECT_EQ(VerdictLevel({}), TLevel::Info);
  // Microsoft's composite verdict passed what DMARC alone failed.
  EXPECT_EQ(VerdictLevel(FindingsOf(Envelope({{"Authentication-Results", std::string(kDmarcFail) + "; compauth=pass reason=100"}}), "", "")),
            TLevel::Warn);
}

TEST(Findings, DkimBodyThatNoLongerMatches) {
  const std::string sig = "DKIM-Signature: v=1; a=rsa-sha256; d=shop.example.co.jp; s=k; b=AAAA; bh=";
  const std::string good = "frcCV1k9oG9oKj3dpUqdJg1PxRT2RSN/XKdLCPjaYaY=";  // of an empty body
  const std::string noDkimResult = "mx.example; spf=pass smtp.mailfrom=shop.example.co.jp; dmarc=pass"
                                   " header.from=shop.example.co.jp";
  const struct {
    const char* why;
    std::string head, body;
    const char* kind;
    TLevel level;
  } cases[] = {
      {"whole", Envelope({}) + sig + good + "\r\n", "", "", TLevel::Info},
      {"changed after the receiver passed it", Envelope({}) + sig + good + "\r\n", "changed\r\n",
       "dkim-body-mismatch", TLevel::Warn},
      {"changed, no receiver's word", Envelope({{"Authentication-Results", noDkimResult}}) + sig + good + "\r\n",
       "changed\r\n", "dkim-body-mismatch", TLevel::Bad},
      {"bh= cut short", Envelope({}) + sig + "frcCV1k9oG9oKj3d\r\n", "", "dkim-broken", TLevel::Warn},
      {"lines ended by CR alone", Envelope({{"Authentication-Results", noDkimResult}}) + sig +
                                      "WAVb3Mc3h+uIx4028LSTnpxdwcOtF+JcyFpoM88aDKs=\r\n", "a\rb\r", "", TLevel::Info},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto f = FindingsOf(c.head, c.body, "");
    if (!*c.kind) {
      EXPECT_TRUE(f.empty()) << Kinds(f);
      continue;
    }
    ASSERT_EQ(f.size(), 1u) << Kinds(f);
    EXPECT_EQ(f[0].Kind, c.kind);
    EXPECT_EQ(f[0].Level, c.level);
    EXPECT_NE(f[0].Detail.find("bh=frcCV1k9"), std::string::npos);
  }
}

TEST(HtmlLinks, ReadsWhatABrowserWouldShow) {
  const auto links = FindHtmlLinks(
      "<abbr>x</abbr><a\nhref = 'https://a.example/?q=1&amp;r=2' >Go <i>to</i>\r\n  it</a>"
      "<a name=top>no link</a><a href=https://b.example>b.example</a><img src=\"https://c.example/p.png\">"
      "<div style=\"background: URL( 'https://d.example/q.png' ) no-repeat\">x</div><a href=\"x");
  ASSERT_EQ(links.size(), 4u);
  EXPECT_TRUE(links[2].Image);
  EXPECT_EQ(links[2].Href, "https://c.example/p.png");
  EXPECT_TRUE(links[3].Image);
  EXPECT_EQ(links[3].Href, "https://d.example/q.png");
  EXPECT_EQ(links[0].Href, "https://a.example/?q=1&r=2");
  EXPECT_EQ(links[0].Text, "Go to it");
  EXPECT_EQ(links[1].Href, "https://b.example");
  EXPECT_EQ(links[1].Text, "b.example");

  EXPECT_EQ(UrlHost("HTTPS://User:pw@WWW.Example.COM:8443/path"), "www.example.com");
  EXPECT_EQ(UrlHost("javascript:alert(1)"), "");
  EXPECT_EQ(HostShownIn(" www.Bank.example/login "), "www.bank.example");
  EXPECT_EQ(HostShownIn("http://bank.example"), "bank.example");
  for (const char* none : {"こちら", "a@bank.example", "1.2.3.4", "v1.2", "see bank.example", ".example", ""})
    EXPECT_EQ(HostShownIn(none), "") << none;
}

TEST(Addresses, TheSendersMailbox) {
  const std::pair<const char*, const char*> cases[] = {
      {" Taro <taro@example.jp>", "taro@example.jp"},
      {" Facebook ,_<abbt2@example.jp>", "abbt2@example.jp"},
      {" \"Drew Fossum\"", ""},
      {" staff", "staff"},
      {" \"Yamada, <Taro>\" <taro@example.jp>, b@example.org", "taro@example.jp"},
      {" taro@example.jp (Taro <x@y>)", "taro@example.jp"},
      {" , a@example.jp, b@example.org", "a@example.jp"},
      {" <unclosed@example.jp", "unclosed@example.jp"},
      {"", ""},
  };
  for (const auto& [value, address] : cases) EXPECT_EQ(AddressOf(value), address) << value;
  EXPECT_EQ(DisplayNameOf(" \"Yamada \\\"T\\\"\" <t@example.jp>"), "Yamada \"T\"");
  EXPECT_EQ(DisplayNameOf(" =?ISO-2022-JP?B?GyRCJDMkcxsoQg==?= <t@example.jp>"), "こん");
  EXPECT_EQ(DisplayNameOf(" Facebook ,_<abbt2@example.jp>"), "Facebook, _");
  EXPECT_EQ(DisplayNameOf(" \"Drew Fossum\""), "Drew Fossum");
  EXPECT_EQ(DisplayNameOf(" {{ postmaster }}"), "{{ postmaster }}");
  // An address shown only in a comment is no sender's address, but it is what a reader sees.
  EXPECT_EQ(AddressOf(" Sale,(<info@shop.example.co.jp>)"), "Sale");
  const std::string kinds = Kinds(FindingsOf("From: Sale,(<info@shop.example.co.jp>)\r\n", "", ""));
  EXPECT_NE(kinds.find("display-name-address"), std::string::npos) << kinds;
  EXPECT_EQ(DisplayNameOf(" \x1B$B$3$s\x1B(B"), "こん");
  EXPECT_EQ(DomainOf("<Taro@Mail.Example.JP.>"), "mail.example.jp");
  EXPECT_EQ(DomainOf("none"), "");
}

TEST(Findings, WholeMessagesThroughThePipeline) {
  const std::string dir = std::string(TARVO_SOURCE_DIR) + "/tests/data/auth/";
  TMailViews views;
  LoadMailFile(dir + "gmail-clean.eml", views);
  EXPECT_TRUE(views.Findings.empty()) << Kinds(views.Findings);
  EXPECT_EQ(views.Authentication.FromDomain, "gmail.com");
  EXPECT_EQ(views.Authentication.SpfAligned, true);
  EXPECT_EQ(views.Authentication.DkimAligned, true);

  LoadMailFile(dir + "phishing.eml", views);
  EXPECT_EQ(VerdictLevel(views.Findings), TLevel::Bad);
  const std::string kinds = Kinds(views.Findings);
  for (const char* kind : {"reply-to-domain", "return-path-domain", "sender-domain", "display-name-address",
                           "message-id-domain", "punycode-domain", "link-mismatch", "auth-fail", "dkim-body-mismatch"})
    EXPECT_NE(kinds.find(kind), std::string::npos) << kind;
  EXPECT_EQ(kinds.find("auth-missing"), std::string::npos);
}

}  // namespace

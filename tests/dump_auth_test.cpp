// The --dump keys Authentication and Findings, from the program itself.
#include <gtest/gtest.h>

#include "run_tarvo.h"

using tarvo::testing::DumpOf;
using tarvo::testing::WriteTemp;

namespace {

const std::string kDir = std::string(TARVO_SOURCE_DIR) + "/tests/data/auth/";

std::string Key(const std::string& dump, const std::string& key) {
  const std::size_t at = dump.find("\"" + key + "\": ");
  if (at == std::string::npos) return {};
  const std::size_t end = dump.find("\n \"", at + 1);
  std::string v = dump.substr(at, end == std::string::npos ? std::string::npos : end - at);
  while (!v.empty() && (v.back() == '\n' || v.back() == ',' || v.back() == '}')) v.pop_back();
  return v;
}

TEST(DumpAuth, CleanGmailMessage) {
  const std::string out = DumpOf(kDir + "gmail-clean.eml");
  const std::string auth = Key(out, "Authentication");
  EXPECT_EQ(auth.substr(0, auth.find(", \"receiving_org\"")),
            "\"Authentication\": {\"from_domain\": \"gmail.com\", \"spf\": {\"result\": \"pass\", \"domain\": "
            "\"gmail.com\", \"identity\": \"mailfrom\", \"source\": \"Received-SPF\"}, \"dkim\": [{\"result\": \"pass\", "
            "\"domain\": \"gmail.com\", \"selector\": \"20230601\", \"body_hash\": \"match\"}], \"dmarc\": {\"result\": "
            "\"pass\", \"domain\": \"gmail.com\", \"source\": \"Authentication-Results\"}, \"arc\": null, "
            "\"spf_aligned\": true, \"dkim_aligned\": true");
  EXPECT_NE(auth.find("\"receiving_org\": \"google.com\", \"results\": [\n  {\"field\": 2, \"source\": \"ARC-Seal (i=1)\""),
            std::string::npos) << auth;
  EXPECT_NE(auth.find("{\"field\": 8, \"source\": \"Authentication-Results\", \"authserv_id\": \"mx.google.com\", "
                      "\"method\": \"dmarc\", \"result\": \"pass\", \"domain\": \"gmail.com\", \"trusted\": true, "
                      "\"why\": null}"),
            std::string::npos) << auth;
  EXPECT_EQ(Key(out, "Findings"), "\"Findings\": []");
}

TEST(DumpAuth, PhishingMessage) {
  const std::string out = DumpOf(kDir + "phishing.eml");
  const std::string auth = Key(out, "Authentication");
  EXPECT_NE(auth.find("\"dmarc\": {\"result\": \"fail\", \"domain\": \"tarvo-bank-secure.example.com\", \"source\""),
            std::string::npos) << auth;
  EXPECT_NE(auth.find("\"body_hash\": \"mismatch\""), std::string::npos) << auth;
  EXPECT_NE(auth.find("\"spf_aligned\": null, \"dkim_aligned\": null"), std::string::npos) << auth;
  const std::string findings = Key(out, "Findings");
  EXPECT_NE(findings.find("{\"kind\": \"display-name-address\", \"level\": \"bad\", \"text\": \"差出人の表示名に"),
            std::string::npos) << findings;
  EXPECT_NE(findings.find("\"detail\": \"Reply-To: xn--tarv-bank-32h.com (tarvо-bank.com)\""), std::string::npos)
      << findings;
}

TEST(DumpAuth, NothingToSayAndBytesThatAreNotUtf8) {
  // No results at all, and a Message-ID with a CP932 byte pair in the detail.
  const std::string out =
      DumpOf(WriteTemp("tarvo_dump_auth.eml", "From: a@example.jp\r\nMessage-ID: <\x82\xa0@other.example>\r\n\r\nx"));
  EXPECT_EQ(Key(out, "Authentication"),
            "\"Authentication\": {\"from_domain\": \"example.jp\", \"spf\": null, \"dkim\": [], \"dmarc\": null, "
            "\"arc\": null, \"spf_aligned\": null, \"dkim_aligned\": null, \"receiving_org\": \"\", \"results\": []");
  EXPECT_NE(out.find("\"kind\": \"auth-missing\", \"level\": \"warn\""), std::string::npos) << out;
  EXPECT_NE(out.find("Message-ID: <\xEF\xBF\xBD\xEF\xBF\xBD@other.example>"), std::string::npos) << out;
}

}  // namespace

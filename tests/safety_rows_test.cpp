// What the safety page says: the receiving server's verdict and Tarvo's own
// body check on rows of their own, and a banner that names its grounds.
#include <gtest/gtest.h>

#include <algorithm>

#include "checks/auth.h"
#include "views/pipeline.h"

using namespace tarvo;

namespace {

const TSafetyRow* Find(const std::vector<TSafetyRow>& rows, const std::string& item) {
  const auto it = std::find_if(rows.begin(), rows.end(), [&](const TSafetyRow& r) { return r.Item == item; });
  return it == rows.end() ? nullptr : &*it;
}

// A receiver that passed a DKIM signature whose body hash no longer matches
// the stored copy.
const char kPassedButChanged[] =
    "Authentication-Results: mx.example.jp; dkim=pass header.d=example.com header.s=sel; spf=pass "
    "smtp.mailfrom=example.com; dmarc=pass header.from=example.com\r\n"
    "Received: from out.example.com (out.example.com [192.0.2.7]) by mx.example.jp; 8 Dec 2026 10:00:01 +0900\r\n"
    "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.com; s=sel; h=From:Subject;\r\n"
    " bh=AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=; b=AAAA\r\n"
    "From: a@example.com\r\nSubject: x\r\nDate: 8 Dec 2026 10:00:00 +0900\r\n\r\nchanged body\r\n";

}  // namespace

TEST(SafetyRows, ReceiversVerdictAndTheBodyCheckAreRowsOfTheirOwn) {
  TMailViews v;
  LoadMailBytes(kPassedButChanged, v);
  const std::vector<TSafetyRow> rows = AuthenticationRows(v.Authentication);
  const TSafetyRow* said = Find(rows, "DKIM (s=sel)");
  const TSafetyRow* body = Find(rows, "DKIM 本文 (Tarvo の確認)");
  ASSERT_NE(said, nullptr);
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(said->Result, "pass (合格)");
  EXPECT_EQ(body->Result, "不一致");
  EXPECT_EQ(said->Explanation.find("bh="), std::string::npos) << said->Explanation;
  // The banner's level comes from a finding, and says which.
  const TBanner b = VerdictBanner(v.Authentication, v.Findings);
  EXPECT_FALSE(b.Neutral);
  EXPECT_NE(b.Level, TLevel::Info);
  EXPECT_EQ(b.Source.rfind("根拠: ", 0), 0u) << b.Source;
}

TEST(SafetyRows, NoResultsAtAllIsNeutralNotAWarning) {
  TMailViews v;
  LoadMailBytes("Received: from a (a [192.0.2.1]) by b; 8 Dec 2026 10:00:01 +0900\r\n"
                "From: a@example.com\r\nSubject: x\r\nDate: 8 Dec 2026 10:00:00 +0900\r\n\r\nbody\r\n",
                v);
  const TBanner b = VerdictBanner(v.Authentication, v.Findings);
  EXPECT_TRUE(b.Neutral);
  EXPECT_EQ(b.Sentence, "判定できません (認証結果がありません)");
  const std::vector<TSafetyRow> rows = AuthenticationRows(v.Authentication);
  for (const char* item : {"SPF", "DMARC", "ARC"}) {
    const TSafetyRow* r = Find(rows, item);
    ASSERT_NE(r, nullptr) << item;
    EXPECT_EQ(r->Result, "判定できません (認証結果がありません)") << item;
  }
  // A sign of its own keeps its colour.
  LoadMailBytes("From: a@example.com\r\nReply-To: z@other.example\r\nSubject: x\r\n\r\nbody\r\n", v);
  const bool otherSign = std::any_of(v.Findings.begin(), v.Findings.end(),
                                     [](const TFinding& f) { return f.Level != TLevel::Info && f.Kind != "auth-missing"; });
  EXPECT_EQ(VerdictBanner(v.Authentication, v.Findings).Neutral, !otherSign);
}

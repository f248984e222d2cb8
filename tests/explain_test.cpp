#include <gtest/gtest.h>

#include <map>

#include "base/cp932.h"
#include "mail/explain.h"
#include "mail/mailutils.h"

using namespace tarvo;

namespace {
using Lines = std::vector<std::string>;
const std::string kSep(40, '-');
const std::string kWord = "=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=";  // こん
const std::string kKon = "\x82\xb1\x82\xf1";

std::string Utf8(const std::string& cp932) { return Cp932ToUtf8(cp932, TDecodeMode::Replace); }

enum Kind { V, D, DR, NA };
struct Key {
  std::string name;  // as a header might write it
  std::vector<int> explanations;
  Kind kind;
};
const Key kKeys[] = {
    {"Date", {2}, DR},
    {"Message-ID", {3}, V},
    {"Received", {4, 5, 6}, V},
    {"MIME-Version", {7}, V},
    {"Content-Type", {8, 9, 10}, V},
    {"Reply-To", {11, 12}, D},
    {"Errors-To", {13, 12}, D},
    {"X-Sequence", {14, 15}, D},
    {"X-Keywords", {16, 17}, D},
    {"x-seq", {14, 15}, D},
    {"Mailing-List", {18}, D},
    {"to", {19, 20}, NA},
    {"Delivered-To", {19, 20}, D},
    {"Return-Path", {21, 22, 23}, V},
    {"Content-Transfer-Encoding", {24, 25, 26, 27, 28}, V},
    {"FROM", {29}, NA},
    {"Cc", {30}, V},
    {"X-Mailer", {31}, V},
    {"In-Reply-To", {32}, V},
    {"Priority", {33, 34, 35}, V},
    {"X-MSMail-Priority", {33, 34, 35}, V},
    {"X-Priority", {33, 34, 35}, V},
    {"Importance", {33, 34, 35}, V},
    {"Precedence", {33, 34, 35}, V},
    {"X-No-Archive", {36}, V},
    {"X-Authentication-Warning", {37}, V},
    {"Thread-Index", {38}, V},
    {"X-MimeOLE", {38}, V},
    {"Thread-Topic", {38}, D},
    {"Content-Class", {38}, V},
    {"X-OriginalArrivalTime", {38}, V},
    {"X-UIDL", {39}, V},
    {"References", {40}, V},
    {"Disposition-Notification-To", {41}, D},
    {"X-AntiVirus", {42}, V},
    {"X-AntiVirus-Status", {43}, V},
    {"X-Virus-Status", {43}, V},
    {"Authentication-Results", {45, 46}, V},
    {"ARC-Seal", {47, 48}, V},
    {"ARC-Message-Signature", {49, 48}, V},
    {"ARC-Authentication-Results", {50, 51}, V},
    {"DKIM-Signature", {52, 53}, V},
    {"Received-SPF", {54}, V},
    {"List-Unsubscribe", {55, 56}, V},
    {"List-Unsubscribe-Post", {57, 55}, V},
    {"List-Id", {58}, D},
    {"Authentication-Results-Original", {59, 46}, V},
    {"X-Google-DKIM-Signature", {60, 53}, V},
    {"Feedback-ID", {61}, V},
    {"X-Spam-Status", {44}, V},  // any other name
    {"Subject ", {44}, V},       // a blank before the colon: no key matches
    {"Date ", {44}, V},
};
}  // namespace

TEST(HeaderExplanationLines, EveryKeyAndTheFallback) {
  const std::string value = " \t" + kWord + " <a@example.jp> \r";
  const std::string trimmed = kWord + " <a@example.jp>";
  std::map<int, std::string> seen;  // explanation number -> its line
  for (const Key& k : kKeys) {
    const Lines got = HeaderExplanationLines(k.name, value);
    Lines values;
    switch (k.kind) {
      case V: values = {trimmed}; break;
      case D: values = {kKon + " <a@example.jp>"}; break;
      case DR: values = {kKon + " <a@example.jp>", FormatMailDate(trimmed)}; break;
      case NA: values = {trimmed, kKon + " ", "a@example.jp"}; break;
    }
    const std::size_t n = k.explanations.size();
    ASSERT_EQ(got.size(), n + 1 + values.size()) << k.name;
    EXPECT_EQ(got[n], kSep) << k.name;
    EXPECT_EQ(Lines(got.begin() + n + 1, got.end()), values) << k.name;
    for (std::size_t i = 0; i < n; ++i) {
      const std::string u = Utf8(got[i]);
      EXPECT_FALSE(u.empty() || u.find('?') != std::string::npos || u.find("\xEF\xBF\xBD") != std::string::npos)
          << k.name << " " << i;
      auto [it, fresh] = seen.emplace(k.explanations[i], got[i]);
      EXPECT_EQ(it->second, got[i]) << k.name << ": a shared explanation differs";
    }
  }
  // Different numbers are different lines.
  std::map<std::string, int> byText;
  for (const auto& [num, text] : seen) EXPECT_TRUE(byText.emplace(text, num).second) << num;
  EXPECT_EQ(seen.size(), 60u);  // E1 is the subject's
  EXPECT_EQ(Utf8(seen[2]), "日付時刻です、時間の後ろにある +- は GMT からの時差を示しています。");
  EXPECT_EQ(Utf8(seen[12]), "From よりも優先されます。");
  EXPECT_EQ(Utf8(seen[28]), "Base64 : Base64形式");
  EXPECT_EQ(Utf8(seen[30]), "このメールを同時に送信（ＣＣメール）した人の名前とアドレスが指定されます。");
  EXPECT_EQ(Utf8(seen[44]), "不明のデータです");
}

TEST(HeaderExplanationLines, SubjectDecodedUntrimmedWithoutSeparator) {
  const Lines words = HeaderExplanationLines("subject", " " + kWord + " ");
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(Utf8(words[0]), "件名です");
  EXPECT_EQ(words[1], " " + kKon + " ");
  // Raw JIS goes through the JIS converter, encoded words beside it stay.
  const Lines jis = HeaderExplanationLines("SUBJECT", " \x1b$B$3$s\x1b(B " + kWord);
  ASSERT_EQ(jis.size(), 2u);
  EXPECT_EQ(jis[1], " " + kKon + " " + kWord);
}

TEST(HeaderExplanationLines, DateHasFourLines) {
  const Lines d = HeaderExplanationLines("Date", " Tue, 8 Dec 2026 10:02:00 +0900");
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[2], "Tue, 8 Dec 2026 10:02:00 +0900");
  EXPECT_FALSE(d[3].empty());
  EXPECT_NE(d[3], d[2]);
  EXPECT_EQ(d[3], FormatMailDate("Tue, 8 Dec 2026 10:02:00 +0900"));
}

TEST(HeaderExplanationLines, FromHasFiveLinesToSix) {
  // To has two explanation lines, From one.
  for (const auto& [name, size] : {std::pair{"From", 5u}, std::pair{"To", 6u}}) {
    const Lines l = HeaderExplanationLines(name, " \"Yamada, Taro\" <taro@example.jp>");
    ASSERT_EQ(l.size(), size) << name;
    EXPECT_EQ(l[size - 4], kSep);
    EXPECT_EQ(l[size - 3], "\"Yamada, Taro\" <taro@example.jp>");
    EXPECT_EQ(l[size - 2], "Yamada, Taro");
    EXPECT_EQ(l[size - 1], "taro@example.jp");
  }
}

TEST(HeaderExplanationLines, DecodedToNothingGivesAnEmptyLine) {
  const Lines l = HeaderExplanationLines("Reply-To", "=?UTF-8?B?5pel?= \x82");  // invalid UTF-8 outside the word
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[3], "");
}

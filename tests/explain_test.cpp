#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "base/cp932.h"
#include "mail/explain.h"
#include "mail/mailutils.h"

using namespace tarvo;

namespace {
using Lines = std::vector<std::string>;
const std::string kSep(40, '-');
const std::string kWord = "=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=";  // こん
const std::string kKon = "こん";

enum Kind { V, D, DR, NA };  // NA: decoded, then name and address of each mailbox
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
    {"Reply-To", {11, 12}, NA},
    {"Errors-To", {13, 12}, NA},
    {"X-Sequence", {14, 15}, D},
    {"X-Keywords", {16, 17}, D},
    {"x-seq", {14, 15}, D},
    {"Mailing-List", {18}, D},
    {"to", {19, 20}, NA},
    {"Delivered-To", {19, 20}, D},
    {"Return-Path", {21, 22, 23}, V},
    {"Content-Transfer-Encoding", {24, 25, 26, 27, 28}, V},
    {"FROM", {29}, NA},
    {"Cc", {30}, NA},
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
    {"Disposition-Notification-To", {41}, NA},
    {"X-AntiVirus", {42}, V},
    {"X-AntiVirus-Status", {43}, V},
    {"X-Virus-Status", {43}, V},
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
      case NA: values = {kKon + " <a@example.jp>", kKon, "a@example.jp"}; break;
    }
    const std::size_t n = k.explanations.size();
    ASSERT_EQ(got.size(), n + 1 + values.size()) << k.name;
    EXPECT_EQ(got[n], kSep) << k.name;
    EXPECT_EQ(Lines(got.begin() + n + 1, got.end()), values) << k.name;
    for (std::size_t i = 0; i < n; ++i) {
      const std::string& u = got[i];
      EXPECT_FALSE(u.empty() || u.find('?') != std::string::npos || u.find("\xEF\xBF\xBD") != std::string::npos)
          << k.name << " " << i;
      auto [it, fresh] = seen.emplace(k.explanations[i], got[i]);
      EXPECT_EQ(it->second, got[i]) << k.name << ": a shared explanation differs";
    }
  }
  // Different numbers are different lines.
  std::map<std::string, int> byText;
  for (const auto& [num, text] : seen) EXPECT_TRUE(byText.emplace(text, num).second) << num;
  EXPECT_EQ(seen.size(), 43u);  // E1 is the subject's
  EXPECT_EQ((seen[2]), "日付時刻です、時間の後ろにある +- は GMT からの時差を示しています。");
  EXPECT_EQ((seen[12]), "From よりも優先されます。");
  EXPECT_EQ((seen[28]), "Base64 : Base64形式");
  EXPECT_EQ((seen[30]), "このメールを同時に送信（ＣＣメール）した人の名前とアドレスが指定されます。");
  EXPECT_EQ((seen[44]), "不明のデータです");
}

TEST(HeaderExplanationLines, SubjectDecodedUntrimmedWithoutSeparator) {
  const Lines words = HeaderExplanationLines("subject", " " + kWord + " ");
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0], "件名です");
  EXPECT_EQ(words[1], " " + kKon + " ");
  // Raw JIS goes through the JIS converter, and the words beside it are decoded.
  const Lines jis = HeaderExplanationLines("SUBJECT", " \x1b$B$3$s\x1b(B " + kWord);
  ASSERT_EQ(jis.size(), 2u);
  EXPECT_EQ(jis[1], " " + kKon + " " + kKon);
}

TEST(HeaderExplanationLines, DateHasFourLines) {
  const Lines d = HeaderExplanationLines("Date", " Tue, 8 Dec 2026 10:02:00 +0900");
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[2], "Tue, 8 Dec 2026 10:02:00 +0900");
  EXPECT_FALSE(d[3].empty());
  EXPECT_NE(d[3], d[2]);
  EXPECT_EQ(d[3], FormatMailDate("Tue, 8 Dec 2026 10:02:00 +0900"));
}

TEST(HeaderExplanationLines, AddressFieldsListEveryMailbox) {
  struct Case {
    std::string name, value;
    Lines after;  // the lines after the separator
  } cases[] = {
      {"From", " \"Yamada, Taro\" <taro@example.jp>",
       {"\"Yamada, Taro\" <taro@example.jp>", "Yamada, Taro", "taro@example.jp"}},
      {"To", "a@x (=?UTF-8?B?8J+YgA==?=), \"B\" <b@x>",
       {"a@x (😀), \"B\" <b@x>", "😀", "a@x", "B", "b@x"}},
      {"Cc", "team: a@x, b@x;", {"team: a@x, b@x;", "", "a@x", "", "b@x"}},
      {"Reply-To", "undisclosed-recipients:;", {"undisclosed-recipients:;", "", ""}},
      {"From", "", {"", "", ""}},
      {"From", "\x93\xfa <\x82\xa0@x>", {"日 <あ@x>", "日", "あ@x"}},  // raw Shift-JIS everywhere
  };
  for (const auto& c : cases) {
    const Lines l = HeaderExplanationLines(c.name, c.value);
    const auto sep = std::find(l.begin(), l.end(), kSep);
    ASSERT_NE(sep, l.end()) << c.value;
    EXPECT_EQ(Lines(sep + 1, l.end()), c.after) << c.value;
  }
}

TEST(HeaderExplanationLines, StoredValuesShowLikeTheHeaderList) {
  // Shown, not decoded: code page 932 unless the value is UTF-8; a byte that
  // starts no character keeps its private-use stand-in.
  EXPECT_EQ(HeaderExplanationLines("X-Mailer", " \x93\xfa\x96\x7b").back(), "日本");
  EXPECT_EQ(HeaderExplanationLines("X-Mailer", " 日本").back(), "日本");
  EXPECT_EQ(HeaderExplanationLines("X-Other", " a\x82").back(), "a\uF782");
}

TEST(HeaderExplanationLines, InvalidUtf8NoLongerEmptiesTheValue) {
  const Lines l = HeaderExplanationLines("X-Keywords", "=?UTF-8?B?5pel?= \x82");
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[3], "日 \uF782");
}

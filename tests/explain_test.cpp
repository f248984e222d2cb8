#include <gtest/gtest.h>

#include <algorithm>

#include "base/cp932.h"
#include "mail/explain.h"
#include "mail/mailutils.h"

using namespace tarvo;

namespace {
using Lines = std::vector<std::string>;
const std::string kSep(40, '-');
const std::string kWord = "=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=";  // こん
const std::string kKon = "こん";

}  // namespace

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

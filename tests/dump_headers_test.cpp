// Decoded header values as --dump writes the explanation box: every charset,
// every character, every mailbox.
#include <gtest/gtest.h>

#include "run_tarvo.h"

using tarvo::testing::DumpOf;
using tarvo::testing::WriteTemp;

namespace {
const std::string kMessage =
    "From: =?ISO-8859-2?B?o/NkvA==?= <lodz@example.pl>\r\n"
    "To: a@example.jp (Taro), \"Yamada, Hanako\" <h@example.jp>,\r\n"
    "\tTeam: c@example.jp;\r\n"
    "Subject: =?UTF-8?B?8J+YgCDpq5nmqYsg4pGgIOOAnA==?=\r\n"
    "Reply-To: =?EUC-KR?B?x9E=?= <k@example.kr>\r\n"
    "X-Keywords: \x1b$B$3$s\x1b(B\r\n"
    " \x1b$B$3$s\x1b(B\r\n"
    "Thread-Topic: =?us-ascii?Q?Re:?= =?utf-8*ja?q?=e6=97=a5?= =?ISO-8859-1?Q?caf=E9?=\r\n"
    "Disposition-Notification-To: =?UTF-8?B?5pelYQ?= <n@example.jp>\r\n"
    "X-Raw: \xe6\x97\xa5\xe6\x9c\xac\r\n"
    "\r\n"
    "body\r\n";
}  // namespace

TEST(DumpHeaders, ExplanationBoxShowsEveryDecodedValue) {
  const std::string out = DumpOf(WriteTemp("tarvo_dump_headers.eml", kMessage));
  const std::string sep = "\"----------------------------------------\"";
  const struct {
    const char* why;
    std::string row;
  } rows[] = {
      {"a charset outside the old table", sep + ", \"Łódź <lodz@example.pl>\", \"Łódź\", \"lodz@example.pl\"]"},
      {"several mailboxes, a comment name and a group",
       sep + ", \"a@example.jp (Taro), \\\"Yamada, Hanako\\\" <h@example.jp>,\\tTeam: c@example.jp;\", "
             "\"Taro\", \"a@example.jp\", \"Yamada, Hanako\", \"h@example.jp\", \"\", \"c@example.jp\"]"},
      {"emoji and the code page 932 extensions", "[\"件名です\", \" 😀 髙橋 ① 〜\"]"},
      {"EUC-KR", sep + ", \"한 <k@example.kr>\", \"한\", \"k@example.kr\"]"},
      {"a raw JIS continuation line keeps its ESC", sep + ", \"こん こん\"]"},
      {"three charsets, lower-case hex, blanks between words", sep + ", \"Re:日café\"]"},
      {"B word without padding", sep + ", \"日a <n@example.jp>\", \"日a\", \"n@example.jp\"]"},
      {"raw UTF-8 in a stored value", sep + ", \"日本\"]"},
  };
  for (const auto& r : rows) EXPECT_NE(out.find(r.row), std::string::npos) << r.why << "\n" << r.row << "\n" << out;
}

TEST(DumpHeaders, InvalidUtf8IsReplacedNotDropped) {
  const std::string out = DumpOf(WriteTemp("tarvo_dump_headers2.eml",
                                           "Subject: =?UTF-8?Q?a=FFb?= \x82\r\n\r\nbody\r\n"));
  EXPECT_NE(out.find("[\"件名です\", \" a\xEF\xBF\xBD" "b \xEF\xBF\xBD\"]"), std::string::npos) << out;
}

// Where a field is folded and where the header block ends change nothing
// that the message says.
TEST(DumpHeaders, FoldingAndTheHeaderEnd) {
  const struct {
    const char* why;
    std::string message, wanted;
  } cases[] = {
      {"the blank before a fold stays", "Subject: read and \r\n\tregister\r\n\r\nx\r\n",
       "[\"Subject\", \" read and \\tregister\"]"},
      {"a part header right after the message header",
       "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n--b\r\nContent-Type: text/plain\r\n\r\n"
       "hello\r\n--b--\r\n",
       "\"Memo4\": [\"hello\"]"},
      {"a web-mail field folded before by",
       "Received: from x.hotmail.com ([192.0.2.4])\r\n\tby mx.example.jp with SMTP; 9 Dec 2026 10:00:00 +0900\r\n"
       "\r\nx\r\n",
       "[\"1\", \"hotmail.com\", \"\", \"\","},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string out = DumpOf(WriteTemp("tarvo_dump_fold" + std::to_string(n++) + ".eml", c.message));
    EXPECT_NE(out.find(c.wanted), std::string::npos) << c.why << "\n" << c.wanted << "\n" << out;
  }
}

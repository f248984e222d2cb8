// --dump of the text-only and HTML views.
#include <gtest/gtest.h>


#include "run_tarvo.h"

using tarvo::testing::DumpOf;
using tarvo::testing::WriteTemp;

TEST(DumpTextViews, AlternativeSample) {
  const std::string out = DumpOf(std::string(TARVO_SOURCE_DIR) + "/samples/multipart-alternative.eml");
  EXPECT_NE(out.find("\"Memo4\": [\"お知らせ：新着情報があります。\", \"詳しくはホームページをご覧ください。\"]"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\"Memo6\": [\"<html><body><p>お知らせ：<a href=\\\"http://www.example.com/news\\\">新着情報</a>"),
            std::string::npos)
      << out;
  // Memo4 and Memo6 come between the body views and the header list.
  EXPECT_LT(out.find("\"Memo3\""), out.find("\"Memo4\""));
  EXPECT_LT(out.find("\"Memo4\""), out.find("\"Memo6\""));
  EXPECT_LT(out.find("\"Memo6\""), out.find("\"ListView1\""));
}

TEST(DumpTextViews, AlternativeHtmlInJisIsNotConverted) {
  const std::string out = DumpOf(WriteTemp("tarvo_dump_alt.eml",
      "Content-Type: multipart/alternative; boundary=b\r\n\r\n"
      "--b\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$B$3$s\x1b(B\r\n"
      "--b\r\nContent-Type: text/html; charset=ISO-2022-JP\r\n\r\n<p>\x1b$B$3$s\x1b(B</p>\r\n--b--\r\n"));
  EXPECT_NE(out.find("\"Memo4\": [\"こん\"]"), std::string::npos) << out;
  EXPECT_NE(out.find("\"Memo6\": [\"<p>\\u001b$B$3$s\\u001b(B</p>\"]"), std::string::npos) << out;
}

TEST(DumpTextViews, HtmlInTheContentTypeValueTakesTheHtmlPath) {
  const std::string out = DumpOf(WriteTemp("tarvo_dump_html.eml",
      "Content-Type: multipart/mixed; boundary=\"part-Html-1\"\n\n"
      "--part-Html-1\nContent-Type: text/plain\n\nplain\n--part-Html-1--\n"));
  EXPECT_NE(out.find("\"Memo6\": [\"--part-Html-1\", \"Content-Type: text/plain\", \"\", \"plain\", \"--part-Html-1--\"]"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\"Memo4\": []"), std::string::npos) << out;
}

TEST(DumpTextViews, Memo5HoldsTheExplanationOfEveryHeaderRow) {
  const std::string out = DumpOf(WriteTemp("tarvo_dump_memo5.eml", "X-Seq: 7\nSubject: =?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=\n\nbody\n"));
  EXPECT_NE(out.find("\"Memo5\": [[\"特定のメールソフト又はメーリングリストで利用されているようです。\", "
                     "\"処理を行った順番などが入っている場合があります。\", \"" + std::string(40, '-') + "\", \"7\"],\n"
                     "  [\"件名です\", \" こん\"]]"),
            std::string::npos)
      << out;
  EXPECT_LT(out.find("\"ListView1\""), out.find("\"Memo5\""));
}

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

TEST(DumpTextViews, AlternativeHtmlInJisIsConverted) {
  const std::string out = DumpOf(WriteTemp("tarvo_dump_alt.eml",
      "Content-Type: multipart/alternative; boundary=b\r\n\r\n"
      "--b\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$B$3$s\x1b(B\r\n"
      "--b\r\nContent-Type: text/html; charset=ISO-2022-JP\r\n\r\n<p>\x1b$B$3$s\x1b(B</p>\r\n--b--\r\n"));
  EXPECT_NE(out.find("\"Memo4\": [\"こん\"]"), std::string::npos) << out;
  EXPECT_NE(out.find("\"Memo6\": [\"<p>こん</p>\"]"), std::string::npos) << out;
}

TEST(DumpTextViews, HtmlInTheBoundaryDecidesNothing) {
  const std::string out = DumpOf(WriteTemp("tarvo_dump_html.eml",
      "Content-Type: multipart/mixed; boundary=\"part-Html-1\"\n\n"
      "--part-Html-1\nContent-Type: text/plain\n\nplain\n--part-Html-1--\n"));
  EXPECT_NE(out.find("\"Memo4\": [\"plain\"]"), std::string::npos) << out;
  EXPECT_NE(out.find("\"Memo6\": []"), std::string::npos) << out;
}

// A phone's message: UTF-8 text and HTML in base64 and quoted-printable,
// emoji included, inside multipart/mixed with a photo.
TEST(DumpTextViews, PhoneMessageInUtf8) {
  const std::string out = DumpOf(WriteTemp("tarvo_dump_phone.eml",
      "From: =?UTF-8?B?5bGx55Sw?= <yamada@example.jp>\n"
      "Content-Type: multipart/mixed; boundary=\"Apple-Mail-1\"\n\n"
      "--Apple-Mail-1\nContent-Type: multipart/alternative;\n\tboundary=\"Apple-Mail-2\"\n\n"
      "--Apple-Mail-2\nContent-Transfer-Encoding: base64\nContent-Type: text/plain;\n\tcharset=utf-8\n\n"
      "5pel5pys6Kqe44Gu44OG44Kt44K544OI8J+YgA0K5LqM6KGM55uuDQo=\n"
      "--Apple-Mail-2\nContent-Transfer-Encoding: quoted-printable\nContent-Type: text/html;\n\tcharset=utf-8\n\n"
      "<p>=E3=81=93=E3=82=93=E3=81=AB=E3=81=A1=E3=81=AF =F0=9F=98=80</p>=\n\n"
      "--Apple-Mail-2--\n\n"
      "--Apple-Mail-1\nContent-Disposition: inline; filename=IMG_0001.jpg\nContent-Type: image/jpeg; name=IMG_0001.jpg\n"
      "Content-Transfer-Encoding: base64\n\n/9j/4AAQ\n--Apple-Mail-1--\n"));
  EXPECT_NE(out.find("\"Memo4\": [\"日本語のテキスト😀\", \"二行目\"]"), std::string::npos) << out;
  EXPECT_NE(out.find("\"Memo6\": [\"<p>こんにちは 😀</p>\"]"), std::string::npos) << out;
}

// Old Mac files end their lines with CR alone; Linux files with LF alone.
TEST(DumpTextViews, CrOnlyAndLfOnlyFiles) {
  const std::string crlf =
      "Subject: x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
      "--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n\xE6\x97\xA5\xE6\x9C\xAC\r\nend\r\n--b--\r\n";
  for (const std::string eol : {"\r", "\n"}) {
    std::string mail;
    for (std::size_t i = 0; i < crlf.size(); ++i) {
      if (crlf.compare(i, 2, "\r\n") == 0) {
        mail += eol;
        ++i;
      } else {
        mail += crlf[i];
      }
    }
    const std::string out = DumpOf(WriteTemp("tarvo_dump_eol.eml", mail));
    EXPECT_NE(out.find("\"Memo1\": [\"Subject: x\", \"Content-Type: multipart/mixed; boundary=b\"]"),
              std::string::npos) << out;
    EXPECT_NE(out.find("\"Memo4\": [\"日本\", \"end\"]"), std::string::npos) << out;
  }
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

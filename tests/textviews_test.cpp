// The body views the pipeline fills, by kind of message.
#include <gtest/gtest.h>

#include "views/pipeline.h"

using namespace tarvo;

namespace {
using Lines = std::vector<std::string>;

TMailViews Load(const std::string& mail) {
  TMailViews v;
  v.Memo4.Add("stale");
  LoadMailBytes(mail, v);
  return v;
}

const std::string kJisLine = "\x1b$B$3$s\x1b(B";
const std::string kSjisLine = "\x82\xb1\x82\xf1";
const std::string kKon = "\xE3\x81\x93\xE3\x82\x93";  // こん in UTF-8

std::string Lf(const std::string& crlf) {
  std::string out;
  for (std::size_t i = 0; i < crlf.size(); ++i)
    if (!(crlf[i] == '\r' && i + 1 < crlf.size() && crlf[i + 1] == '\n')) out += crlf[i];
  return out;
}
std::string Cr(const std::string& crlf) {
  std::string out;
  for (std::size_t i = 0; i < crlf.size(); ++i)
    if (!(crlf[i] == '\n' && i > 0 && crlf[i - 1] == '\r')) out += crlf[i];
  return out;
}
}  // namespace

// One message per failure class: what the text-only and HTML views must show.
TEST(TextViews, WhatTheMessageSays) {
  struct Case {
    const char* what;
    std::string mail;
    Lines memo4, memo6;
  } cases[] = {
      {"multipart/alternative",
       "Content-Type: multipart/alternative; boundary=b\r\n\r\n"
       "--b\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n" + kJisLine + "\r\n"
       "--b\r\nContent-Type: text/html; charset=ISO-2022-JP\r\n\r\n<p>" + kJisLine + "</p>\r\n--b--\r\n",
       {kKon}, {"<p>" + kKon + "</p>"}},
      {"html in the boundary and the type parameter",
       "Content-Type: multipart/related; type=\"text/html\"; boundary=\"part-Html-1\"\n\n"
       "--part-Html-1\nContent-Type: text/html\n\n<b>h</b>\n--part-Html-1\nContent-Type: image/gif\n\nGIF\n"
       "--part-Html-1--\n",
       {}, {"<b>h</b>"}},
      {"nested mixed, signed and report",
       "Content-Type: multipart/signed; boundary=s\n\n"
       "--s\nContent-Type: multipart/mixed;\n boundary=m\nContent-Transfer-Encoding: 7bit\n\n"
       "--m\nContent-Type: multipart/report; boundary=r\n\n--r\n\nbounced\n--r\nContent-Type: message/delivery-status\n\nX: y\n--r--\n"
       "--m\nContent-Type: text/plain\n\nafter\n--m--\n"
       "--s\nContent-Type: application/pgp-signature\n\nSIG\n--s--\n",
       {"bounced", "after"}, {}},
      {"part types and dispositions",
       "Content-Type: multipart/mixed; boundary=b\n\n"
       "--b\n\nno type\n"
       "--b\nContent-Type: TEXT/PLAIN\n\ncapitals\n"
       "--b\nContent-Type: text/plain; name=\"n.txt\"\nContent-Description: d\n\nnamed\n"
       "--b\nContent-Type: text/plain\nContent-Disposition: attachment; filename=a.txt\n\nattached\n"
       "--b\nContent-Type: message/rfc822\n\nSubject: inner\n\ninner text\n--b--\n",
       {"no type", "capitals", "named"}, {}},
      {"single part in base64",
       "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n44GT44KT\n",
       {kKon}, {}},
      {"single html part in quoted-printable",
       "Content-Type: text/html; charset=shift_jis\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
       "<p>=82=b1=82=F1</p>=\r\n<br>\r\n",
       {}, {"<p>" + kKon + "</p><br>"}},
      {"quoted-printable rules",
       "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n"
       "soft=\n\nnext 1=2 \xE3\x81\x93\n",
       {"soft", "next 1=2 \xE3\x81\x93"}, {}},
      {"single part of another type", "Content-Type: image/png\n\nPNG\n", {}, {}},
  };
  for (const auto& c : cases) {
    const TMailViews v = Load(c.mail);
    EXPECT_EQ(v.Memo4.Lines(), c.memo4) << c.what;
    EXPECT_EQ(v.Memo6.Lines(), c.memo6) << c.what;
  }
}

// LF-only and CR-only files show the same text as CR LF ones; the raw views
// keep the bytes as stored.
TEST(TextViews, LineEndFormsShowTheSameText) {
  const std::string crlf =
      "Subject: x\r\nContent-Type: multipart/alternative; boundary=b\r\n\r\n"
      "--b\r\nContent-Type: text/plain\r\n\r\nline one\r\nline two\r\n"
      "--b\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n--b--\r\n";
  for (const std::string& mail : {crlf, Lf(crlf), Cr(crlf)}) {
    const TMailViews v = Load(mail);
    EXPECT_EQ(v.Memo4.Lines(), (Lines{"line one", "line two"})) << mail;
    EXPECT_EQ(v.Memo6.Lines(), (Lines{"<p>x</p>"})) << mail;
    EXPECT_EQ(v.Memo1.Lines(), (Lines{"Subject: x", "Content-Type: multipart/alternative; boundary=b"})) << mail;
    ASSERT_EQ(v.Memo3.Count(), 10u) << mail;
    EXPECT_EQ(v.Memo3[0], "--b");
  }
}

TEST(TextViews, Memo2ReadsUtf8LinesAsUtf8) {
  const TMailViews v = Load("Subject: x\n\n\xE6\x97\xA5\xE6\x9C\xAC\n" + kJisLine + "\n" + kSjisLine + "\nplain\n");
  EXPECT_EQ(v.Memo2.Lines(), (Lines{"\xE6\x97\xA5\xE6\x9C\xAC", kKon, kKon, "plain"}));
  EXPECT_EQ(v.Memo3.Lines(), (Lines{"\xE6\x97\xA5\xE6\x9C\xAC", kJisLine, kSjisLine, "plain"}));
  EXPECT_EQ(v.Memo4.Lines(), v.Memo2.Lines());
}

TEST(TextViews, MultipartWithoutBoundaryShowsNoText) {
  const TMailViews v = Load("Content-Type: multipart/mixed\n\n--b\nContent-Type: text/plain\n\n" + kJisLine + "\n--b--\n");
  EXPECT_TRUE(v.Memo4.Empty());
  EXPECT_TRUE(v.Memo6.Empty());
  EXPECT_EQ(v.Memo3.Count(), 5u);
}

TEST(TextViews, EmptyBodyLeavesBothEmpty) {
  const TMailViews v = Load("Content-Type: multipart/mixed; boundary=b\n\n");
  EXPECT_TRUE(v.Memo4.Empty());
  EXPECT_TRUE(v.Memo6.Empty());
}

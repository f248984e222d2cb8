// The text-only and HTML views the pipeline fills, by kind of message.
#include <gtest/gtest.h>

#include "mail/pipeline.h"

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
}  // namespace

TEST(TextViews, HtmlSinglePartIsShownAsStored) {
  const TMailViews v = Load(
      "Content-Type: text/html; charset=shift_jis\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
      "<p>=82=B1</p>\r\n" + kJisLine + "\r\n");
  EXPECT_EQ(v.Memo6.Lines, (Lines{"<p>=82=B1</p>", kJisLine}));
  EXPECT_TRUE(v.Memo4.Empty());
}

TEST(TextViews, HtmlAnywhereInContentTypeTakesTheHtmlPath) {
  const std::string body = "--=_html_1\r\nContent-Type: text/plain\r\n\r\ntext\r\n--=_html_1--\r\n";
  for (const std::string ct : {"multipart/mixed; boundary=\"=_html_1\"", "multipart/related; type=\"text/HTML\"; boundary=\"=_html_1\""}) {
    const TMailViews v = Load("Content-Type: " + ct + "\r\n\r\n" + body);
    EXPECT_EQ(v.Memo6.Lines, (Lines{"--=_html_1", "Content-Type: text/plain", "", "text", "--=_html_1--"})) << ct;
    EXPECT_TRUE(v.Memo4.Empty()) << ct;
  }
}

TEST(TextViews, MultipartWithoutBoundaryIsOnePart) {
  const TMailViews v = Load("Content-Type: multipart/mixed\n\n--b\nContent-Type: text/plain\n\n" + kJisLine + "\n--b--\n");
  EXPECT_EQ(v.Memo4.Lines, (Lines{"--b", "Content-Type: text/plain", "", kSjisLine, "--b--"}));
  EXPECT_TRUE(v.Memo6.Empty());
}

TEST(TextViews, AlternativeTextConvertedHtmlDecodedOnly) {
  const TMailViews v = Load(
      "Content-Type: multipart/alternative; boundary=b\r\n\r\n"
      "--b\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n" + kJisLine + "\r\n"
      "--b\r\nContent-Type: text/plain; name=a.txt\r\n\r\nattached\r\n"
      "--b\r\nContent-Type: text/html; charset=iso-2022-jp\r\nContent-Transfer-Encoding: base64\r\n\r\n"
      "PHA+GyRCJDMkcxsoQjwvcD4=\r\n--b--\r\n");
  EXPECT_EQ(v.Memo4.Lines, (Lines{kSjisLine}));
  EXPECT_EQ(v.Memo6.Lines, (Lines{"<p>" + kJisLine + "</p>"}));
}

TEST(TextViews, SinglePartIsNeverTransferDecoded) {
  const TMailViews v = Load("Content-Transfer-Encoding: base64\n\nYWJj\n" + kJisLine + "\n");
  EXPECT_EQ(v.Memo4.Lines, (Lines{"YWJj", kSjisLine}));
  EXPECT_TRUE(v.Memo6.Empty());
  EXPECT_EQ(v.Memo3.Lines, (Lines{"YWJj", kJisLine}));
}

TEST(TextViews, EmptyBodyLeavesBothEmpty) {
  const TMailViews v = Load("Content-Type: multipart/mixed; boundary=b\n\n");
  EXPECT_TRUE(v.Memo4.Empty());
  EXPECT_TRUE(v.Memo6.Empty());
}

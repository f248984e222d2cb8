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
const std::string kSjisLine = "こん";  // decoded views hold UTF-8
}  // namespace

TEST(TextViews, HtmlSinglePartIsShownAsStored) {
  const TMailViews v = Load(
      "Content-Type: text/html; charset=shift_jis\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
      "<p>=82=B1</p>\r\n" + kJisLine + "\r\n");
  EXPECT_EQ(v.Memo6.Lines, (Lines{"<p>=82=B1</p>", kJisLine}));
  EXPECT_TRUE(v.Memo4.Empty());
}

TEST(TextViews, MultipartWithoutBoundaryIsOnePart) {
  const TMailViews v = Load("Content-Type: multipart/mixed\n\n--b\nContent-Type: text/plain\n\n" + kJisLine + "\n--b--\n");
  EXPECT_EQ(v.Memo4.Lines, (Lines{"--b", "Content-Type: text/plain", "", kSjisLine, "--b--"}));
  EXPECT_TRUE(v.Memo6.Empty());
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

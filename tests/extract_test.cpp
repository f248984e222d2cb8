#include <gtest/gtest.h>

#include "mail/mailutils.h"

using namespace tarvo;
using namespace std::string_literals;

namespace {
struct Extracted {
  std::vector<std::string> text, html;
};

Extracted Extract(const std::string& body, const std::string& boundary) {
  TMemoryStream b(body);
  TAttachLists parts;
  std::string outside;
  const std::int32_t n = ParseMultipart(b, boundary, outside, parts);
  TStringList text, html;
  text.Add("before");
  GetTextPlainParts(b, n, parts, text);
  GetTextHtmlParts(b, n, parts, html);
  return {text.Lines, html.Lines};
}
using Lines = std::vector<std::string>;
}  // namespace

TEST(Extract, PlainPartsWithoutNamesHtmlPartsAll) {
  const Extracted e = Extract(
      "--b\r\nContent-Type: text/plain\r\n\r\none\r\ntwo\r\n"
      "--b\r\nContent-Type: text/html\r\n\r\n<p>1</p>\r\n"
      "--b\r\nContent-Type: text/plain; name=\"att.txt\"\r\n\r\nattached\r\n"
      "--b\r\nContent-Type: Text/Plain\r\nContent-Description: note\r\n\r\ndescribed\r\n"
      "--b\r\nContent-Type: text/html\r\nContent-Disposition: attachment; filename=\"p.html\"\r\n\r\n<p>2</p>\r\n"
      "--b\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nthree\r\n"
      "--b\r\nContent-Type: application/octet-stream\r\n\r\nbin\r\n--b--\r\n",
      "b");
  EXPECT_EQ(e.text, (Lines{"before", "one", "two", "three"}));
  EXPECT_EQ(e.html, (Lines{"<p>1</p>", "<p>2</p>"}));
}

TEST(Extract, TransferEncodingsAreUndone) {
  const Extracted e = Extract(
      "--b\nContent-Type: text/plain\nContent-Transfer-Encoding: base64\n\nbGluZTEKbGluZTI=\n"
      "--b\nContent-Type: text/html\nContent-Transfer-Encoding: quoted-printable\n\n<a href=3D\"x\">soft=\n break</a>\n--b--\n",
      "b");
  EXPECT_EQ(e.text, (Lines{"before", "line1", "line2"}));
  EXPECT_EQ(e.html, (Lines{"<a href=\"x\">soft break</a"}));  // LF lines: the last byte is cut
}

TEST(Extract, NulEndsAPartsText) {
  const Extracted e = Extract("--b\nContent-Type: text/plain\n\nab\0cd\nef\n--b\nContent-Type: text/plain\n\nnext\r\n--b--"s, "b");
  EXPECT_EQ(e.text, (Lines{"before", "ab", "next"}));
}

TEST(Extract, CountBoundsTheParts) {
  TMemoryStream b(std::string("abcdef"));
  TAttachLists parts(1);
  parts[0].PartContentType = "Content-Type: text/plain";
  parts[0].StartPos = 1;
  parts[0].EndPos = 3;
  TStringList text;
  GetTextPlainParts(b, 0, parts, text);
  EXPECT_TRUE(text.Empty());
  GetTextPlainParts(b, 5, parts, text);  // more than the list holds
  EXPECT_EQ(text.Lines, (Lines{"bc"}));
}

TEST(ConvertListToSJIS, EachLineByItsOwnCode) {
  TStringList l;
  l.Add("abc");
  l.Add("\x1b$B$3$s\x1b(B");
  l.Add("\x82\xb1\x82\xf1");
  ConvertListToSJIS(l);
  EXPECT_EQ(l.Lines, (Lines{"abc", "\x82\xb1\x82\xf1", "\x82\xb1\x82\xf1"}));
}

#include <gtest/gtest.h>

#include "mail/mailutils.h"

using namespace tarvo;

namespace {
struct Walked {
  std::string body;
  std::int32_t count;
  TAttachLists parts;
  std::string text;

  std::string Content(std::size_t i) const {
    const auto& p = parts.at(i);
    return p.EndPos > p.StartPos ? body.substr(p.StartPos, p.EndPos - p.StartPos) : std::string();
  }
  std::string Name(std::size_t i) const { return parts.at(i).PartName; }
};

Walked Walk(const std::string& body, const std::string& boundary) {
  TMemoryStream s(body);
  Walked w{body, 0, {}, "stale"};
  w.parts.resize(3);
  w.count = ParseMultipart(s, boundary, w.text, w.parts);
  EXPECT_EQ(s.Bytes(), body);
  EXPECT_EQ(w.parts.size(), static_cast<std::size_t>(w.count));
  return w;
}

// One part with the given header lines and content, boundary "b".
std::string OnePart(const std::string& headers, const std::string& content = "x") {
  return "--b\r\n" + headers + "\r\n\r\n" + content + "\r\n--b--\r\n";
}

std::string Decode(const std::string& body, std::int32_t start, std::int32_t end, const std::string& enc) {
  TMemoryStream b(body), out(std::string("old"));
  DecodePartStream(b, start, end, out, enc);
  return out.Bytes();
}
}  // namespace

TEST(ParseMultipart, EmptyBodyGivesNothing) {
  const Walked w = Walk("", "b");
  EXPECT_EQ(w.count, 0);
  EXPECT_EQ(w.text, "");
}

TEST(ParseMultipart, PartsAndPreambleSentences) {
  const Walked w = Walk(
      "This is a multi-part message in MIME format.\r\n\r\n"
      "keep me\r\n"
      "This is a MIME-formatted message.\r\n"
      "Portions of this message may be unreadable without a MIME-capable mail program.\r\n"
      "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n"
      "--b\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: 7bit\r\n\r\n<p>x</p>\r\n"
      "--b--\r\nafter\r\n--b\r\nContent-Type: text/plain\r\n\r\nignored\r\n",
      "b");
  ASSERT_EQ(w.count, 2);
  EXPECT_EQ(w.text, "keep me\r\n");
  EXPECT_EQ(w.parts[0].PartContentType, "Content-Type: text/plain");
  EXPECT_EQ(w.Content(0), "hello");
  EXPECT_EQ(w.parts[1].TransferEncoding, "Content-Transfer-Encoding: 7bit");
  EXPECT_EQ(w.Content(1), "<p>x</p>");
  EXPECT_EQ(w.Name(0), "");
}

TEST(ParseMultipart, SentenceKeepsAFollowingNonEmptyLine) {
  const Walked w = Walk("THIS IS A MULTI-PART MESSAGE IN MIME FORMAT.\nnext\n\nmore\n", "b");
  EXPECT_EQ(w.count, 0);
  EXPECT_EQ(w.text, "next\r\n\r\nmore\r\n");
}

TEST(ParseMultipart, NestedAlternativeIsWalked) {
  const Walked w = Walk(
      "--m\r\nContent-Type: multipart/alternative;\r\n\tboundary=\"alt\"\r\n\r\npreamble\r\n"
      "--alt\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
      "--alt\r\nContent-Type: text/html\r\n\r\nhtml\r\n"
      "--alt--\r\n\r\n"
      "--m\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\n\r\nPDF\r\n--m--\r\n",
      "m");
  ASSERT_EQ(w.count, 4);
  EXPECT_EQ(w.parts[0].PartContentType, "Content-Type: multipart/alternative;\tboundary=\"alt\"");
  EXPECT_EQ(w.Content(0), "preamble");
  EXPECT_EQ(w.Content(1), "plain");
  EXPECT_EQ(w.Content(2), "html");
  EXPECT_EQ(w.Content(3), "PDF");
  EXPECT_EQ(w.Name(3), "a.pdf");
  EXPECT_EQ(w.text, "\r\n");  // the inner closing line is dropped, the blank after it kept
}

TEST(ParseMultipart, NestedRelatedInsideAlternative) {
  const Walked w = Walk(
      "--a\nContent-Type: multipart/related; boundary=r\n\n"
      "--r\nContent-Type: text/html\n\n<img>\n"
      "--r\nContent-Type: image/png; name=\"i.png\"\n\nPNG\n--r--\n"
      "--a\nContent-Type: text/plain\n\nt\n--a--\n",
      "a");
  ASSERT_EQ(w.count, 4);
  EXPECT_EQ(w.Name(2), "i.png");
  EXPECT_EQ(w.parts[3].PartContentType, "Content-Type: text/plain");
}

TEST(ParseMultipart, NestedMixedIsOnePart) {
  const std::string inner = "--inner\r\nContent-Type: text/plain\r\n\r\nx\r\n--inner--";
  const Walked w = Walk("--m\r\nContent-Type: multipart/mixed; boundary=\"inner\"\r\n\r\n" + inner + "\r\n--m--\r\n", "m");
  ASSERT_EQ(w.count, 1);
  EXPECT_EQ(w.Content(0), inner);
}

TEST(ParseMultipart, PartWithoutHeadersIsNotListed) {
  const Walked w = Walk("--b\r\n\r\nline1\r\n--b\r\nX-Other: 1\r\n\r\nline2\r\n--b\r\nContent-Type: text/plain\r\n\r\nx\r\n--b--", "b");
  ASSERT_EQ(w.count, 1);
  EXPECT_EQ(w.parts[0].PartContentType, "Content-Type: text/plain");
  EXPECT_EQ(w.text, "line1\r\nline2\r\n");
}

TEST(ParseMultipart, OuterWalkIsCaseSensitiveContentScanIsNot) {
  const Walked w = Walk(
      "--abc\r\nContent-Type: text/plain\r\n\r\nbody\r\nxx--ABCxx\r\nstray\r\n"
      "--abc\r\nContent-Type: text/html\r\n\r\nh\r\n--abc--",
      "abc");
  ASSERT_EQ(w.count, 2);
  EXPECT_EQ(w.Content(0), "body");
  EXPECT_EQ(w.text, "xx--ABCxx\r\nstray\r\n");
}

TEST(ParseMultipart, MarkerInTheMiddleOfALineEndsContent) {
  const Walked w = Walk("--b\nContent-Type: text/plain\n\none\ntext --b text\n", "b");
  // The line then starts a part at the top level, which has no header lines.
  ASSERT_EQ(w.count, 1);
  EXPECT_EQ(w.Content(0), "on");
}

TEST(ParseMultipart, EmptyBoundary) {
  const Walked w = Walk("pre\r\n--\r\nContent-Type: text/plain\r\n\r\nx\r\n------\r\nafter--\r\n", "");
  ASSERT_EQ(w.count, 1);
  EXPECT_EQ(w.text, "pre\r\n");
  EXPECT_EQ(w.Content(0), "x");
  const Walked v = Walk("a--b\r\nContent-Type: x\r\n\r\ny\r\n", "");
  EXPECT_EQ(v.count, 1);
}

TEST(ParseMultipart, EndPosArithmetic) {
  struct Case {
    std::string body, content;
    std::int32_t endMinusStart;
  } cases[] = {
      {"--b\r\nContent-Type: t\r\n\r\nab\r\ncd\r\n--b--\r\n", "ab\r\ncd", 6},
      {"--b\nContent-Type: t\n\nab\ncd\n--b--\n", "ab\nc", 4},        // LF only: a content byte is cut
      {"--b\r\nContent-Type: t\r\n\r\nab\r\ncd\r\n", "ab\r\ncd", 6},  // no boundary: size - 2
      {"--b\r\nContent-Type: t\r\n\r\n--b--\r\n", "", -2},             // boundary right after the blank line
  };
  for (const auto& c : cases) {
    const Walked w = Walk(c.body, "b");
    ASSERT_EQ(w.count, 1) << c.body;
    EXPECT_EQ(w.parts[0].EndPos - w.parts[0].StartPos, c.endMinusStart) << c.body;
    EXPECT_EQ(w.Content(0), c.content) << c.body;
    EXPECT_EQ(Decode(c.body, w.parts[0].StartPos, w.parts[0].EndPos, ""), c.content.empty() ? "old" : c.content);
  }
}

TEST(ParseMultipart, HeadersWithoutBlankLineGetNoContentRange) {
  const Walked w = Walk("--b\r\nContent-Type: text/plain\r\n--b\r\nmore", "b");
  ASSERT_EQ(w.count, 1);
  EXPECT_EQ(w.parts[0].StartPos, 0);
  EXPECT_EQ(w.parts[0].EndPos, 0);
}

TEST(ParseMultipart, OtherFieldLinesContinueTheKnownField) {
  const Walked w = Walk(OnePart("Content-Transfer-Encoding: 7bit\r\nX-Note: base64"), "b");
  ASSERT_EQ(w.count, 1);
  EXPECT_EQ(w.parts[0].TransferEncoding, "Content-Transfer-Encoding: 7bitX-Note: base64");
}

TEST(ParseMultipart, FileNames) {
  struct Case {
    std::string headers, name;
  } cases[] = {
      {"Content-Type: image/png; name=\"a.png\"", "a.png"},
      {"Content-Type: application/octet-stream; name= plain.bin ", "plain.bin"},
      {"Content-Type: application/x;\r\n\tname=\"t\tab.bin\"", "tab.bin"},
      {"Content-Disposition: attachment;\r\n\tfilename=\"a.pdf\"", "a.pdf"},
      {"Content-Disposition: attachment; filename=\"a.txt\"; size=10", "a.txt; size=10"},
      {"Content-Disposition: attachment; filename*=UTF-8''%E6%97%A5%E6%9C%AC.txt", "\x93\xfa\x96\x7b.txt"},
      {"Content-Disposition: attachment; filename*=iso-2022-jp''abc.txt", "abc.txt"},
      {"Content-Disposition: attachment; filename*=plain;", "plain"},
      {"Content-Disposition: attachment; filename*=UTF-8'a%41.txt", "UTF-8'a%41.txt"},  // one "'": as it stands
      {"Content-Disposition: attachment;\r\n filename*0*=UTF-8''%41%42;\r\n filename*1*=%43.txt", "ABC.txt"},
      {"Content-Disposition: attachment;\r\n filename*0*=\r\n filename*1*=a%41", "aA"},
      {"Content-Type: text/plain\r\nContent-Description: note", "note"},
      {"Content-Type: message/delivery-status; name=x", "DeliveryStatus.txt"},
      {"Content-Type: message/rfc822; name=\"fwd.msg\"", "fwd.eml"},
      {"Content-Type: message/rfc822; name=\"a.b\\c\"", "a.b\\c.eml"},
      {"Content-Type: message/rfc822; name=\"a.\x95\x5c\"", "a.eml"},  // 0x5C as a trail byte is no backslash
      {"Content-Type: text/plain", ""},
  };
  for (const auto& c : cases) {
    const Walked w = Walk(OnePart(c.headers), "b");
    ASSERT_EQ(w.count, 1) << c.headers;
    EXPECT_EQ(w.Name(0), c.name) << c.headers;
  }
}

TEST(ParseMultipart, SegmentedNameDoesNotCarryIntoTheNextPart) {
  const Walked w = Walk(
      "--b\nContent-Type: application/x\nContent-Disposition: attachment;\n filename*0*=UTF-8''%41;\n filename*1*=.txt\n\nA\n"
      "--b\nContent-Type: application/y\nContent-Disposition: inline\n\nB\n--b--\n",
      "b");
  ASSERT_EQ(w.count, 2);
  EXPECT_EQ(w.Name(0), "A.txt");
  EXPECT_EQ(w.Name(1), "");
}

TEST(ParseMultipart, GeneratedNames) {
  const Walked w = Walk(
      "--b\nContent-Type: text/plain\n\nx\n"
      "--b\nContent-Type: TEXT/PLAIN\n\nx\n"
      "--b\nContent-Type: message/rfc822\n\nx\n--b--\n",
      "b");
  ASSERT_EQ(w.count, 3);
  EXPECT_EQ(w.Name(0), "");
  const std::string n1 = w.Name(1), n2 = w.Name(2);
  ASSERT_GT(n1.size(), 2u);
  EXPECT_EQ(n1.substr(n1.size() - 2), "-2");
  EXPECT_EQ(n1.find_first_not_of("0123456789"), n1.size() - 2);
  ASSERT_GT(n2.size(), 6u);
  EXPECT_EQ(n2.substr(n2.size() - 6), "-3.eml");
  EXPECT_EQ(n2.find_first_not_of("0123456789"), n2.size() - 6);
}

TEST(ParseMultipart, FiftySecondLevelStaysOnePart) {
  // Containers L0x ... L51x: the last one would need a 52nd stack level.
  std::string body;
  for (int k = 1; k <= 51; ++k)
    body += "--L" + std::to_string(k - 1) + "x\nContent-Type: multipart/alternative; boundary=L" + std::to_string(k) +
            "x\n\n";
  const std::string deepest = "--L51x\nContent-Type: text/plain\n\ndeep\n--L51x--";
  body += deepest + "\n";
  for (int k = 50; k >= 0; --k) body += "--L" + std::to_string(k) + "x--\n";
  const Walked w = Walk(body, "L0x");
  ASSERT_EQ(w.count, 51);
  EXPECT_EQ(w.Content(50), deepest.substr(0, deepest.size() - 1));  // LF lines: the last byte is cut
  for (int i = 0; i < 50; ++i) EXPECT_EQ(w.Content(i), "") << i;
}

TEST(DecodePartStream, Encodings) {
  struct Case {
    std::string content, encoding, want;
  } cases[] = {
      {"YWJj", "Content-Transfer-Encoding: Base64", "abc"},
      {"a=3Db=\r\nc", "Content-Transfer-Encoding: quoted-printable", "a=bc"},
      {"a=3Db", "Content-Transfer-Encoding: 7bit", "a=3Db"},
      {"YWJj", "", "YWJj"},
      {"YWJj", "Content-Transfer-Encoding: 8bitX-Note: base64", "abc"},  // the word anywhere on the line
  };
  for (const auto& c : cases) {
    const std::string body = "pre" + c.content + "post";
    EXPECT_EQ(Decode(body, 3, 3 + static_cast<std::int32_t>(c.content.size()), c.encoding), c.want) << c.encoding;
  }
}

TEST(DecodePartStream, ImpossibleRangesLeaveTheOutput) {
  EXPECT_EQ(Decode("abcdef", 2, 2, ""), "old");
  EXPECT_EQ(Decode("abcdef", 4, 2, ""), "old");
  EXPECT_EQ(Decode("abc", 0, 4, ""), "old");
  EXPECT_EQ(Decode("abcdef", 4, 8, ""), "ef");  // bounded by the body
  EXPECT_EQ(Decode("abcdef", -2, 1, ""), "");
}

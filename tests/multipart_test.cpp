#include <gtest/gtest.h>

#include "mail/mailutils.h"

using namespace tarvo;

namespace {
struct Walked {
  std::string body;
  std::int32_t count;
  TAttachLists parts;

  std::string Content(std::size_t i) const {
    const auto& p = parts.at(i);
    return std::string(PartContent(PartSource(body, p), p.StartPos, p.EndPos));
  }
  std::string Name(std::size_t i) const { return parts.at(i).PartName; }
  std::vector<std::string> Types() const {
    std::vector<std::string> t;
    for (const auto& p : parts) t.push_back(p.MediaType);
    return t;
  }
};

Walked Message(const std::string& header, const std::string& body) {
  Walked w{body, 0, {}};
  w.parts.resize(2);
  w.count = ParseMessageParts(ReadFields(header), body, w.parts);
  EXPECT_EQ(w.parts.size(), static_cast<std::size_t>(w.count));
  return w;
}

// The body of a multipart/mixed message with this boundary.
Walked Walk(const std::string& body, const std::string& boundary) {
  return Message("Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n", body);
}

// One part with the given header lines and content, boundary "b".
std::string OnePart(const std::string& headers, const std::string& content = "x") {
  return "--b\r\n" + (headers.empty() ? "" : headers + "\r\n") + "\r\n" + content + "\r\n--b--\r\n";
}

std::string Decode(const std::string& body, std::int32_t start, std::int32_t end, const std::string& enc) {
  TMemoryStream out(std::string("old"));
  DecodePartStream(body, start, end, out, enc);
  return out.Bytes();
}

// Every CR LF of a text replaced by `eol`; with an empty `eol` the lines
// take LF, CR and CR LF in turn.
std::string WithLineEnds(const std::string& crlf, const std::string& eol) {
  static const char* const kMixed[] = {"\n", "\r", "\r\n"};
  std::string out;
  std::size_t line = 0;
  for (std::size_t i = 0; i < crlf.size(); ++i) {
    if (crlf.compare(i, 2, "\r\n") == 0) {
      out += eol.empty() ? kMixed[line++ % 3] : eol;
      ++i;
    } else {
      out += crlf[i];
    }
  }
  return out;
}

std::string LfOnly(std::string s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      out += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}
}  // namespace

TEST(ParseMultipart, EmptyBodyGivesNothing) { EXPECT_EQ(Walk("", "b").count, 0); }

TEST(ParseMultipart, PartsAfterThePreamble) {
  const Walked w = Walk(
      "This is a multi-part message in MIME format.\r\n\r\n"
      "keep me\r\n"
      "This is a MIME-formatted message.\r\n"
      "Portions of this message may be unreadable without a MIME-capable mail program.\r\n"
      "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n"
      "--b\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: 7BIT\r\n\r\n<p>x</p>\r\n"
      "--b--\r\nafter\r\n--b\r\nContent-Type: text/plain\r\n\r\nignored\r\n",
      "b");
  ASSERT_EQ(w.count, 2);
  EXPECT_EQ(w.parts[0].PartContentType, "text/plain");
  EXPECT_EQ(w.Content(0), "hello");
  EXPECT_EQ(w.parts[1].TransferEncoding, "7bit");
  EXPECT_EQ(w.Content(1), "<p>x</p>");
  EXPECT_EQ(w.Name(0), "");
  EXPECT_EQ(w.parts[0].Depth, 1);
}

// Every line-end form gives the same parts with the same content.
TEST(ParseMultipart, LineEndFormsGiveTheSameParts) {
  const std::string crlf =
      "pre\r\n--m\r\nContent-Type: multipart/alternative;\r\n boundary=\"a\"\r\n\r\n"
      "--a\r\nContent-Type: text/plain\r\n\r\none\r\ntwo\r\n\r\n"
      "--a\r\nContent-Type: text/html\r\n\r\n<p>h</p>\r\n--a--\r\n"
      "--m\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\nQUJD\r\n"
      "--m\r\n\r\nz\r\n--m--\r\n";
  const Walked ref = Walk(crlf, "m");
  ASSERT_EQ(ref.count, 4);
  EXPECT_EQ(ref.Content(0), "one\r\ntwo\r\n");
  EXPECT_EQ(ref.Content(1), "<p>h</p>");
  EXPECT_EQ(ref.Content(2), "QUJD");
  EXPECT_EQ(ref.Content(3), "z");
  for (const std::string eol : {"\n", "\r", ""}) {
    const Walked w = Walk(WithLineEnds(crlf, eol), "m");
    ASSERT_EQ(w.count, ref.count) << eol.size();
    EXPECT_EQ(w.Types(), ref.Types());
    for (int i = 0; i < ref.count; ++i) EXPECT_EQ(LfOnly(w.Content(i)), LfOnly(ref.Content(i))) << i << eol.size();
    EXPECT_EQ(w.Content(1), "<p>h</p>");
    EXPECT_EQ(Decode(w.body, w.parts[2].StartPos, w.parts[2].EndPos, "base64"), "ABC");
  }
}

// Multiparts of every subtype are walked to their leaves; only leaves are listed.
TEST(ParseMultipart, NestedMultipartsReachEveryLeaf) {
  const Walked w = Walk(
      "--m\nContent-Type: multipart/signed; protocol=\"application/pgp-signature\"; boundary=s\n\n"
      "--s\nContent-Type: multipart/alternative; boundary=\"a\"\n\n"
      "--a\nContent-Type: text/plain\n\nplain\n"
      "--a\nContent-Type: multipart/related; boundary=r\n\n"
      "--r\nContent-Type: text/html\n\n<img>\n"
      "--r\nContent-Type: image/png; name=\"i.png\"\n\nPNG\n--r--\n"
      "--a--\n"
      "--s\nContent-Type: application/pgp-signature\n\nSIG\n--s--\n"
      "--m\nContent-Type: multipart/report; report-type=delivery-status; boundary=\"rep\"\n\n"
      "--rep\nContent-Type: text/plain\n\nbounced\n"
      "--rep\nContent-Type: message/delivery-status\n\nStatus: 5.0.0\n--rep--\n"
      "--m\nContent-Type: multipart/mixed; boundary=\"x\"\n\n--x\nContent-Type: text/plain\n\ninner\n--x--\n"
      "--m--\n",
      "m");
  using V = std::vector<std::string>;
  EXPECT_EQ(w.Types(), (V{"text/plain", "text/html", "image/png", "application/pgp-signature", "text/plain",
                          "message/delivery-status", "text/plain"}));
  ASSERT_EQ(w.count, 7);
  EXPECT_EQ(w.Content(0), "plain");
  EXPECT_EQ(w.Content(1), "<img>");
  EXPECT_EQ(w.Content(2), "PNG");
  EXPECT_EQ(w.Content(3), "SIG");
  EXPECT_EQ(w.Content(4), "bounced");
  EXPECT_EQ(w.Content(6), "inner");
  EXPECT_EQ(w.parts[1].Depth, 4);
  EXPECT_EQ(w.parts[4].Depth, 2);
}

TEST(ParseMultipart, HeaderFieldsAreParsedByName) {
  struct Case {
    std::string headers, type, charset, disposition, encoding;
  } cases[] = {
      {"", "text/plain", "", "", ""},  // no header at all is plain text
      {"Content-Type: TEXT/PLAIN; CHARSET=\"UTF-8\"", "text/plain", "UTF-8", "", ""},
      {"content-type: Text/Html;charset=iso-2022-jp", "text/html", "iso-2022-jp", "", ""},
      {"Content-Type: text", "text/plain", "", "", ""},  // no subtype: plain text
      {"Content-Type: text/plain (comment); charset=us-ascii", "text/plain", "us-ascii", "", ""},
      {"Content-Description: note\r\nContent-Type: text/plain", "text/plain", "", "", ""},
      {"Content-Type: text/plain;\r\n\tcharset=utf-8\r\nContent-Transfer-Encoding: Base64", "text/plain", "utf-8", "",
       "base64"},
      {"Content-Disposition: ATTACHMENT; filename=a.txt", "text/plain", "", "attachment", ""},
      {"Content-Disposition: inline", "text/plain", "", "inline", ""},
      // Another field after a folded type is a field of its own.
      {"Content-Type: text/html;\r\n charset=utf-8\r\nX-Note: base64", "text/html", "utf-8", "", ""},
      {"Content-Type : text/html", "text/html", "", "", ""},
  };
  for (const auto& c : cases) {
    const Walked w = Walk(OnePart(c.headers), "b");
    ASSERT_EQ(w.count, 1) << c.headers;
    EXPECT_EQ(w.parts[0].MediaType, c.type) << c.headers;
    EXPECT_EQ(w.parts[0].Charset, c.charset) << c.headers;
    EXPECT_EQ(w.parts[0].Disposition, c.disposition) << c.headers;
    EXPECT_EQ(w.parts[0].TransferEncoding, c.encoding) << c.headers;
    EXPECT_EQ(w.Content(0), "x") << c.headers;
  }
}

TEST(ParseMultipart, FoldedMultipartTypeKeepsItsBoundary) {
  const Walked w = Walk(
      "--b\r\nContent-Type: multipart/alternative;\r\n\tboundary=\"in\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
      "--in\r\nContent-Type: text/plain\r\n\r\nt\r\n--in--\r\n--b--\r\n",
      "b");
  ASSERT_EQ(w.count, 1);
  EXPECT_EQ(w.Content(0), "t");
}

TEST(ParseMultipart, AttachedMessageIsFollowedByItsParts) {
  const std::string inner =
      "Subject: fwd\r\nContent-Type: multipart/mixed; boundary=\"in\"\r\n\r\n"
      "--in\r\nContent-Type: text/plain\r\n\r\ninside\r\n--in--";
  const Walked w = Walk("--b\r\nContent-Type: message/rfc822\r\n\r\n" + inner + "\r\n--b--\r\n", "b");
  ASSERT_EQ(w.count, 2);
  EXPECT_EQ(w.parts[0].MediaType, "message/rfc822");
  EXPECT_EQ(w.Content(0), inner);
  EXPECT_EQ(w.Name(0), "fwd.eml");
  EXPECT_EQ(w.Content(1), "inside");
  EXPECT_EQ(w.parts[1].Number, "1.1");
  EXPECT_EQ(w.parts[1].MessageDepth, 1);
  EXPECT_EQ(w.parts[1].Depth, 2);

  // One in base64 is walked in its decoded bytes.
  const Walked encoded =
      Walk(OnePart("Content-Type: message/rfc822\r\nContent-Transfer-Encoding: base64", "U3ViamVjdDogeA0KDQpoaQ=="), "b");
  ASSERT_EQ(encoded.count, 2);
  EXPECT_EQ(encoded.Name(0), "x.eml");
  EXPECT_EQ(encoded.parts[1].Number, "1.1");
  EXPECT_EQ(encoded.Content(1), "hi");
}

TEST(ParseMultipart, DigestPartsDefaultToMessages) {
  const Walked w = Walk(
      "--b\nContent-Type: multipart/digest; boundary=d\n\n"
      "--d\n\nSubject: one\n\nfirst\n"
      "--d\nContent-Type: text/plain\n\nnote\n--d--\n"
      "--b\n\nplain\n--b--\n",
      "b");
  using V = std::vector<std::string>;
  EXPECT_EQ(w.Types(), (V{"message/rfc822", "text/plain", "text/plain", "text/plain"}));
  EXPECT_EQ(w.Content(1), "first");
}

TEST(ParseMultipart, BoundaryLinesAreWholeLines) {
  struct Case {
    std::string body;
    std::vector<std::string> contents;
  } cases[] = {
      // In the middle of a line, or followed by more than blanks: content.
      {"--b\nContent-Type: text/plain\n\none\ntext --b text\n--bx\n--b--\n", {"one\ntext --b text\n--bx"}},
      {"--b\n\none\n--b  \t\n\ntwo\n--b-- \n", {"one", "two"}},
      // Boundaries compare with their case.
      {"--abc\n\nbody\n--ABC\n--abc--\n", {"body\n--ABC"}},
      // An inner level left open ends at the outer boundary.
      {"--b\nContent-Type: multipart/mixed; boundary=i\n\n--i\n\nin\n--b\n\nout\n--b--\n", {"in", "out"}},
      // An inner boundary that starts with the outer one.
      {"--b\nContent-Type: multipart/mixed; boundary=b2\n\n--b2\n\nin\n--b2--\n--b\n\nout\n--b--\n", {"in", "out"}},
      // No closing line: the content runs to the end.
      {"--b\r\n\r\nab\r\ncd\r\n", {"ab\r\ncd\r\n"}},
      // The boundary right after the blank line: empty content.
      {"--b\r\nContent-Type: t/x\r\n\r\n--b--\r\n", {""}},
      // A header block cut by the next boundary: empty content.
      {"--b\r\nContent-Type: text/plain\r\n--b\r\n\r\nmore\r\n--b--", {"", "more"}},
      // A line that is no field ends the header: it is the first content line.
      {"--b\nContent-Type: text/plain\nhello there\nworld\n--b--\n", {"hello there\nworld"}},
  };
  for (const auto& c : cases) {
    const std::string boundary = c.body.substr(2, c.body.find_first_of("\r\n") - 2);
    const Walked w = Walk(c.body, boundary);
    ASSERT_EQ(static_cast<std::size_t>(w.count), c.contents.size()) << c.body;
    for (std::size_t i = 0; i < c.contents.size(); ++i) EXPECT_EQ(w.Content(i), c.contents[i]) << c.body;
  }
}

TEST(ParseMultipart, FileNames) {
  struct Case {
    std::string headers, name;
  } cases[] = {
      {"Content-Type: image/png; name=\"a.png\"", "a.png"},
      {"Content-Type: application/octet-stream; name= plain.bin ", "plain.bin"},
      {"Content-Disposition: attachment;\r\n\tfilename=\"a.pdf\"", "a.pdf"},
      {"Content-Disposition: attachment; filename=\"a;b.txt\"; size=10", "a;b.txt"},
      {"Content-Type: image/png; name=n.png\r\nContent-Disposition: inline; filename=f.png", "f.png"},
      {"Content-Disposition: attachment; filename*=UTF-8''%E6%97%A5%e6%9c%ac.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt"},
      {"Content-Disposition: attachment; filename*=iso-2022-jp'ja'%1B%24B%24%33%24s%1B%28B.txt",
       "\xE3\x81\x93\xE3\x82\x93.txt"},
      {"Content-Disposition: attachment; filename*=plain", "plain"},
      {"Content-Disposition: attachment;\r\n filename*0*=UTF-8''%41%42;\r\n filename*1*=%43.txt", "ABC.txt"},
      {"Content-Disposition: attachment;\r\n filename*1=\".txt\";\r\n filename*0=\"long name\"", "long name.txt"},
      {"Content-Disposition: attachment; filename=\"old.txt\"; filename*=UTF-8''new.txt", "new.txt"},
      {"Content-Type: application/pdf; name=\"=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=.pdf\"", "\xE3\x81\x93\xE3\x82\x93.pdf"},
      {"Content-Type: text/plain\r\nContent-Description: note", ""},
      // A reference's name is the remote file's, not the part's.
      {"Content-Type: message/external-body; access-type=anon-ftp; name=\"y.zip\"", ""},
  };
  for (const auto& c : cases) {
    const Walked w = Walk(OnePart(c.headers), "b");
    ASSERT_EQ(w.count, 1) << c.headers;
    EXPECT_EQ(w.Name(0), c.name) << c.headers;
  }
}

TEST(ParseMultipart, DeepNestingStopsAtTheStack) {
  // Containers L0x ... L<max>x: the last one would go past the deepest
  // nesting and is listed as one part.
  std::string body;
  for (int k = 1; k <= kMaxNesting; ++k)
    body += "--L" + std::to_string(k - 1) + "x\nContent-Type: multipart/alternative; boundary=L" + std::to_string(k) +
            "x\n\n";
  const std::string deepest = "--L" + std::to_string(kMaxNesting) + "x\nContent-Type: text/plain\n\ndeep\n--L" +
                              std::to_string(kMaxNesting) + "x--";
  body += deepest + "\n";
  for (int k = kMaxNesting - 1; k >= 0; --k) body += "--L" + std::to_string(k) + "x--\n";
  const Walked w = Walk(body, "L0x");
  ASSERT_EQ(w.count, 1);
  EXPECT_EQ(w.parts[0].MediaType, "multipart/alternative");
  EXPECT_EQ(w.parts[0].Depth, kMaxNesting);
  EXPECT_TRUE(w.parts[0].TooDeep);
  EXPECT_EQ(w.Content(0), deepest);
}

TEST(ParseMessageParts, SinglePartAndMultipartMessages) {
  const Walked single = Message("Subject: x\r\nContent-Type: text/html;\r\n charset=utf-8\r\n", "<p>hi</p>\r\n");
  ASSERT_EQ(single.count, 1);
  EXPECT_EQ(single.parts[0].MediaType, "text/html");
  EXPECT_EQ(single.parts[0].Charset, "utf-8");
  EXPECT_EQ(single.parts[0].Depth, 0);
  EXPECT_EQ(single.Content(0), "<p>hi</p>\r\n");

  const Walked none = Message("Subject: x", "");
  ASSERT_EQ(none.count, 1);
  EXPECT_EQ(none.parts[0].MediaType, "text/plain");

  // "html" in the boundary or the type parameter decides nothing.
  const Walked multi = Message("Content-Type: multipart/related; type=\"text/html\";\n boundary=\"html-b\"\n",
                               "--html-b\nContent-Type: text/plain\n\nt\n--html-b--\n");
  ASSERT_EQ(multi.count, 1);
  EXPECT_EQ(multi.Content(0), "t");

  // A multipart without a boundary is one part of its own type.
  const Walked noBoundary = Message("Content-Type: multipart/mixed\n", "--b\n\nt\n--b--\n");
  ASSERT_EQ(noBoundary.count, 1);
  EXPECT_EQ(noBoundary.parts[0].MediaType, "multipart/mixed");
}

TEST(DecodePartStream, Encodings) {
  struct Case {
    std::string content, encoding, want;
  } cases[] = {
      {"YWJj", "Base64", "abc"},
      {"YW\r\nJj", "base64", "abc"},
      {"a=3Db=\r\nc", "quoted-printable", "a=bc"},
      {"a=3Db", "7bit", "a=3Db"},
      {"YWJj", "", "YWJj"},
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

TEST(ParseMimeValue, TokensAndParameters) {
  struct Case {
    std::string value, token;
    std::vector<std::pair<std::string, std::string>> params;  // name, value
  } cases[] = {
      {"", "", {}},
      {" Text/Plain ", "text/plain", {}},
      {"text/plain; Charset=\"ISO-2022-JP\"; format=flowed", "text/plain", {{"charset", "ISO-2022-JP"}, {"format", "flowed"}}},
      {"multipart/mixed;boundary=----=_Part_1_2.3", "multipart/mixed", {{"boundary", "----=_Part_1_2.3"}}},
      {"a/b; x=\"q;uo\\\"te\"; y = 1 ;; z", "a/b", {{"x", "q;uo\"te"}, {"y", "1"}}},
      {"a/b; n=\"\x95\\\"", "a/b", {{"n", "\x95\\"}}},  // a Shift-JIS trail byte 0x5C before the last quote
      {"a/b; n=\"open", "a/b", {{"n", "open"}}},
      {"a/b; n*=''%41%4a%zz", "a/b", {{"n", "AJ%zz"}}},
      {"a/b; n*0=a; n*2=c; n*1=b", "a/b", {{"n", "abc"}}},
      {"a/b; n*0=a; n*2=c", "a/b", {{"n", "a"}}},  // a missing piece ends the value
      {"a/b; n*x=1", "a/b", {}},
  };
  for (const auto& c : cases) {
    const TMimeValue v = ParseMimeValue(c.value);
    EXPECT_EQ(v.Token, c.token) << c.value;
    ASSERT_EQ(v.Params.size(), c.params.size()) << c.value;
    for (std::size_t i = 0; i < c.params.size(); ++i) {
      EXPECT_EQ(v.Params[i].Name, c.params[i].first) << c.value;
      EXPECT_EQ(v.Params[i].Value, c.params[i].second) << c.value;
    }
  }
  const TMimeValue ext = ParseMimeValue("attachment; filename*0*=utf-8'en'%C3%A9; filename*1=.txt");
  ASSERT_NE(ext.Param("filename"), nullptr);
  EXPECT_EQ(ext.Param("filename")->Charset, "utf-8");
  EXPECT_EQ(ext.Param("filename")->Value, "\xC3\xA9.txt");
  EXPECT_EQ(ext.Param("name"), nullptr);
}

TEST(ParseMultipart, NamesInOtherCharsetsAndRaw8Bit) {
  struct Case {
    std::string headers, name;
  } cases[] = {
      {"Content-Type: application/pdf; name=\"=?iso-8859-1?Q?r=E9sum=E9?=.pdf\"", "r\xC3\xA9sum\xC3\xA9.pdf"},
      {"Content-Disposition: attachment; filename=\"\xE5\x86\x99\xE7\x9C\x9F.jpg\"", "\xE5\x86\x99\xE7\x9C\x9F.jpg"},
      {"Content-Disposition: attachment; filename*=windows-1251''%CF%F0%E8.txt", "\xD0\x9F\xD1\x80\xD0\xB8.txt"},
  };
  for (const auto& c : cases) {
    const Walked w = Walk(OnePart(c.headers), "b");
    ASSERT_EQ(w.count, 1) << c.headers;
    EXPECT_EQ(w.Name(0), c.name) << c.headers;
  }
}

// Boundary lines found among hyphens anywhere else: after each form of line
// end, at the very end of the body, and behind runs of dashes.
TEST(ParseMultipart, BoundaryLinesAmongOtherHyphens) {
  struct Case {
    std::string body;
    std::vector<std::string> contents;
  } cases[] = {
      {"--b\n\nx-\r\n--b--\n", {"x-"}},
      {"--b\r\rone-\r--b\r\rtwo\r--b--", {"one-", "two"}},
      {"--b\n\nx\n\r--b--\n", {"x\n"}},
      {"--b\n\n-----\n-- b\n- --b\n---b\n--b--", {"-----\n-- b\n- --b\n---b"}},
      {"--b\n\nabc\n-", {"abc\n-"}},
      {"--b\n\nabc\n--", {"abc\n--"}},
      {"--b\n\nabc\r\n--b", {"abc", ""}},
      {"--b\n\n\n--b\n\n\n\r\n--b--\n--b\n\nepilogue\n", {"", "\n"}},
  };
  for (const auto& c : cases) {
    const Walked w = Walk(c.body, "b");
    ASSERT_EQ(static_cast<std::size_t>(w.count), c.contents.size()) << c.body;
    for (std::size_t i = 0; i < c.contents.size(); ++i) EXPECT_EQ(w.Content(i), c.contents[i]) << c.body;
  }
}

// The preamble keeps its lines with dashes; a message's own walk, which
// keeps no preamble, finds the same parts.
TEST(ParseMultipart, PreambleWithDashesBeforeTheFirstBoundary) {
  const std::string body = "a--b\r\n-\r\n--bx\r\n--b\r\n\r\nin\r\n--b--\r\n--b\r\n\r\nafter\r\n";
  const Walked w = Walk(body, "b");
  ASSERT_EQ(w.count, 1);
  EXPECT_EQ(w.Content(0), "in");
}

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "base/cp932.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

using namespace tarvo;
using namespace std::string_literals;

namespace {
using Lines = std::vector<std::string>;

struct Extracted {
  Lines text, html;
};

// The body as the pipeline has it: its lines in a raw view below a note,
// which text views share for parts stored as they are.
struct SharedBody {
  TTextView raw;
  TBodyText body;
  explicit SharedBody(const std::string& bytes) : body(ShareBytes(bytes)) {
    raw.Add("a note");
    raw.AddLinesOf(body.Buffer, 0, bytes.size());
    body.Lines = &raw;
    body.FirstLine = 1;
  }
};

Extracted Extract(const std::string& body, const std::string& boundary) {
  TAttachLists parts;
  const std::string header = "Content-Type: multipart/mixed; boundary=" + boundary;
  ParseMessageParts(ReadFields(header), body, parts);
  TTextView text(TTextKind::Decoded), html(TTextKind::Decoded);
  text.Add("before");
  const TSharedBytes shared = ShareBytes(body);
  GetTextPlainParts(shared, parts, text);
  GetTextHtmlParts(shared, parts, html);
  // Sharing the body's lines changes nothing.
  const SharedBody lined(body);
  TTextView text2(TTextKind::Decoded), html2(TTextKind::Decoded);
  text2.Add("before");
  GetTextPlainParts(lined.body, parts, text2);
  GetTextHtmlParts(lined.body, parts, html2);
  EXPECT_EQ(text2.Lines(), text.Lines());
  EXPECT_EQ(html2.Lines(), html.Lines());
  return {text.Lines(), html.Lines()};
}

// The lines of one text/plain part with this header and content.
Lines PartText(const std::string& headers, const std::string& content) {
  const std::string body = "--b\r\n" + headers + "\r\n\r\n" + content + "\r\n--b--\r\n";
  TAttachLists parts;
  ParseMessageParts(ReadFields("Content-Type: multipart/mixed; boundary=b"), body, parts);
  TTextView text(TTextKind::Decoded), text2(TTextKind::Decoded);
  const TSharedBytes shared = ShareBytes(body);
  const SharedBody lined(body);
  for (const auto& p : parts) {
    AppendPartText(shared, p, text);
    AppendPartText(lined.body, p, text2);
  }
  EXPECT_EQ(text2.Lines(), text.Lines());
  return text.Lines();
}

const std::string kKonUtf8 = "\xE3\x81\x93\xE3\x82\x93";  // こん
const std::string kJis = "\x1b$B$3$s\x1b(B";
const std::string kSjis = "\x82\xb1\x82\xf1";
const std::string kEuc = "\xA4\xB3\xA4\xF3";
}  // namespace

TEST(Extract, PlainAndHtmlPartsThatAreNoAttachments) {
  const Extracted e = Extract(
      "--b\r\nContent-Type: text/plain\r\n\r\none\r\ntwo\r\n"
      "--b\r\nContent-Type: text/html\r\n\r\n<p>1</p>\r\n"
      "--b\r\nContent-Type: text/plain; name=\"named.txt\"\r\n\r\nnamed\r\n"
      "--b\r\nContent-Type: Text/Plain\r\nContent-Description: note\r\n\r\ndescribed\r\n"
      "--b\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=\"a.txt\"\r\n\r\nattached\r\n"
      "--b\r\nContent-Type: text/html\r\nContent-Disposition: attachment; filename=\"p.html\"\r\n\r\n<p>2</p>\r\n"
      "--b\r\nContent-Type: text/plain\r\nContent-Disposition: inline\r\n\r\ninline\r\n"
      "--b\r\n\r\nuntyped\r\n"
      "--b\r\nContent-Type: TEXT/HTML\r\n\r\n<p>3</p>\r\n"
      "--b\r\nContent-Type: text/enriched\r\n\r\nenriched\r\n"
      "--b\r\nContent-Type: application/octet-stream\r\n\r\nbin\r\n--b--\r\n",
      "b");
  EXPECT_EQ(e.text, (Lines{"before", "one", "two", "named", "described", "inline", "untyped"}));
  EXPECT_EQ(e.html, (Lines{"<p>1</p>", "<p>3</p>"}));
}

TEST(Extract, TransferEncodingsAreUndone) {
  const Extracted e = Extract(
      "--b\nContent-Type: text/plain\nContent-Transfer-Encoding: base64\n\nbGluZTEK\nbGluZTI\n"
      "--b\nContent-Type: text/html\nContent-Transfer-Encoding: quoted-printable\n\n<a href=3D\"x\">soft=\n break</a>\n--b--\n",
      "b");
  EXPECT_EQ(e.text, (Lines{"before", "line1", "line2"}));
  EXPECT_EQ(e.html, (Lines{"<a href=\"x\">soft break</a>"}));
}

// Each part is read by its own charset; without one, line by line.
TEST(AppendPartText, Charsets) {
  struct Case {
    std::string headers, content;
    Lines want;
  } cases[] = {
      {"Content-Type: text/plain; charset=utf-8", "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\r\nl2",
       {"\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80", "l2"}},
      {"Content-Type: text/plain; charset=\"UTF-8\"\r\nContent-Transfer-Encoding: base64",
       "5pel5pys6Kqe44Gu44OG44Kt44K544OI8J+YgA0K5LqM6KGM55uuDQo=",
       {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88\xF0\x9F\x98\x80",
        "\xE4\xBA\x8C\xE8\xA1\x8C\xE7\x9B\xAE"}},
      {"Content-Type: text/plain; charset=ISO-2022-JP", kJis + "\r\nabc", {kKonUtf8, "abc"}},
      {"Content-Type: text/plain; charset=shift_jis\r\nContent-Transfer-Encoding: quoted-printable", "=82=b1=82=f1",
       {kKonUtf8}},
      {"Content-Type: text/plain; charset=windows-31j", kSjis, {kKonUtf8}},
      {"Content-Type: text/plain; charset=euc-jp", kEuc, {kKonUtf8}},
      {"Content-Type: text/plain; charset=iso-8859-1", "caf\xE9", {"caf\xC3\xA9"}},
      {"Content-Type: text/plain; charset=iso-8859-2", "\xB3", {"\xC5\x82"}},
      {"Content-Type: text/plain; charset=windows-1251", "\xCF\xF0\xE8", {"\xD0\x9F\xD1\x80\xD0\xB8"}},
      {"Content-Type: text/plain; charset=gb2312", "\xD6\xD0\xCE\xC4", {"\xE4\xB8\xAD\xE6\x96\x87"}},
      {"Content-Type: text/plain; charset=big5", "\xA4\xA4\xA4\xE5", {"\xE4\xB8\xAD\xE6\x96\x87"}},
      {"Content-Type: text/plain; charset=euc-kr", "\xC7\xD1\xB1\xB9", {"\xED\x95\x9C\xEA\xB5\xAD"}},
      {"Content-Type: text/plain; charset=utf-16\r\nContent-Transfer-Encoding: base64", "//5hAGIA", {"ab"}},
      {"Content-Type: text/plain; charset=utf-7", "+ZeVnLA-", {"\xE6\x97\xA5\xE6\x9C\xAC"}},
      // No charset, us-ascii, or one nobody knows: each line by its own code.
      {"Content-Type: text/plain", kJis + "\r\n" + kSjis + "\r\n" + kEuc + "\r\n\xE3\x81\x93", {kKonUtf8, kKonUtf8, kKonUtf8, "\xE3\x81\x93"}},
      {"Content-Type: text/plain; charset=us-ascii", kJis + "\r\n\xE3\x81\x93", {kKonUtf8, "\xE3\x81\x93"}},
      {"Content-Type: text/plain; charset=x-no-such-charset", kSjis, {kKonUtf8}},
  };
  for (const auto& c : cases) EXPECT_EQ(PartText(c.headers, c.content), c.want) << c.headers;
}

TEST(ConvertLineToUtf8, EachLineByItsOwnCode) {
  struct Case {
    std::string line, want;
  } cases[] = {
      {"abc", "abc"},
      {"\xE3\x81\x93 utf-8", "\xE3\x81\x93 utf-8"},
      {kJis, kKonUtf8},
      {kSjis, kKonUtf8},
      {kEuc, kKonUtf8},
      // An ESC keeps a line from being taken as UTF-8: this one is read by
      // DetectCode's verdict (Shift-JIS) as code page 932.
      {"\xE3\x81\x93" + kJis, "\xE7\xB8\xBA\xEF\x9E\x93" + kJis},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ConvertLineToUtf8(c.line), c.want) << c.line;
}

TEST(ConvertLineToUtf8, PlainAsciiIsTakenAsItIsWithoutDetection) {
  // The shortcut for lines below 0x80 must give what detection gives, for
  // every byte but ESC, in the first sixteen bytes and after them.
  for (int b = 1; b < 0x80; ++b) {
    if (b == 0x1B) continue;
    for (const std::string& line : {std::string(1, char(b)), "0123456789abcdef" + std::string(1, char(b)) + "~\\"}) {
      ASSERT_TRUE(IsPlainAscii(line));
      EXPECT_EQ(ConvertLineToUtf8(line), Cp932ToUtf8(ConvertLineToSJIS(line))) << b;
    }
  }
  for (const char* mixed : {"abc\x1B$B", "0123456789abcdef\x1B(B", "0123456789abcdef\x80", "\xE3\x81\x93"})
    EXPECT_FALSE(IsPlainAscii(mixed)) << mixed;
}

TEST(Extract, BlankLinesAroundEachPartGo) {
  const Extracted e = Extract(
      "--b\r\nContent-Type: text/plain\r\n\r\n\r\n \t\r\none\r\n\r\ntwo\r\n\r\n\r\n"
      "--b\r\nContent-Type: text/plain\r\n\r\n\r\nthree\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n\r\n\r\n--b--\r\n",
      "b");
  EXPECT_EQ(e.text, (Lines{"before", "one", "", "two", "three"}));
}

TEST(Extract, NulEndsAPartsText) {
  const Extracted e = Extract("--b\nContent-Type: text/plain\n\nab\0cd\nef\n--b\nContent-Type: text/plain\n\nnext\r\n--b--"s, "b");
  EXPECT_EQ(e.text, (Lines{"before", "ab", "next"}));
}

TEST(ConvertListToSJIS, EachLineByItsOwnCode) {
  TStringList l;
  l.Add("abc");
  l.Add(kJis);
  l.Add(kSjis);
  ConvertListToSJIS(l);
  EXPECT_EQ(l.Lines, (Lines{"abc", kSjis, kSjis}));
}

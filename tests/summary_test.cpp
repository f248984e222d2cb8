#include <gtest/gtest.h>

#include "mail/mailutils.h"

using namespace tarvo;

namespace {
TMailEnvFormat Summary(const std::string& envelope) {
  TMemoryStream s(envelope);
  TMailEnvFormat env;
  env.Subject = "left over";
  GetMailEnvFormat(&s, env);
  EXPECT_EQ(s.Position(), 0u);
  return env;
}
}  // namespace

TEST(ReadFoldedValue, JoinsContinuationsWithoutTheirFirstByte) {
  TMemoryStream s(std::string(" b\r\n\t  c\r\nNext: x\r\n"));
  std::string line = "Cc:  a ";
  bool ahead = false;
  EXPECT_EQ(ReadFoldedValue(line, 4, s, ahead), "ab  c");
  EXPECT_TRUE(ahead);
  EXPECT_EQ(line, "Next: x");

  TMemoryStream t(std::string(" tail"));
  line = "Cc: a";
  EXPECT_EQ(ReadFoldedValue(line, 4, t, ahead), "atail");
  EXPECT_FALSE(ahead);  // the stream ended inside the value
}

TEST(GetMailEnvFormat, AbsentOrEmptyLeavesEverythingEmpty) {
  TMailEnvFormat env;
  env.Multipart = true;
  env.Cc = "x";
  GetMailEnvFormat(nullptr, env);
  EXPECT_FALSE(env.Multipart);
  EXPECT_EQ(env.Cc, "");
  TMemoryStream empty;
  EXPECT_EQ(Summary("").Subject, "");
}

TEST(GetMailEnvFormat, BoundaryForms) {
  struct Case {
    std::string envelope, contentType, boundary;
    bool multipart;
  } cases[] = {
      {"Content-Type: text/plain; charset=iso-2022-jp", "text/plain; charset=iso-2022-jp", "", false},
      {"Content-Type: multipart/mixed;\r\n\tboundary=abc", "multipart/mixed;boundary=abc", "abc", true},
      {"Content-Type: multipart/mixed;\r\n\tboundary=\"abc\"", "multipart/mixed;boundary=\"abc\"", "abc", true},
      {"Content-Type: multipart/alternative; boundary=abc; type=x", "multipart/alternative; boundary=abc; type=x",
       "abc", true},
      {"Content-Type: multipart/mixed; boundary=;x", "multipart/mixed; boundary=;x", "", true},
      {"Content-Type: multipart/mixed; BoUnDaRy=\"a b\" \r\n", "multipart/mixed; BoUnDaRy=\"a b\"", "a b", true},
      {"Content-Type: multipart/mixed; boundary=ab\xD0\x63", "multipart/mixed; boundary=ab\xD0\x63", "ab", true},
      {"content-type: TEXT/HTML", "TEXT/HTML", "", false},
      // A later Content-Type without a boundary keeps the earlier one.
      {"Content-Type: multipart/mixed; boundary=q\r\nContent-Type: text/plain", "text/plain", "q", true},
  };
  for (const auto& c : cases) {
    const TMailEnvFormat env = Summary(c.envelope);
    EXPECT_EQ(env.ContentType, c.contentType) << c.envelope;
    EXPECT_EQ(env.Boundary, c.boundary) << c.envelope;
    EXPECT_EQ(env.Multipart, c.multipart) << c.envelope;
  }
}

TEST(GetMailEnvFormat, CrIsNoStopByte) {
  // A CR inside the value (a lone CR ends a line, so only CR LF splits).
  TMemoryStream s(std::string("Content-Type: multipart/mixed;\n boundary=x\x01y"));
  TMailEnvFormat env;
  GetMailEnvFormat(&s, env);
  EXPECT_EQ(env.Boundary, "x\x01y");
}

TEST(GetMailEnvFormat, AddressFields) {
  struct Case {
    std::string line;
    std::string TMailEnvFormat::*field;
    std::string want;
  } cases[] = {
      {"Reply-To:  bare@example.jp ", &TMailEnvFormat::ReplyTo, "bare@example.jp"},
      {"Reply-To: Name <r@example.jp>", &TMailEnvFormat::ReplyTo, "r@example.jp"},
      {"Reply-To: x> y", &TMailEnvFormat::ReplyTo, "Reply-To: x"},
      {"Reply-To: a > b <c", &TMailEnvFormat::ReplyTo, ""},
      {"Reply-To: <open", &TMailEnvFormat::ReplyTo, ""},
      {"Return-Path: <>", &TMailEnvFormat::ReturnPath, ""},
      {"Return-Path: <bounce@example.jp>", &TMailEnvFormat::ReturnPath, "bounce@example.jp"},
      {"Return-Path:  b@example.jp", &TMailEnvFormat::ReturnPath, "b@example.jp"},
      {"Return-Path: x> <y", &TMailEnvFormat::ReturnPath, ""},
      {"Date:  Tue, 8 Dec 2026 10:00:00 +0900  ", &TMailEnvFormat::Date, "Tue, 8 Dec 2026 10:00:00 +0900"},
      {"From: Taro <taro@example.jp>", &TMailEnvFormat::FromAddress, "taro@example.jp"},
      {"From: Taro <taro@example.jp>", &TMailEnvFormat::FromName, "Taro"},
      {"From: taro@example.jp (Taro)", &TMailEnvFormat::FromName, "Taro"},
      {"From: =?UTF-8?B?8J+YgA==?= <f@e>", &TMailEnvFormat::FromName, "😀"},
      {"To: a@x, B <b@x>", &TMailEnvFormat::ToAddress, "a@x"},
      {"Subject: =?UTF-8?B?5pel?= =?ISO-8859-1?Q?=E9?=", &TMailEnvFormat::Subject, "日é"},
      {"To: \"A <b>\" <to@example.jp>", &TMailEnvFormat::ToName, "A <b>"},
      {"To: \"A <b>\" <to@example.jp>", &TMailEnvFormat::ToAddressHtml, "to@example.jp"},
      {"To: <a&b@example.jp>", &TMailEnvFormat::ToAddressHtml, "a&b@example.jp"},
      {"From: \"<x>\" <f@e>", &TMailEnvFormat::FromNameHtml, "&lt;x&gt;"},
      {"Cc: a,\r\n b", &TMailEnvFormat::Cc, "a,b"},
      {"Cc: <a>", &TMailEnvFormat::CcHtml, "&lt;a&gt;"},
      {"Subject: a<b>", &TMailEnvFormat::SubjectHtml, "a&lt;b&gt;"},
      {"Subject:   padded  ", &TMailEnvFormat::Subject, "padded"},
      {"Content-Transfer-Encoding: Base64", &TMailEnvFormat::ContentTransferEncoding, "Base64"},
      // Only the very start of a line names the field.
      {"X-To: x", &TMailEnvFormat::ToAddress, ""},
      {"Resent-From: x", &TMailEnvFormat::FromAddress, ""},
      {"Delivered-To: x", &TMailEnvFormat::ToAddress, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Summary(c.line).*c.field, c.want) << c.line;
}

TEST(GetMailEnvFormat, FoldedFieldsAndLinesReadAhead) {
  const TMailEnvFormat env = Summary(
      "From: \"Taro\r\n Yamada\" <t@example.jp>\r\n"
      "To: a@example.jp\r\n"
      "Subject: =?ISO-2022-JP?B?GyRCJDMbKEI=?=\r\n"
      " =?ISO-2022-JP?B?GyRCJHMbKEI=?=\r\n"
      "Cc: c@example.jp\r\n");
  EXPECT_EQ(env.FromName, "TaroYamada");  // folding joins without the blank
  EXPECT_EQ(env.FromAddress, "t@example.jp");
  EXPECT_EQ(env.ToAddress, "a@example.jp");  // the line read ahead by From is handled
  EXPECT_EQ(env.ToName, "");
  EXPECT_EQ(env.Subject, "こん");  // the two words joined, then decoded
  EXPECT_EQ(env.Cc, "c@example.jp");
  EXPECT_EQ(env.Reserved1, "");
}

TEST(GetMailEnvFormat, RepeatedFieldsOverwrite) {
  const TMailEnvFormat env = Summary("To: a@x\nDate: 1\nTo: b@x\nDate: 2\nDate:\n");
  EXPECT_EQ(env.ToAddress, "b@x");
  EXPECT_EQ(env.Date, "");
}

TEST(GetMailEnvFormat, ContinuationsOfOtherFieldsAreIgnored) {
  const TMailEnvFormat env = Summary("Received: from a\r\n\tby b\r\nDate: d\r\n (comment)\r\n");
  EXPECT_EQ(env.Date, "d");
  EXPECT_EQ(env.FromAddress, "");
}

TEST(SplitMailAddresses, Forms) {
  using A = std::vector<std::pair<std::string, std::string>>;  // name, address
  struct Case {
    std::string value;
    A want;
  } cases[] = {
      {"Taro <taro@example.jp>", {{"Taro", "taro@example.jp"}}},
      {"\"Yamada, Taro <boss>\" <t@example.jp>", {{"Yamada, Taro <boss>", "t@example.jp"}}},
      {"  bare@example.jp ", {{"", "bare@example.jp"}}},
      {"bare@example.jp (Taro  Yamada)", {{"Taro  Yamada", "bare@example.jp"}}},
      {"bare@example.jp (Taro (the) Yamada)", {{"Taro (the) Yamada", "bare@example.jp"}}},
      {"\"Name\" plain@example.jp", {{"Name", "plain@example.jp"}}},
      {"\"a\\\"b\\\\c\" <x@y>", {{"a\"b\\c", "x@y"}}},
      {"A <a@x>, B <b@x>", {{"A", "a@x"}, {"B", "b@x"}}},
      {"\"B, A\" <a@x>,b@x (B),  <c@x>", {{"B, A", "a@x"}, {"B", "b@x"}, {"", "c@x"}}},
      {"Taro   Yamada <t@x>", {{"Taro Yamada", "t@x"}}},
      {"Team: a@x, \"C D\" <c@x>;, e@x", {{"", "a@x"}, {"C D", "c@x"}, {"", "e@x"}}},
      {"undisclosed-recipients:;", {}},
      {"x@y, , z@w", {{"", "x@y"}, {"", "z@w"}}},
      {"Name <unclosed", {{"Name", "unclosed"}}},
      {"pre \"Q\" <a>", {{"pre Q", "a"}}},
      {"a @ b", {{"", "a@b"}}},
      {"< a@b > (c)", {{"", "a@b"}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    A got;
    for (const TMailAddress& a : SplitMailAddresses(c.value)) got.emplace_back(a.Name, a.Address);
    EXPECT_EQ(got, c.want) << c.value;
  }
}

TEST(SplitMailAddresses, NamesAreDecoded) {
  struct Case {
    std::string value, name, address;
  } cases[] = {
      {"=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?= <k@example.jp>", "こん", "k@example.jp"},
      {"\"=?UTF-8?B?5pel?= =?UTF-8?B?5pel?=\" <k@x>", "日日", "k@x"},  // inside quotes, as mailers write it
      {"k@x (=?UTF-8?Q?Miros=C5=82aw?=)", "Mirosław", "k@x"},
      {"\x93\xfa\x96\x7b <k@x>", "日本", "k@x"},                // raw Shift-JIS
      {"\"\x95\x5c\" <k@x>", "表", "k@x"},                    // its trail byte is a backslash
      {"\x1b$B$3$s\x1b(B <k@x>", "こん", "k@x"},              // raw JIS
      {"\x1b$B!\"!\"\x1b(B <k@x>", "、、", "k@x"},           // JIS bytes that look like quotes
      {"日本 <k@x>", "日本", "k@x"},                           // raw UTF-8
  };
  for (const auto& c : cases) {
    const TMailAddress a = SplitMailAddress(c.value);
    EXPECT_EQ(a.Name, c.name) << c.value;
    EXPECT_EQ(a.Address, c.address) << c.value;
  }
  EXPECT_EQ(SplitMailAddress("A <a@x>, B <b@x>").Address, "a@x");  // the first one
  EXPECT_EQ(SplitMailAddress("group:;").Address, "");
}

TEST(HtmlEscape, OnlyAngleBrackets) {
  EXPECT_EQ(HtmlEscape("<a href=\"x\">&amp;</a>"), "&lt;a href=\"x\"&gt;&amp;&lt;/a&gt;");
  EXPECT_EQ(HtmlEscape("\x95\x5c<"), "\x95\x5c&lt;");
}

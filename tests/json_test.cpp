// The --dump JSON writer: escaping, decoding by view kind, large output.
#include <gtest/gtest.h>

#include <sstream>

#include "jcode/charset.h"
#include "views/json.h"

using namespace tarvo;

namespace {
std::string Written(const std::function<void(TJsonWriter&)>& write) {
  std::ostringstream out;
  {
    TJsonWriter w(out);
    write(w);
  }
  return out.str();
}
}  // namespace

TEST(JsonWriter, EscapesWhatJsonCannotHold) {
  struct Case {
    std::string in, want;
  } cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\r\n\t", "\"\\r\\n\\t\""},
      {std::string("\0\x1b\x7f", 3), "\"\\u0000\\u001b\x7f\""},
      {"日本", "\"日本\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Written([&](TJsonWriter& w) { w.String(c.in); }), c.want);
}

TEST(JsonWriter, LinesAreDecodedByTheirViewsKind) {
  struct Case {
    std::string line;
    TTextKind kind;
    std::string want;
  } cases[] = {
      {"\x93\xfa\x96\x7b", TTextKind::Stored, "\"日本\""},                    // code page 932
      {"\xe6\x97\xa5\xe6\x9c\xac", TTextKind::Stored, "\"日本\""},            // well-formed UTF-8
      {"a\x80z", TTextKind::Stored, "\"a\xef\xbf\xbdz\""},                     // starts no character
      {"0123456789abcdef\x93\xfa", TTextKind::Stored, "\"0123456789abcdef日\""},  // past the first word
      {"\xe6\x97\xa5", TTextKind::Decoded, "\"日\""},
      {"x\xef\x9e\x80y", TTextKind::Decoded, "\"x\xef\xbf\xbdy\""},            // lossless code point U+F780
      {"\xef\xbc\x81", TTextKind::Decoded, "\"\xef\xbc\x81\""},                // U+FF01 is a character
  };
  for (const Case& c : cases) EXPECT_EQ(Written([&](TJsonWriter& w) { w.Text(c.line, c.kind); }), c.want) << c.want;
}

TEST(JsonWriter, ViewsOfManyLinesComeOutWholeAcrossFlushes) {
  TTextView v(TTextKind::Stored);
  std::string want = "[";
  for (int i = 0; i < 100000; ++i) {
    const std::string line = "line " + std::to_string(i) + " \"q\"";
    v.Add(line);
    if (i) want += ", ";
    want += "\"line " + std::to_string(i) + " \\\"q\\\"\"";
  }
  want += "]";
  const std::string got = Written([&](TJsonWriter& w) { w.Lines(v); });
  EXPECT_EQ(got.size(), want.size());
  EXPECT_EQ(got, want);
}

TEST(JsonWriter, NumbersNullsAndBooleans) {
  EXPECT_EQ(Written([](TJsonWriter& w) { w.Raw("[").Number(-12).Raw(",").Null().Raw(",").Bool(true).Raw("]"); }),
            "[-12,null,true]");
  EXPECT_EQ(Written([](TJsonWriter& w) { w.Cp932("\x83\x65\x83\x58\x83\x67"); }), "\"テスト\"");
}

TEST(JsonWriter, AsciiShortcutsWriteWhatTheDecodersWrite) {
  // Every byte below 0x80, at the start, inside and past the first word.
  for (int b = 0; b < 0x80; ++b) {
    for (const std::string& line : {std::string(1, char(b)), "abc" + std::string(1, char(b)) + "xyz0123456789"}) {
      EXPECT_EQ(Written([&](TJsonWriter& w) { w.Text(line, TTextKind::Stored); }),
                Written([&](TJsonWriter& w) { w.String(StoredTextToUtf8(line, TDecodeMode::Replace)); }))
          << b;
      EXPECT_EQ(Written([&](TJsonWriter& w) { w.Cp932(line); }),
                Written([&](TJsonWriter& w) { w.String(Cp932ToUtf8(line, TDecodeMode::Replace)); }))
          << b;
    }
  }
}

TEST(JsonWriter, CodePage932LinesComeOutAsTheDecoderWritesThem) {
  // Every byte before, between and after characters and bytes JSON escapes.
  std::vector<std::string> lines;
  for (int b = 0; b < 256; ++b) {
    const std::string c(1, static_cast<char>(b));
    lines.push_back("\x93\xfa" + c + "\"q\\\t\x82\xa0" + c);
    lines.push_back(c + "\x81");  // a lead byte at the end
    lines.push_back(c + c + "\x1f\xb1");
  }
  // And one longer than the buffer, so that runs go out across flushes.
  std::string longLine;
  while (longLine.size() < (3u << 20) / 2) longLine += "\x93\xfa\"abc\n\x82\xa0 ";
  lines.push_back(longLine);
  for (const std::string& line : lines) {
    const std::string want = Written([&](TJsonWriter& w) { w.String(Cp932ToUtf8(line, TDecodeMode::Replace)); });
    EXPECT_EQ(Written([&](TJsonWriter& w) { w.Cp932(line); }), want) << line.size();
    EXPECT_EQ(Written([&](TJsonWriter& w) { w.Text(line, TTextKind::Stored); }),
              Written([&](TJsonWriter& w) { w.String(StoredTextToUtf8(line, TDecodeMode::Replace)); }))
        << line.size();
  }
}

TEST(JsonWriter, LinesLongerThanTheBufferGoOutWhole) {
  const std::string big(3 << 20, 'x');
  EXPECT_EQ(Written([&](TJsonWriter& w) { w.Raw("[").String("a\"" + big + "\"b").Raw("]"); }),
            "[\"a\\\"" + big + "\\\"b\"]");
}

TEST(JsonWriter, EveryByteEscapedTheSameInsideAndPastTheFirstSixteen) {
  const auto reference = [](unsigned char c) -> std::string {
    static const char* hex = "0123456789abcdef";
    switch (c) {
      case '"': return "\\\"";
      case '\\': return "\\\\";
      case '\n': return "\\n";
      case '\r': return "\\r";
      case '\t': return "\\t";
      default:
        if (c < 0x20) return std::string("\\u00") + hex[c >> 4] + hex[c & 15];
        return std::string(1, static_cast<char>(c));
    }
  };
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const std::string lead = "0123456789abcdefg";  // past one 16-byte step
    const std::string in = std::string(1, c) + lead + c + "x" + c;
    const std::string want = std::string("\"").append(reference(b)).append(lead).append(reference(b)).append("x").append(reference(b)).append("\"");
    EXPECT_EQ(Written([&](TJsonWriter& w) { w.String(in); }), want) << b;
  }
}

TEST(JsonWriter, CommasGoBetweenMembersAndElementsOnly) {
  EXPECT_EQ(Written([](TJsonWriter& w) {
              w.Open('{').Key("a").Number(1).Key("b", "\n ").Open('[');
              for (int i = 0; i < 3; ++i) w.Item("\n  ", "\n  ").Open('[').Close();
              w.Close().Key("c").Open('{').Close().Key("d").Open('[').Close();
              w.Key("e").Open('[');
              for (int i = 0; i < 2; ++i) w.Item().Number(i);
              w.Close().Close();
            }),
            "{\"a\": 1,\n \"b\": [\n  [],\n  [],\n  []], \"c\": {}, \"d\": [], \"e\": [0, 1]}");
}

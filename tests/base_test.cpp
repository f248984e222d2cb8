#include <gtest/gtest.h>

#include <malloc.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "base/bytes.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/memory.h"
#include "base/stream.h"
#include "base/strlist.h"
#include "tests/temp_dir.h"

using namespace tarvo;

TEST(Bytes, TrimRemovesEveryByteUpTo32) {
  EXPECT_EQ(Trim(std::string("\0 \t\r\nab c\x1f\x20", 11)), "ab c");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\x21x\x21"), "\x21x\x21");
}

TEST(Bytes, UpperCaseTouchesAsciiLettersOnly) {
  EXPECT_EQ(UpperCase("abz{`AZ"), "ABZ{`AZ");
  // 0x83 0x61 is one katakana whose trail byte happens to be 'a'.
  EXPECT_EQ(UpperCase("a\x83\x61" "a"), "A\x83\x61" "A");
  EXPECT_EQ(UpperCase("\xb1" "a"), "\xb1" "A");  // half-width katakana is one byte
}

TEST(Bytes, MbcsFindSkipsTrailBytesAndStopsAtNul) {
  struct Case {
    std::string s, sub;
    std::size_t want;
  } cases[] = {
      {"abcabc", "ca", 2},
      {"abc", "", std::string::npos},
      {"ab", "abc", std::string::npos},
      // 0x83 0x5C is one character; its trail byte is a backslash.
      {"\x83\x5c", "\\", std::string::npos},
      {"\x83\x5c\\", "\\", 2},
      {"a\x81", "\x81", 1},  // a lead byte at the very end is still searched
      {std::string("ab\0cd", 5), "cd", std::string::npos},
      {std::string("ab\0cd", 5), "b", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(MbcsFind(c.s, c.sub), c.want) << c.s << " / " << c.sub;
}

TEST(Bytes, IntegerConversion) {
  struct Case {
    const char* text;
    bool ok;
    std::int32_t value;
  } cases[] = {
      {"0", true, 0},         {"  42", true, 42},      {"-5", true, -5},
      {"+7", true, 7},        {"$1F", true, 31},       {"x10", true, 16},
      {"0X10", true, 16},     {"0xffffffff", true, -1}, {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0}, {"0x100000000", false, 0}, {"", false, 0},
      {" ", false, 0},        {"12 ", false, 0},       {"1a", false, 0},
      {"\t1", false, 0},      {"-", false, 0},         {"$", false, 0},
  };
  for (const auto& c : cases) {
    std::int32_t v = 12345;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
    EXPECT_EQ(StrToIntDef(c.text, -99), c.ok ? c.value : -99) << c.text;
  }
}

TEST(Bytes, RaisingConversionNamesTheText) {
  try {
    (void)StrToInt("1x2");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), Utf8ToCp932("'1x2' は整数ではありません"));
  }
}

TEST(StringList, TextRule) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"\r\n", {""}},
      {"a\r\nb", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\nc", {"a", "b", "c"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {std::string("a\0b", 3), {"a"}},
      {std::string("a\r\n\0b\r\n", 7), {"a"}},
  };
  for (const auto& c : cases) {
    TStringList l;
    l.Add("stale");
    l.SetText(c.text);
    EXPECT_EQ(l.Lines, c.lines);
  }
  TStringList l;
  l.SetText("x\ny");
  EXPECT_EQ(l.Text(), "x\r\ny\r\n");
}

TEST(Bytes, FindLineEndAtEveryPlaceOfAWideScan) {
  // Each line-end byte at each offset of texts around the 16-byte steps,
  // with bytes that look close to them (0x0A | 0x80, 0x0D + 1) elsewhere.
  for (std::size_t size = 0; size <= 49; ++size)
    for (std::size_t at = 0; at <= size; ++at)
      for (const char end : {'\r', '\n'}) {
        std::string s(size, '\x8a');
        for (std::size_t k = 0; k < size; k += 3) s[k] = '\x0e';
        if (at < size) s[at] = end;
        ASSERT_EQ(FindLineEnd(s), at) << size << ' ' << at;
        // A view that stops short of the byte must not see it.
        if (at < size) {
          ASSERT_EQ(FindLineEnd(std::string_view(s).substr(0, at)), at);
        }
      }
}

TEST(StringList, LoadFromStreamStartsAtThePosition) {
  TMemoryStream s(std::string("skip\r\nkeep\r\n"));
  s.SetPosition(6);
  TStringList l;
  l.LoadFromStream(s);
  EXPECT_EQ(l.Lines, std::vector<std::string>{"keep"});
}

TEST(MemoryStream, ReadWriteAndPosition) {
  TMemoryStream s;
  s.Write("abcdef");
  EXPECT_EQ(s.Position(), 6u);
  s.SetPosition(2);
  s.Write("XY");
  s.SetPosition(5);
  s.Write("123");
  EXPECT_EQ(s.Bytes(), "abXYe123");
  s.SetPosition(6);
  char buf[8];
  EXPECT_EQ(s.Read(buf, 8), 2u);
  EXPECT_EQ(s.Read(buf, 8), 0u);
  s.SetPosition(100);
  EXPECT_TRUE(s.AtEnd());
  EXPECT_TRUE(s.Remaining().empty());
}

TEST(MemoryStream, FileErrors) {
  namespace fs = std::filesystem;
  const tarvo::testing::TTempDir temp;
  const fs::path& dir = temp.Path();
  TMemoryStream s;
  for (const fs::path& p : {dir / "missing.eml", dir}) {
    try {
      s.LoadFromFile(p.string());
      FAIL() << p;
    } catch (const EFOpenError& e) {
      const std::string msg = Cp932ToUtf8(e.what());
      EXPECT_EQ(msg.rfind("ファイル \"" + p.lexically_normal().string() + "\". ", 0), 0u) << msg;
      EXPECT_NE(msg.find(" は開けません"), std::string::npos) << msg;
    }
  }
  try {
    TMemoryStream(std::string("x")).SaveToFile((dir / "no" / "such" / "f").string());
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_NE(Cp932ToUtf8(e.what()).find("を作成できません"), std::string::npos);
  }
  // A sparse file one byte over the limit is refused without being read.
  {
    const fs::path big = dir / "big.eml";
    tarvo::testing::WriteFile(big, "x");
    fs::resize_file(big, kMaxMailSize + 1);
    try {
      s.LoadFromFile(big.string());
      FAIL() << "read a file beyond the limit";
    } catch (const EFOpenError& e) {
      EXPECT_NE(Cp932ToUtf8(e.what()).find("大きすぎる"), std::string::npos);
    }
  }
  const std::string bytes("a\0\xff\r\n", 5);
  TMemoryStream(bytes).SaveToFile((dir / "f").string());
  s.LoadFromFile((dir / "f").string());
  EXPECT_EQ(s.Bytes(), bytes);
  EXPECT_EQ(s.Position(), 0u);
  EXPECT_EQ(std::string_view(*ReadFileBytes((dir / "f").string())), bytes);
  // A file whose size the system does not know is read to its end.
  EXPECT_EQ(std::string_view(*ReadFileBytes("/proc/version")).substr(0, 14), "Linux version ");
}

TEST(Cp932, DecodesAndEncodesCommonText) {
  EXPECT_EQ(Cp932ToUtf8("\x93\xfa\x96\x7b abc \xb1"), "日本 abc ｱ");
  EXPECT_EQ(Utf8ToCp932("日本 abc ｱ"), "\x93\xfa\x96\x7b abc \xb1");
  EXPECT_EQ(Utf8ToCp932("😀"), "?");
  EXPECT_EQ(Utf8ToCp932("\xff"), "?");
  EXPECT_EQ(Utf16ToCp932(u"日\xD83D"), "\x93\xfa?");
}

TEST(Cp932, LosslessForEveryByteString) {
  // Every single byte and every lead/trail pair, plus cut and stray bytes:
  // what the window shows reads back as the same text; only a duplicate
  // pair comes back as the code Windows writes for its character.
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (int lead = 0x80; lead < 0x100; ++lead)
    for (int trail = 0; trail < 0x100; trail += 3) {
      all += static_cast<char>(lead);
      all += static_cast<char>(trail);
      all += ' ';  // a duplicate comes back as another pair; keep it from pairing anew
    }
  all += '\x81';  // lead byte at the end
  const std::string shown = Cp932ToUtf8(all);
  const std::string back = Utf8ToCp932(shown);
  EXPECT_EQ(Cp932ToUtf8(back), shown);
  EXPECT_EQ(back.size(), all.size());
}

TEST(Cp932, DuplicatePairsDecodeAndEncodeAsWindows) {
  struct Case {
    const char* bytes;
    const char* utf8;
    const char* back;
  } cases[] = {
      {"\xED\x40", "纊", "\xFA\x5C"},  // NEC-selected IBM row: Windows writes the IBM code
      {"\xFA\x5C", "纊", "\xFA\x5C"},
      {"\xFB\xFC", "髙", "\xFB\xFC"},
      {"\x87\x40", "①", "\x87\x40"},  // NEC row 13
      {"\x87\x90", "≒", "\x81\xE0"},  // NEC duplicate of a JIS symbol
      {"\xFA\x54", "￢", "\x81\xCA"},  // IBM duplicate of a NEC code
      {"\xF0\x40", "\xEE\x80\x80", "\xF0\x40"},  // user-defined area, U+E000
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cp932ToUtf8(c.bytes, TDecodeMode::Replace), c.utf8) << c.utf8;
    EXPECT_EQ(Utf8ToCp932(c.utf8), c.back) << c.utf8;
  }
}

TEST(Cp932, ReplaceModeMarksUndecodableBytes) {
  EXPECT_EQ(Cp932ToUtf8("a\x81", TDecodeMode::Replace), "a\xEF\xBF\xBD");
  EXPECT_EQ(Cp932ToUtf8("a\x81", TDecodeMode::Lossless), "a\xEF\x9E\x81");
}

TEST(HugePageHeap, ReservesItsRoomAndAllocationStillWorks) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator keeps its own heap";
#else
  ReserveHugePageHeap();
  // The reserve is there: a compiler that dropped the block meant to grow
  // the heap would leave it at its old size.
  EXPECT_GE(mallinfo2().keepcost, std::size_t{256} << 20);
  // Blocks on both sides of the mmap threshold are written and freed.
  std::vector<std::unique_ptr<char[]>> blocks;
  for (const std::size_t size : {std::size_t{16}, std::size_t{4096}, std::size_t{1} << 20, std::size_t{40} << 20}) {
    blocks.push_back(std::make_unique<char[]>(size));
    std::memset(blocks.back().get(), 0x5A, size);
    EXPECT_EQ(blocks.back()[size - 1], 0x5A);
  }
#endif
}

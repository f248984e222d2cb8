// The display codec against glibc's own CP932 converter, pair by pair.
#include <gtest/gtest.h>
#include <iconv.h>

#include <memory>
#include <optional>

#include "base/bytes.h"
#include "base/cp932.h"

using namespace tarvo;

namespace {

// One whole conversion by glibc; nullopt when it rejects any of the input.
class Glibc {
 public:
  Glibc(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Glibc() {
    if (ok()) iconv_close(cd_);
  }
  Glibc(const Glibc&) = delete;
  Glibc& operator=(const Glibc&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  std::optional<std::string> operator()(std::string in) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char buf[64];
    char* src = in.data();
    std::size_t srcLeft = in.size();
    char* dst = buf;
    std::size_t dstLeft = sizeof buf;
    if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft != 0)
      return std::nullopt;
    return std::string(buf, static_cast<std::size_t>(dst - buf));
  }

 private:
  iconv_t cd_;
};

std::string Pair(int lead, int trail) { return {static_cast<char>(lead), static_cast<char>(trail)}; }

std::string PrivateUse(int byte) {  // the lossless stand-in U+F700 + byte
  std::string s;
  AppendUtf8(s, static_cast<char32_t>(0xF700 + byte));
  return s;
}

}  // namespace

TEST(Cp932Table, EveryPairDecodesAsGlibcDoes) {
  Glibc decode("UTF-8", "CP932");
  ASSERT_TRUE(decode.ok());
  int valid = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsCp932LeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 0; trail <= 0xFF; ++trail) {
      const std::string bytes = Pair(lead, trail);
      const std::string got = Cp932ToUtf8(bytes, TDecodeMode::Lossless);
      if (const auto want = decode(bytes); want && trail >= 0x40) {
        ++valid;
        EXPECT_EQ(got, *want) << std::hex << lead << " " << trail;
      } else {
        // Not a character: the lead byte is kept, and what follows is read on its own.
        EXPECT_EQ(got.substr(0, 3), PrivateUse(lead)) << std::hex << lead << " " << trail;
        EXPECT_EQ(Utf8ToCp932(got), bytes) << std::hex << lead << " " << trail;
      }
    }
  }
  // JIS X 0208, NEC row 13, the NEC-selected and IBM rows and 1,880 user-defined codes.
  EXPECT_EQ(valid, 7724 + 1880);
}

TEST(Cp932Table, EveryCharacterEncodesAsWindowsWritesIt) {
  Glibc encode("CP932", "UTF-8");
  ASSERT_TRUE(encode.ok());
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsCp932LeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string text = Cp932ToUtf8(Pair(lead, trail), TDecodeMode::Lossless);
      if (text.starts_with(PrivateUse(lead))) continue;
      // A duplicate (NEC row 13 against JIS row 2, NEC-selected against IBM)
      // goes back to the one code Windows writes, as glibc does.
      EXPECT_EQ(Utf8ToCp932(text), encode(text).value_or("<none>")) << std::hex << lead << " " << trail;
    }
  }
}

TEST(Cp932Table, SingleBytes) {
  for (int b = 0; b < 0x80; ++b) EXPECT_EQ(Cp932ToUtf8(std::string(1, static_cast<char>(b))), std::string(1, static_cast<char>(b)));
  EXPECT_EQ(Cp932ToUtf8("\xA1\xDF"), "｡ﾟ");
  for (int b : {0x80, 0xA0, 0xFD, 0xFE, 0xFF}) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(Cp932ToUtf8(byte), PrivateUse(b)) << b;
    EXPECT_EQ(Cp932ToUtf8(byte, TDecodeMode::Replace), "\xEF\xBF\xBD") << b;
    EXPECT_EQ(Utf8ToCp932(PrivateUse(b)), byte) << b;
  }
}

TEST(Cp932Table, WindowsMappingsForTheLookAlikes) {
  const struct {
    const char* text;
    std::string bytes;
  } cases[] = {
      {"〜", "\x81\x60"},  // U+301C wave dash, as Mac and iPhone mailers write it
      {"‖", "\x81\x61"},   // U+2016
      {"−", "\x81\x7C"},   // U+2212
      {"¢", "\x81\x91"},   {"£", "\x81\x92"}, {"¬", "\x81\xCA"},
      {"—", "\x81\x5C"},   // U+2014
      {"¦", "\xFA\x55"},
      {"～", "\x81\x60"},  // U+FF5E, what Windows itself decodes 0x8160 to
      {"😀", "?"},         {"ł", "?"}, {"\xff", "?"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp932(c.text), c.bytes) << c.text;
  EXPECT_EQ(Utf8ToCp932("髙橋 ① ㈱ ≒ ∵"), "\xFB\xFC\x8B\xB4 \x87\x40 \x87\x8A \x81\xE0 \x81\xE6");
}

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "jcode/jconvert.h"

using namespace tarvo;

namespace {
// RFC 4648 section 10.
const std::pair<const char*, const char*> kRfc4648[] = {
    {"", ""},          {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

std::string StreamDecode(std::string_view text) {
  TMemoryStream s;
  Base64DecodeToStream(text, s);
  return s.Bytes();
}

std::string AllBytes() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  return s;
}
}  // namespace

TEST(Base64, Rfc4648Vectors) {
  for (const auto& [plain, enc] : kRfc4648) {
    EXPECT_EQ(Base64Encode(plain), enc);
    EXPECT_EQ(Base64Decode(enc), plain);
    EXPECT_EQ(StreamDecode(enc), plain);
  }
}

TEST(Base64, EncodeHasNoLineBreaksAndRoundTripsEveryByte) {
  const std::string enc = Base64Encode(std::string(57, 'x'));
  EXPECT_EQ(enc.size(), 76u);
  const std::string all = AllBytes() + AllBytes().substr(1);
  const std::string long_enc = Base64Encode(all);
  EXPECT_EQ(long_enc.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(Base64Decode(long_enc), all);
  EXPECT_EQ(StreamDecode(long_enc), all);
}

// Encoded words and the code tools take clean base64 only; anything else
// comes back as it was written.
TEST(Base64, DecodeTakesCleanDataOrGivesTheTextBack) {
  struct Case {
    std::string in, want;
  } cases[] = {
      {"Zm9v\r\nYmFy\r\n", "foobar"},
      {" Zm\r\n9v\tYmFy ", "foobar"},  // blanks and line ends anywhere
      {"Zg==Zm8=", "f"},                // the data ends with its padding
      {"Zm8=\r\n-- \r\n", "fo"},
      {"Zm9v-mFy", "Zm9v-mFy"},         // a character outside the alphabet
      {"Zm9vYmF", "Zm9vYmF"},           // a group cut short
      {"QQ=x", "QQ=x"},                 // padding that does not fill its group
      {"=A==", "=A=="},                 // padding where no byte can be padded
      {"\r\n", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Base64Decode(c.in), c.want) << c.in;
}

// A part body is read as mail clients read it: strangers inside a line are
// not data, padding missing is tolerated, and the data ends with the group
// that holds padding or at the first line that is not base64.
TEST(Base64, BodyDecoderStopsWhereTheDataEnds) {
  struct Case {
    std::string in, want;
  } cases[] = {
      {"Zm9v\r\nYmFy", "foobar"},
      {"Zm9v\nYmFy\n", "foobar"},
      {"Zm9v\rYmFy\r", "foobar"},
      {"QU\r\nJD", "ABC"},                 // a line end inside a group
      {" QU JD\t", "ABC"},                  // blanks anywhere
      {"QQ", "A"},                           // padding missing
      {"QUI", "AB"},
      {"Q", ""},                             // one character holds no whole byte
      {"aGk=\r\nfooter\r\n", "hi"},          // a mailing list's footer after the padding
      {"aGk=footer", "hi"},
      {"QQ==QUI=QUJD", "A"},                 // padded groups in a row: the first ends the data
      {"QUJD\r\n-- \r\nQUJD", "ABC"},        // a line that is not base64
      {"QUJD\r\nQU\x82Q\r\n", "ABC"},
      {"QUJD\r\n\r\nQUJD", "ABCABC"},        // an empty line is no end
      {"QUJDQUJD\n\nQUJDQUJD \r\n\r\nQUI=\n", "ABCABCABCABCAB"},
      // After unpadded data: no line after the short last one, no words after a blank line.
      {"QUJDQUJD\r\nQUJD\r\nQUJDQUJD\r\n", "ABCABCABC"},
      {"QUJDQUJD\nQUJDQUJD\n\nHelp\n", "ABCABCABCABC"},
      {"QUJD\n\nUnsubscribe here\n", "ABC"},
      {"QUJDQUJD\n\nQUJD\n", "ABCABCABC"},     // a short line of data after a blank line
      {"=QUJD", "ABC"},                      // "=" where no byte is padded ends nothing
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(StreamDecode(c.in), c.want) << c.in;
}

TEST(Base64, StreamDecoderFlushesItsBufferAcrossManyLines) {
  std::string plain;
  for (int i = 0; i < 5000; ++i) plain += static_cast<char>(i * 7);
  const std::string enc = Base64Encode(plain);
  std::string body;
  for (std::size_t i = 0; i < enc.size(); i += 76) body += enc.substr(i, 76) + "\r\n";
  EXPECT_EQ(StreamDecode(body), plain);
  // Appends to what the stream holds, as the caller empties it.
  TMemoryStream s(std::string("xy"));
  s.SetPosition(2);
  Base64DecodeToStream("QUJD", s);
  EXPECT_EQ(s.Bytes(), "xyABC");
}

namespace {

// The decoder character by character, the reference its fast path must
// agree with on every input.
namespace reference {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kPad = 255, kBad = 254;
std::array<std::uint8_t, 256> Table() {
  std::array<std::uint8_t, 256> t{};
  t.fill(kBad);
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  t['='] = kPad;
  return t;
}
// The body rule, character by character: bytes outside the alphabet are
// skipped, "=" ends the group it stands in, a group cut short still counts.
std::string StreamDecode(std::string_view text) {
  static const auto strict = Table();
  std::string out;
  std::uint32_t bits = 0;
  int have = 0;
  const auto flush = [&] {
    if (have == 4) out += {static_cast<char>(bits >> 16), static_cast<char>(bits >> 8), static_cast<char>(bits)};
    if (have == 3) out += {static_cast<char>(bits >> 10), static_cast<char>(bits >> 2)};
    if (have == 2) out += static_cast<char>(bits >> 4);
    bits = 0;
    have = 0;
  };
  for (char c : text) {
    const std::uint8_t v = strict[static_cast<unsigned char>(c)];
    if (v == kBad) continue;
    if (v == kPad) {
      flush();
      continue;
    }
    bits = bits << 6 | v;
    if (++have == 4) flush();
  }
  flush();
  return out;
}
}  // namespace reference

// Mostly base64 with line ends, padding, spaces and strangers mixed in, so
// that groups of every shape occur: whole, padded, split by a line end, cut.
std::string RandomBase64Like(std::mt19937& rng) {
  static const std::string kSpice = "\r\n= -\x80\xff.";
  std::uniform_int_distribution<int> len(0, 300), pick(0, 99), alpha(0, 63), spice(0, 7);
  const int n = len(rng);
  const int rate = pick(rng) % 4 == 0 ? 0 : 1 + pick(rng) % 20;  // some inputs are clean base64
  std::string s;
  for (int i = 0; i < n; ++i)
    s += pick(rng) < rate ? kSpice[static_cast<std::size_t>(spice(rng))] : reference::kAlphabet[alpha(rng)];
  return s;
}

}  // namespace

std::string CoreDecode(std::string_view text) {
  TBase64BodyDecoder d;
  std::string out(TBase64BodyDecoder::MaxOut(text.size()), '\0');
  std::size_t n = d.Feed(text, out.data());
  n += d.Finish(out.data() + n);
  out.resize(n);
  return out;
}

TEST(Base64, FastPathAgreesWithTheCharacterRule) {
  std::mt19937 rng(15);
  for (int round = 0; round < 20000; ++round) {
    const std::string in = RandomBase64Like(rng);
    ASSERT_EQ(CoreDecode(in), reference::StreamDecode(in)) << in;
  }
  // Long bodies of 76-column lines, as mail carries them.
  std::string plain;
  for (int i = 0; i < 100000; ++i) plain += static_cast<char>(rng());
  const std::string enc = Base64Encode(plain);
  std::string body;
  for (std::size_t i = 0; i < enc.size(); i += 76) body += enc.substr(i, 76) + "\r\n";
  EXPECT_EQ(StreamDecode(body), plain);
  EXPECT_EQ(Base64Decode(body), plain);
}

// The body rule over pieces cut anywhere, a group split between two pieces
// included; no piece's output runs past the room MaxOut gives it.
TEST(Base64, PieceDecoderAgreesWithTheWholeText) {
  std::mt19937 rng(4);
  constexpr char kGuard = '\x5a';
  for (int round = 0; round < 5000; ++round) {
    const std::string in = RandomBase64Like(rng) + RandomBase64Like(rng);
    TBase64BodyDecoder d;
    std::string out;
    std::size_t at = 0;
    while (at < in.size()) {
      const std::size_t n = std::min<std::size_t>(in.size() - at, std::uniform_int_distribution<std::size_t>(0, 9)(rng));
      const std::size_t room = TBase64BodyDecoder::MaxOut(n);
      std::string buf(room + 8, kGuard);
      const std::size_t wrote = d.Feed(std::string_view(in).substr(at, n), buf.data());
      ASSERT_LT(wrote, room) << in;
      ASSERT_EQ(buf.substr(room), std::string(8, kGuard)) << in;
      out.append(buf, 0, wrote);
      at += n;
    }
    char tail[8];
    const std::size_t last = d.Finish(tail);
    ASSERT_LE(last, 2u);
    out.append(tail, last);
    ASSERT_EQ(out, reference::StreamDecode(in)) << in;
  }
  // Finish leaves the decoder ready for a new text.
  TBase64BodyDecoder d;
  char buf[16];
  EXPECT_EQ(d.Feed("QUJDQU", buf), 3u);
  EXPECT_EQ(d.Finish(buf), 1u);
  EXPECT_EQ(d.Feed("QUJD", buf), 3u);
  EXPECT_EQ(std::string(buf, 3), "ABC");
}

TEST(QuotedPrintable, WordRules) {
  struct Case {
    std::string in, want;
  } cases[] = {
      {"=41", "A"},
      {"a=\r\nb", "ab"},
      {"a=\r\n\r\nb", "ab"},  // the blank line after a soft break goes too
      {"a=\nb\n", "ab\n"},
      {"=4a", "\x40"},         // lower-case hex counts 0
      {"\x82\xA0x", "x"},      // raw 8-bit bytes are dropped
      {std::string("a\0\x7F\x0B\tb", 6), "a\tb"},
      {"x=3D=20y", "x= y"},
      {"=4", "\x40"},          // missing pair characters count 0
      {"=", std::string(1, '\0')},
      {"a b\r\n", "a b\r\n"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(QPDecode(c.in), c.want) << c.in;
}

TEST(QuotedPrintable, BodyRules) {
  struct Case {
    std::string in, want;
  } cases[] = {
      {"=41=3d", "A="},                       // either case of hex
      {"a=\r\nb", "ab"},
      {"a=\r\n\r\nb", "a\r\nb"},            // a soft break takes one line end only
      {"a=\n\nb", "a\nb"},
      {"a=\r\rb", "a\rb"},
      {"a=  \t\r\nb", "ab"},                  // blanks a transport added after "="
      {"end=", "end"},                         // "=" at the very end
      {"end=  ", "end"},
      {"\x82\xA0x\x1B$B", "\x82\xA0x\x1B$B"},  // 8-bit and control bytes stay
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"1=2 x=G0 y=4", "1=2 x=G0 y=4"},         // "=" that starts no escape stays
      {"a = b", "a = b"},
      {"=E3=81=82\r\n", "\xE3\x81\x82\r\n"},
      {"", ""},
  };
  for (const auto& c : cases) {
    TMemoryStream s(std::string("old"));
    QPDecodeToStream(c.in, s);
    EXPECT_EQ(s.Bytes(), c.want) << c.in;
  }
  TMemoryStream s(std::string("old"));
  s.SetPosition(3);
  QPDecodeToStream("", s);
  EXPECT_EQ(s.Size(), 0u);
  EXPECT_EQ(s.Position(), 0u);
}

TEST(Percent, DecodeAndHexPairs) {
  EXPECT_EQ(PercentDecode("%41"), "A");
  EXPECT_EQ(PercentDecode("%e3"), "\x03");
  EXPECT_EQ(PercentDecode("plain \x82\xA0"), "plain \x82\xA0");
  EXPECT_EQ(PercentDecode("a%4"), "a\x40");
  EXPECT_EQ(PercentDecode("%"), std::string(1, '\0'));
  EXPECT_EQ(PercentDecode("%E6%97%A5x"), "\xE6\x97\xA5x");
  EXPECT_EQ(HexPairToByte("7F"), 0x7F);
  EXPECT_EQ(HexPairToByte("G1"), 0x01);
  EXPECT_EQ(HexPairToByte("ff"), 0x00);
  EXPECT_EQ(HexPairToByte("F"), 0);
  EXPECT_EQ(HexPairToByte("FFF"), 0);
}

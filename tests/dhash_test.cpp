#include <gtest/gtest.h>

#include "hash/CodeTools.h"
#include "hash/DHash.h"

using namespace tarvo;

namespace {

// The program's calling order: InitWithString, Final, DigestToHex.
std::string Md5Hex(std::string_view s) { return ToolMD5(s); }
std::string Sha1Hex(std::string_view s) { return ToolSHA1(s); }

// "abcd...zabc..." of n bytes, for the padding boundaries.
std::string Alphabet(std::size_t n) {
  std::string s(n, 'a');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

struct Vector {
  std::string text, md5, sha1;
};

std::vector<Vector> Vectors() {
  return {
      // RFC 1321 test suite (MD5) and FIPS 180-1 examples (SHA-1).
      {"", "d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"a", "0cc175b9c0f1b6a831c399e269772661", "86f7e437faa5a7fce15d1ddcb9eaeaea377667b8"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0",
       "c12252ceda8be8994d5fa0290a47231c1d16aae3"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b",
       "32d10c7b8cf96570ca04ce37f2a19d84240d3a89"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f", "761c457bf73b14d27e9e9265c46f4b4dda11f940"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a", "50abf5706a150990a08b2c5ea40fa0e585554732"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "8215ef0796a20bcaaae116d3876c664a", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      // Padding boundaries: one block short, exactly no room for the length, a full block, one over.
      {Alphabet(55), "0d7ae056b2f015cd7dc67494efd658f1", "a617d006d1ca12671785098a19a87fe58443bde9"},
      {Alphabet(56), "31fcfb5165169eb55898e7e4cf34d19a", "4ad5bb7ae3c4024768d364b77c52128ea3cffebe"},
      {Alphabet(63), "1b30c0670c15e7da3c2ba7bce77ebe99", "fc8a5ab77259625085ead3ec96515b3b8d933fad"},
      {Alphabet(64), "a2eaf6295c32adc403865fd96a2f182b", "93249d4c2f8903ebf41ac358473148ae6ddd7042"},
      {Alphabet(65), "eba2cce0ca8df47e62414a736b3105a2", "cf2a63cc308225cf07b498d2309a01dd0df52f67"},
      {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21",
       "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
}

}  // namespace

TEST(DHash, StandardVectorsInLowerCase) {
  for (const auto& v : Vectors()) {
    EXPECT_EQ(Md5Hex(v.text), v.md5) << "length " << v.text.size();
    EXPECT_EQ(Sha1Hex(v.text), v.sha1) << "length " << v.text.size();
  }
}

TEST(DHash, PiecewiseUpdateEqualsOneCall) {
  const std::string text = Alphabet(300);
  const std::string md5 = Md5Hex(text), sha1 = Sha1Hex(text);
  // Two and three pieces, cut everywhere around the block edges.
  for (std::size_t a = 0; a <= text.size(); ++a) {
    const std::size_t b = a + (text.size() - a) / 2;
    const std::uint32_t cuts[] = {0, static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b),
                                  static_cast<std::uint32_t>(text.size())};
    TDMD5 m;
    TDSHA1 s;
    m.Init();
    s.Init();
    for (int i = 0; i < 3; ++i) {
      m.Update(text.data() + cuts[i], cuts[i + 1] - cuts[i]);
      EXPECT_TRUE(s.Update(text.data() + cuts[i], cuts[i + 1] - cuts[i]));
    }
    TMD5Digest md;
    TSHA1Digest sd;
    m.Final(md);
    s.Final(sd);
    EXPECT_EQ(TDMD5::DigestToHex(md), md5) << "cut at " << a << "," << b;
    EXPECT_EQ(TDSHA1::DigestToHex(sd), sha1) << "cut at " << a << "," << b;
  }
}

TEST(DHash, ByteAtATimeAndNulBytes) {
  const std::string text("a\0b\0\0c", 6);
  TDMD5 m;
  TDSHA1 s;
  m.Init();
  s.Init();
  for (char c : text) {
    m.Update(&c, 1);
    ASSERT_TRUE(s.Update(&c, 1));
  }
  TMD5Digest md;
  TSHA1Digest sd;
  m.Final(md);
  s.Final(sd);
  EXPECT_EQ(TDMD5::DigestToHex(md), Md5Hex(text));
  EXPECT_EQ(TDSHA1::DigestToHex(sd), Sha1Hex(text));
  EXPECT_NE(Md5Hex(text), Md5Hex("a"));  // the NUL does not end the text
}

TEST(DHash, TextIsHashedAsItsOwnBytes) {
  // "日本語ﾃｽﾄ" in Shift-JIS and in EUC-JP.
  const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea\xc3\xbd\xc4";
  const std::string euc = "\xc6\xfc\xcb\xdc\xb8\xec\x8e\xc3\x8e\xbd\x8e\xc4";
  EXPECT_EQ(Md5Hex(sjis), "13321a4b99237f9821fb0c3377e55483");
  EXPECT_EQ(Sha1Hex(sjis), "c7fbcf9e82e82ca180cdf22ae777bdb740741125");
  EXPECT_EQ(Md5Hex(euc), "af46ab9d5f847006d4c619f87b18dcc5");
  EXPECT_EQ(Sha1Hex(euc), "8b56cfa2f01659f0914e559d15a95f42864ce874");
}

TEST(DHash, DigestToHexIsLowerCaseWithoutSeparators) {
  TMD5Digest md;
  TSHA1Digest sd;
  for (std::size_t i = 0; i < md.size(); ++i) md[i] = static_cast<std::uint8_t>(0xA0 + i);
  for (std::size_t i = 0; i < sd.size(); ++i) sd[i] = static_cast<std::uint8_t>(0xEB + i);
  EXPECT_EQ(TDMD5::DigestToHex(md), "a0a1a2a3a4a5a6a7a8a9aaabacadaeaf");
  EXPECT_EQ(TDSHA1::DigestToHex(sd), "ebecedeeeff0f1f2f3f4f5f6f7f8f9fafbfcfdfe");
}

TEST(DHash, Md5IsZeroedAfterFinal) {
  TDMD5 m;
  m.InitWithString(Alphabet(70));
  TMD5Digest d;
  m.Final(d);
  EXPECT_EQ(m.State(), (std::array<std::uint32_t, 4>{}));
  EXPECT_EQ(m.BitCountLow(), 0u);
  EXPECT_EQ(m.BitCountHigh(), 0u);
  EXPECT_EQ(m.Buffer(), (std::array<std::uint8_t, 64>{}));
  // Init makes it usable again.
  m.Init();
  m.Update("abc", 3);
  m.Final(d);
  EXPECT_EQ(TDMD5::DigestToHex(d), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(DHash, Sha1DoesNothingUntilInit) {
  TDSHA1 s;
  EXPECT_FALSE(s.Initialized());
  EXPECT_FALSE(s.Update("abc", 3));
  TSHA1Digest d;
  d.fill(0x5A);
  s.Final(d);
  TSHA1Digest untouched;
  untouched.fill(0x5A);
  EXPECT_EQ(d, untouched);
  // The refused Update left nothing behind: after Init only "abc" counts.
  s.Init();
  EXPECT_TRUE(s.Update("abc", 3));
  s.Final(d);
  EXPECT_EQ(TDSHA1::DigestToHex(d), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

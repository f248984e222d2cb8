#include <gtest/gtest.h>

#include "base/bytes.h"
#include "hash/Digest.h"

using namespace tarvo;

// FIPS 180 and RFC 1321 vectors, fed whole and in two pieces cut at every
// place; Finish starts the digest over for the next text.
TEST(Digest, VectorsWholeAndInPieces) {
  struct Case {
    TDigestKind kind;
    std::string text, hex;
  } cases[] = {
      {TDigestKind::Md5, "", "d41d8cd98f00b204e9800998ecf8427e"},
      {TDigestKind::Md5, "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {TDigestKind::Sha1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {TDigestKind::Sha256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DigestHex(c.kind, c.text), c.hex) << c.text;
    TDigest d(c.kind);
    for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
      d.Update(std::string_view(c.text).substr(0, cut));
      d.Update(std::string_view(c.text).substr(cut));
      EXPECT_EQ(LowerHex(d.Finish()), c.hex) << c.text << " cut at " << cut;
    }
  }
}

TEST(LowerHex, TwoDigitsPerByte) {
  EXPECT_EQ(LowerHex(std::string("\x00\x0f\xa0\xff", 4)), "000fa0ff");
  EXPECT_EQ(LowerHex(""), "");
}

// The parts list's fingerprints: one pass over the bytes gives the same MD5
// and SHA-1 as the code tools' own digests, and the list without the bytes
// says the same as the list with them.
#include <gtest/gtest.h>

#include "hash/Workbench.h"
#include "hash/Digest.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"
#include "mail/parts.h"
#include "parts_mail.h"

using namespace tarvo;
using namespace tarvo::testing;

namespace {

// n bytes of every value, NUL included, in an order that repeats late.
std::string Bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return s;
}

// The sizes around the 64-byte block and its padding, and around the
// slices the digests are fed in.
const std::size_t kSizes[] = {0, 1, 55, 56, 63, 64, 65, 16383, 16384, 16385, 1000000};

TMailPart Digested(std::string_view bytes, std::size_t piece) {
  TPartDigests d;
  for (std::size_t i = 0; i < bytes.size(); i += piece) d.Update(bytes.substr(i, piece));
  TMailPart part;
  d.Finish(part);
  return part;
}

}  // namespace

TEST(PartDigests, SameAsTheWorkbenchDigests) {
  for (const std::size_t n : kSizes) {
    const std::string data = Bytes(n);
    const TMailPart p = MakeWalkedPart(3, {"a.bin", "application/octet-stream", "attachment", "", "base64"}, data);
    EXPECT_EQ(p.Size, n);
    EXPECT_EQ(p.Md5, ToolMD5(data)) << "size " << n;
    EXPECT_EQ(p.Sha1, ToolSHA1(data)) << "size " << n;
    EXPECT_EQ(p.Sha256, DigestHex(TDigestKind::Sha256, data)) << "size " << n;
    EXPECT_TRUE(p.Data == data) << "size " << n;
  }
}

TEST(PartDigests, KnownValuesOfNothingAndOneByte) {
  const TMailPart empty = MakeWalkedPart(1, {}, "");
  EXPECT_EQ(empty.Md5, "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(empty.Sha1, "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(empty.Sha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  const TMailPart a = MakeWalkedPart(1, {}, "a");
  EXPECT_EQ(a.Md5, "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(a.Sha1, "86f7e437faa5a7fce15d1ddcb9eaeaea377667b8");
  EXPECT_EQ(a.Sha256, "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb");
}

TEST(PartDigests, PiecesOfAnySizeGiveTheWholeDigest) {
  const std::string data = Bytes(100000);
  const TMailPart whole = Digested(data, data.size());
  for (const std::size_t piece : {1u, 7u, 64u, 65u, 16385u, 70000u}) {
    const TMailPart p = Digested(data, piece);
    EXPECT_EQ(p.Size, whole.Size) << "piece " << piece;
    EXPECT_EQ(p.Md5, whole.Md5) << "piece " << piece;
    EXPECT_EQ(p.Sha1, whole.Sha1) << "piece " << piece;
    EXPECT_EQ(p.Sha256, whole.Sha256) << "piece " << piece;
  }
}

TEST(PartDigests, FinishStartsOverForTheNextPart) {
  TPartDigests d;
  TMailPart first, second;
  d.Update("first part's bytes");
  d.Finish(first);
  d.Update("abc");
  d.Finish(second);
  EXPECT_EQ(second.Size, 3u);
  EXPECT_EQ(second.Md5, "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(second.Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(second.Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(first.Md5, ToolMD5("first part's bytes"));
}

TEST(PartList, WithoutTheBytesTheRecordsAreTheSame) {
  const std::string big = Bytes(300000);
  const std::string mail =
      "Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n"
      "--B\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nplain text\r\n"
      "--B\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n<p>=E3=81=82</p>\r\n"
      "--B\r\nContent-Type: application/octet-stream; name=\"big.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
      Wrapped64(big) +
      "--B\r\nContent-Type: application/pdf; name=\"empty.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
      "--B\r\nContent-Type: application/pdf; name=\"report.pdf\"\r\nContent-Transfer-Encoding: BASE64\r\n\r\n" +
      Wrapped64(PdfBytes()) + "--B--\r\n";
  const std::size_t split = mail.find("\r\n\r\n") + 4;
  const std::string_view body = std::string_view(mail).substr(split);
  TAttachLists entries;
  ASSERT_EQ(ParseMessageParts(ReadFields(std::string_view(mail).substr(0, split)), body, entries), 5);

  const TMailParts kept = GetMailParts(body, entries);
  const TMailParts bare = GetMailParts(body, entries, false);
  ASSERT_EQ(kept.size(), 5u);
  ASSERT_EQ(bare.size(), 5u);
  const std::string decoded[] = {"plain text", "<p>\xE3\x81\x82</p>", big, "", PdfBytes()};
  for (std::size_t i = 0; i < kept.size(); ++i) {
    EXPECT_TRUE(kept[i].Data == decoded[i]) << "part " << i + 1;
    EXPECT_TRUE(bare[i].Data.empty()) << "part " << i + 1;
    EXPECT_EQ(bare[i].Index, kept[i].Index);
    EXPECT_EQ(bare[i].Name, kept[i].Name);
    EXPECT_EQ(bare[i].ContentType, kept[i].ContentType);
    EXPECT_EQ(bare[i].Encoding, kept[i].Encoding);
    EXPECT_EQ(bare[i].Size, decoded[i].size()) << "part " << i + 1;
    EXPECT_EQ(bare[i].Size, kept[i].Size);
    EXPECT_EQ(bare[i].Md5, ToolMD5(decoded[i])) << "part " << i + 1;
    EXPECT_EQ(bare[i].Sha1, ToolSHA1(decoded[i])) << "part " << i + 1;
    EXPECT_EQ(bare[i].Sha256, DigestHex(TDigestKind::Sha256, decoded[i])) << "part " << i + 1;
    EXPECT_EQ(kept[i].Md5, bare[i].Md5);
    EXPECT_EQ(kept[i].Sha1, bare[i].Sha1);
    EXPECT_EQ(kept[i].Sha256, bare[i].Sha256);
  }
}

// Our MD5 and SHA-1 against OpenSSL's, the input fed in pieces whose sizes
// follow from its first byte, so block edges fall everywhere.
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "hash/DHash.h"

#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // OpenSSL 3 marks MD5() deprecated

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const unsigned seed = size ? data[0] : 0;
  tarvo::TDMD5 md5;
  tarvo::TDSHA1 sha1;
  md5.Init();
  sha1.Init();
  size_t pos = 0;
  for (unsigned i = 0; pos < size; ++i) {
    // Every third piece may be empty; the others hold at least one byte.
    size_t n = (seed + 31 * i) % (seed % 70 + 2) + (i % 3 ? 1 : 0);
    if (n > size - pos) n = size - pos;
    md5.Update(data + pos, static_cast<uint32_t>(n));
    if (!sha1.Update(data + pos, static_cast<uint32_t>(n))) abort();
    pos += n;
  }
  tarvo::TMD5Digest ours5;
  tarvo::TSHA1Digest ours1;
  md5.Final(ours5);
  sha1.Final(ours1);

  unsigned char ref5[MD5_DIGEST_LENGTH], ref1[SHA_DIGEST_LENGTH];
  MD5(data, size, ref5);
  SHA1(data, size, ref1);
  if (std::memcmp(ours5.data(), ref5, sizeof ref5) != 0) abort();
  if (std::memcmp(ours1.data(), ref1, sizeof ref1) != 0) abort();

  // The one-call path the tool tab uses must agree too.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  md5.InitWithString(text);
  md5.Final(ours5);
  sha1.InitWithString(text);
  sha1.Final(ours1);
  if (std::memcmp(ours5.data(), ref5, sizeof ref5) != 0) abort();
  if (std::memcmp(ours1.data(), ref1, sizeof ref1) != 0) abort();
  return 0;
}

#include "hash/DHash.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tarvo {

namespace {

constexpr std::uint32_t Rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

std::string BytesToLowerHex(const std::uint8_t* bytes, std::size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string r(n * 2, '0');
  for (std::size_t i = 0; i < n; ++i) {
    r[2 * i] = kDigits[bytes[i] >> 4];
    r[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  return r;
}

// The count argument is 32-bit; a longer text goes in as several pieces so
// that no byte of it is dropped.
template <class Feed>
void FeedText(std::string_view text, Feed feed) {
  constexpr std::size_t kMax = std::numeric_limits<std::uint32_t>::max();
  while (!text.empty()) {
    const std::size_t n = std::min(text.size(), kMax);
    feed(text.data(), static_cast<std::uint32_t>(n));
    text.remove_prefix(n);
  }
}

// ---- MD5, RFC 1321 ----

constexpr std::uint32_t kMD5Sine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// Rotation amounts, four per round.
constexpr int kMD5Shift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

void PutLE32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

void TDMD5::Init() {
  state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  countLow_ = countHigh_ = 0;
  buffer_.fill(0);
}

void TDMD5::Transform(const std::uint8_t* block) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = std::uint32_t(block[4 * i]) | std::uint32_t(block[4 * i + 1]) << 8 |
           std::uint32_t(block[4 * i + 2]) << 16 | std::uint32_t(block[4 * i + 3]) << 24;
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    int k;
    switch (i / 16) {
      case 0: f = (b & c) | (~b & d); k = i; break;              // F
      case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) % 16; break;  // G
      case 2: f = b ^ c ^ d; k = (3 * i + 5) % 16; break;        // H
      default: f = c ^ (b | ~d); k = (7 * i) % 16; break;        // I
    }
    const std::uint32_t t = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + kMD5Sine[i] + x[k], kMD5Shift[i / 16][i % 4]);
    a = t;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void TDMD5::Update(const void* bytes, std::uint32_t count) {
  if (count == 0) return;
  const auto* in = static_cast<const std::uint8_t*>(bytes);
  std::uint32_t index = (countLow_ >> 3) & 0x3F;
  const std::uint32_t bits = count << 3;
  countLow_ += bits;
  if (countLow_ < bits) ++countHigh_;
  countHigh_ += count >> 29;

  std::uint32_t i = 0;
  const std::uint32_t partLen = 64 - index;
  if (count >= partLen) {
    std::memcpy(&buffer_[index], in, partLen);
    Transform(buffer_.data());
    // Whole blocks of the input are compressed where they lie.
    for (i = partLen; count - i >= 64; i += 64) Transform(in + i);
    index = 0;
  }
  std::memcpy(&buffer_[index], in + i, count - i);
}

void TDMD5::Final(TMD5Digest& digest) {
  digest.fill(0);
  std::uint8_t bits[8];
  PutLE32(bits, countLow_);
  PutLE32(bits + 4, countHigh_);
  static constexpr std::uint8_t kPadding[64] = {0x80};
  const std::uint32_t r = (countLow_ >> 3) & 0x3F;
  Update(kPadding, r < 56 ? 56 - r : 120 - r);
  Update(bits, 8);
  for (int i = 0; i < 4; ++i) PutLE32(&digest[4 * i], state_[i]);
  state_.fill(0);
  countLow_ = countHigh_ = 0;
  buffer_.fill(0);
}

void TDMD5::InitWithString(std::string_view text) {
  Init();
  FeedText(text, [this](const char* p, std::uint32_t n) { Update(p, n); });
}

std::string TDMD5::DigestToHex(const TMD5Digest& digest) {
  return BytesToLowerHex(digest.data(), digest.size());
}

// ---- SHA-1, FIPS 180-1 ----

void TDSHA1::Init() {
  lengthHigh_ = lengthLow_ = 0;
  fill_ = 0;
  block_.fill(0);
  state_ = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  initialized_ = true;
}

void TDSHA1::Compress() {
  std::uint32_t w[80];
  for (int t = 0; t < 16; ++t)
    w[t] = std::uint32_t(block_[4 * t]) << 24 | std::uint32_t(block_[4 * t + 1]) << 16 |
           std::uint32_t(block_[4 * t + 2]) << 8 | std::uint32_t(block_[4 * t + 3]);
  for (int t = 16; t < 80; ++t) w[t] = Rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
  for (int t = 0; t < 80; ++t) {
    std::uint32_t f, k;
    if (t < 20) f = (b & c) | (~b & d), k = 0x5A827999;
    else if (t < 40) f = b ^ c ^ d, k = 0x6ED9EBA1;
    else if (t < 60) f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
    else f = b ^ c ^ d, k = 0xCA62C1D6;
    const std::uint32_t temp = Rotl(a, 5) + f + e + w[t] + k;
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = temp;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
  // The block must be zero again for the next bytes and for Final's padding.
  fill_ = 0;
  std::fill(std::begin(w), std::end(w), 0u);
  block_.fill(0);
}

bool TDSHA1::Update(const void* bytes, std::uint32_t count) {
  if (!initialized_) return false;
  const std::uint32_t bits = count << 3;
  lengthLow_ += bits;
  if (lengthLow_ < bits) ++lengthHigh_;
  lengthHigh_ += count >> 29;
  const auto* in = static_cast<const std::uint8_t*>(bytes);
  while (count > 0) {
    const std::uint32_t n = std::min<std::uint32_t>(count, 64 - fill_);
    std::memcpy(&block_[fill_], in, n);
    fill_ += n;
    in += n;
    count -= n;
    if (fill_ == 64) Compress();
  }
  return true;
}

void TDSHA1::Final(TSHA1Digest& digest) {
  if (!initialized_) return;
  block_[fill_] = 0x80;
  if (fill_ > 55) Compress();
  for (int i = 0; i < 4; ++i) {
    block_[56 + i] = static_cast<std::uint8_t>(lengthHigh_ >> (24 - 8 * i));
    block_[60 + i] = static_cast<std::uint8_t>(lengthLow_ >> (24 - 8 * i));
  }
  Compress();
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
}

void TDSHA1::InitWithString(std::string_view text) {
  Init();
  FeedText(text, [this](const char* p, std::uint32_t n) { (void)Update(p, n); });
}

std::string TDSHA1::DigestToHex(const TSHA1Digest& digest) {
  return BytesToLowerHex(digest.data(), digest.size());
}

}  // namespace tarvo

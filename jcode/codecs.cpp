// Base64, quoted-printable and percent codecs. None of them fails: every byte
// has a fixed rule, and a following byte that is not there counts as absent.
#include <array>

#include "jcode/jconvert.h"

namespace tarvo {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kPad = 255;   // the value of '='
constexpr std::uint8_t kBad = 254;   // outside the alphabet (strict decoder only)

// Values for the strict decoder: alphabet values, kPad at '=', kBad elsewhere.
constexpr std::array<std::uint8_t, 256> MakeStrictTable() {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = kBad;
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  t['='] = kPad;
  return t;
}
// Values for the body decoder: as above but 0 for every other byte.
constexpr std::array<std::uint8_t, 256> MakeLenientTable() {
  std::array<std::uint8_t, 256> t = MakeStrictTable();
  for (auto& v : t)
    if (v == kBad) v = 0;
  return t;
}
constexpr auto kStrict = MakeStrictTable();
constexpr auto kLenient = MakeLenientTable();

// The bytes of one group of four values; returns how many (1, 2 or 3).
int DecodeGroup(const std::uint8_t v[4], std::uint8_t out[3]) {
  out[0] = static_cast<std::uint8_t>(v[0] * 4 + v[1] / 16);
  out[1] = static_cast<std::uint8_t>(v[1] * 16 + v[2] / 4);
  out[2] = static_cast<std::uint8_t>(v[2] * 64 + v[3]);
  if (v[2] == kPad) return 1;
  if (v[3] == kPad) return 2;
  return 3;
}

constexpr int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;  // lower-case a-f included
}

// The byte of the (up to) two characters after position i; missing ones count 0.
std::uint8_t HexAfter(std::string_view text, std::size_t i) {
  const int hi = i + 1 < text.size() ? HexValue(static_cast<unsigned char>(text[i + 1])) : 0;
  const int lo = i + 2 < text.size() ? HexValue(static_cast<unsigned char>(text[i + 2])) : 0;
  return static_cast<std::uint8_t>(hi * 16 + lo);
}

// Size the decoded text may take: n counts the characters that carry data.
std::size_t DecodedSizeHint(std::size_t n) { return 3 * (n / 4) + (n % 4 ? n % 4 - 1 : 0); }

// The quoted-printable walk shared by both decoders; `put` takes each byte.
template <typename Put>
void QPWalk(std::string_view text, Put&& put) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '=') {
      const unsigned char d = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
      if (d == '\r' || d == '\n') {  // soft line break: drop '=' and every line end after it
        ++i;
        while (i < text.size() && (text[i] == '\r' || text[i] == '\n')) ++i;
      } else {
        put(static_cast<char>(HexAfter(text, i)));
        i += 3;
      }
      continue;
    }
    if (c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c <= 0x7E)) put(static_cast<char>(c));
    ++i;  // other control and 8-bit bytes are dropped
  }
}

}  // namespace

std::string Base64Encode(std::string_view text) {
  std::string out;
  out.reserve((text.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= text.size(); i += 3) {
    const unsigned v = static_cast<unsigned char>(text[i]) << 16 | static_cast<unsigned char>(text[i + 1]) << 8 |
                       static_cast<unsigned char>(text[i + 2]);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = text.size() - i;
  if (rest > 0) {
    const unsigned v = static_cast<unsigned char>(text[i]) << 16 |
                       (rest == 2 ? static_cast<unsigned char>(text[i + 1]) << 8 : 0u);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string Base64Decode(std::string_view text) {
  std::size_t n = 0;
  for (char c : text)
    if (c != '\r' && c != '\n' && c != ' ' && c != '=') ++n;
  std::string out;
  out.reserve(DecodedSizeHint(n));
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\r' || text[i] == '\n' || text[i] == ' ') {
      ++i;
      continue;
    }
    if (text.size() - i < 4) return std::string(text);  // a group cut short
    std::uint8_t v[4];
    for (int k = 0; k < 4; ++k) {
      v[k] = kStrict[static_cast<unsigned char>(text[i + k])];
      if (v[k] == kBad) return std::string(text);
    }
    std::uint8_t b[3];
    out.append(reinterpret_cast<const char*>(b), DecodeGroup(v, b));
    i += 4;
  }
  return out;
}

void Base64DecodeToStream(std::string_view text, TMemoryStream& stream) {
  std::size_t n = 0;
  for (char c : text)
    if (c != '\r' && c != '\n' && c != '=') ++n;
  stream.Reserve(stream.Size() + DecodedSizeHint(n));
  char buffer[1024];
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\r' || text[i] == '\n') {
      ++i;
      continue;
    }
    std::uint8_t v[4] = {0, 0, 0, 0};  // a last group cut short is completed with 0
    for (int k = 0; k < 4 && i + k < text.size(); ++k) v[k] = kLenient[static_cast<unsigned char>(text[i + k])];
    std::uint8_t b[3];
    const int count = DecodeGroup(v, b);
    if (used + 3 > sizeof buffer) {
      stream.Write(buffer, used);
      used = 0;
    }
    for (int k = 0; k < count; ++k) buffer[used++] = static_cast<char>(b[k]);
    i += 4;
  }
  if (used > 0) stream.Write(buffer, used);
}

std::string QPDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  QPWalk(text, [&out](char c) { out += c; });
  return out;
}

void QPDecodeToStream(std::string_view text, TMemoryStream& stream) {
  stream.Clear();  // empty, position 0; the bytes then follow from there
  stream.Write(QPDecode(text));
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '%') {
      out += static_cast<char>(HexAfter(text, i));
      i += 3;
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::uint8_t HexPairToByte(std::string_view pair) {
  if (pair.size() != 2) return 0;
  return static_cast<std::uint8_t>(HexValue(static_cast<unsigned char>(pair[0])) * 16 +
                                   HexValue(static_cast<unsigned char>(pair[1])));
}

}  // namespace tarvo

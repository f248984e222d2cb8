// Base64, quoted-printable and percent codecs. None of them fails: every byte
// has a fixed rule, and a following byte that is not there counts as absent.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "base/ascii.h"
#include "jcode/jconvert.h"

namespace tarvo {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kPad = 255;   // the value of '='
constexpr std::uint8_t kBad = 254;   // outside the alphabet

// Alphabet values, kPad at '=', kBad elsewhere.
constexpr std::array<std::uint8_t, 256> MakeStrictTable() {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = kBad;
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  t['='] = kPad;
  return t;
}
constexpr auto kStrict = MakeStrictTable();

// How Base64Extent sees a byte; LF ends a line and never gets here.
enum : std::uint8_t { kLetter = 0, kBlank = 1, kPadding = 2, kStranger = 4 };
constexpr std::array<std::uint8_t, 256> MakeClassTable() {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = kStranger;
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = kLetter;
  t[' '] = t['\t'] = t['\r'] = kBlank;
  t['='] = kPadding;
  return t;
}
constexpr auto kClass = MakeClassTable();

// Four tables give the 24 bits of a group of four alphabet bytes by OR;
// a byte outside the alphabet sets kGroupBad in its table.
constexpr std::uint32_t kGroupBad = 1u << 24;
constexpr std::array<std::uint32_t, 256> MakeGroupTable(int shift) {
  std::array<std::uint32_t, 256> t{};
  for (auto& v : t) v = kGroupBad;
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint32_t>(i) << shift;
  return t;
}
constexpr auto kGroup0 = MakeGroupTable(18);
constexpr auto kGroup1 = MakeGroupTable(12);
constexpr auto kGroup2 = MakeGroupTable(6);
constexpr auto kGroup3 = MakeGroupTable(0);

// The group's bits, or a value >= kGroupBad when a byte is not in the alphabet.
inline std::uint32_t GroupBits(const char* p) {
  return kGroup0[static_cast<unsigned char>(p[0])] | kGroup1[static_cast<unsigned char>(p[1])] |
         kGroup2[static_cast<unsigned char>(p[2])] | kGroup3[static_cast<unsigned char>(p[3])];
}

inline char* PutGroup(char* o, std::uint32_t v) {
  o[0] = static_cast<char>(v >> 16);
  o[1] = static_cast<char>(v >> 8);
  o[2] = static_cast<char>(v);
  return o + 3;
}

// Quoted-printable's digits as the decoder has always read them: upper-case
// only; any other byte (lower-case a-f included) counts 0.
constexpr int UpperHexOrZero(unsigned char c) {
  return c >= 'a' && c <= 'f' ? 0 : std::max(HexValue(static_cast<char>(c)), 0);
}

// The byte of the (up to) two characters after position i; missing ones count 0.
std::uint8_t HexAfter(std::string_view text, std::size_t i) {
  const int hi = i + 1 < text.size() ? UpperHexOrZero(static_cast<unsigned char>(text[i + 1])) : 0;
  const int lo = i + 2 < text.size() ? UpperHexOrZero(static_cast<unsigned char>(text[i + 2])) : 0;
  return static_cast<std::uint8_t>(hi * 16 + lo);
}

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

namespace {

// A line of prose rather than data: ASCII letters in words with one blank
// between them, and unlike an encoder's line: a blank inside, a count that
// leaves a group open, or words spelt as words are, a capital at most
// first ("Unsubscribe", "Thanks", "Help").
bool ReadsAsWords(std::string_view line) {
  line = TrimControls(line);
  std::size_t letters = 0;
  bool blank = false, spelt = true;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ') {
      if (line[i - 1] == ' ') return false;  // the first byte is no blank
      blank = true;
      continue;
    }
    if (!IsAlpha(c)) return false;
    ++letters;
    spelt = spelt && (i == 0 || line[i - 1] == ' ' || (c >= 'a' && c <= 'z'));
  }
  return letters > 1 && (blank || letters % 4 != 0 || spelt);
}

// Where the data's lines end before any stranger or padding does: after
// the first line shorter than the one the data began with (an encoder's
// last line), or at a line of words after a blank line when the groups so
// far are whole. Lines that follow them are a footer.
class TBase64Lines {
 public:
  // Whether the line (not blank) is no longer data; `letters` counts its
  // alphabet bytes, `have` those in the group left open before it.
  bool Ends(std::string_view line, std::size_t letters, std::size_t have) {
    if (full_ != 0 && (short_ || (blank_ && have == 0 && ReadsAsWords(line)))) return true;
    if (full_ == 0) full_ = letters;
    else if (letters < full_) short_ = true;
    blank_ = false;
    return false;
  }
  void Blank() { blank_ = full_ != 0; }

 private:
  std::size_t full_ = 0;  // letters of the first line
  bool short_ = false, blank_ = false;
};

}  // namespace

TBase64Extent Base64Extent(std::string_view text) {
  TBase64Extent r;
  std::size_t have = 0;  // letters in the open group
  TBase64Lines lines;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t lf = text.find('\n', pos);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    // Most lines are whole groups of letters: one pass over the line says so.
    std::uint8_t marks = 0;
    std::size_t letters = 0;
    for (std::size_t i = pos; i < end; ++i) {
      const std::uint8_t k = kClass[static_cast<unsigned char>(text[i])];
      marks |= k;
      letters += k == kLetter;
    }
    if (letters == 0 && !(marks & (kPadding | kStranger))) {
      lines.Blank();
      pos = end + 1;
      continue;
    }
    if (!(marks & kStranger) && lines.Ends(text.substr(pos, end - pos), letters, have)) return {pos, false};
    if (!(marks & (kPadding | kStranger))) {
      have = (have + letters) % 4;
      pos = end + 1;
      continue;
    }
    for (std::size_t i = pos; i < end; ++i) {
      const std::uint8_t k = kClass[static_cast<unsigned char>(text[i])];
      if (k == kStranger) return {pos, false};  // the whole line is not data
      if (k == kLetter) have = (have + 1) % 4;
      if (k != kPadding) continue;
      if (have < 2) {  // no byte is padded here: the decoder drops the group
        r.Clean = false;
        have = 0;
        continue;
      }
      std::size_t j = i;
      while (j < end && text[j] == '=') ++j;
      return {j, r.Clean && have + (j - i) >= 4};
    }
    pos = end + 1;
  }
  r.End = text.size();
  r.Clean = r.Clean && have == 0;
  return r;
}

std::string Base64Decode(std::string_view text) {
  if (!Base64Extent(text).Clean) return std::string(text);
  std::string out;
  out.reserve(TBase64BodyDecoder::MaxOut(text.size()));
  Base64DecodeSlices(text, [&out](std::string_view bytes) { out.append(bytes); });
  return out;
}

// Bytes outside the alphabet are skipped here, so that a line end may fall
// anywhere; Base64Extent has already cut off what is not data.
std::size_t TBase64BodyDecoder::Feed(std::string_view piece, char* out) {
  char* o = out;
  const auto flush = [&] {
    if (have_ == 4) {
      o = PutGroup(o, bits_);
    } else if (have_ == 3) {
      *o++ = static_cast<char>(bits_ >> 10);
      *o++ = static_cast<char>(bits_ >> 2);
    } else if (have_ == 2) {
      *o++ = static_cast<char>(bits_ >> 4);
    }  // one character alone carries no whole byte
    bits_ = 0;
    have_ = 0;
  };
  const char* p = piece.data();
  const char* const end = p + piece.size();
  while (p < end) {
    // Four alphabet bytes at a group's start are a whole group: the fast path.
    if (have_ == 0) {
      while (end - p >= 4) {
        const std::uint32_t g = GroupBits(p);
        if (g >= kGroupBad) break;
        // One 4-byte store, of which the next group overwrites the last
        // byte; MaxOut leaves room for it.
        const std::uint32_t be = __builtin_bswap32(g << 8);
        std::memcpy(o, &be, 4);
        o += 3;
        p += 4;
      }
      if (p == end) break;
    }
    const std::uint8_t v = kStrict[static_cast<unsigned char>(*p++)];
    if (v == kBad) continue;
    if (v == kPad) {
      flush();
      continue;
    }
    bits_ = bits_ << 6 | v;
    if (++have_ == 4) flush();
  }
  return static_cast<std::size_t>(o - out);
}

std::size_t TBase64BodyDecoder::Finish(char* out) {
  std::size_t n = 0;
  if (have_ == 3) {
    out[n++] = static_cast<char>(bits_ >> 10);
    out[n++] = static_cast<char>(bits_ >> 2);
  } else if (have_ == 2) {
    out[n++] = static_cast<char>(bits_ >> 4);
  }
  bits_ = 0;
  have_ = 0;
  return n;
}

void Base64DecodeToStream(std::string_view text, TMemoryStream& stream) {
  stream.Reserve(stream.Size() + TBase64BodyDecoder::MaxOut(text.size()));  // an upper bound, no counting pass
  Base64DecodeSlices(text, [&stream](std::string_view bytes) { stream.Write(bytes.data(), bytes.size()); });
}

std::string QPDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  QPWalk(text, [&out](char c) { out += c; });
  return out;
}

void QPDecodeToStream(std::string_view text, TMemoryStream& stream) {
  // RFC 2045 6.7 for a body: "=" and two hex digits (either case) is a byte;
  // "=" before a line end, with only blanks between, is a soft line break
  // that joins two lines and takes nothing else; "=" at the very end is one
  // too. An "=" that starts neither stays, and so does every other byte.
  std::string out;
  out.reserve(text.size());
  const auto hex = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  };
  const auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t eq = text.find('=', i);
    out.append(text.substr(i, eq == std::string_view::npos ? std::string_view::npos : eq - i));
    if (eq == std::string_view::npos) break;
    std::size_t j = eq + 1;
    while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
    if (j == text.size()) break;
    if (text[j] == '\r' || text[j] == '\n') {
      i = j + (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n' ? 2 : 1);
      continue;
    }
    if (eq + 2 < text.size() && hex(text[eq + 1]) && hex(text[eq + 2])) {
      out += static_cast<char>(value(text[eq + 1]) * 16 + value(text[eq + 2]));
      i = eq + 3;
      continue;
    }
    out += '=';
    i = eq + 1;
  }
  stream.Clear();  // empty, position 0; the bytes then follow from there
  stream.Write(out);
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
  return static_cast<std::uint8_t>(UpperHexOrZero(static_cast<unsigned char>(pair[0])) * 16 +
                                   UpperHexOrZero(static_cast<unsigned char>(pair[1])));
}

}  // namespace tarvo

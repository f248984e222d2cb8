// MIME encoded words ("=?charset?B?...?=", "=?charset?Q?...?=") in header
// text, decoded for the first known charset only, and the UTF-8 reading.
#include "base/bytes.h"
#include "base/cp932.h"
#include "jcode/jconvert.h"

namespace tarvo {

namespace {

struct TCharsetEntry {
  std::string_view name;
  bool convertJIS;  // decoded words with escape sequences go through JISToSJIS
};

// Tried in this order; the first that has a word is the only one decoded.
constexpr TCharsetEntry kCharsets[] = {
    {"ISO-2022-JP", true}, {"ISO-2202-JP", false}, {"SHIFT-JIS", false}, {"SHIFT_JIS", false},
    {"SJIS", false},       {"ISO-8859-1", false},  {"GB2312", true},     {"UTF-8", false},
};

bool HasJISEscape(std::string_view s) { return MbcsContains(s, "\x1B(") || MbcsContains(s, "\x1B$"); }

// Q encoding: '_' is a space, the rest is quoted-printable.
std::string QDecode(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c == '_') c = ' ';
  return QPDecode(s);
}

constexpr bool IsTrail(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

// A well-formed four-byte sequence (U+10000..U+10FFFF) at i.
bool IsFourByteSequence(std::string_view s, std::size_t i) {
  if (s.size() - i < 4) return false;
  const auto b0 = static_cast<unsigned char>(s[i]), b1 = static_cast<unsigned char>(s[i + 1]);
  if (b0 < 0xF0 || b0 > 0xF4) return false;
  if ((b0 == 0xF0 && b1 < 0x90) || (b0 == 0xF4 && b1 > 0x8F)) return false;
  return IsTrail(b1) && IsTrail(static_cast<unsigned char>(s[i + 2])) &&
         IsTrail(static_cast<unsigned char>(s[i + 3]));
}

// Our reading of UTF-8 into 16-bit units: a byte 0x80 or above with bit 0x20
// set takes two continuation bytes, otherwise one, and the unit keeps 16 bits.
// A character beyond 16 bits stands as '?', as for one code page 932 lacks.
bool ReadUtf8(std::string_view s, std::u16string& units) {
  units.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      units += static_cast<char16_t>(c);
      ++i;
      continue;
    }
    if (IsFourByteSequence(s, i)) {
      units += u'?';
      i += 4;
      continue;
    }
    const std::size_t trails = (c & 0x20) ? 2 : 1;
    if (s.size() - i <= trails) return false;
    unsigned unit = c & 0x3F;
    for (std::size_t k = 1; k <= trails; ++k) {
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if (!IsTrail(t)) return false;
      unit = unit << 6 | (t & 0x3F);
    }
    units += static_cast<char16_t>(unit & 0xFFFF);
    i += trails + 1;
  }
  return true;
}

}  // namespace

std::string UTF8ToSJIS(std::string_view utf8) {
  std::u16string units;
  if (!ReadUtf8(utf8, units)) return {};
  return Utf16ToCp932(units);
}

bool DecodeCharsetWords(std::string_view name, bool convertJIS, std::string& W, std::string& R,
                        bool& utf8Flag) {
  const std::string base = "=?" + std::string(name);
  std::string M = base + "?B?";
  bool base64 = true;
  if (!MbcsContains(UpperCase(W), M)) {
    M = base + "?Q?";
    base64 = false;  // only one of the two encodings is decoded
  }
  std::size_t p = MbcsFind(UpperCase(W), M);
  if (p == std::string::npos) return false;
  if (name == "UTF-8") utf8Flag = true;
  bool jisSeen = false;
  while (p != std::string::npos) {
    R.append(W, 0, p);  // text between words, white space included, stays
    W.erase(0, p + M.size());
    const std::size_t q = MbcsFind(W, "?=");
    if (q != std::string::npos) {  // without "?=" only the marker goes
      const std::string decoded = base64 ? Base64Decode(std::string_view(W).substr(0, q))
                                         : QDecode(std::string_view(W).substr(0, q));
      W.erase(0, q + 2);
      if (convertJIS && HasJISEscape(decoded)) jisSeen = true;
      // Each word is converted by itself: an open two-byte run ends with it.
      R += jisSeen ? JISToSJIS(decoded) : decoded;
    }
    p = MbcsFind(UpperCase(W), M);
  }
  R += W;
  W.clear();
  return true;
}

std::string DecodeHeaderText(std::string_view value) {
  if (value.empty()) return {};
  std::string W(value), R;
  bool utf8 = false;
  bool found = false;
  for (const auto& entry : kCharsets)
    if ((found = DecodeCharsetWords(entry.name, entry.convertJIS, W, R, utf8))) break;
  if (!found) R = HasJISEscape(value) ? JISToSJIS(value) : std::string(value);
  return utf8 ? UTF8ToSJIS(R) : R;
}

}  // namespace tarvo

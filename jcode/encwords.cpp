// MIME encoded words ("=?charset?B?...?=", "=?charset?Q?...?=") in header
// text: the Shift-JIS form (the first known charset only, and the UTF-8
// reading into 16-bit units), and the Unicode form that every view shows.
#include <optional>

#include "base/ascii.h"
#include "base/bytes.h"
#include "base/cp932.h"
#include "jcode/charset.h"
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
    if (Utf8SequenceLength(s, i) == 4) {  // U+10000..U+10FFFF
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

// ---- the Unicode form (RFC 2047, with what real mail does besides) ----

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool AllBlank(std::string_view s) {
  for (char c : s)
    if (!IsFws(c)) return false;
  return true;
}

//   encoded-word = "=?" charset ["*" language] "?" encoding "?" encoded-text "?="
// The text runs to the first "?"; real mail puts blanks in it now and then.
struct TEncodedWord {
  std::size_t begin = 0, end = 0;  // the word's bytes in the value
  std::string_view charset;        // without its RFC 2231 language
  bool base64 = true;
  std::string_view text;
};

std::optional<TEncodedWord> FindEncodedWord(std::string_view s, std::size_t from) {
  for (std::size_t p = s.find("=?", from); p != npos; p = s.find("=?", p + 1)) {
    // The charset is a token: it ends at the first "?", and a blank or "="
    // before that means this is no word.
    std::size_t q1 = p + 2;
    while (q1 < s.size() && s[q1] != '?' && s[q1] != '=' && !IsFws(s[q1])) ++q1;
    if (q1 + 2 >= s.size()) return std::nullopt;
    if (s[q1] != '?' || q1 == p + 2) continue;
    const char e = s[q1 + 1];
    if (s[q1 + 2] != '?' || (e != 'B' && e != 'b' && e != 'Q' && e != 'q')) continue;
    const std::size_t q2 = s.find('?', q1 + 3);
    if (q2 == npos) return std::nullopt;
    if (q2 + 1 >= s.size() || s[q2 + 1] != '=') continue;
    TEncodedWord w;
    w.charset = s.substr(p + 2, q1 - p - 2);
    if (const std::size_t star = w.charset.find('*'); star != npos) w.charset = w.charset.substr(0, star);
    if (w.charset.empty()) continue;
    w.begin = p;
    w.end = q2 + 2;
    w.base64 = e == 'B' || e == 'b';
    w.text = s.substr(q1 + 3, q2 - q1 - 3);
    return w;
  }
  return std::nullopt;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Base64 that forgives missing padding (Exchange bounces) and blanks; a
// character outside the alphabet leaves the word as written.
std::optional<std::string> DecodeBText(std::string_view text) {
  std::string out;
  unsigned acc = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    if (IsFws(c)) continue;
    const int v = Base64Value(c);
    if (v < 0) return std::nullopt;
    acc = (acc << 6 | static_cast<unsigned>(v)) & 0xFFFFFF;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>(acc >> bits & 0xFF);
    }
  }
  return out;
}

// Q: "_" is a space, "=" and two hex digits of either case a byte; any other
// "=" stays as it is.
std::string DecodeQText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// The charset a word is read in. The misspelt ISO-2202-JP and GB2312 words
// holding JIS escapes are ISO-2022-JP text (the old table converted them so).
std::string WordCharset(std::string_view charset, std::string_view bytes) {
  std::string cs = UpperCase(charset);
  if (cs == "ISO-2202-JP" || (cs == "GB2312" && HasJISEscape(bytes))) cs = "ISO-2022-JP";
  return cs;
}

// A word's bytes to UTF-8. Words labelled us-ascii or unknown that hold
// 8-bit bytes are read like raw text; a charset nobody knows gives nullopt.
std::optional<std::string> DecodeWordBytes(std::string_view bytes, std::string_view charset) {
  if (auto text = DecodeCharsetToUtf8(bytes, charset)) return text;
  const std::string name = NormaliseCharset(charset);
  if (name == "us-ascii" || name == "ascii" || name == "unknown-8bit" || name == "x-unknown" || name == "unknown")
    return RawHeaderTextToUtf8(bytes);
  return std::nullopt;
}

}  // namespace

namespace {

// How raw 8-bit text reads as Shift_JIS and as EUC-JP: whether every byte
// belongs to a character, and whether some character takes two bytes.
struct TJapaneseReading {
  bool sjis = true, sjisPairs = false;
  bool euc = true, eucPairs = false;
};

TJapaneseReading ReadJapanese(std::string_view s, TCarrier carrier) {
  TJapaneseReading r;
  const auto at = [&](std::size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
  for (std::size_t i = 0; i < s.size() && r.sjis;) {
    const unsigned char c = at(i);
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) {
      ++i;
    } else if (i + 1 < s.size() && (IsCp932Pair(c, at(i + 1)) || !CarrierEmoji(carrier, c, at(i + 1)).empty())) {
      r.sjisPairs = true;
      i += 2;
    } else {
      r.sjis = false;
    }
  }
  // EUC-JP rows 0x75 and up (leads 0xF5..0xFE) are user-defined and vendor
  // rows that real mail does not use, while Shift_JIS has common kanji
  // there (髙 is 0xFB 0xFC): they count against EUC-JP.
  for (std::size_t i = 0; i < s.size() && r.euc;) {
    const unsigned char c = at(i), d = at(i + 1);
    if (c < 0x80) {
      ++i;
    } else if (c == 0x8E && d >= 0xA1 && d <= 0xDF) {
      i += 2;
    } else if (c == 0x8F && d >= 0xA1 && d <= 0xFE && at(i + 2) >= 0xA1 && at(i + 2) <= 0xFE) {
      r.eucPairs = true;
      i += 3;
    } else if (c >= 0xA1 && c <= 0xF4 && d >= 0xA1 && d <= 0xFE) {
      r.eucPairs = true;
      i += 2;
    } else {
      r.euc = false;
    }
  }
  return r;
}

}  // namespace

std::string RawHeaderTextToUtf8(std::string_view raw) {
  const TTextContext& context = CurrentTextContext();
  if (HasJISEscape(raw)) return Iso2022JpToUtf8(raw, context.Carrier, TDecodeMode::Lossless);
  if (IsUtf8Multibyte(raw)) return PrivateUseEmojiToUnicode(std::string(raw), context.Carrier);
  if (IsPlainAscii(raw)) return std::string(raw);
  // Shift_JIS or EUC-JP when only one of them reads every byte, or the
  // detection settles between the two; else the charset the message
  // declares for its text, when it declares one that is not Japanese.
  const TJapaneseReading r = ReadJapanese(raw, context.Carrier);
  bool sjis = r.sjis && !r.euc, euc = r.euc && !r.sjis, eucLikelier = false;
  if (r.sjis && r.euc) {
    const TCodeKind kind = DetectCode(raw);
    sjis = kind == ckSJIS;
    euc = kind == ckEUC;
    eucLikelier = kind == ckEUCOrSJIS;
  }
  const bool fallback = !context.FallbackCharset.empty();
  // Lone half-width katakana are more likely letters of that charset.
  if (fallback && ((sjis && !r.sjisPairs) || (euc && !r.eucPairs))) sjis = euc = false;
  if (!sjis && !euc && fallback)
    if (std::optional<std::string> text = DecodeCharsetToUtf8(raw, context.FallbackCharset)) return *text;
  if (euc || eucLikelier) return EucJpToUtf8(raw, TDecodeMode::Lossless);
  return SjisToUtf8(raw, context.Carrier);
}

std::string LineToUtf8(std::string_view line) {
  if (IsPlainAscii(line)) return std::string(line);
  const TCarrier carrier = CurrentTextContext().Carrier;
  if (!HasJISEscape(line) && IsUtf8Multibyte(line)) return PrivateUseEmojiToUnicode(std::string(line), carrier);
  switch (DetectCode(line)) {
    case ckJIS:
    case ckJIS78:
      return Iso2022JpToUtf8(line, carrier, TDecodeMode::Lossless);
    case ckEUC:
    case ckEUCOrSJIS:
      return EucJpToUtf8(line, TDecodeMode::Lossless);
    case ckNone:
    case ckBinary:
    case ckSJIS:
      break;
  }
  return SjisToUtf8(line, carrier);
}

std::string DecodeHeaderTextUtf8(std::string_view value) {
  std::string out;
  std::size_t written = 0;  // the value before this is in `out`
  bool afterWord = false;   // the last thing written was a decoded word
  std::string runCharset, runBytes;
  auto flushRun = [&] {
    if (runCharset.empty()) return;
    out += DecodeWordBytes(runBytes, runCharset).value_or(std::string());
    runCharset.clear();
    runBytes.clear();
  };
  for (auto w = FindEncodedWord(value, 0); w; w = FindEncodedWord(value, w->end)) {
    std::optional<std::string> bytes = w->base64 ? DecodeBText(w->text) : DecodeQText(w->text);
    if (!bytes) continue;
    const std::string cs = WordCharset(w->charset, *bytes);
    // A charset nobody knows: the word stays as written.
    if (!DecodeWordBytes(*bytes, cs)) continue;
    const std::string_view gap = value.substr(written, w->begin - written);
    const bool adjacent = afterWord && AllBlank(gap);  // RFC 2047 6.2: the blanks go
    // Adjacent words of one charset are decoded together: a character, or
    // a JIS run and its escape, that a mailer split over two comes out whole.
    if (!adjacent || cs != runCharset) flushRun();
    if (!adjacent) out += RawHeaderTextToUtf8(gap);
    runCharset = cs;
    runBytes += *bytes;
    written = w->end;
    afterWord = true;
  }
  flushRun();
  out += RawHeaderTextToUtf8(value.substr(written));
  return out;
}

}  // namespace tarvo

// JIS (ISO-2022-JP), EUC-JP and Shift-JIS converters: arithmetic on byte
// values, no tables. A following byte that is not there counts as 0.
#include "base/bytes.h"
#include "jcode/jconvert.h"

namespace tarvo {

namespace {

constexpr char kEsc = '\x1B';
constexpr std::string_view kToKanji = "\x1B$B";
constexpr std::string_view kToAscii = "\x1B(B";

unsigned char At(std::string_view t, std::size_t i) {
  return i < t.size() ? static_cast<unsigned char>(t[i]) : 0;
}

void AppendPair(std::string& out, std::pair<std::uint8_t, std::uint8_t> p) {
  out += static_cast<char>(p.first);
  out += static_cast<char>(p.second);
}

// Drops every ESC ( J (J in either case), one pass from left to right.
std::string RemoveRomanDesignations(std::string s) {
  if (s.find(kEsc) == std::string::npos) return s;
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == kEsc && i + 2 < s.size() && s[i + 1] == '(' && (s[i + 2] == 'J' || s[i + 2] == 'j')) {
      i += 3;
    } else {
      out += s[i++];
    }
  }
  return out;
}

}  // namespace

std::pair<std::uint8_t, std::uint8_t> JISPairToSJIS(std::uint8_t j1, std::uint8_t j2) {
  const auto s1 = static_cast<std::uint8_t>(static_cast<std::uint8_t>(j1 + 1) / 2 + (j1 < 0x5F ? 0x70 : 0xB0));
  std::uint8_t s2;
  if (j1 % 2 == 0) s2 = static_cast<std::uint8_t>(j2 + 0x7E);
  else s2 = static_cast<std::uint8_t>(j2 + (j2 <= 0x5F ? 0x1F : 0x20));
  return {s1, s2};
}

std::pair<std::uint8_t, std::uint8_t> SJISPairToJIS(std::uint8_t s1, std::uint8_t s2, TPairVariant variant) {
  int j1 = 2 * (s1 - (s1 <= 0x9F ? 0x70 : 0xB0));
  if (s2 < 0x9F) --j1;
  int j2;
  if (s2 >= 0x9F) j2 = s2 - 0x7E;
  else if (s2 >= 0x80) j2 = s2 - 0x20;
  else if (s2 < 0x7F) j2 = s2 - 0x1F;
  else j2 = s2 - (variant == TPairVariant::EUC ? 0x1F : 0x20);  // 0x7F, never a real trail byte
  return {static_cast<std::uint8_t>(j1), static_cast<std::uint8_t>(j2)};
}

std::string JISToSJIS(std::string_view text) {
  // Shift-JIS never takes more bytes than the JIS it comes from (a pair per
  // pair, escapes dropped), so the result is written in place and cut to size.
  std::string out(text.size() + 1, '\0');
  char* o = out.data();
  bool kanji = false, kana = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    if (ch == kEsc) {
      // Every escape sequence is three bytes; one cut short or ending the text ends it.
      if (text.size() - i < 4) break;
      if (text[i + 1] == '$') kanji = true;
      else if (text[i + 1] == '(') kanji = false;
      kana = text[i + 1] == '(' && text[i + 2] == 'I';  // half-width katakana, 0xA1.. in Shift-JIS
      i += 3;
      continue;
    }
    if (kanji) {
      // The second byte is taken as it stands, whatever it is.
      const auto [s1, s2] = JISPairToSJIS(ch, At(text, i + 1));
      *o++ = static_cast<char>(s1);
      *o++ = static_cast<char>(s2);
      i += 2;
    } else {
      // Single-byte mode runs to the next ESC; zero bytes are dropped.
      std::size_t end = text.find(kEsc, i);
      if (end == std::string_view::npos) end = text.size();
      for (; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (kana && c >= 0x21 && c <= 0x5F) *o++ = static_cast<char>(c + 0x80);
        else if (c != 0) *o++ = text[i];
      }
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return RemoveRomanDesignations(std::move(out));
}

std::string EUCToSJIS(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b <= 0x80 || b == 0xFF) {
      out += static_cast<char>(b);
      ++i;
    } else if (b == 0x8E) {  // single shift 2: the katakana byte alone
      out += static_cast<char>(At(text, i + 1));
      i += 2;
    } else {  // 0x8F (JIS X 0212) is taken as an ordinary lead byte
      AppendPair(out, JISPairToSJIS(b & 0x7F, At(text, i + 1) & 0x7F));
      i += 2;
    }
  }
  return out;
}

std::string SJISToEUC(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b <= 0x7F) {
      out += static_cast<char>(b);
      ++i;
    } else if (b >= 0xA1 && b <= 0xDF) {
      out += '\x8E';
      out += static_cast<char>(b);
      ++i;
    } else {
      const auto [j1, j2] = SJISPairToJIS(b, At(text, i + 1), TPairVariant::EUC);
      AppendPair(out, {j1 | 0x80, j2 | 0x80});
      i += 2;
    }
  }
  return out;
}

std::string SJISToJIS(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  bool kanji = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (IsCp932LeadByte(b)) {
      if (!kanji) out += kToKanji;
      kanji = true;
      AppendPair(out, SJISPairToJIS(b, At(text, i + 1), TPairVariant::JIS));
      i += 2;
    } else {
      if (kanji) out += kToAscii;
      kanji = false;
      out += static_cast<char>(b);  // half-width katakana go out as raw bytes
      ++i;
    }
  }
  if (kanji) out += kToAscii;
  return out;
}

namespace {
// The converter each code calls for; nullptr where the line stays as it is.
std::string (*ConverterFor(TCodeKind kind))(std::string_view) {
  switch (kind) {
    case ckJIS:
    case ckJIS78:
      return JISToSJIS;
    case ckEUC:
    case ckEUCOrSJIS:
      return EUCToSJIS;
    case ckNone:
    case ckBinary:
    case ckSJIS:
      break;
  }
  return nullptr;
}
}  // namespace

std::string ConvertLineToSJIS(std::string_view line) {
  const auto convert = ConverterFor(DetectCode(line));
  return convert ? convert(line) : std::string(line);
}

void ConvertLineToSJISInPlace(std::string& line) {
  if (const auto convert = ConverterFor(DetectCode(line))) line = convert(line);
}

}  // namespace tarvo

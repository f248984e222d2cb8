#include "jcode/textfold.h"

#include "base/ascii.h"
#include "base/cp932.h"

namespace tarvo {

namespace {

char32_t DecodeAt(std::string_view s, std::size_t i, std::size_t n) {
  const auto b = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(s[i + k])); };
  switch (n) {
    case 1: return b(0);
    case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  }
}

bool IsBlank(char32_t cp) {
  return cp == ' ' || cp == '\t' || cp == '\r' || cp == '\n' || cp == 0xA0 || cp == 0x3000 ||
         (cp >= 0x2000 && cp <= 0x200A) || cp == 0x202F || cp == 0x205F;
}

// Cyrillic and Greek letters that are drawn like Latin ones.
char32_t LatinLookAlike(char32_t cp) {
  static constexpr std::pair<char32_t, char> kPairs[] = {
      {0x0410, 'a'}, {0x0412, 'b'}, {0x0415, 'e'}, {0x041A, 'k'}, {0x041C, 'm'}, {0x041D, 'h'}, {0x041E, 'o'},
      {0x0420, 'p'}, {0x0421, 'c'}, {0x0422, 't'}, {0x0425, 'x'}, {0x0430, 'a'}, {0x0435, 'e'}, {0x043E, 'o'},
      {0x0440, 'p'}, {0x0441, 'c'}, {0x0443, 'y'}, {0x0445, 'x'}, {0x0405, 's'}, {0x0406, 'i'}, {0x0408, 'j'},
      {0x0455, 's'}, {0x0456, 'i'}, {0x0458, 'j'}, {0x0501, 'd'}, {0x051B, 'q'}, {0x051D, 'w'}, {0x0391, 'a'},
      {0x0392, 'b'}, {0x0395, 'e'}, {0x0396, 'z'}, {0x0397, 'h'}, {0x0399, 'i'}, {0x039A, 'k'}, {0x039C, 'm'},
      {0x039D, 'n'}, {0x039F, 'o'}, {0x03A1, 'p'}, {0x03A4, 't'}, {0x03A5, 'y'}, {0x03A7, 'x'}, {0x03BF, 'o'},
      {0x03BD, 'v'}, {0x03B1, 'a'}, {0x0261, 'g'}, {0x0131, 'i'}};
  for (const auto& [from, to] : kPairs)
    if (from == cp) return static_cast<char32_t>(to);
  return 0;
}

// Half-width katakana U+FF66..U+FF9D as full-width ones.
constexpr char16_t kHalfKana[] =
    u"ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";

char32_t Lower(char32_t cp) { return cp >= U'A' && cp <= U'Z' ? cp + 32 : cp; }

// The plain letter or digit a decorated one stands for, or 0.
char32_t PlainForm(char32_t cp) {
  if (cp >= 0xFF01 && cp <= 0xFF5E) return Lower(cp - 0xFEE0);            // full-width ASCII
  if (cp >= 0x1D400 && cp <= 0x1D6A3) {                                    // mathematical letters
    const char32_t k = (cp - 0x1D400) % 52;
    return k < 26 ? U'a' + k : U'a' + (k - 26);
  }
  if (cp >= 0x1D7CE && cp <= 0x1D7FF) return U'0' + (cp - 0x1D7CE) % 10;   // mathematical digits
  if (cp >= 0x24B6 && cp <= 0x24CF) return U'a' + (cp - 0x24B6);          // circled capitals
  if (cp >= 0x24D0 && cp <= 0x24E9) return U'a' + (cp - 0x24D0);          // circled small letters
  for (char32_t base : {0x1F130u, 0x1F150u, 0x1F170u})                     // squared letters
    if (cp >= base && cp < base + 26) return U'a' + (cp - base);
  if (cp >= 0xFF66 && cp <= 0xFF9D) return kHalfKana[cp - 0xFF66];
  if (cp < 0x80) return Lower(cp);
  return LatinLookAlike(cp);
}

// A half-width voiced mark joins the kana before it: ｶﾞ is ガ, ﾊﾟ is パ.
bool JoinSoundMark(std::string& out, char32_t mark) {
  if (out.size() < 3 || Utf8SequenceLength(out, out.size() - 3) != 3) return false;
  const std::string_view last(out.data() + out.size() - 3, 3);
  const char32_t kana = DecodeAt(last, 0, 3);
  const bool voiced = mark == 0xFF9E;
  const bool canVoice = (kana >= U'カ' && kana <= U'チ' && (kana - U'カ') % 2 == 0) ||
                        (kana >= U'ツ' && kana <= U'ト' && (kana - U'ツ') % 2 == 0) ||
                        (kana >= U'ハ' && kana <= U'ホ' && (kana - U'ハ') % 3 == 0) || kana == U'ウ';
  const bool canSemi = kana >= U'ハ' && kana <= U'ホ' && (kana - U'ハ') % 3 == 0;
  if (voiced ? !canVoice : !canSemi) return false;
  out.resize(out.size() - 3);
  AppendUtf8(out, kana == U'ウ' ? U'ヴ' : kana + (voiced ? 1 : 2));
  return true;
}

}  // namespace

bool IsInvisibleFormat(char32_t cp) {
  return cp == 0x34F || cp == 0x61C || cp == 0x115F || cp == 0x1160 || cp == 0x180E ||
         cp == 0x200B || cp == 0x200C || cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
         (cp >= 0x2060 && cp <= 0x2064) || (cp >= 0x2066 && cp <= 0x206F) || cp == 0x3164 || cp == 0xFEFF ||
         cp == 0xFFA0 || (cp >= 0xE0000 && cp <= 0xE0FFF);
}

TFoldedText FoldForMatching(std::string_view utf8) {
  TFoldedText out;
  bool blank = false;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t n = Utf8SequenceLength(utf8, i);
    if (n == 0) {
      ++i;
      continue;
    }
    const char32_t cp = DecodeAt(utf8, i, n);
    i += n;
    if (IsInvisibleFormat(cp)) {
      if (out.Invisible.size() < 8) out.Invisible.push_back(cp);
      continue;
    }
    if (cp == 0xAD) continue;  // a soft hyphen: common in text decoded with the wrong charset
    if (IsBlank(cp)) {
      blank = !out.Spaced.empty();
      continue;
    }
    if ((cp == 0xFF9E || cp == 0xFF9F) && JoinSoundMark(out.Joined, cp)) {
      JoinSoundMark(out.Spaced, cp);
      continue;
    }
    if (blank) out.Spaced += ' ';
    blank = false;
    const char32_t plain = PlainForm(cp);
    AppendUtf8(out.Joined, plain ? plain : cp);
    AppendUtf8(out.Spaced, plain ? plain : cp);
  }
  return out;
}

}  // namespace tarvo

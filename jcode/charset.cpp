#include "jcode/charset.h"

#include <iconv.h>

#include <cerrno>
#include <string>
#include <utility>

#include "base/ascii.h"
#include "base/bytes.h"
#include "jcode/jconvert.h"

namespace tarvo {

namespace {

constexpr char32_t kPrivateBase = 0xF700;

void AppendUndecodable(std::string& out, unsigned char b, TDecodeMode mode) {
  AppendUtf8(out, mode == TDecodeMode::Lossless ? kPrivateBase + b : 0xFFFD);
}

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (name == n) return true;
  return false;
}

// The iconv name for a MIME charset name where the two differ, or the
// superset that real mail under that label is written in.
std::string IconvName(const std::string& name) {
  if (IsOneOf(name, {"gb2312", "csgb2312", "gbk", "x-gbk", "cp936", "euc-cn"})) return "GB18030";
  if (IsOneOf(name, {"ks_c_5601-1987", "ks_c_5601", "euc-kr", "cseuckr"})) return "CP949";
  if (IsOneOf(name, {"big5", "csbig5", "x-x-big5", "cn-big5"})) return "BIG5-HKSCS";
  if (IsOneOf(name, {"iso-8859-8-i", "iso-8859-8-e"})) return "ISO-8859-8";
  if (IsOneOf(name, {"unicode-1-1-utf-7", "x-utf-7"})) return "UTF-7";
  return name;
}

class IconvHandle {
 public:
  explicit IconvHandle(const std::string& from) : cd_(iconv_open("UTF-8", from.c_str())) {}
  ~IconvHandle() {
    if (Valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  [[nodiscard]] bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // The whole input converted; a byte iconv rejects is U+FFFD and the
  // conversion goes on after it.
  std::string Convert(std::string_view in) {
    std::string out;
    char buf[4096];
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
      char* dst = buf;
      std::size_t room = sizeof buf;
      const std::size_t r = iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (r != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (cut at the end): keep the byte, start afresh after it.
      AppendUndecodable(out, static_cast<unsigned char>(*src), TDecodeMode::Replace);
      ++src;
      --left;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buf;
    std::size_t room = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &room);  // any shift state's closing bytes
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string NormaliseCharset(std::string_view name) {
  std::string s = Trim(name);
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '"' || c == '\'') continue;
    if (c == '*') break;  // RFC 2231 language suffix
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return Trim(out);
}

bool IsUtf8Multibyte(std::string_view s) {
  bool multi = false;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8SequenceLength(s, i);
    if (n == 0) return false;
    multi |= n > 1;
    i += n;
  }
  return multi;
}

std::string CheckedUtf8(std::string_view s, TDecodeMode mode) {
  std::string out;
  out.reserve(s.size());
  std::size_t run = 0;  // start of the well-formed run not yet copied
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8SequenceLength(s, i);
    if (n > 0) {
      i += n;
      continue;
    }
    out.append(s.substr(run, i - run));
    AppendUndecodable(out, static_cast<unsigned char>(s[i]), mode);
    run = ++i;
  }
  out.append(s.substr(run));
  return out;
}

namespace {
thread_local const TTextContext* tCurrent = nullptr;

constexpr char kEsc = '\x1B';
constexpr char kShiftIn = '\x0F';  // ends a SoftBank web code

constexpr bool IsJisByte(unsigned char c) { return c >= 0x21 && c <= 0x7E; }
}  // namespace

const TTextContext& CurrentTextContext() {
  static const TTextContext kNone;
  return tCurrent ? *tCurrent : kNone;
}

TTextContextScope::TTextContextScope(TTextContext context) : context_(std::move(context)), saved_(tCurrent) {
  tCurrent = &context_;
}

TTextContextScope::~TTextContextScope() { tCurrent = saved_; }

bool IsJapaneseCharset(std::string_view charset) {
  const std::string name = NormaliseCharset(charset);
  return name.find("2022-jp") != std::string::npos || name.find("shift") != std::string::npos ||
         name.find("sjis") != std::string::npos || name.find("euc-jp") != std::string::npos ||
         IsOneOf(name, {"ms_kanji", "csshiftjis", "cp932", "windows-31j", "x-ms-cp932", "ms932", "eucjp", "euc_jp",
                        "cseucpkdfmtjapanese", "x-euc", "csiso2022jp"});
}

std::string Iso2022JpToUtf8(std::string_view t, TCarrier carrier, TDecodeMode mode) {
  enum class TSet { Ascii, Kanji, Kana, WebCode };
  std::string out;
  out.reserve(t.size() + t.size() / 2);
  std::string sjis;  // converted bytes not yet decoded, whole characters only
  const auto flush = [&] {
    out += SjisToUtf8(sjis, carrier, mode);
    sjis.clear();
  };
  const auto undecodable = [&](unsigned char b) {
    flush();
    AppendUndecodable(out, b, mode);
  };
  TSet set = TSet::Ascii, beforeWebCode = TSet::Ascii;
  char page = 0;
  const std::size_t n = t.size();
  for (std::size_t i = 0; i < n;) {
    const auto c = static_cast<unsigned char>(t[i]);
    if (c == kEsc) {
      // Every escape sequence is three bytes (four for "ESC $ ( F"); one cut
      // short ends the text, as it always has.
      if (n - i < 3) break;
      const char b1 = t[i + 1], b2 = t[i + 2];
      i += 3;
      if (b1 == '(') {
        set = b2 == 'I' ? TSet::Kana : TSet::Ascii;
      } else if (b1 == '$' && (b2 == 'G' || b2 == 'E' || b2 == 'F' || b2 == 'O' || b2 == 'P' || b2 == 'Q')) {
        if (set != TSet::WebCode) beforeWebCode = set;
        set = TSet::WebCode;
        page = b2;
      } else if (b1 == '$') {
        if (b2 == '(' && i < n) ++i;  // ESC $ ( D and the like: taken as JIS X 0208
        set = TSet::Kanji;
      }
      continue;
    }
    if (c >= 0x80) {
      // Shift_JIS codes of the carrier's emoji, as docomo's phones put them
      // among JIS text; any other 8-bit byte is no ISO-2022-JP.
      if (i + 1 < n && !CarrierEmoji(carrier, c, static_cast<unsigned char>(t[i + 1])).empty()) {
        sjis += t.substr(i, 2);
        i += 2;
      } else {
        undecodable(c);
        ++i;
      }
      continue;
    }
    switch (set) {
      case TSet::WebCode: {
        if (c == kShiftIn) {
          set = beforeWebCode;
          ++i;
          break;
        }
        if (const std::uint16_t code = SoftBankWebCodeToSjis(page, c)) {
          flush();
          out += CarrierEmoji(TCarrier::SoftBank, code >> 8, code & 0xFF);
          ++i;
          break;
        }
        set = beforeWebCode;  // a web code left open ends at the first byte not in it
        break;
      }
      case TSet::Kanji:
        if (IsJisByte(c) && i + 1 < n && IsJisByte(static_cast<unsigned char>(t[i + 1]))) {
          const auto [s1, s2] = JISPairToSJIS(c, static_cast<unsigned char>(t[i + 1]));
          sjis += static_cast<char>(s1);
          sjis += static_cast<char>(s2);
          i += 2;
        } else if (IsJisByte(c)) {
          undecodable(c);  // half a pair
          ++i;
        } else {
          if (c != 0) sjis += static_cast<char>(c);  // controls, blanks and line ends pass
          ++i;
        }
        break;
      case TSet::Kana:
        if (c >= 0x21 && c <= 0x5F) sjis += static_cast<char>(c + 0x80);
        else if (c >= 0x60 && c != 0x7F) undecodable(c);
        else if (c != 0) sjis += static_cast<char>(c);
        ++i;
        break;
      case TSet::Ascii:
        if (c != 0) sjis += static_cast<char>(c);  // zero bytes are dropped
        ++i;
        break;
    }
  }
  flush();
  return out;
}

std::optional<std::string> DecodeCharsetToUtf8(std::string_view bytes, std::string_view charset) {
  const TCarrier carrier = CurrentTextContext().Carrier;
  const std::string name = NormaliseCharset(charset);
  if (IsOneOf(name, {"iso-2022-jp", "iso-2022-jp-1", "iso-2022-jp-2", "iso-2022-jp-3", "iso-2022-jp-ms",
                     "csiso2022jp", "x-iso-2022-jp"}))
    return Iso2022JpToUtf8(bytes, carrier, TDecodeMode::Replace);
  if (IsOneOf(name, {"shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji", "csshiftjis", "cp932", "windows-31j",
                     "x-ms-cp932", "ms932", "shift_jisx0213"}))
    return SjisToUtf8(bytes, carrier, TDecodeMode::Replace);
  if (IsOneOf(name, {"euc-jp", "x-euc-jp", "eucjp", "euc_jp", "cseucpkdfmtjapanese", "x-euc"}))
    return Cp932ToUtf8(EUCToSJIS(bytes), TDecodeMode::Replace);
  if (IsOneOf(name, {"utf-8", "utf8", "x-utf-8"})) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return PrivateUseEmojiToUnicode(CheckedUtf8(bytes, TDecodeMode::Replace), carrier);
  }
  if (IsOneOf(name, {"us-ascii", "ascii", "ansi_x3.4-1968", "iso646-us", "cp367", "csascii"})) {
    for (char c : bytes)
      if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
    return std::string(bytes);
  }
  if (name.empty() || IsOneOf(name, {"unknown-8bit", "x-unknown", "unknown", "default", "x-user-defined"}))
    return std::nullopt;
  IconvHandle cd(IconvName(name));
  if (!cd.Valid()) return std::nullopt;
  // glibc reads UCS-4 and UTF-8 beyond U+10FFFF and writes such values out
  // again as five- and six-byte forms: what comes back is checked as well.
  std::optional<std::string> out = cd.Convert(bytes);
  if (out) out = CheckedUtf8(*out, TDecodeMode::Replace);
  return out;
}

std::string StoredTextToUtf8(std::string_view bytes, TDecodeMode mode) {
  if (IsUtf8Multibyte(bytes)) return std::string(bytes);
  return Cp932ToUtf8(bytes, mode);
}

std::string TextToUtf8(std::string_view text, TTextKind kind, TDecodeMode mode) {
  if (kind == TTextKind::Stored) return StoredTextToUtf8(text, mode);
  if (mode == TDecodeMode::Lossless) return std::string(text);
  // U+F700..U+F7FF are EF 9C 80 .. EF 9F BF.
  std::string out(text);
  for (std::size_t i = out.find('\xEF'); i != std::string::npos && i + 2 < out.size(); i = out.find('\xEF', i + 1)) {
    const auto b1 = static_cast<unsigned char>(out[i + 1]);
    if (b1 >= 0x9C && b1 <= 0x9F) {
      out[i + 1] = '\xBF';
      out[i + 2] = '\xBD';
    }
  }
  return out;
}

}  // namespace tarvo

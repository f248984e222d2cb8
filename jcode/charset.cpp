#include "jcode/charset.h"

#include <iconv.h>

#include <cerrno>
#include <optional>
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

namespace {

// One ISO-2022-JP text read into UTF-8: the bytes of each set go to
// Shift_JIS first, decoded a run at a time.
class TJisReader {
 public:
  TJisReader(std::string_view t, TCarrier carrier, TDecodeMode mode) : t_(t), carrier_(carrier), mode_(mode) {
    out_.reserve(t.size() + t.size() / 2);
  }

  std::string Read() {
    while (i_ < t_.size()) {
      const auto c = static_cast<unsigned char>(t_[i_]);
      if (c == kEsc) {
        if (!Escape()) break;
      } else if (c >= 0x80) {
        HighByte(c);
      } else {
        switch (set_) {
          case TSet::WebCode: WebCode(c); break;
          case TSet::Kanji: Kanji(c); break;
          case TSet::Kana: Kana(c); break;
          case TSet::Ascii:
            if (c != 0) sjis_ += static_cast<char>(c);  // zero bytes are dropped
            ++i_;
            break;
        }
      }
    }
    Flush();
    return std::move(out_);
  }

 private:
  enum class TSet { Ascii, Kanji, Kana, WebCode };

  void Flush() {
    out_ += SjisToUtf8(sjis_, carrier_, mode_);
    sjis_.clear();
  }
  void Undecodable(unsigned char b) {
    Flush();
    AppendUndecodable(out_, b, mode_);
  }
  [[nodiscard]] unsigned char Next() const { return static_cast<unsigned char>(t_[i_ + 1]); }

  // Every escape sequence is three bytes (four for "ESC $ ( F"); one cut
  // short ends the text, as it always has.
  bool Escape() {
    const std::size_t n = t_.size();
    if (n - i_ < 3) return false;
    const char b1 = t_[i_ + 1], b2 = t_[i_ + 2];
    i_ += 3;
    if (b1 == '(') {
      set_ = b2 == 'I' ? TSet::Kana : TSet::Ascii;
    } else if (b1 == '$' && (b2 == 'G' || b2 == 'E' || b2 == 'F' || b2 == 'O' || b2 == 'P' || b2 == 'Q')) {
      if (set_ != TSet::WebCode) beforeWebCode_ = set_;
      set_ = TSet::WebCode;
      page_ = b2;
    } else if (b1 == '$') {
      if (b2 == '(' && i_ < n) ++i_;  // ESC $ ( D and the like: taken as JIS X 0208
      set_ = TSet::Kanji;
    }
    return true;
  }

  // Shift_JIS codes of the carrier's emoji, as docomo's phones put them
  // among JIS text; any other 8-bit byte is no ISO-2022-JP.
  void HighByte(unsigned char c) {
    if (i_ + 1 < t_.size() && !CarrierEmoji(carrier_, c, Next()).empty()) {
      sjis_ += t_.substr(i_, 2);
      i_ += 2;
    } else {
      Undecodable(c);
      ++i_;
    }
  }

  void WebCode(unsigned char c) {
    if (c == kShiftIn) {
      set_ = beforeWebCode_;
      ++i_;
    } else if (const std::uint16_t code = SoftBankWebCodeToSjis(page_, c)) {
      Flush();
      out_ += CarrierEmoji(TCarrier::SoftBank, code >> 8, code & 0xFF);
      ++i_;
    } else {
      set_ = beforeWebCode_;  // a web code left open ends at the first byte not in it
    }
  }

  void Kanji(unsigned char c) {
    if (IsJisByte(c) && i_ + 1 < t_.size() && IsJisByte(Next())) {
      const auto [s1, s2] = JISPairToSJIS(c, Next());
      sjis_ += static_cast<char>(s1);
      sjis_ += static_cast<char>(s2);
      i_ += 2;
      return;
    }
    if (IsJisByte(c)) Undecodable(c);  // half a pair
    else if (c != 0) sjis_ += static_cast<char>(c);  // controls, blanks and line ends pass
    ++i_;
  }

  void Kana(unsigned char c) {
    if (c >= 0x21 && c <= 0x5F) sjis_ += static_cast<char>(c + 0x80);
    else if (c >= 0x60 && c != 0x7F) Undecodable(c);
    else if (c != 0) sjis_ += static_cast<char>(c);
    ++i_;
  }

  std::string_view t_;
  TCarrier carrier_;
  TDecodeMode mode_;
  std::string out_;
  std::string sjis_;  // converted bytes not yet decoded, whole characters only
  std::size_t i_ = 0;
  TSet set_ = TSet::Ascii, beforeWebCode_ = TSet::Ascii;
  char page_ = 0;
};

}  // namespace

std::string Iso2022JpToUtf8(std::string_view t, TCarrier carrier, TDecodeMode mode) {
  return TJisReader(t, carrier, mode).Read();
}

std::string EucJpToUtf8(std::string_view t, TDecodeMode mode) {
  std::string out, sjis;
  out.reserve(t.size() + t.size() / 2);
  const auto flush = [&] {
    out += Cp932ToUtf8(sjis, mode);
    sjis.clear();
  };
  const auto at = [t](std::size_t i) { return i < t.size() ? static_cast<unsigned char>(t[i]) : 0; };
  const auto high = [](unsigned char c) { return c >= 0xA1 && c <= 0xFE; };
  std::optional<IconvHandle> x0212;  // opened at the first JIS X 0212 character
  for (std::size_t i = 0; i < t.size();) {
    const unsigned char c = at(i), c1 = at(i + 1);
    if (c < 0x80) {
      sjis += static_cast<char>(c);
      ++i;
    } else if (high(c) && high(c1)) {
      const auto [s1, s2] = JISPairToSJIS(c & 0x7F, c1 & 0x7F);
      sjis += static_cast<char>(s1);
      sjis += static_cast<char>(s2);
      i += 2;
    } else if (c == 0x8E && c1 >= 0xA1 && c1 <= 0xDF) {  // single shift 2: half-width katakana
      sjis += static_cast<char>(c1);
      i += 2;
    } else if (c == 0x8F && high(c1) && high(at(i + 2))) {  // JIS X 0212, which code page 932 lacks
      flush();
      if (!x0212) x0212.emplace("EUC-JP");
      if (x0212->Valid()) out += x0212->Convert(t.substr(i, 3));
      else AppendUtf8(out, 0xFFFD);
      i += 3;
    } else {
      flush();
      AppendUndecodable(out, c, mode);
      ++i;
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
    return EucJpToUtf8(bytes, TDecodeMode::Replace);
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

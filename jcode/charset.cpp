#include "jcode/charset.h"

#include <iconv.h>

#include <cerrno>
#include <string>

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

  // The whole input converted; a byte iconv rejects is kept losslessly and
  // the conversion goes on after it.
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
      AppendUndecodable(out, static_cast<unsigned char>(*src), TDecodeMode::Lossless);
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

std::optional<std::string> DecodeCharsetToUtf8(std::string_view bytes, std::string_view charset) {
  const std::string name = NormaliseCharset(charset);
  if (IsOneOf(name, {"iso-2022-jp", "iso-2022-jp-1", "iso-2022-jp-2", "iso-2022-jp-3", "iso-2022-jp-ms",
                     "csiso2022jp", "x-iso-2022-jp"}))
    return Cp932ToUtf8(JISToSJIS(bytes));
  if (IsOneOf(name, {"shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji", "csshiftjis", "cp932", "windows-31j",
                     "x-ms-cp932", "ms932", "shift_jisx0213"}))
    return Cp932ToUtf8(bytes);
  if (IsOneOf(name, {"euc-jp", "x-euc-jp", "eucjp", "euc_jp", "cseucpkdfmtjapanese", "x-euc"}))
    return Cp932ToUtf8(EUCToSJIS(bytes));
  if (IsOneOf(name, {"utf-8", "utf8", "x-utf-8"})) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return CheckedUtf8(bytes);
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
  if (out) out = CheckedUtf8(*out);
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

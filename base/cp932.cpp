#include "base/cp932.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/ascii.h"
#include "base/bytes.h"

namespace tarvo {

namespace {

constexpr char32_t kPrivateBase = 0xF700;

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv CP932 unavailable");
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts one whole input; false when iconv rejects any of it.
  bool Convert(const std::string& in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char buf[16];
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = buf;
    std::size_t dstLeft = sizeof buf;
    if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft != 0)
      return false;
    out.assign(buf, dst - buf);
    return true;
  }

 private:
  iconv_t cd_;
};

char32_t FromUtf32le(const std::string& s) {
  return static_cast<unsigned char>(s[0]) | static_cast<unsigned char>(s[1]) << 8 |
         static_cast<unsigned char>(s[2]) << 16 | static_cast<char32_t>(static_cast<unsigned char>(s[3])) << 24;
}

// Code point of each single byte and each lead/trail pair iconv decodes; 0
// marks "not a character" (NUL itself is handled apart). Every valid pair
// decodes, the NEC and IBM duplicates included; encoding takes the bytes
// Windows itself writes for a character.
struct Tables {
  std::array<char32_t, 256> single{};
  std::vector<char32_t> pair = std::vector<char32_t>(65536, 0);
  std::vector<std::uint16_t> encode = std::vector<std::uint16_t>(65536, 0);  // BMP -> bytes, 0 = none

  Tables() {
    Iconv dec("UTF-32LE", "CP932"), enc("CP932", "UTF-32LE");
    auto decode = [&](const std::string& bytes, char32_t& cp) {
      std::string u;
      if (!dec.Convert(bytes, u) || u.size() != 4) return false;
      cp = FromUtf32le(u);
      return cp != 0 && cp <= 0xFFFF && !(cp >= kPrivateBase && cp < kPrivateBase + 256);
    };
    // The bytes iconv writes back for a character: the preferred code of a duplicate.
    auto learn = [&](char32_t cp) {
      if (encode[cp] != 0) return;
      std::string u(4, '\0'), back;
      for (int k = 0; k < 4; ++k) u[k] = static_cast<char>(cp >> (8 * k) & 0xFF);
      if (!enc.Convert(u, back) || back.empty() || back.size() > 2) return;
      encode[cp] = back.size() == 1 ? static_cast<unsigned char>(back[0])
                                    : static_cast<std::uint16_t>(static_cast<unsigned char>(back[0]) << 8 |
                                                                 static_cast<unsigned char>(back[1]));
    };
    for (int b = 1; b < 256; ++b) {
      if (IsCp932LeadByte(static_cast<unsigned char>(b))) continue;
      char32_t cp;
      if (decode(std::string(1, static_cast<char>(b)), cp)) {
        single[b] = cp;
        learn(cp);
      }
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsCp932LeadByte(static_cast<unsigned char>(lead))) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        char32_t cp;
        std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
        if (decode(bytes, cp)) {
          pair[lead << 8 | trail] = cp;
          learn(cp);
        }
      }
    }
    // Characters that code page 932 lacks but that Windows writes as their
    // look-alikes; Mac and iPhone mailers send them in UTF-8.
    constexpr std::pair<char16_t, std::uint16_t> kWindowsBestFit[] = {
        {0x301C, 0x8160}, {0x2016, 0x8161}, {0x2212, 0x817C}, {0x00A2, 0x8191},
        {0x00A3, 0x8192}, {0x00AC, 0x81CA}, {0x2014, 0x815C}, {0x00A6, 0xFA55},
    };
    for (const auto& [cp, code] : kWindowsBestFit)
      if (encode[cp] == 0) encode[cp] = code;
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

void AppendCp932(std::string& out, char32_t cp, bool privateBytes) {
  if (privateBytes && cp >= kPrivateBase && cp < kPrivateBase + 256) {
    out += static_cast<char>(cp - kPrivateBase);
    return;
  }
  if (cp == 0) {
    out += '\0';
    return;
  }
  const std::uint16_t code = cp <= 0xFFFF ? T().encode[cp] : 0;
  if (code == 0) out += '?';
  else if (code > 0xFF) {
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
  } else {
    out += static_cast<char>(code);
  }
}

}  // namespace

namespace {
// Writes cp as UTF-8 at p (room for four bytes); returns the bytes written.
std::size_t EncodeUtf8(char* p, char32_t cp) {
  if (cp < 0x80) {
    p[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    p[0] = static_cast<char>(0xC0 | (cp >> 6));
    p[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    p[0] = static_cast<char>(0xE0 | (cp >> 12));
    p[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    p[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  p[0] = static_cast<char>(0xF0 | (cp >> 18));
  p[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  p[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  p[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}
}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  char b[4];
  out.append(b, EncodeUtf8(b, cp));
}

namespace {
// Decodes `in` onto `out`, handing each run of ASCII bytes to `ascii`
// (which appends it, as it is or escaped).
template <typename Ascii>
void DecodeCp932(std::string_view in, TDecodeMode mode, std::string& out, Ascii&& ascii) {
  const Tables& t = T();
  // Characters gather in a small buffer that goes out in one append.
  char buf[1024];
  std::size_t n = 0;
  const auto flush = [&] {
    out.append(buf, n);
    n = 0;
  };
  for (std::size_t i = 0; i < in.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    if (c < 0x80) {
      // ASCII maps to itself, NUL included: copy the whole run at once.
      std::size_t end = i + 1;
      while (end < in.size() && static_cast<unsigned char>(in[end]) < 0x80) ++end;
      flush();
      ascii(in.substr(i, end - i));
      i = end - 1;
      continue;
    }
    if (n > sizeof buf - 4) flush();
    char32_t cp = 0;
    if (IsCp932LeadByte(c) && i + 1 < in.size()) {
      cp = t.pair[c << 8 | static_cast<unsigned char>(in[i + 1])];
      if (cp) {
        n += EncodeUtf8(buf + n, cp);
        ++i;
        continue;
      }
    } else {
      cp = t.single[c];
    }
    if (!cp) cp = mode == TDecodeMode::Lossless ? kPrivateBase + c : 0xFFFD;
    n += EncodeUtf8(buf + n, cp);
  }
  flush();
}
}  // namespace

bool IsCp932Pair(unsigned char lead, unsigned char trail) {
  return IsCp932LeadByte(lead) && T().pair[lead << 8 | trail] != 0;
}

std::string Cp932ToUtf8(std::string_view in, TDecodeMode mode) {
  std::string out;
  out.reserve(in.size() + in.size() / 2);
  DecodeCp932(in, mode, out, [&out](std::string_view run) { out.append(run); });
  return out;
}

void AppendCp932AsUtf8(std::string_view in, TDecodeMode mode, std::string& out,
                       const std::function<void(std::string_view)>& ascii) {
  DecodeCp932(in, mode, out, ascii);
}

std::string Utf8ToCp932(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size();) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const std::size_t n = Utf8ShapeLength(in, i);
    if (n == 0) {
      out += '?';
      ++i;
      continue;
    }
    char32_t cp = n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(in[i + k]) & 0x3F);
    AppendCp932(out, cp, true);
    i += n;
  }
  return out;
}

std::string Utf16ToCp932(std::u16string_view units) {
  std::string out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    if (u >= 0xD800 && u <= 0xDFFF) out += '?';
    else AppendCp932(out, u, false);
  }
  return out;
}

}  // namespace tarvo

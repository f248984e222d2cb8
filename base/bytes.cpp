#include "base/bytes.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/ascii.h"
#include "base/errors.h"

namespace tarvo {

std::size_t FindLineEnd(std::string_view s) {
  // Sixteen bytes a step, both line-end bytes at once: one pass, where two
  // memchr calls would read a line twice.
  const char* const p = s.data();
  const std::size_t n = s.size();
  std::size_t i = 0;
#ifdef __SSE2__
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
    if (hits != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
  }
#endif
  for (; i < n; ++i)
    if (p[i] == '\r' || p[i] == '\n') return i;
  return n;
}

bool IsPlainAscii(std::string_view s) {
  const char* const p = s.data();
  const std::size_t n = s.size();
  std::size_t i = 0;
#ifdef __SSE2__
  const __m128i esc = _mm_set1_epi8(0x1B);
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    // The sign bit is set by a byte of 0x80 or more, and by an ESC once compared.
    if (_mm_movemask_epi8(_mm_or_si128(v, _mm_cmpeq_epi8(v, esc))) != 0) return false;
  }
#endif
  for (; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) >= 0x80 || p[i] == 0x1B) return false;
  return true;
}

std::string Trim(std::string_view s) { return std::string(TrimControls(s)); }

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (std::size_t i = 0; i < r.size(); ++i) {
    const char c = r[i];
    if (c >= 'a' && c <= 'z') r[i] = static_cast<char>(c - 'a' + 'A');
    else if (IsCp932LeadByte(static_cast<unsigned char>(c))) ++i;  // its trail byte stays
  }
  return r;
}

std::size_t MbcsFind(std::string_view s, std::string_view sub) {
  if (sub.empty() || sub.size() > s.size()) return std::string_view::npos;
  if (const void* nul = std::memchr(s.data(), 0, s.size()))
    s = s.substr(0, static_cast<const char*>(nul) - s.data());
  if (sub.size() > s.size()) return std::string_view::npos;
  const std::size_t last = s.size() - sub.size();
  const char first = sub[0];
  std::size_t i = 0;
  while (i <= last) {
    if (s[i] == first && std::memcmp(s.data() + i, sub.data(), sub.size()) == 0) return i;
    i += IsCp932LeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
  }
  return std::string_view::npos;
}

bool MbcsContainsNoCase(std::string_view s, std::string_view sub) {
  if (sub.empty() || sub.size() > s.size()) return false;
  if (const void* nul = std::memchr(s.data(), 0, s.size()))
    s = s.substr(0, static_cast<const char*>(nul) - s.data());
  if (sub.size() > s.size()) return false;
  // A byte of `sub` that is no letter must stand in `s` as it is: a cheap
  // test that rules out most lines (a boundary marker always has '-').
  for (const char c : sub) {
    if (c >= 'A' && c <= 'Z') continue;
    if (!std::memchr(s.data(), c, s.size())) return false;
    break;
  }
  const auto upper = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
  const std::size_t last = s.size() - sub.size();
  for (std::size_t i = 0; i <= last;) {
    // Compare the window as UpperCase would have left it: trail bytes keep their case.
    bool match = true, trail = false;
    for (std::size_t j = 0; j < sub.size(); ++j) {
      const unsigned char c = static_cast<unsigned char>(s[i + j]);
      const unsigned char want = static_cast<unsigned char>(sub[j]);
      if ((trail ? c : upper(c)) != want) {
        match = false;
        break;
      }
      trail = !trail && IsCp932LeadByte(c);
    }
    if (match) return true;
    i += IsCp932LeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
  }
  return false;
}

bool TryStrToInt(std::string_view s, std::int32_t& out) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  std::uint64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * (hex ? 16 : 10) + static_cast<unsigned>(d);
    if (v > 0xFFFFFFFFull) return false;
  }
  std::int64_t r;
  if (hex) {
    // Hexadecimal spans the full 32 bits and reads back as a signed number.
    r = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    if (neg) r = -r;
    if (r > INT32_MAX || r < INT32_MIN) r = static_cast<std::int32_t>(static_cast<std::uint32_t>(r));
  } else {
    r = neg ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    if (r > INT32_MAX || r < INT32_MIN) return false;
  }
  out = static_cast<std::int32_t>(r);
  return true;
}

std::int32_t StrToIntDef(std::string_view s, std::int32_t def) {
  std::int32_t v;
  return TryStrToInt(s, v) ? v : def;
}

std::int32_t StrToInt(std::string_view s) {
  std::int32_t v;
  if (!TryStrToInt(s, v)) throw EConvertError::NotAnInteger(s);
  return v;
}

std::string IntToStr(std::int64_t n) { return std::to_string(n); }

std::string TwoDigitNumber(std::int32_t n) {
  std::string s = std::to_string(n);
  return s.size() == 1 ? "0" + s : s;
}

void AppendLowerHex(std::string& out, std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    const char pair[] = {kDigits[b >> 4], kDigits[b & 15]};
    out.append(pair, 2);
  }
}

std::string LowerHex(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  AppendLowerHex(out, bytes);
  return out;
}

}  // namespace tarvo

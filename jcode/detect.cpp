// Code detection of one line: a single forward pass over byte values that
// stops at the first byte that settles the question.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "jcode/jconvert.h"

namespace tarvo {

namespace {

constexpr std::size_t kBinaryWindow = 512;  // bytes the binary pre-scan looks at
constexpr unsigned char kEsc = 0x1B;

constexpr bool In(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }
constexpr bool IsBinaryByte(unsigned char c) { return c <= 0x07 || c == 0xFF; }
constexpr bool Undecided(TCodeKind k) { return k == ckNone || k == ckEUCOrSJIS; }

// Eight bytes at a time (x86-64 and the like: unaligned loads are fine).
constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
std::uint64_t Load8(const char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
constexpr bool HasZeroByte(std::uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; }
// Some byte below 8 (valid for bytes below 0x80 only, so test the high bits first).
constexpr bool HasByteBelow8(std::uint64_t v) { return ((v - kOnes * 8) & ~v & kHighs) != 0; }
// Any byte 0x00..0x07 or 0xFF.
constexpr bool HasBinaryByte(std::uint64_t v) {
  return HasZeroByte(~v) || HasZeroByte(v & ~(kOnes * 7));
}
// All eight are 0x08..0x7F and none is ESC.
constexpr bool AllPlain(std::uint64_t v) {
  return (v & kHighs) == 0 && !HasByteBelow8(v) && !HasZeroByte(v ^ (kOnes * 0x1B));
}

// Lead 0x8E: Shift-JIS lead byte, or EUC-JP single shift before a katakana.
TCodeKind AfterSS2(unsigned char d, TCodeKind k) {
  if (In(d, 0x40, 0x7E) || In(d, 0x80, 0xA0) || In(d, 0xE0, 0xFC)) return ckSJIS;
  if (In(d, 0xA1, 0xDF)) return ckEUCOrSJIS;
  return k;
}

// Lead 0xE0..0xEF: Shift-JIS kanji, or EUC-JP row 0x60..0x6F.
TCodeKind AfterE0(unsigned char d, TCodeKind k) {
  if (In(d, 0x40, 0x7E) || In(d, 0x80, 0xA0)) return ckSJIS;
  if (d == 0xFD || d == 0xFE) return ckEUC;
  if (In(d, 0xA1, 0xFC)) return ckEUCOrSJIS;
  return k;
}

// After a katakana-or-EUC byte and a byte 0xE0..0xEF: the bytes that follow,
// while they are 0x40 or above. Returns the position where the run stopped.
std::size_t RunCheck(std::string_view t, std::size_t q, TCodeKind& k) {
  k = ckEUCOrSJIS;
  for (; q < t.size(); ++q) {
    const unsigned char b = static_cast<unsigned char>(t[q]);
    if (b < 0x40) break;
    if (In(b, 0x81, 0x8D) || In(b, 0x8F, 0x9C)) k = ckSJIS;  // the run's range ends at 0x9C
    else if (b == 0xFD || b == 0xFE) k = ckEUC;
    if (k != ckEUCOrSJIS) break;
  }
  return q;
}

// One step of the main scan at p (p + 1 < size); returns the next position.
std::size_t Step(std::string_view t, std::size_t p, TCodeKind& k) {
  const unsigned char c = static_cast<unsigned char>(t[p]);
  const unsigned char d = static_cast<unsigned char>(t[p + 1]);
  if (c == kEsc) {
    if (d != '$') return p + 2;
    const unsigned char e = p + 2 < t.size() ? static_cast<unsigned char>(t[p + 2]) : 0;
    if (e == 'B') k = ckJIS;
    else if (e == '@') k = ckJIS78;
    return p + 3;
  }
  if (IsBinaryByte(c)) {
    k = ckBinary;
    return p + 1;
  }
  if (c <= 0x7F || c == 0x80 || c == 0xA0) return p + 1;
  if (c == 0x8E) {
    k = AfterSS2(d, k);
    return p + 2;
  }
  if (c <= 0x9F) {
    k = ckSJIS;
    return p + 1;
  }
  if (c <= 0xDF) {  // 0xA1..0xDF
    if (In(d, 0xF0, 0xFE)) k = ckEUC;
    else if (In(d, 0xA1, 0xDF)) k = ckEUCOrSJIS;
    else if (In(d, 0xE0, 0xEF)) return RunCheck(t, p + 2, k) + 1;
    else if (d <= 0x9F) k = ckSJIS;
    return p + 2;
  }
  if (c <= 0xEF) {
    k = AfterE0(d, k);
    return p + 2;
  }
  k = ckEUC;  // 0xF0..0xFE
  return p + 1;
}

}  // namespace

TCodeKind DetectCode(std::string_view text) {
  if (text.size() < 2) return ckNone;
  // The pre-scan never looks at the last byte.
  const std::size_t window = std::min(kBinaryWindow, text.size() - 1);
  std::size_t i = 0;
  for (; i + 8 <= window; i += 8)
    if (HasBinaryByte(Load8(text.data() + i))) break;
  for (; i < window; ++i)
    if (IsBinaryByte(static_cast<unsigned char>(text[i]))) return ckBinary;

  TCodeKind k = ckNone;
  // The last byte never begins a step, though a step may read it.
  const std::size_t n = text.size();
  for (std::size_t p = 0; Undecided(k) && p + 1 < n;) {
    // Plain 7-bit bytes other than ESC change nothing: pass them in a tight loop.
    while (p + 8 < n && AllPlain(Load8(text.data() + p))) p += 8;
    while (p + 1 < n) {
      const unsigned char c = static_cast<unsigned char>(text[p]);
      if (c < 0x08 || c > 0x7F || c == 0x1B) break;
      ++p;
    }
    if (p + 1 < n) p = Step(text, p, k);
  }
  return k;
}

}  // namespace tarvo

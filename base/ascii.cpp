#include "base/ascii.h"

#include <algorithm>

#include "base/bytes.h"

namespace tarvo {

std::string LowerAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = LowerAscii(c);
  return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (LowerAscii(s[i]) != LowerAscii(prefix[i])) return false;
  return true;
}

std::size_t FindNoCase(std::string_view s, std::string_view sub, std::size_t from) {
  for (std::size_t i = from; i + sub.size() <= s.size(); ++i)
    if (StartsWithNoCase(s.substr(i), sub)) return i;
  return std::string_view::npos;
}

std::string_view TrimFwsEnd(std::string_view s) {
  while (!s.empty() && IsFws(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view TrimFws(std::string_view s) {
  while (!s.empty() && IsFws(s.front())) s.remove_prefix(1);
  return TrimFwsEnd(s);
}

std::string_view TrimControlsEnd(std::string_view s) {
  while (!s.empty() && IsControlOrBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view TrimControls(std::string_view s) {
  while (!s.empty() && IsControlOrBlank(s.front())) s.remove_prefix(1);
  return TrimControlsEnd(s);
}

std::string CollapseFws(std::string_view s) {
  std::string out;
  bool blank = false;
  for (char c : TrimFws(s)) {
    if (IsFws(c)) {
      blank = true;
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

namespace {

bool IsTrail(unsigned char c) { return (c & 0xC0) == 0x80; }

// Bytes a UTF-8 lead byte announces (itself included), 0 for no lead byte.
std::size_t SequenceBytes(unsigned char c) {
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::size_t Utf8ShapeLength(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  const std::size_t n = SequenceBytes(c);
  if (n == 0 || s.size() - i < n) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if (!IsTrail(static_cast<unsigned char>(s[i + k]))) return 0;
  return n;
}

std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const std::size_t n = Utf8ShapeLength(s, i);
  if (n < 3) return n;
  // The second byte's range rules out overlong forms, surrogates and
  // code points past U+10FFFF.
  const auto c = static_cast<unsigned char>(s[i]), d = static_cast<unsigned char>(s[i + 1]);
  if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d > 0x9F) || (c == 0xF0 && d < 0x90) || (c == 0xF4 && d > 0x8F))
    return 0;
  return n;
}

std::size_t UnitLength(std::string_view s, std::size_t i, TTextUnits units) {
  if (units == TTextUnits::Bytes) return 1;
  const auto c = static_cast<unsigned char>(s[i]);
  if (c == 0x1B) {
    std::size_t j = std::min(i + 3, s.size());  // the escape sequence
    if (s.substr(i + 1, 1) == "$")
      while (j < s.size() && !(s[j] == 0x1B && s.substr(j + 1, 1) == "(")) ++j;
    return std::min(j + (j < s.size() ? 3 : 0), s.size()) - i;
  }
  // UTF-8 never puts an ASCII byte after a lead byte: it is not disturbed.
  if (IsCp932LeadByte(c) && i + 1 < s.size()) {
    const auto t = static_cast<unsigned char>(s[i + 1]);
    if (t >= 0x40 && t <= 0x7E) return 2;
  }
  return 1;
}

void SkipCfws(std::string_view& rest) {
  while (!rest.empty()) {
    if (IsFws(rest.front())) rest.remove_prefix(1);
    else if (rest.front() == '(') ReadComment(rest);
    else break;
  }
}

std::string_view ReadComment(std::string_view& rest, TTextUnits units) {
  if (rest.empty()) return {};
  const std::string_view s = rest;
  int depth = 1;
  std::size_t i = 1;
  while (i < s.size()) {
    const std::size_t n = UnitLength(s, i, units);
    const char c = s[i];
    if (n == 1 && c == '\\') ++i;
    else if (n == 1 && c == '(') ++depth;
    else if (n == 1 && c == ')' && --depth == 0) break;
    i += n;
  }
  const std::size_t end = std::min(i, s.size());
  rest.remove_prefix(std::min(end + 1, s.size()));
  return s.substr(1, end - 1);
}

std::string UndoQuotedPairs(std::string_view text, TTextUnits units) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = UnitLength(text, i, units);
    if (n == 1 && text[i] == '\\' && i + 1 < text.size()) ++i;
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

std::string ReadQuoted(std::string_view& rest, TTextUnits units, TQuotedPairs pairs, const char* lastQuote) {
  std::string out;
  std::size_t i = 1;
  while (i < rest.size()) {
    const std::size_t n = UnitLength(rest, i, units);
    const char c = rest[i];
    if (n == 1 && c == '"') {
      ++i;
      break;
    }
    const bool pair = n == 1 && c == '\\' && i + 1 < rest.size() &&
                      (pairs == TQuotedPairs::Any || (rest[i + 1] == '"' && rest.data() + i + 1 != lastQuote));
    if (pair) ++i;
    out.append(rest.substr(i, pair ? 1 : n));
    i += pair ? 1 : n;
  }
  rest.remove_prefix(std::min(i, rest.size()));
  return out;
}

std::string_view ReadToken(std::string_view& rest) {
  std::size_t i = 0;
  while (i < rest.size() && static_cast<unsigned char>(rest[i]) > 32 && rest[i] < 0x7F && !IsTspecial(rest[i])) ++i;
  const std::string_view token = rest.substr(0, i);
  rest.remove_prefix(i);
  return token;
}

std::string_view ReadAtom(std::string_view& rest) {
  SkipCfws(rest);
  std::size_t i = 0;
  while (i < rest.size() && IsAtext(rest[i])) ++i;
  const std::string_view atom = rest.substr(0, i);
  rest.remove_prefix(i);
  SkipCfws(rest);
  return atom;
}

std::string_view ReadUntil(std::string_view& rest, std::string_view stops) {
  std::size_t i = 0;
  while (i < rest.size() && !IsFws(rest[i]) && stops.find(rest[i]) == std::string_view::npos) ++i;
  const std::string_view word = rest.substr(0, i);
  rest.remove_prefix(i);
  return word;
}

}  // namespace tarvo

// Structured MIME header values: the type or disposition token and its
// parameters, RFC 2045 section 5.1 with the RFC 2231 extensions.
#include <algorithm>
#include <map>

#include "base/ascii.h"
#include "base/bytes.h"
#include "mail/mailutils.h"

namespace tarvo {

// RFC 2231 extended-value: %XX in either case is a byte; a "%" that starts
// no escape stays.
std::string PercentUnescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

namespace {

// One RFC 2231 piece of a parameter: "name*1*" is piece 1, extended.
struct TPiece {
  std::string value;
  bool extended = false;
};

// Pieces by parameter name (without the RFC 2231 suffix) and number, and
// the names in the order they came.
struct TPieces {
  std::vector<std::string> order;
  std::map<std::string, std::map<int, TPiece>> byName;
};

// Reads the next "name=value" off `s`; false for a word without "=", which
// is skipped.
bool ReadParameter(std::string_view& s, const char* lastQuote, std::string& name, std::string& value) {
  while (!s.empty() && (IsFws(s.front()) || s.front() == ';')) s.remove_prefix(1);
  const std::size_t eq = s.find_first_of("=;");
  if (eq == std::string_view::npos || s[eq] == ';') {
    s.remove_prefix(eq == std::string_view::npos ? s.size() : eq);
    return false;
  }
  name = LowerAscii(TrimFws(s.substr(0, eq)));
  s.remove_prefix(eq + 1);
  while (!s.empty() && IsFws(s.front())) s.remove_prefix(1);
  if (!s.empty() && s.front() == '"') {
    // A backslash quotes only a quote that is not the last one:
    // Shift-JIS file names hold 0x5C as a trail byte.
    value = ReadQuoted(s, TTextUnits::Bytes, TQuotedPairs::QuoteOnly, lastQuote);
    const std::size_t next = s.find(';');
    s.remove_prefix(next == std::string_view::npos ? s.size() : next);
  } else {
    const std::size_t next = s.find(';');
    value = std::string(TrimFws(s.substr(0, next)));
    s.remove_prefix(next == std::string_view::npos ? s.size() : next);
  }
  return true;
}

// Files one parameter under its name and number: name, name*, name*N, name*N*.
void AddPiece(std::string name, std::string value, TPieces& pieces) {
  if (name.empty()) return;
  TPiece piece{std::move(value), false};
  int number = 0;
  if (name.back() == '*') {
    piece.extended = true;
    name.pop_back();
  }
  if (const std::size_t star = name.find('*'); star != std::string::npos) {
    std::int32_t n = 0;
    const std::string digits = name.substr(star + 1);
    if (digits.empty() || digits.size() > 4 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        !TryStrToInt(digits, n))
      return;
    number = n;
    name.erase(star);
  }
  auto [it, fresh] = pieces.byName.try_emplace(name);
  if (fresh) pieces.order.push_back(name);
  auto& byNumber = it->second;
  // An RFC 2231 value wins over a plain one of the same name.
  if (const auto old = byNumber.find(number); old != byNumber.end() && old->second.extended && !piece.extended) return;
  byNumber[number] = std::move(piece);
}

// A parameter's pieces joined from 0 on; a gap ends the value.
void JoinPieces(const std::map<int, TPiece>& byNumber, TMimeParam& p) {
  int expected = 0;
  for (const auto& [number, piece] : byNumber) {
    if (number != expected++) break;
    std::string_view text = piece.value;
    if (piece.extended && number == 0) {
      // charset'language'value; without both quotes the whole is the value
      const std::size_t q1 = text.find('\'');
      const std::size_t q2 = q1 == std::string_view::npos ? q1 : text.find('\'', q1 + 1);
      if (q2 != std::string_view::npos) {
        p.Charset = std::string(text.substr(0, q1));
        text.remove_prefix(q2 + 1);
      }
    }
    p.Value += piece.extended ? PercentUnescape(text) : std::string(text);
  }
}

}  // namespace

const TMimeParam* TMimeValue::Param(std::string_view lowerName) const {
  for (const TMimeParam& p : Params)
    if (p.Name == lowerName) return &p;
  return nullptr;
}

TMimeValue ParseMimeValue(std::string_view value) {
  TMimeValue result;
  std::string_view s = value;
  const std::size_t semi = s.find(';');
  result.Token = LowerAscii(TrimFws(s.substr(0, semi)));
  // A comment after the token, as in "text/plain (note)", is not part of it.
  if (const std::size_t paren = result.Token.find('('); paren != std::string::npos)
    result.Token = std::string(TrimFws(std::string_view(result.Token).substr(0, paren)));
  if (semi == std::string_view::npos) return result;
  s.remove_prefix(semi + 1);
  const std::size_t last = s.rfind('"');
  const char* const lastQuote = last == std::string_view::npos ? nullptr : s.data() + last;

  TPieces pieces;
  while (!s.empty()) {
    std::string name, v;
    if (ReadParameter(s, lastQuote, name, v)) AddPiece(std::move(name), std::move(v), pieces);
  }
  for (const std::string& name : pieces.order) {
    TMimeParam& p = result.Params.emplace_back();
    p.Name = name;
    JoinPieces(pieces.byName[name], p);
  }
  return result;
}

}  // namespace tarvo

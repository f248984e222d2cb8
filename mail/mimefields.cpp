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

  // Pieces by parameter name (without the RFC 2231 suffix) and number.
  std::vector<std::string> order;
  std::map<std::string, std::map<int, TPiece>> pieces;
  while (!s.empty()) {
    while (!s.empty() && (IsFws(s.front()) || s.front() == ';')) s.remove_prefix(1);
    const std::size_t eq = s.find_first_of("=;");
    if (eq == std::string_view::npos || s[eq] == ';') {  // a word without "=": skipped
      s.remove_prefix(eq == std::string_view::npos ? s.size() : eq);
      continue;
    }
    std::string name = LowerAscii(TrimFws(s.substr(0, eq)));
    s.remove_prefix(eq + 1);
    while (!s.empty() && IsFws(s.front())) s.remove_prefix(1);
    std::string v;
    if (!s.empty() && s.front() == '"') {
      // A backslash quotes only a quote that is not the last one:
      // Shift-JIS file names hold 0x5C as a trail byte.
      v = ReadQuoted(s, TTextUnits::Bytes, TQuotedPairs::QuoteOnly, lastQuote);
      const std::size_t next = s.find(';');
      s.remove_prefix(next == std::string_view::npos ? s.size() : next);
    } else {
      const std::size_t next = s.find(';');
      v = std::string(TrimFws(s.substr(0, next)));
      s.remove_prefix(next == std::string_view::npos ? s.size() : next);
    }
    if (name.empty()) continue;

    // name, name*, name*N, name*N*
    TPiece piece{std::move(v), false};
    int number = 0;
    if (name.back() == '*') {
      piece.extended = true;
      name.pop_back();
    }
    if (const std::size_t star = name.find('*'); star != std::string::npos) {
      std::int32_t n = 0;
      const std::string digits = name.substr(star + 1);
      if (digits.empty() || digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), [](char c) {
            return c >= '0' && c <= '9';
          }) || !TryStrToInt(digits, n))
        continue;
      number = n;
      name.erase(star);
    }
    auto [it, fresh] = pieces.try_emplace(name);
    if (fresh) order.push_back(name);
    auto& byNumber = it->second;
    // An RFC 2231 value wins over a plain one of the same name.
    if (const auto old = byNumber.find(number); old != byNumber.end() && old->second.extended && !piece.extended)
      continue;
    byNumber[number] = std::move(piece);
  }

  for (const std::string& name : order) {
    TMimeParam& p = result.Params.emplace_back();
    p.Name = name;
    int expected = 0;
    for (auto& [number, piece] : pieces[name]) {
      if (number != expected++) break;  // a gap ends the value
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
  return result;
}

}  // namespace tarvo

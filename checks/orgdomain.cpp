// Organisational domains over the Public Suffix List, and punycode
// (RFC 3492) for showing "xn--" labels as what they spell.
#include <algorithm>
#include <cstdint>

#include "base/cp932.h"
#include "checks/auth.h"

namespace tarvo {

namespace {

struct TPslRule {
  std::string_view Name;
  int Flags;  // 1 a suffix, 2 every child is one, 4 an exception
};

#include "checks/psl_table.inc"

int FlagsOf(std::string_view name) {
  const auto* end = std::end(kPslRules);
  const auto* it =
      std::lower_bound(std::begin(kPslRules), end, name, [](const TPslRule& r, std::string_view n) { return r.Name < n; });
  return it != end && it->Name == name ? it->Flags : 0;
}

std::string Normalise(std::string_view domain) {
  while (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
  std::string out(domain);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

}  // namespace

std::string PublicSuffix(std::string_view domain) {
  const std::string d = Normalise(domain);
  if (d.empty()) return d;
  // Candidates from the longest down: the first rule that matches is the
  // longest, and an exception rule is longer than the wildcard it excepts.
  for (std::size_t start = 0; start < d.size();) {
    const std::string_view candidate = std::string_view(d).substr(start);
    const std::size_t dot = candidate.find('.');
    const int flags = FlagsOf(candidate);
    if (flags & 4) return std::string(dot == std::string_view::npos ? std::string_view() : candidate.substr(dot + 1));
    if (flags & 1) return std::string(candidate);
    if (dot == std::string_view::npos) return std::string(candidate);  // the default rule "*"
    if (FlagsOf(candidate.substr(dot + 1)) & 2) return std::string(candidate);
    start += dot + 1;
  }
  return {};
}

std::string OrganizationalDomain(std::string_view domain) {
  const std::string d = Normalise(domain);
  const std::string suffix = PublicSuffix(d);
  if (suffix.size() + 1 >= d.size()) return d;
  const std::size_t dot = d.rfind('.', d.size() - suffix.size() - 2);
  return dot == std::string::npos ? d : d.substr(dot + 1);
}

std::optional<std::u32string> PunycodeDecode(std::string_view label) {
  constexpr std::uint32_t kBase = 36, kTMin = 1, kTMax = 26, kSkew = 38, kDamp = 700;
  const auto adapt = [](std::uint32_t delta, std::uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    for (; delta > ((kBase - kTMin) * kTMax) / 2; k += kBase) delta /= kBase - kTMin;
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
  };
  std::u32string out;
  const std::size_t delimiter = label.rfind('-');
  std::size_t in = 0;
  if (delimiter != std::string_view::npos) {
    for (std::size_t i = 0; i < delimiter; ++i) {
      if (static_cast<unsigned char>(label[i]) >= 0x80) return std::nullopt;
      out += static_cast<char32_t>(label[i]);
    }
    in = delimiter + 1;
  }
  std::uint32_t n = 128, i = 0, bias = 72;
  while (in < label.size()) {
    const std::uint32_t oldi = i;
    std::uint32_t w = 1;
    for (std::uint32_t k = kBase;; k += kBase) {
      if (in >= label.size()) return std::nullopt;
      const char c = label[in++];
      std::uint32_t digit;
      if (c >= 'a' && c <= 'z') digit = static_cast<std::uint32_t>(c - 'a');
      else if (c >= 'A' && c <= 'Z') digit = static_cast<std::uint32_t>(c - 'A');
      else if (c >= '0' && c <= '9') digit = static_cast<std::uint32_t>(c - '0') + 26;
      else return std::nullopt;
      if (digit > (UINT32_MAX - i) / w) return std::nullopt;
      i += digit * w;
      const std::uint32_t t = k <= bias ? kTMin : k >= bias + kTMax ? kTMax : k - bias;
      if (digit < t) break;
      if (w > UINT32_MAX / (kBase - t)) return std::nullopt;
      w *= kBase - t;
    }
    const std::uint32_t points = static_cast<std::uint32_t>(out.size()) + 1;
    bias = adapt(i - oldi, points, oldi == 0);
    if (i / points > UINT32_MAX - n) return std::nullopt;
    n += i / points;
    i %= points;
    if (n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF) || n < 0x80) return std::nullopt;
    out.insert(out.begin() + i, static_cast<char32_t>(n));
    ++i;
  }
  return out;
}

std::string DecodeIdnDomain(std::string_view domain) {
  std::string out;
  std::size_t start = 0;
  while (start <= domain.size()) {
    std::size_t dot = domain.find('.', start);
    if (dot == std::string_view::npos) dot = domain.size();
    const std::string_view label = domain.substr(start, dot - start);
    const bool ace = label.size() > 4 && (label[0] | 0x20) == 'x' && (label[1] | 0x20) == 'n' && label[2] == '-' &&
                     label[3] == '-';
    std::optional<std::u32string> decoded = ace ? PunycodeDecode(label.substr(4)) : std::nullopt;
    if (decoded)
      for (char32_t cp : *decoded) AppendUtf8(out, cp);
    else
      out.append(label);
    if (dot < domain.size()) out += '.';
    start = dot + 1;
  }
  return out;
}

}  // namespace tarvo

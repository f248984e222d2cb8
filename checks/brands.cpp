#include "checks/brands.h"

#include "base/ascii.h"
#include "checks/auth.h"
#include "jcode/textfold.h"

namespace tarvo {

namespace {

constexpr TBrand kBrands[] = {
#include "checks/brands_table.inc"
};

bool IsWordChar(char c) { return IsAlpha(c) || IsDigit(c); }

}  // namespace

bool HasWord(std::string_view text, std::string_view key) {
  for (std::size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
    const bool before = at > 0 && IsWordChar(text[at - 1]);
    const std::size_t end = at + key.size();
    const bool after = end < text.size() && IsWordChar(text[end]) && IsWordChar(key.back());
    if (!before && !after) return true;
  }
  return false;
}

namespace {

bool Names(const TBrand& brand, std::string_view joined, std::string_view spaced) {
  std::string_view keys = brand.Keys;
  while (!keys.empty()) {
    const std::size_t bar = keys.find('|');
    std::string_view key = keys.substr(0, bar);
    keys = bar == std::string_view::npos ? std::string_view() : keys.substr(bar + 1);
    const bool asWord = !key.empty() && key.front() == '=';
    if (asWord) key.remove_prefix(1);
    const TFoldedText folded = FoldForMatching(key);
    if (asWord ? HasWord(spaced, folded.Spaced) : joined.find(folded.Joined) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace

std::vector<const TBrand*> BrandsNamedIn(std::string_view joined, std::string_view spaced) {
  std::vector<const TBrand*> out;
  if (joined.empty()) return out;
  for (const TBrand& b : kBrands)
    if (Names(b, joined, spaced)) out.push_back(&b);
  return out;
}

bool IsBrandHost(const TBrand& brand, std::string_view host) {
  if (host.empty()) return false;
  const std::string org = OrganizationalDomain(LowerAscii(host));
  std::string_view domains = brand.Domains;
  while (!domains.empty()) {
    const std::size_t sp = domains.find(' ');
    const std::string_view d = domains.substr(0, sp);
    domains = sp == std::string_view::npos ? std::string_view() : domains.substr(sp + 1);
    if (d.size() > 2 && d.substr(d.size() - 2) == ".*") {
      // The name under any public suffix: amazon.co.jp, amazon.de ...
      const std::string_view label = d.substr(0, d.size() - 1);
      if (org.compare(0, label.size(), label) == 0) return true;
    } else if (org == OrganizationalDomain(std::string(d))) {
      return true;
    }
  }
  return false;
}

}  // namespace tarvo

// Authentication-Results (RFC 8601), ARC-Authentication-Results (RFC 8617),
// Received-SPF (RFC 7208 9.1), DKIM-Signature tag lists (RFC 6376 3.2), and
// the summary of what they say about the From domain.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "checks/auth.h"
#include "base/ascii.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {



// The text with every comment "( ... )" (nested, "\\" escaping) replaced by
// one space; quoted strings are kept whole, a comment inside one is text.
std::string DropComments(std::string_view rest) {
  std::string out;
  out.reserve(rest.size());
  while (!rest.empty()) {
    const std::string_view from = rest;
    if (rest.front() == '(') {
      const std::string_view comment = ReadComment(rest);
      if (comment.data() + comment.size() != from.data() + from.size()) out += ' ';  // closed
    } else if (rest.front() == '"') {
      ReadQuoted(rest);
      out.append(from.substr(0, from.size() - rest.size()));
    } else {
      out += rest.front();
      rest.remove_prefix(1);
    }
  }
  return out;
}

// Splits at ";" outside quoted strings.
std::vector<std::string_view> SplitStatements(std::string_view s) {
  std::vector<std::string_view> out;
  std::string_view rest = s;
  std::size_t start = 0;
  while (!rest.empty()) {
    if (rest.front() == '"') {
      ReadQuoted(rest);
      continue;
    }
    if (rest.front() == ';') {
      const std::size_t at = s.size() - rest.size();
      out.push_back(s.substr(start, at - start));
      start = at + 1;
    }
    rest.remove_prefix(1);
  }
  out.push_back(s.substr(start));
  return out;
}

// A value: a quoted string's content with its quoted pairs undone, else
// the bytes up to the next blank.
std::string ReadValue(std::string_view& rest) {
  if (!rest.empty() && rest.front() == '"') return ReadQuoted(rest);
  return std::string(ReadUntil(rest, {}));
}

// "name = value" items of a statement, blanks allowed around "="; a word
// that no "=" follows is passed over.
std::vector<std::pair<std::string, std::string>> Items(std::string_view rest) {
  std::vector<std::pair<std::string, std::string>> out;
  const auto skip = [&rest] {
    while (!rest.empty() && IsFws(rest.front())) rest.remove_prefix(1);
  };
  while (true) {
    skip();
    if (rest.empty()) break;
    std::string name(ReadUntil(rest, "="));
    skip();
    if (rest.empty() || rest.front() != '=') {
      if (name.empty()) rest.remove_prefix(1);  // a stray byte
      continue;
    }
    rest.remove_prefix(1);
    skip();
    std::string value = ReadValue(rest);
    out.emplace_back(LowerAscii(name), std::move(value));
  }
  return out;
}

std::optional<TAuthMethod> ParseStatement(std::string_view text) {
  auto items = Items(text);
  if (items.empty()) return std::nullopt;
  TAuthMethod m;
  m.Method = items[0].first;
  if (const std::size_t slash = m.Method.find('/'); slash != std::string::npos) m.Method.resize(slash);
  m.Result = LowerAscii(items[0].second);
  for (std::size_t k = 1; k < items.size(); ++k) {
    if (items[k].first == "reason") m.Reason = items[k].second;
    else m.Props.push_back(std::move(items[k]));
  }
  m.Raw = CollapseFws(text);
  return m;
}

bool IsDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string TAuthMethod::Prop(std::string_view name) const {
  for (const auto& [k, v] : Props)
    if (k == name) return v;
  return {};
}

TAuthResults ParseAuthResults(std::string_view value, bool arc) {
  TAuthResults r;
  const std::string text = DropComments(value);
  std::vector<std::string_view> parts = SplitStatements(text);
  std::size_t k = 0;
  if (arc && k < parts.size()) {
    const auto items = Items(parts[k]);
    if (!items.empty() && items[0].first == "i") {
      std::int32_t n = 0;
      for (char c : items[0].second) {
        if (c < '0' || c > '9' || n > 100000) break;
        n = n * 10 + (c - '0');
      }
      r.Instance = n;
      ++k;
    }
  }
  // authserv-id is a token or quoted string, neither of which holds "=";
  // Microsoft's form starts with the first statement instead.
  if (k < parts.size() && parts[k].find('=') == std::string_view::npos) {
    std::string_view head = TrimFws(parts[k]);
    r.AuthServId = ReadValue(head);
    ++k;
  }
  for (; k < parts.size(); ++k)
    if (auto m = ParseStatement(parts[k])) r.Methods.push_back(std::move(*m));
  return r;
}

TReceivedSpf ParseReceivedSpf(std::string_view value) {
  TReceivedSpf r;
  const std::string text = DropComments(value);
  std::string_view s = TrimFws(text);
  r.Result = LowerAscii(ReadUntil(s, ";("));
  std::string helo;
  for (std::string_view part : SplitStatements(s))
    for (const auto& [name, v] : Items(part)) {
      if (name == "envelope-from") r.Domain = DomainOf(v);
      else if (name == "helo") helo = DomainOf(v);
    }
  if (r.Domain.empty()) r.Domain = helo;
  return r;
}

std::vector<std::pair<std::string, std::string>> ParseTagList(std::string_view value) {
  std::vector<std::pair<std::string, std::string>> tags;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t semi = value.find(';', start);
    if (semi == std::string_view::npos) semi = value.size();
    const std::string_view item = value.substr(start, semi - start);
    if (const std::size_t eq = item.find('='); eq != std::string_view::npos)
      tags.emplace_back(std::string(TrimFws(item.substr(0, eq))), std::string(TrimFws(item.substr(eq + 1))));
    start = semi + 1;
  }
  return tags;
}

TDkimSignature ParseDkimSignature(std::string_view value) {
  TDkimSignature sig;
  const auto noBlanks = [](std::string_view v) {
    std::string out;
    for (char c : v)
      if (!IsFws(c)) out += c;
    return out;
  };
  for (const auto& [name, v] : ParseTagList(value)) {
    if (name == "d") sig.Domain = LowerAscii(v);
    else if (name == "s") sig.Selector = v;
    else if (name == "a") sig.Algorithm = LowerAscii(noBlanks(v));
    else if (name == "h") sig.Headers = v;
    else if (name == "bh") sig.BodyHash = noBlanks(v);
    else if (name == "b") sig.Signature = noBlanks(v);
    else if (name == "c") {
      const std::string c = LowerAscii(noBlanks(v));
      const std::size_t slash = c.find('/');
      sig.HeaderCanon = c.substr(0, slash);
      sig.BodyCanon = slash == std::string::npos ? "simple" : c.substr(slash + 1);
    } else if (name == "l") {
      // At most 76 digits by the grammar; anything past 2^63 cannot be a length.
      const std::string digits = noBlanks(v);
      sig.LengthValid = IsDigits(digits) && digits.size() <= 18;
      sig.Length = sig.LengthValid ? std::optional<std::uint64_t>(std::stoull(digits)) : std::nullopt;
    }
  }
  return sig;
}

std::string DomainOf(std::string_view address) {
  std::string_view s = TrimFws(address);
  const std::size_t at = s.rfind('@');
  const bool bare = at == std::string_view::npos;
  if (!bare) s = s.substr(at + 1);
  while (!s.empty() && (s.front() == '<' || s.front() == '[' || s.front() == '"' || IsFws(s.front())))
    s.remove_prefix(1);
  std::size_t end = 0;
  while (end < s.size() && !IsFws(s[end]) && std::string_view(">]\";,()<").find(s[end]) == std::string_view::npos)
    ++end;
  s = s.substr(0, end);
  while (!s.empty() && s.back() == '.') s.remove_suffix(1);
  if (bare && s.find('.') == std::string_view::npos) return {};
  return LowerAscii(s);
}

// ---- the summary ----

namespace {

const TAuthMethod* FirstOf(const TAuthResults& r, std::string_view method) {
  for (const TAuthMethod& m : r.Methods)
    if (m.Method == method) return &m;
  return nullptr;
}

TAuthValue ValueOf(const TAuthMethod& m, std::string domain, const std::string& source) {
  return {m.Result, std::move(domain), source, m.Raw};
}

std::string SpfDomain(const TAuthMethod& m) {
  std::string d = DomainOf(m.Prop("smtp.mailfrom"));
  return d.empty() ? DomainOf(m.Prop("smtp.helo")) : d;
}

std::string DkimDomain(const TAuthMethod& m) {
  std::string d = DomainOf(m.Prop("header.d"));
  return d.empty() ? DomainOf(m.Prop("header.i")) : d;
}

// The statement of the results that speaks of this signature: the one whose
// header.b starts its b=, else one naming its domain (and selector, if any).
const TAuthMethod* StatementFor(const TAuthResults& r, const TDkimSignature& sig) {
  const TAuthMethod* byDomain = nullptr;
  for (const TAuthMethod& m : r.Methods) {
    if (m.Method != "dkim") continue;
    const std::string b = m.Prop("header.b");
    if (!b.empty()) {
      if (b.size() >= 8 && sig.Signature.compare(0, b.size(), b) == 0) return &m;
      continue;
    }
    const std::string s = m.Prop("header.s");
    if (!byDomain && DkimDomain(m) == sig.Domain && (s.empty() || s == sig.Selector)) byDomain = &m;
  }
  return byDomain;
}

}  // namespace

TAuthentication GetAuthentication(const std::vector<THeaderField>& fields, std::string_view body) {
  TAuthentication a;
  std::optional<TAuthResults> top, arcTop;
  std::optional<TReceivedSpf> receivedSpf;
  int sealInstance = -1;
  std::string sealResult;
  std::vector<TDkimSignature> sigs;
  for (const THeaderField& f : fields) {
    if (EqualsNoCase(f.Name, "From")) {
      if (a.FromDomain.empty()) a.FromDomain = DomainOf(AddressOf(f.Value));
    } else if (EqualsNoCase(f.Name, "Authentication-Results")) {
      // A receiver whose filters each write a field (Postfix with OpenDKIM,
      // OpenDMARC and an SPF filter) gives several with its one id; fields
      // of other ids below them were written by someone else.
      TAuthResults r = ParseAuthResults(f.Value);
      if (!top) top = std::move(r);
      else if (!top->AuthServId.empty() && EqualsNoCase(r.AuthServId, top->AuthServId))
        std::move(r.Methods.begin(), r.Methods.end(), std::back_inserter(top->Methods));
    } else if (EqualsNoCase(f.Name, "ARC-Authentication-Results")) {
      TAuthResults r = ParseAuthResults(f.Value, true);
      if (!arcTop || r.Instance > arcTop->Instance) arcTop = std::move(r);
    } else if (EqualsNoCase(f.Name, "Received-SPF")) {
      if (!receivedSpf) receivedSpf = ParseReceivedSpf(f.Value);
    } else if (EqualsNoCase(f.Name, "ARC-Seal")) {
      int i = 0;
      std::string cv;
      for (const auto& [name, v] : ParseTagList(f.Value)) {
        if (name == "i" && IsDigits(v) && v.size() < 6) i = std::stoi(v);
        else if (name == "cv") cv = LowerAscii(v);
      }
      if (i > sealInstance) sealInstance = i, sealResult = cv;
    } else if (EqualsNoCase(f.Name, "DKIM-Signature")) {
      sigs.push_back(ParseDkimSignature(f.Value));
    }
  }
  a.HasResults = top || arcTop || receivedSpf;

  // The receiving side's own field speaks first; an intermediary's ARC copy
  // only when the receiver wrote none.
  const TAuthResults* results = top ? &*top : arcTop ? &*arcTop : nullptr;
  const std::string source =
      top ? "Authentication-Results"
          : arcTop ? "ARC-Authentication-Results (i=" + std::to_string(arcTop->Instance) + ")" : std::string();
  if (results) {
    if (const TAuthMethod* m = FirstOf(*results, "spf")) a.Spf = ValueOf(*m, SpfDomain(*m), source);
    if (const TAuthMethod* m = FirstOf(*results, "dmarc")) a.Dmarc = ValueOf(*m, DomainOf(m->Prop("header.from")), source);
    if (const TAuthMethod* m = FirstOf(*results, "arc")) a.Arc = ValueOf(*m, {}, source);
    if (const TAuthMethod* m = FirstOf(*results, "compauth")) {
      a.CompAuth = ValueOf(*m, {}, source);
      a.CompAuth->Domain = a.FromDomain;
    }
    for (const TAuthMethod& m : results->Methods)
      if (m.Method == "dkim") a.DkimStatements.push_back(ValueOf(m, DkimDomain(m), source));
  }
  if (!a.Spf && receivedSpf) a.Spf = TAuthValue{receivedSpf->Result, receivedSpf->Domain, "Received-SPF", {}};
  if (!a.Arc && sealInstance >= 0 && !sealResult.empty())
    a.Arc = TAuthValue{sealResult, {}, "ARC-Seal (i=" + std::to_string(sealInstance) + ")", "cv=" + sealResult};

  for (const TDkimSignature& sig : sigs) {
    TDkimCheck& c = a.Dkim.emplace_back();
    c.Domain = sig.Domain;
    c.Selector = sig.Selector;
    c.Algorithm = sig.Algorithm;
    c.Canon = sig.HeaderCanon + "/" + sig.BodyCanon;
    c.Length = sig.Length;
    c.BodyHashWanted = sig.BodyHash;
    c.BodyHash = CheckDkimBodyHash(sig, body, &c.BodyHashComputed);
    if (results)
      if (const TAuthMethod* m = StatementFor(*results, sig)) c.Result = m->Result;
  }

  // Relaxed alignment: organisational domains equal.
  if (!a.FromDomain.empty()) {
    const std::string org = OrganizationalDomain(a.FromDomain);
    if (a.Spf && !a.Spf->Domain.empty()) a.SpfAligned = OrganizationalDomain(a.Spf->Domain) == org;
    // Only a passing signature can align; with none there is nothing to say.
    for (const TAuthValue& s : a.DkimStatements)
      if (s.Result == "pass" && !s.Domain.empty())
        a.DkimAligned = a.DkimAligned.value_or(false) || OrganizationalDomain(s.Domain) == org;
    for (const TDkimCheck& c : a.Dkim)
      if (c.Result == "pass" && !c.Domain.empty())
        a.DkimAligned = a.DkimAligned.value_or(false) || OrganizationalDomain(c.Domain) == org;
  }
  return a;
}

}  // namespace tarvo

// Authentication-Results (RFC 8601), ARC-Authentication-Results (RFC 8617),
// Received-SPF (RFC 7208 9.1), DKIM-Signature tag lists (RFC 6376 3.2), and
// the summary of what they say about the From domain.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "checks/auth.h"
#include "base/ascii.h"
#include "checks/trust.h"
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
  std::string helo, mailfrom, identity;
  for (std::string_view part : SplitStatements(s))
    for (const auto& [name, v] : Items(part)) {
      if (name == "envelope-from") mailfrom = DomainOf(v);
      else if (name == "helo") helo = DomainOf(v);
      else if (name == "identity") identity = LowerAscii(v);
    }
  // Receivers that write no envelope-from= name the domain in the comment:
  // "(example.net: domain of a@example.com designates ...)".
  if (mailfrom.empty()) {
    const std::string lower = LowerAscii(value.substr(0, 4096));
    if (const std::size_t at = lower.find("domain of "); at != std::string::npos) {
      std::string_view rest = std::string_view(lower).substr(at + 10);
      rest = rest.substr(0, rest.find_first_of(" \t)"));
      mailfrom = DomainOf(rest);
    }
  }
  if (identity == "helo" || (identity != "mailfrom" && mailfrom.empty())) {
    r.Domain = helo;
    r.Identity = helo.empty() ? "" : "helo";
  } else {
    r.Domain = mailfrom;
    r.Identity = mailfrom.empty() ? "" : "mailfrom";
  }
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
  return {m.Result, std::move(domain), source, m.Raw, {}};
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

namespace {

// One field of results with where it stands and whether its results count.
struct TResultField {
  std::size_t Index = 0;
  std::string Source;
  TAuthResults Results;
  bool Trusted = false;
  std::string Why;
};

const char* const kBelowRun =
    "受信したサーバの記録 (Received) より下にあり、送信側が書き込めます。受信したサーバが書いたものと確かめられません。";
const char* const kNoRun = "受信したサーバの記録 (Received) がなく、誰が書いたか確かめられません。";

std::string OtherIdWhy(const std::string& id, const TTrustBoundary& b) {
  if (id.empty()) return "発行者 (authserv-id) が書かれていません。";
  return "発行者「" + id + "」は受信した組織 (" + (b.ReceivingOrg().empty() ? "不明" : b.ReceivingOrg()) +
         ") ではなく、信頼する発行者にも入っていません。";
}

// Where a field stands decides whether the receiver wrote it; its
// authserv-id whether it speaks for the receiver. Microsoft writes none.
void Judge(TResultField& f, const TTrustBoundary& b, bool allowNoId) {
  if (!b.IsReceiverWritten(f.Index)) {
    f.Why = b.OldestReceived() == TTrustBoundary::npos ? kNoRun : kBelowRun;
    return;
  }
  const std::string& id = f.Results.AuthServId;
  if (b.BelongsToReceiver(id) || (id.empty() && allowNoId && b.IsMicrosoft() && b.IsAboveRun(f.Index))) {
    f.Trusted = true;
    return;
  }
  f.Why = OtherIdWhy(id, b);
}

std::string StatementDomain(const TAuthMethod& m) {
  if (m.Method == "spf") return SpfDomain(m);
  if (m.Method == "dkim") return DkimDomain(m);
  if (m.Method == "dmarc") return DomainOf(m.Prop("header.from"));
  return {};
}

std::string SpfIdentity(const TAuthMethod& m) {
  if (!DomainOf(m.Prop("smtp.mailfrom")).empty()) return "mailfrom";
  return DomainOf(m.Prop("smtp.helo")).empty() ? std::string() : "helo";
}

// The SPF statement of a field: mailfrom's over helo's, which a receiver
// may write beside it ("spf=none smtp.helo=...; spf=pass smtp.mailfrom=...").
const TAuthMethod* SpfOf(const TAuthResults& r) {
  const TAuthMethod* first = nullptr;
  for (const TAuthMethod& m : r.Methods) {
    if (m.Method != "spf") continue;
    if (SpfIdentity(m) == "mailfrom") return &m;
    if (!first) first = &m;
  }
  return first;
}

// A Received-SPF field, where it stands.
struct TSpfField {
  std::size_t Index;
  TReceivedSpf Spf;
  std::string Raw;
};

// The fields the checks read, each parsed once, in header order.
struct TAuthFields {
  std::vector<TResultField> Results, ArcResults;
  std::vector<TSpfField> ReceivedSpf;
  std::vector<TDkimSignature> Signatures;
};

// An ARC-Seal's cv= as a claim that never counts.
void AddArcSealClaim(const THeaderField& f, std::size_t i, TAuthentication& a) {
  int instance = 0;
  std::string cv;
  for (const auto& [tag, v] : ParseTagList(f.Value)) {
    if (tag == "i" && IsDigits(v) && v.size() < 6) instance = std::stoi(v);
    else if (tag == "cv") cv = LowerAscii(v);
  }
  if (!cv.empty())
    a.Claims.push_back({"ARC-Seal (i=" + std::to_string(instance) + ")", {}, "arc", cv, {}, "cv=" + cv, false,
                        "ARC の封印 (ARC-Seal) の cv= は封印した側の申告で、署名を検証しないと信じられません。", i});
}

TAuthFields ReadAuthFields(const THeaderFields& fields, const TTrustBoundary& boundary, TAuthentication& a) {
  TAuthFields read;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const THeaderField& f = fields[i];
    const std::string_view name = TrimFws(f.Name);
    if (EqualsNoCase(name, "From")) {
      if (a.FromDomain.empty()) a.FromDomain = DomainOf(AddressOf(f.Value));
    } else if (EqualsNoCase(name, "Authentication-Results")) {
      TResultField& r = read.Results.emplace_back();
      r.Index = i;
      r.Source = "Authentication-Results";
      r.Results = ParseAuthResults(f.Value);
      Judge(r, boundary, true);
    } else if (EqualsNoCase(name, "ARC-Authentication-Results")) {
      TResultField& r = read.ArcResults.emplace_back();
      r.Index = i;
      r.Results = ParseAuthResults(f.Value, true);
      r.Source = "ARC-Authentication-Results (i=" + std::to_string(r.Results.Instance) + ")";
      Judge(r, boundary, false);
    } else if (EqualsNoCase(name, "Received-SPF")) {
      read.ReceivedSpf.push_back({i, ParseReceivedSpf(f.Value), CollapseFws(f.Value)});
    } else if (EqualsNoCase(name, "ARC-Seal")) {
      AddArcSealClaim(f, i, a);
    } else if (EqualsNoCase(name, "DKIM-Signature")) {
      read.Signatures.push_back(ParseDkimSignature(f.Value));
    }
  }
  return read;
}

// Every statement as a claim, counted or not, with the reason.
void AddClaims(const TAuthFields& read, const TTrustBoundary& boundary, TAuthentication& a) {
  const auto claim = [&](const TResultField& r, const TAuthMethod& m) {
    TAuthClaim c{r.Source, r.Results.AuthServId, m.Method, m.Result, StatementDomain(m), m.Raw, r.Trusted, r.Why, r.Index};
    if (c.Trusted && m.Method == "dmarc" && !EqualsNoCase(c.Domain, a.FromDomain)) {
      c.Trusted = false;
      c.Why = "header.from (" + (c.Domain.empty() ? std::string("なし") : c.Domain) +
              ") が差出人 (From) のドメイン (" + (a.FromDomain.empty() ? std::string("なし") : a.FromDomain) +
              ") と違い、このメールの差出人についての結果ではありません。";
    }
    return c;
  };
  for (const auto* list : {&read.Results, &read.ArcResults})
    for (const TResultField& r : *list)
      for (const TAuthMethod& m : r.Results.Methods) a.Claims.push_back(claim(r, m));
  for (const TSpfField& s : read.ReceivedSpf) {
    const bool written = boundary.IsReceiverWritten(s.Index);
    a.Claims.push_back({"Received-SPF", {}, "spf", s.Spf.Result, s.Spf.Domain, s.Raw, written,
                        written ? std::string() : boundary.OldestReceived() == TTrustBoundary::npos ? kNoRun : kBelowRun,
                        s.Index});
  }
  std::stable_sort(a.Claims.begin(), a.Claims.end(),
                   [](const TAuthClaim& x, const TAuthClaim& y) { return x.Field < y.Field; });
}

// What counts: the receiver's own fields, the one nearest the top first;
// its ARC copy only for what they do not say.
struct TSpeaking {
  TAuthResults Own, OwnArc;
  std::size_t OwnSpfIndex = TTrustBoundary::npos;
  const TAuthMethod* OwnSpf = nullptr;
  std::string ArcSource;
  [[nodiscard]] bool HaveOwn() const { return !Own.Methods.empty(); }
  [[nodiscard]] const TAuthResults& Results() const { return HaveOwn() ? Own : OwnArc; }
  [[nodiscard]] std::string Source() const { return HaveOwn() ? "Authentication-Results" : ArcSource; }
};

TSpeaking SpeakingFields(const TAuthFields& read) {
  TSpeaking s;
  for (const TResultField& r : read.Results) {
    if (!r.Trusted) continue;
    if (!s.OwnSpf)
      if ((s.OwnSpf = SpfOf(r.Results))) s.OwnSpfIndex = r.Index;
    s.Own.Methods.insert(s.Own.Methods.end(), r.Results.Methods.begin(), r.Results.Methods.end());
  }
  for (const TResultField& r : read.ArcResults) {
    if (!r.Trusted) continue;
    if (s.ArcSource.empty()) s.ArcSource = r.Source;
    s.OwnArc.Methods.insert(s.OwnArc.Methods.end(), r.Results.Methods.begin(), r.Results.Methods.end());
  }
  return s;
}

// SPF: of the receiver's Authentication-Results and Received-SPF, the one
// nearer the top, written later. True when a Received-SPF of the receiver's
// has a result.
bool ReadSpf(const TAuthFields& read, const TTrustBoundary& boundary, const TSpeaking& speaking, TAuthentication& a) {
  const TSpfField* spfField = nullptr;
  for (const TSpfField& s : read.ReceivedSpf)
    if (boundary.IsReceiverWritten(s.Index) && !s.Spf.Result.empty()) {
      spfField = &s;
      break;
    }
  if (speaking.OwnSpf && (!spfField || speaking.OwnSpfIndex < spfField->Index)) {
    a.Spf = ValueOf(*speaking.OwnSpf, SpfDomain(*speaking.OwnSpf), speaking.Source());
    a.Spf->Identity = SpfIdentity(*speaking.OwnSpf);
  } else if (spfField) {
    a.Spf = TAuthValue{spfField->Spf.Result, spfField->Spf.Domain, "Received-SPF", spfField->Raw,
                       spfField->Spf.Identity};
  } else if (!speaking.HaveOwn()) {
    if (const TAuthMethod* m = SpfOf(speaking.OwnArc)) {
      a.Spf = ValueOf(*m, SpfDomain(*m), speaking.ArcSource);
      a.Spf->Identity = SpfIdentity(*m);
    }
  }
  return spfField != nullptr;
}

// DMARC about this From domain only, ARC, compauth and the DKIM statements.
void ReadStatements(const TSpeaking& speaking, TAuthentication& a) {
  const TAuthResults& results = speaking.Results();
  const std::string source = speaking.Source();
  for (const TAuthMethod& m : results.Methods)
    if (m.Method == "dmarc" && !a.FromDomain.empty() && EqualsNoCase(DomainOf(m.Prop("header.from")), a.FromDomain)) {
      a.Dmarc = ValueOf(m, a.FromDomain, source);
      break;
    }
  if (const TAuthMethod* m = FirstOf(results, "arc")) a.Arc = ValueOf(*m, {}, source);
  if (const TAuthMethod* m = FirstOf(results, "compauth")) {
    a.CompAuth = ValueOf(*m, {}, source);
    a.CompAuth->Domain = a.FromDomain;
  }
  for (const TAuthMethod& m : results.Methods)
    if (m.Method == "dkim") a.DkimStatements.push_back(ValueOf(m, DkimDomain(m), source));
}

void CheckSignatures(const std::vector<TDkimSignature>& sigs, std::string_view body, const TAuthResults& speaking,
                     TAuthentication& a) {
  for (const TDkimSignature& sig : sigs) {
    TDkimCheck& c = a.Dkim.emplace_back();
    c.Domain = sig.Domain;
    c.Selector = sig.Selector;
    if (a.Dkim.size() > kMaxDkimChecked) {
      c.Checked = false;
      continue;
    }
    c.Algorithm = sig.Algorithm;
    c.Canon = sig.HeaderCanon + "/" + sig.BodyCanon;
    c.Length = sig.Length;
    c.BodyHashWanted = sig.BodyHash;
    c.BodyHash = CheckDkimBodyHash(sig, body, &c.BodyHashComputed);
    if (const TAuthMethod* m = StatementFor(speaking, sig)) c.Result = m->Result;
  }
}

// Relaxed alignment: organisational domains equal, said only of a method
// that passed.
void Align(TAuthentication& a) {
  if (a.FromDomain.empty()) return;
  const std::string org = OrganizationalDomain(a.FromDomain);
  if (a.Spf && a.Spf->Result == "pass" && !a.Spf->Domain.empty())
    a.SpfAligned = OrganizationalDomain(a.Spf->Domain) == org;
  for (const TAuthValue& s : a.DkimStatements)
    if (s.Result == "pass" && !s.Domain.empty())
      a.DkimAligned = a.DkimAligned.value_or(false) || OrganizationalDomain(s.Domain) == org;
  for (const TDkimCheck& c : a.Dkim)
    if (c.Result == "pass" && !c.Domain.empty())
      a.DkimAligned = a.DkimAligned.value_or(false) || OrganizationalDomain(c.Domain) == org;
}

}  // namespace

TAuthentication GetAuthentication(const THeaderFields& fields, std::string_view body) {
  return GetAuthentication(fields, body, TrustedAuthServIds());
}

TAuthentication GetAuthentication(const THeaderFields& fields, std::string_view body,
                                  const std::vector<std::string>& trustedIds) {
  TAuthentication a;
  const TTrustBoundary boundary(fields, trustedIds);
  a.ReceivingOrg = boundary.ReceivingOrg();
  const TAuthFields read = ReadAuthFields(fields, boundary, a);
  AddClaims(read, boundary, a);
  const TSpeaking speaking = SpeakingFields(read);
  const bool receivedSpf = ReadSpf(read, boundary, speaking, a);
  ReadStatements(speaking, a);
  // A field of the receiver's that says "none" still says it checked.
  a.HasResults = receivedSpf ||
                 std::any_of(read.Results.begin(), read.Results.end(), [](const TResultField& r) { return r.Trusted; }) ||
                 !speaking.ArcSource.empty();
  CheckSignatures(read.Signatures, body, speaking.Results(), a);
  Align(a);
  return a;
}

}  // namespace tarvo

#include "checks/phishing.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "base/ascii.h"
#include "checks/brands.h"
#include "jcode/jconvert.h"
#include "jcode/textfold.h"

namespace tarvo {

namespace {

// One finding for many cases of one kind: the count, and the first few.
void AddGrouped(std::vector<TFinding>& out, const char* kind, TLevel level, std::string text,
                const std::vector<std::string>& cases) {
  if (cases.empty()) return;
  std::string detail;
  for (std::size_t i = 0; i < cases.size() && i < 3; ++i) detail += (i ? " / " : "") + cases[i];
  if (cases.size() > 3) detail += " ほか " + std::to_string(cases.size() - 3) + " 件";
  if (cases.size() > 1) text += " (" + std::to_string(cases.size()) + " 件)";
  out.push_back({kind, level, std::move(text), std::move(detail)});
}

// Words of the demands phishing makes (an account to verify, a payment that
// failed, a service about to stop), folded as FoldForMatching folds.
bool Urges(std::string_view joined) {
  static constexpr const char* kWords[] = {
      "account", "verif", "confirm", "suspend", "locked", "blocked", "unusual", "signin", "sign-in", "login",
      "password", "payment", "invoice", "renew", "expire", "subscription", "refund", "reward", "prize", "winner",
      "urgent", "action", "security", "alert", "notice", "delivery", "package", "parcel", "pending", "wallet",
      "airdrop", "claim", "tax", "konto", "zahlung", "abonnement", "gesperrt", "bestätig", "sicherheit", "paket",
      "gewinn", "conta", "pagamento", "bloque", "pedido", "encomenda", "regulariz", "cadastro", "compte", "paiement",
      "アカウント", "確認", "停止", "更新", "支払", "請求", "ログイン", "パスワード", "緊急", "重要", "本人", "認証",
      "不正", "利用制限", "お荷物", "配達", "不在", "未払", "料金", "当選", "ポイント", "還付", "有効期限", "セキュリティ"};
  for (const char* w : kWords)
    if (joined.find(w) != std::string_view::npos) return true;
  return false;
}

void AddBrandSigns(const TFoldedText& name, const TFoldedText& subject, bool listMail, const std::string& fromDomain,
                   const std::vector<TLink>& links, std::vector<TFinding>& out) {
  const auto linksAllBrand = [&](const TBrand& b) {
    return !links.empty() && std::all_of(links.begin(), links.end(), [&](const TLink& l) {
      const std::string host = UrlHost(l.Href);
      return host.empty() || IsBrandHost(b, host);
    });
  };
  std::vector<std::string> inName, inSubject;
  std::set<const TBrand*> seen;
  const auto check = [&](const TFoldedText& text, std::vector<std::string>& found) {
    for (const TBrand* b : BrandsNamedIn(text.Joined, text.Spaced))
      if (seen.insert(b).second && !IsBrandHost(*b, fromDomain) && !linksAllBrand(*b)) found.push_back(b->Name);
  };
  check(name, inName);
  check(subject, inSubject);
  const std::string from = fromDomain.empty() ? "(なし)" : fromDomain;
  std::vector<std::string> cases;
  for (const std::string& b : inName) cases.push_back("表示名: " + b + " / From: " + from);
  for (const std::string& b : inSubject) cases.push_back("件名: " + b + " / From: " + from);
  // A subject may name a brand for many honest reasons (a dealer's listing
  // on eBay, a list discussing Google); a display name claims to be it, and
  // a subject that names it and presses for an action on an account does too.
  const TLevel level = !inName.empty() || (!listMail && Urges(subject.Joined)) ? TLevel::Bad : TLevel::Info;
  const std::string brand = cases.empty() ? std::string() : (inName.empty() ? inSubject : inName).front();
  AddGrouped(out, "brand-impersonation", level,
             "差出人の名前または件名に「" + brand +
                 "」とありますが、メールはその会社のドメインから送られていません。有名な会社や役所の名をかたるなりすましの典型です。",
             cases);
}

// A domain written in the display name ("ethereum.org" <x@icloud.com>).
void AddDisplayNameDomain(const std::string& name, const std::string& fromDomain, std::vector<TFinding>& out) {
  if (fromDomain.empty()) return;
  std::string_view rest = name;
  while (!rest.empty()) {
    const std::size_t end = rest.find_first_of(" \t\"'<>()[],;|");
    const std::string_view token = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (token.find('@') != std::string_view::npos) continue;  // an address: display-name-address's case
    std::string_view trimmed = token;
    while (!trimmed.empty() && (trimmed.back() == '.' || trimmed.back() == ':')) trimmed.remove_suffix(1);
    const std::string host = HostShownIn(trimmed);
    if (host.empty() || OrganizationalDomain(host) == OrganizationalDomain(fromDomain)) continue;
    out.push_back({"display-name-domain", TLevel::Bad,
                   "差出人の表示名にドメイン「" + host + "」が書かれていますが、本当の差出人のドメインは「" + fromDomain +
                       "」です。",
                   "表示名: " + name + " / From: " + fromDomain});
    return;
  }
}

std::string CodePoints(const std::vector<char32_t>& cps) {
  std::string s;
  for (char32_t cp : cps) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%sU+%04X", s.empty() ? "" : " ", static_cast<unsigned>(cp));
    s += buf;
  }
  return s;
}

bool IsIpHost(std::string_view host) {
  if (!host.empty() && host.front() == '[') return true;
  return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) { return IsDigit(c) || c == '.'; }) &&
         std::count(host.begin(), host.end(), '.') == 3;
}

// Letters of more than one of Latin, Greek and Cyrillic in one label.
bool MixesScripts(std::string_view utf8) {
  std::string_view rest = utf8;
  while (!rest.empty()) {
    const std::size_t dot = rest.find('.');
    const std::string_view label = rest.substr(0, dot);
    rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
    bool latin = false, greek = false, cyrillic = false;
    for (std::size_t i = 0; i < label.size();) {
      const unsigned char c = static_cast<unsigned char>(label[i]);
      const std::size_t n = std::max<std::size_t>(1, Utf8SequenceLength(label, i));
      if (IsAlpha(static_cast<char>(c)) || c == 0xC3 || c == 0xC4 || c == 0xC5) latin = true;  // U+00C0..U+017F
      else if (c == 0xCE || c == 0xCF) greek = true;                                            // U+0380..U+03FF
      else if (c >= 0xD0 && c <= 0xD3) cyrillic = true;                                         // U+0400..U+04FF
      i += n;
    }
    if (latin + greek + cyrillic > 1) return true;
  }
  return false;
}

void AddLinkSigns(const std::vector<TLink>& links, std::vector<TFinding>& out) {
  std::vector<std::string> ips, mixed;
  std::set<std::string> seen;
  for (const TLink& l : links) {
    const std::string host = UrlHost(l.Href);
    if (host.empty() || !seen.insert(host).second) continue;
    if (IsIpHost(host)) ips.push_back(host);
    else if (IsAce(host)) {
      const std::string shown = DecodeIdnDomain(host);
      if (MixesScripts(shown)) mixed.push_back(host + " (" + shown + ")");
    }
  }
  AddGrouped(out, "link-ip", TLevel::Bad,
             "リンクの行き先がドメイン名ではなく IP アドレスです。正規の会社のメールではまず使われません。", ips);
  AddGrouped(out, "punycode-mixed-script", TLevel::Bad,
             "リンクのドメイン名にラテン文字とキリル文字・ギリシャ文字が混ざっています。本物に見せかけた偽のドメインです。",
             mixed);
}

}  // namespace

void AddPhishingSigns(const THeaderFields& fields, const std::string& fromAddress,
                      const std::string& fromDomain, const std::vector<TLink>& links, std::vector<TFinding>& out) {
  const THeaderField* fromField = FindField(fields, "From");
  const THeaderField* subjectField = FindField(fields, "Subject");
  const std::string name = fromField ? DisplayNameOf(fromField->Value) : std::string();
  const std::string subject = subjectField ? DecodeHeaderTextUtf8(subjectField->Value) : std::string();
  const TFoldedText foldedName = FoldForMatching(name), foldedSubject = FoldForMatching(subject);

  AddBrandSigns(foldedName, foldedSubject, FindField(fields, "List-Id") != nullptr, fromDomain, links, out);
  AddDisplayNameDomain(name, fromDomain, out);

  std::vector<std::string> invisible;
  if (!foldedName.Invisible.empty()) invisible.push_back("表示名: " + CodePoints(foldedName.Invisible));
  if (!foldedSubject.Invisible.empty()) invisible.push_back("件名: " + CodePoints(foldedSubject.Invisible));
  AddGrouped(out, "invisible-characters", TLevel::Warn,
             "差出人の名前または件名に、画面に見えない文字 (ゼロ幅文字・書字方向の制御文字など) が混ぜてあります。迷惑メールの検出をすり抜けるための細工です。",
             invisible);

  // An address no reply can reach: no domain, or a domain without a dot
  // (but the machine's own, which local programs write).
  if (fromField && (fromAddress.empty() || fromDomain.find('.') == std::string::npos) && fromDomain != "localhost")
    out.push_back({"from-invalid", TLevel::Warn,
                   "差出人 (From) のアドレス「" + fromAddress +
                       "」はメールの届かない形です。本物の会社はこのような差出人では送りません。",
                   "From: " + std::string(TrimFws(fromField->Value))});
  AddLinkSigns(links, out);
}

}  // namespace tarvo

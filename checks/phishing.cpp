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

// The narrower demands of credential and payment phishing: sign in, verify,
// pay, claim. Folded as FoldForMatching folds.
bool DemandsCredentialsOrPayment(std::string_view joined) {
  static constexpr const char* kWords[] = {
      "verif", "confirm", "suspend", "locked", "unusual", "signin", "sign-in", "login", "password", "payment",
      "invoice", "expire", "refund", "claim", "airdrop", "wallet", "prize", "winner", "reward", "payout",
      "bestätig", "zahlung", "gesperrt", "pagamento", "regulariz", "pendência", "paiement",
      "本人確認", "ログイン", "パスワード", "支払", "請求", "停止", "未払", "利用制限", "有効期限", "認証", "当選", "還付"};
  for (const char* w : kWords)
    if (joined.find(w) != std::string_view::npos) return true;
  return false;
}

// The From address read as words ("amazon.co.jp@mail.example.cn" as
// "amazon co jp mail example cn"), for the brands it dresses up as.
TFoldedText AddressWords(std::string address) {
  std::replace_if(address.begin(), address.end(), [](char c) { return std::string_view(".-_+@\"").find(c) != std::string_view::npos; }, ' ');
  return FoldForMatching(address);
}

void AddBrandSigns(const TFoldedText& name, const TFoldedText& subject, const TFoldedText& address, bool listMail,
                   const std::string& fromDomain, const std::vector<TLink>& links, std::vector<TFinding>& out) {
  // Where the links lead, a mailto: link's domain included: a copy of the
  // brand's own mail whose one reply address is elsewhere still wears it.
  std::vector<std::string> hosts;
  for (const TLink& l : links) {
    std::string host = UrlHost(l.Href);
    if (const std::string_view href = TrimFws(l.Href); host.empty() && StartsWithNoCase(href, "mailto:")) {
      const std::string_view to = href.substr(7);
      host = DomainOf(to.substr(0, to.find('?')));
    }
    if (!host.empty() && hosts.size() < 100) hosts.push_back(std::move(host));
  }
  const auto linksAllBrand = [&](const TBrand& b) {
    return !hosts.empty() && std::all_of(hosts.begin(), hosts.end(), [&](const std::string& h) { return IsBrandHost(b, h); });
  };
  std::vector<std::string> inName, inAddress, inSubject;
  std::set<const TBrand*> seen;
  const auto check = [&](const TFoldedText& text, std::vector<std::string>& found) {
    for (const TBrand* b : BrandsNamedIn(text.Joined, text.Spaced))
      if (seen.insert(b).second && !IsBrandHost(*b, fromDomain) && !linksAllBrand(*b)) found.push_back(b->Name);
  };
  check(name, inName);
  check(address, inAddress);
  check(subject, inSubject);
  const std::string from = fromDomain.empty() ? "(なし)" : fromDomain;
  std::vector<std::string> cases;
  for (const std::string& b : inName) cases.push_back("表示名: " + b + " / From: " + from);
  for (const std::string& b : inAddress) cases.push_back("アドレス: " + b + " / From: " + from);
  for (const std::string& b : inSubject) cases.push_back("件名: " + b + " / From: " + from);
  inName.insert(inName.end(), inAddress.begin(), inAddress.end());
  // A subject may name a brand for many honest reasons (a dealer's listing
  // on eBay, a list discussing Google); a display name claims to be it, and
  // a subject that names it and presses for an action on an account does too.
  const TLevel level = !inName.empty() || (!listMail && Urges(subject.Joined)) ? TLevel::Bad : TLevel::Info;
  const std::string brand = cases.empty() ? std::string() : (inName.empty() ? inSubject : inName).front();
  AddGrouped(out, "brand-impersonation", level,
             "差出人の名前・アドレスまたは件名に「" + brand +
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

// Where anyone can put up a page, a file or a form, or hide where a link
// leads (shorteners, QR-code redirects). A company's own site is none of
// them; phishing kits live on them because they cost nothing and carry a
// trusted name. A host matches an entry or any name under it.
constexpr std::string_view kOpenHosts[] = {
    "bit.ly", "tinyurl.com", "is.gd", "v.gd", "x.gd", "t.co", "t.ly", "ow.ly", "buff.ly", "geni.us", "rebrand.ly",
    "cutt.ly", "shorturl.at", "rb.gy", "s.id", "tiny.cc", "go.ly", "urlz.fr", "goo.gl", "bl.ink", "qrco.de",
    "me-qr.com", "amazonaws.com", "cloudfront.net", "storage.googleapis.com", "blob.core.windows.net",
    "web.core.windows.net", "digitaloceanspaces.com", "r2.dev", "run.app", "web.app", "firebaseapp.com", "pages.dev",
    "workers.dev", "netlify.app", "vercel.app", "github.io", "glitch.me", "herokuapp.com", "azurewebsites.net",
    "000webhostapp.com", "ipfs.io", "notion.site", "weebly.com", "wixsite.com", "blogspot.com", "sites.google.com",
    "godaddysites.com", "webflow.io", "forms.gle", "typeform.com", "jotform.com"};

// Free picture and file drops: a company's mail shows its pictures from
// its own servers or its mail service's, never from these.
constexpr std::string_view kFileDrops[] = {"imgur.com", "ibb.co", "zupimages.net", "gyazo.com", "imgchest.com",
                                           "top4top.io", "goopics.net", "postimg.cc", "pbrd.co"};

// Free mail services: anyone can open an address there under any name.
constexpr std::string_view kFreeMail[] = {
    "gmail.com", "googlemail.com", "yahoo.com", "yahoo.co.jp", "yahoo.co.uk", "yahoo.de", "yahoo.fr", "ymail.com",
    "outlook.com", "outlook.jp", "outlook.de", "hotmail.com", "hotmail.co.jp", "hotmail.co.uk", "hotmail.de",
    "hotmail.fr", "live.com", "live.jp", "msn.com", "aol.com", "icloud.com", "me.com", "mail.com", "gmx.com", "gmx.de",
    "gmx.net", "web.de", "mail.ru", "yandex.ru", "yandex.com", "proton.me", "protonmail.com", "zoho.com", "qq.com",
    "163.com", "126.com", "naver.com"};

// Words by which a display name claims to be an organisation, not a person.
constexpr std::string_view kOrganisationWords[] = {
    "united nations", "bank", "banco", "banque", "team", "support", "service", "services", "department", "office",
    "security", "customer", "account", "official", "admin", "helpdesk", "help desk", "billing", "government",
    "ministry", "police", "court", "foundation", "lottery", "treasury", "federal", "銀行", "事務局", "サポート",
    "カスタマー", "センター", "運営", "公式", "窓口", "株式会社", "協会"};

bool IsUnder(std::string_view host, std::string_view entry) {
  return host == entry || (host.size() > entry.size() && host.ends_with(entry) && host[host.size() - entry.size() - 1] == '.');
}

template <std::size_t N>
bool IsListed(std::string_view host, const std::string_view (&list)[N]) {
  return std::any_of(std::begin(list), std::end(list), [&](std::string_view e) { return IsUnder(host, e); });
}

void AddOpenHostLinks(const std::vector<TLink>& links, const std::string& fromDomain, bool demands,
                      std::vector<TFinding>& out) {
  std::vector<std::string> found;
  std::set<std::string> seen;
  const std::string ownOrg = fromDomain.empty() ? std::string() : OrganizationalDomain(fromDomain);
  for (const TLink& l : links) {
    const std::string host = UrlHost(l.Href);
    if (host.empty() || !seen.insert(host).second || !(IsListed(host, kOpenHosts) || IsListed(host, kFileDrops)))
      continue;
    if (!ownOrg.empty() && OrganizationalDomain(host) == ownOrg) continue;
    found.push_back(host);
  }
  AddGrouped(out, "link-open-host", demands ? TLevel::Bad : TLevel::Warn,
             demands ? "ログインや支払いを求めるメールのリンクが、短縮 URL や誰でもページを置ける無料サービスへ向いています。本物の会社はこうしたリンクを使いません。フィッシングの典型です。"
                     : "リンクの行き先が、短縮 URL や誰でもページやファイルを置ける無料サービスです。本当の行き先や、そのページを誰が作ったのかが分かりません。",
             found);
}

void AddImageHosts(const std::vector<TLink>& images, bool demands, std::vector<TFinding>& out) {
  std::vector<std::string> found;
  std::set<std::string> seen;
  for (const TLink& l : images) {
    const std::string host = UrlHost(l.Href.starts_with("//") ? "http:" + l.Href : l.Href);
    if (!host.empty() && seen.insert(host).second && (IsListed(host, kFileDrops) || IsIpHost(host)))
      found.push_back(host);
  }
  AddGrouped(out, "image-open-host", demands ? TLevel::Bad : TLevel::Warn,
             std::string("メールの画像が、IP アドレスや誰でも画像を置ける無料サービスから読み込まれます。会社のメールは自社や配信サービスのサーバから画像を出します。") +
                 (demands ? "そのうえログインや支払いを求めています。フィッシングの典型です。" : ""),
             found);
}

// An organisation's name on a free mail address ("United Nations"
// <...@gmail.com>): what a company or an office never sends from.
void AddFreeMailOrganisation(const TFoldedText& name, const std::string& fromDomain, bool demands,
                             std::vector<TFinding>& out) {
  if (fromDomain.empty() || !IsListed(OrganizationalDomain(fromDomain), kFreeMail)) return;
  const auto word = std::find_if(std::begin(kOrganisationWords), std::end(kOrganisationWords),
                                 [&](std::string_view w) { return HasWord(name.Spaced, w); });
  if (word == std::end(kOrganisationWords)) return;
  out.push_back({"free-mail-organisation", demands ? TLevel::Bad : TLevel::Warn,
                 "差出人の名前は会社や団体 (「" + std::string(*word) + "」) を名乗っていますが、アドレスは誰でも作れる無料メール (" +
                     fromDomain + ") です。" + (demands ? "そのうえ支払いやログインを求めています。詐欺の典型です。" : ""),
                 "表示名: " + name.Spaced + " / From: " + fromDomain});
}

// A domain drawn in look-alike letters ("𝗸𝗮𝘂𝗳𝗹𝗮𝗻𝗱.𝗱𝗲", a Cyrillic "раураl.com"):
// not ASCII, yet every character reads as a plain ASCII one. Real
// international names do not fold to ASCII; these are drawn to pass for one.
std::string LookAlikeOf(std::string_view domain) {
  const auto ascii = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  };
  if (domain.empty() || ascii(domain)) return {};
  const TFoldedText f = FoldForMatching(domain);
  return !f.Joined.empty() && ascii(f.Joined) ? f.Joined : std::string();
}

void AddLookAlikeDomains(const std::string& fromDomain, const std::vector<TLink>& links, std::vector<TFinding>& out) {
  std::vector<std::string> found;
  std::set<std::string> seen;
  const auto check = [&](const char* where, const std::string& domain) {
    const std::string plain = LookAlikeOf(domain);
    if (!plain.empty() && seen.insert(domain).second) found.push_back(std::string(where) + domain + " (" + plain + ")");
  };
  check("From: ", fromDomain);
  for (const TLink& l : links) check("リンク: ", UrlHost(l.Href));
  AddGrouped(out, "lookalike-domain", TLevel::Bad,
             "ドメイン名が、飾り文字や形の似た別の文字で普通の英字に見えるように書かれています。本物のドメインではありません。",
             found);
}

// An address wholly in quotes (<"info@bank.example">) is a local part and
// no domain: a mail program shows a bank's address that names none.
bool QuotedWhole(std::string_view address) {
  const std::size_t at = address.rfind('@');
  return address.size() > 2 && address.front() == '"' && at != std::string_view::npos && address.rfind('"') > at;
}

// A From that opens with a name and no address before its real mailbox
// ("WOW TV", x <a@b.example>): a quoted or encoded name closed by a comma
// is an entry of its own, written so that mail programs show it as the
// sender. Bare words before a comma ("Smith, John <...>") are careless
// quoting, not this, and stay the name.
std::string NameWithoutAddress(std::string_view value) {
  std::string_view rest = value;
  SkipCfws(rest);
  std::string name;
  if (!rest.empty() && rest.front() == '"') {
    name = ReadQuoted(rest);
  } else {
    for (int words = 0; words < 16 && rest.starts_with("=?"); ++words) {
      const std::string_view atom = ReadAtom(rest);
      if (!atom.ends_with("?=")) return {};
      name += DecodeHeaderTextUtf8(atom);
    }
  }
  SkipCfws(rest);
  if (TrimFws(name).empty() || !rest.starts_with(',') || rest.find('@') == std::string_view::npos) return {};
  return name;
}

}  // namespace

void AddPhishingSigns(const THeaderFields& fields, const std::string& fromAddress,
                      const std::string& fromDomain, const std::vector<TLink>& links, const std::vector<TLink>& images,
                      std::vector<TFinding>& out) {
  const THeaderField* fromField = FindField(fields, "From");
  const THeaderField* subjectField = FindField(fields, "Subject");
  const std::string name = fromField ? DisplayNameOf(fromField->Value) : std::string();
  const std::string subject = subjectField ? DecodeHeaderTextUtf8(subjectField->Value) : std::string();
  const TFoldedText foldedName = FoldForMatching(name), foldedSubject = FoldForMatching(subject);
  const bool listMail = FindField(fields, "List-Id") != nullptr;
  // List-Id is the sender's to write: it lowers no demand.
  const bool demands = DemandsCredentialsOrPayment(foldedSubject.Joined);
  const bool quoted = QuotedWhole(fromAddress);
  const std::string ownDomain = quoted ? std::string() : fromDomain;

  AddBrandSigns(foldedName, foldedSubject, AddressWords(fromAddress), listMail, ownDomain, links, out);
  AddDisplayNameDomain(name, ownDomain, out);
  AddFreeMailOrganisation(foldedName, ownDomain, demands, out);
  AddOpenHostLinks(links, ownDomain, demands, out);
  AddLookAlikeDomains(ownDomain, links, out);
  AddImageHosts(images, demands, out);
  if (const std::string alone = fromField ? NameWithoutAddress(fromField->Value) : std::string(); !alone.empty())
    out.push_back({"from-name-without-address", TLevel::Bad,
                   "差出人 (From) の欄の先頭に、アドレスのない名前「" + alone +
                       "」が書かれています。メールソフトはこの名前を差出人として見せ、本当の差出人「" + fromAddress +
                       "」を隠します。",
                   "From: " + std::string(TrimFws(fromField->Value))});
  if (quoted)
    out.push_back({"from-quoted-address", TLevel::Bad,
                   "差出人のアドレス「" + fromAddress +
                       "」は全体が引用符 (\") で囲まれていて、本当はドメインがありません。そのドメインから送られたメールではありません。",
                   "From: " + std::string(TrimFws(fromField->Value))});

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

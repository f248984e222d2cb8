// Warning signs of a forged or altered message, each with the values that
// raised it. Sentences are for people who do not know the protocols.
#include <algorithm>
#include <set>

#include "base/cp932.h"
#include "jcode/jconvert.h"
#include "checks/auth.h"
#include "checks/phishing.h"
#include "mail/html.h"
#include "mail/mailutils.h"
#include "base/ascii.h"

namespace tarvo {

namespace {

const std::string_view* FirstValue(const THeaderFields& fields, std::string_view name) {
  const THeaderField* f = FindField(fields, name);
  return f ? &f->Value : nullptr;
}

bool IsAddressChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("._%+-").find(c) != std::string_view::npos;
}

// An address written in a text ("support@bank.example"), with the wide
// "＠" read as "@"; lower case, or empty.
std::string AddressIn(std::string_view utf8) {
  // A full-width at sign counts as "@".
  std::string s;
  s.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    if (utf8.substr(i, 3) == "\xEF\xBC\xA0") {
      s += '@';
      i += 3;
    } else {
      s += utf8[i++];
    }
  }
  for (std::size_t at = s.find('@'); at != std::string::npos; at = s.find('@', at + 1)) {
    std::size_t b = at, e = at + 1;
    while (b > 0 && IsAddressChar(s[b - 1])) --b;
    while (e < s.size() && IsAddressChar(s[e])) ++e;
    std::string_view local = std::string_view(s).substr(b, at - b);
    std::string_view domain = std::string_view(s).substr(at + 1, e - at - 1);
    while (!domain.empty() && (domain.back() == '.' || domain.back() == '-')) domain.remove_suffix(1);
    if (!local.empty() && domain.find('.') != std::string_view::npos)
      return LowerAscii(std::string(local) + "@" + std::string(domain));
  }
  return {};
}

bool IsHostChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-'; }

// A lower-case host name with at least one dot and an alphabetic top label.
bool LooksLikeHost(std::string_view h) {
  if (h.empty() || h.front() == '.' || h.back() == '.' || h.find('.') == std::string_view::npos ||
      h.find("..") != std::string_view::npos || !std::all_of(h.begin(), h.end(), IsHostChar))
    return false;
  const std::string_view top = h.substr(h.rfind('.') + 1);
  if (StartsWithNoCase(top, "xn--")) return top.size() > 4;
  return top.size() >= 2 && std::all_of(top.begin(), top.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

TFinding Make(const char* kind, TLevel level, std::string text, std::string detail) {
  return {kind, level, std::move(text), std::move(detail)};
}

}  // namespace

bool IsAce(std::string_view domain) {
  const std::string d = "." + LowerAscii(domain);
  return d.find(".xn--") != std::string::npos;
}

std::string AddressOf(std::string_view value) { return SenderMailbox(value).Address; }

std::string DisplayNameOf(std::string_view value) { return SenderMailbox(value).Name; }

std::vector<TLink> FindHtmlLinks(std::string_view html) { return HtmlLinks(html); }

std::string UrlHost(std::string_view url) {
  url = TrimFws(url);
  if (StartsWithNoCase(url, "http://")) url.remove_prefix(7);
  else if (StartsWithNoCase(url, "https://")) url.remove_prefix(8);
  else return {};
  const std::size_t end = url.find_first_of("/?#\\");
  std::string_view authority = url.substr(0, end);
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  if (!authority.empty() && authority.front() == '[') return LowerAscii(authority.substr(0, authority.find(']') + 1));
  authority = authority.substr(0, authority.find(':'));
  while (!authority.empty() && authority.back() == '.') authority.remove_suffix(1);
  return LowerAscii(authority);
}

std::string HostShownIn(std::string_view text) {
  std::string_view t = TrimFws(text);
  if (t.empty() || t.find_first_of(" \t") != std::string_view::npos) return {};
  if (StartsWithNoCase(t, "http://") || StartsWithNoCase(t, "https://")) return UrlHost(t);
  const std::size_t end = t.find_first_of("/?#:");
  const std::string_view host = t.substr(0, end);
  if (host.find('@') != std::string_view::npos) return {};
  std::string h = LowerAscii(host);
  while (!h.empty() && h.back() == '.') h.pop_back();
  return LooksLikeHost(h) ? h : std::string();
}

namespace {

// From against another address field: what the organisational domains say.
void CompareDomain(const THeaderFields& fields, const std::string& fromAddress,
                   const std::string& fromDomain, const char* header, const char* kind, TLevel level,
                   const char* sentence, std::vector<TFinding>& out) {
  const std::string_view* value = FirstValue(fields, header);
  if (!value || fromDomain.empty()) return;
  const std::string address = AddressOf(*value);
  const std::string domain = DomainOf(address);
  if (domain.empty() || OrganizationalDomain(domain) == OrganizationalDomain(fromDomain)) return;
  out.push_back(Make(kind, level, sentence, "From: " + fromAddress + " / " + header + ": " + address));
}

const char* AuthFailText(const std::string& method) {
  if (method == "dmarc")
    return "DMARC の検査に失敗しました。差出人 (From) のドメインの持ち主が認めていない送信で、なりすましの可能性が高いです。";
  if (method == "spf")
    return "SPF の検査に失敗しました。このメールを送ったサーバは、送信元ドメインからメールを送ることを認められていません。";
  if (method == "dkim")
    return "DKIM 署名の検査に失敗しました。途中で書き換えられたか、署名が本物ではない可能性があります。";
  if (method == "compauth")
    return "Microsoft の総合判定 (compauth) で不合格になりました。差出人が本物と確かめられません。";
  return "ARC (転送の記録) の検査に失敗しました。転送の途中で書き換えられた可能性があります。";
}

// A list that sets Reply-To to itself: its List-Post, List-Id or Sender
// names the same organisation as the Reply-To.
bool RepliesToTheList(const THeaderFields& fields) {
  const std::string_view* replyTo = FirstValue(fields, "Reply-To");
  if (!replyTo) return false;
  const std::string org = OrganizationalDomain(DomainOf(AddressOf(*replyTo)));
  if (org.empty()) return false;
  for (const char* header : {"List-Post", "Sender"})
    if (const std::string_view* v = FirstValue(fields, header)) {
      std::string address = AddressOf(*v);
      if (StartsWithNoCase(address, "mailto:")) address.erase(0, 7);
      if (OrganizationalDomain(DomainOf(address)) == org) return true;
    }
  // List-Id: "Name <list-label.list.example.org>"
  if (const std::string_view* v = FirstValue(fields, "List-Id"))
    if (OrganizationalDomain(LowerAscii(AddressOf(*v))) == org) return true;
  return false;
}

// From naming several people is allowed when Sender says which of them sent
// it; without Sender nobody can tell who did.
void AddSeveralSenders(const THeaderFields& fields, std::vector<TFinding>& out) {
  std::vector<std::string> addresses;
  for (const THeaderField* f : FindFields(fields, "From"))
    for (const TMailAddress& a : SplitMailAddresses(f->Value)) {
      const std::string address = LowerAscii(a.Address);
      if (address.find('@') != std::string::npos &&
          std::find(addresses.begin(), addresses.end(), address) == addresses.end() && addresses.size() < 10)
        addresses.push_back(address);
    }
  if (addresses.size() < 2) return;
  if (const std::string_view* sender = FirstValue(fields, "Sender");
      sender && std::find(addresses.begin(), addresses.end(), LowerAscii(AddressOf(*sender))) != addresses.end())
    return;
  std::string detail = "From:";
  for (const std::string& a : addresses) detail += " " + a;
  out.push_back(Make("from-several", TLevel::Warn,
                     "差出人 (From) に複数のアドレスが書かれていて、送信者 (Sender) がありません。誰が送ったのか分からず、なりすましに使われることがあります。",
                     detail));
}

bool Failed(const std::string& result) { return result == "fail" || result == "softfail" || result == "permerror"; }

}  // namespace

namespace {

// What the address fields say against each other.
void AddAddressSigns(const THeaderFields& fields, const std::string& fromAddress, const std::string& fromDomain,
                     std::vector<TFinding>& out) {
  const std::string_view* from = FirstValue(fields, "From");
  if (!RepliesToTheList(fields))
    CompareDomain(fields, fromAddress, fromDomain, "Reply-To", "reply-to-domain", TLevel::Warn,
                  "返信先 (Reply-To) のドメインが差出人 (From) と違います。返信すると差出人とは別の相手に届きます。", out);
  CompareDomain(fields, fromAddress, fromDomain, "Return-Path", "return-path-domain", TLevel::Info,
                "エラーの返送先 (Return-Path) のドメインが差出人 (From) と違います。配信サービスを使うメールではよくありますが、なりすましでも見られます。",
                out);
  CompareDomain(fields, fromAddress, fromDomain, "Sender", "sender-domain", TLevel::Info,
                "実際の送信者 (Sender) のドメインが差出人 (From) と違います。メーリングリストや代理送信でなければ注意してください。",
                out);

  AddSeveralSenders(fields, out);
  if (from) {
    const std::string name = DisplayNameOf(*from);
    const std::string shown = AddressIn(name);
    if (!shown.empty() && shown != LowerAscii(fromAddress))
      out.push_back(Make("display-name-address", TLevel::Bad,
                         "差出人の表示名にメールアドレス「" + shown + "」が書かれていますが、本当の差出人アドレスは「" +
                             (fromAddress.empty() ? std::string("(ありません)") : fromAddress) +
                             "」です。表示名だけを見るとだまされます。",
                         "表示名: " + name + " / アドレス: " + fromAddress));
  }

  if (const std::string_view* id = FirstValue(fields, "Message-ID"); id && !fromDomain.empty()) {
    const std::string idAddress = AddressOf(*id);
    const std::string idDomain = idAddress.find('@') == std::string::npos ? std::string() : DomainOf(idAddress);
    if (!idDomain.empty() && OrganizationalDomain(idDomain) != OrganizationalDomain(fromDomain))
      out.push_back(Make("message-id-domain", TLevel::Info,
                         "Message-ID のドメインが差出人 (From) のドメインと関係ありません。配信サービスではよくありますが、偽装の手がかりになることもあります。",
                         "From: " + fromDomain + " / Message-ID: " + std::string(TrimFws(*id))));
  }
}

// Domains in punycode wherever a reader meets them, links that show one host
// and lead to another, and the phishing signs.
void AddLinkSigns(const THeaderFields& fields, const std::string& fromAddress, const std::string& fromDomain,
                  bool dmarcPass, std::string_view html, std::vector<TFinding>& out) {
  std::vector<std::pair<std::string, std::string>> domains;  // where, domain
  for (const char* header : {"From", "Reply-To", "Sender", "Return-Path"})
    if (const std::string_view* v = FirstValue(fields, header)) domains.emplace_back(header, DomainOf(AddressOf(*v)));
  std::vector<TLink> links, images;
  for (TLink& l : FindHtmlLinks(html)) (l.Image ? images : links).push_back(std::move(l));
  AddPhishingSigns(fields, fromAddress, fromDomain, links, images, out);
  for (const TLink& l : links) domains.emplace_back("リンク", UrlHost(l.Href));
  std::set<std::string> seen;
  for (const auto& [where, d] : domains) {
    if (!IsAce(d) || !seen.insert(d).second || seen.size() > 20) continue;
    out.push_back(Make("punycode-domain", TLevel::Warn,
                       "国際化ドメイン名 (xn--) が使われています。見た目のよく似た文字で本物のドメインをまねている場合があります。",
                       where + ": " + d + " (" + DecodeIdnDomain(d) + ")"));
  }

  // Links whose text shows one host and that lead to another. With DMARC
  // passing they are most often a mailing service's click counter.
  std::set<std::pair<std::string, std::string>> reported;
  for (const TLink& l : links) {
    const std::string shown = HostShownIn(l.Text), real = UrlHost(l.Href);
    if (shown.empty() || real.empty() || OrganizationalDomain(shown) == OrganizationalDomain(real)) continue;
    if (!reported.insert({shown, real}).second || reported.size() > 20) continue;
    out.push_back(Make("link-mismatch", dmarcPass ? TLevel::Warn : TLevel::Bad,
                       "リンクの文字は「" + shown + "」と見せていますが、クリックすると「" + real + "」へ移動します。",
                       "表示: " + l.Text + " / 行き先: " + l.Href));
  }
}

void AddAuthSigns(const TAuthentication& auth, const std::string& fromDomain, bool dmarcPass,
                  std::vector<TFinding>& out) {
  const auto failed = [&](const std::string& method, const std::optional<TAuthValue>& v) {
    if (!v || !Failed(v->Result)) return;
    // Microsoft's composite verdict may pass what DMARC alone fails (a
    // forwarder, a known sender): the DMARC failure is then a warning.
    const bool compPass = auth.CompAuth && (auth.CompAuth->Result == "pass" || auth.CompAuth->Result == "softpass");
    const bool severe = (method == "dmarc" && !(compPass && v->Result == "fail")) || method == "compauth" ||
                        (method == "spf" && v->Result == "fail" && !dmarcPass);
    out.push_back(Make("auth-fail", severe ? TLevel::Bad : TLevel::Warn, AuthFailText(method),
                       v->Source + ": " + (v->Raw.empty() ? method + "=" + v->Result : v->Raw)));
  };
  failed("dmarc", auth.Dmarc);
  failed("compauth", auth.CompAuth);
  failed("spf", auth.Spf);
  for (const TAuthValue& s : auth.DkimStatements) failed("dkim", s);
  failed("arc", auth.Arc);

  if (!auth.HasResults && !auth.Claims.empty()) {
    // Results the sending side could have written say nothing either way.
    std::string detail;
    for (const TAuthClaim& c : auth.Claims)
      if (!c.Trusted && detail.size() < 300)
        detail += (detail.empty() ? "" : " / ") + c.Source + ": " + c.Method + "=" + c.Result;
    out.push_back(Make("auth-missing", TLevel::Warn,
                       "認証結果は書かれていますが、受信したサーバが書いたものと確かめられません。送信側が書き込んだ偽の結果かもしれず、差出人が本物かどうか確かめられません。",
                       detail));
  } else if (!auth.HasResults) {
    out.push_back(Make("auth-missing", TLevel::Warn,
                       "受信したサーバによる認証結果 (Authentication-Results) がありません。差出人が本物かどうか確かめられません。",
                       "Authentication-Results, ARC-Authentication-Results, Received-SPF: なし"));
  } else if (!dmarcPass) {
    const bool spfPass = auth.Spf && auth.Spf->Result == "pass" && auth.SpfAligned.value_or(false);
    const bool dkimPass = auth.DkimAligned.value_or(false);
    const bool anyFail = std::any_of(out.begin(), out.end(), [](const TFinding& f) { return f.Kind == "auth-fail"; });
    if (!spfPass && !dkimPass && !anyFail)
      out.push_back(Make("auth-missing", TLevel::Warn,
                         "差出人 (From) のドメインを確かめる認証 (SPF・DKIM・DMARC) がどれも合格していません。差出人が本物かどうか確かめられません。",
                         std::string("From: ") + (fromDomain.empty() ? "(なし)" : fromDomain) +
                             " / DMARC: " + (auth.Dmarc ? auth.Dmarc->Result : "なし")));
  }
}

void AddDkimSigns(const TAuthentication& auth, std::vector<TFinding>& out) {
  for (const TDkimCheck& c : auth.Dkim) {
    const std::string detail = "d=" + c.Domain + " s=" + c.Selector + " bh=" + c.BodyHashWanted +
                               (c.BodyHashComputed.empty() ? std::string() : " / 計算値 " + c.BodyHashComputed);
    if (c.BodyHash == TBodyHash::Broken)
      out.push_back(Make("dkim-broken", TLevel::Warn,
                         "DKIM 署名の本文ハッシュ (bh=) が壊れています。署名が途中で壊れたか、正しく作られていません。", detail));
    else if (c.BodyHash == TBodyHash::Mismatch && c.Result == "pass")
      // The receiver checked the body and found it whole: it changed after
      // delivery (a mail program, an archive, a forward), not on the way.
      out.push_back(Make("dkim-body-mismatch", TLevel::Warn,
                         "受信したサーバは DKIM 署名を合格としましたが、今の本文は署名と一致しません。受け取ったあとで本文が変わっています (メールソフトの保存や転送など)。",
                         detail));
    else if (c.BodyHash == TBodyHash::Mismatch)
      out.push_back(Make("dkim-body-mismatch", TLevel::Bad,
                         "DKIM 署名のあとで本文が書き換えられています。署名したときの本文と一致しません。", detail));
  }
  if (auth.Dkim.size() > kMaxDkimChecked)
    out.push_back(Make("dkim-not-checked", TLevel::Info,
                       "DKIM 署名が " + std::to_string(auth.Dkim.size()) + " 個あります。最初の " +
                           std::to_string(kMaxDkimChecked) + " 個だけ確かめ、残りは確かめていません。",
                       "確かめていない署名: " + std::to_string(auth.Dkim.size() - kMaxDkimChecked) + " 個"));
}

}  // namespace

std::vector<TFinding> GetFindings(const THeaderFields& fields, const TAuthentication& auth,
                                  std::string_view html) {
  std::vector<TFinding> out;
  const std::string_view* from = FirstValue(fields, "From");
  const std::string fromAddress = from ? AddressOf(*from) : std::string();
  const std::string fromDomain = auth.FromDomain.empty() ? DomainOf(fromAddress) : auth.FromDomain;
  const bool dmarcPass = auth.Dmarc && auth.Dmarc->Result == "pass";
  AddAddressSigns(fields, fromAddress, fromDomain, out);
  AddLinkSigns(fields, fromAddress, fromDomain, dmarcPass, html, out);
  AddAuthSigns(auth, fromDomain, dmarcPass, out);
  AddDkimSigns(auth, out);
  // The worst first: that is what a reader must see.
  std::stable_sort(out.begin(), out.end(), [](const TFinding& a, const TFinding& b) { return a.Level > b.Level; });
  return out;
}

TLevel VerdictLevel(const std::vector<TFinding>& findings) {
  TLevel worst = TLevel::Info;
  for (const TFinding& f : findings) worst = std::max(worst, f.Level);
  return worst;
}

const char* LevelName(TLevel level) {
  switch (level) {
    case TLevel::Info: return "info";
    case TLevel::Warn: return "warn";
    case TLevel::Bad: return "bad";
  }
  return "info";
}

const char* BodyHashName(TBodyHash h) {
  switch (h) {
    case TBodyHash::Match: return "match";
    case TBodyHash::Mismatch: return "mismatch";
    case TBodyHash::Unchecked: return "unchecked";
    case TBodyHash::Broken: return "broken";
  }
  return "unchecked";
}

}  // namespace tarvo

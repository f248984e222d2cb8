// Warning signs of a forged or altered message, each with the values that
// raised it. Sentences are for people who do not know the protocols.
#include <algorithm>
#include <set>

#include "base/cp932.h"
#include "jcode/jconvert.h"
#include "checks/auth.h"
#include "checks/phishing.h"
#include "base/ascii.h"

namespace tarvo {

namespace {





// The first mailbox of an address list: up to the first "," that stands
// outside quotes, comments and angle brackets.
std::string_view FirstMailbox(std::string_view v) {
  int depth = 0;
  bool quoted = false, angle = false;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (quoted || depth > 0) {
      if (c == '\\') ++i;
      else if (quoted && c == '"') quoted = false;
      else if (!quoted && c == '(') ++depth;
      else if (!quoted && c == ')') --depth;
      continue;
    }
    if (c == '"') quoted = true;
    else if (c == '(') depth = 1;
    else if (c == '<') angle = true;
    else if (c == '>') angle = false;
    else if (c == ',' && !angle) {
      if (!TrimFws(v.substr(0, i)).empty()) return v.substr(0, i);
      v.remove_prefix(i + 1);
      i = static_cast<std::size_t>(-1);
    }
  }
  return v;
}

// Where the "<" of the mailbox stands (outside quotes and comments), or npos.
std::size_t AngleOf(std::string_view m) {
  int depth = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < m.size(); ++i) {
    const char c = m[i];
    if (quoted || depth > 0) {
      if (c == '\\') ++i;
      else if (quoted && c == '"') quoted = false;
      else if (!quoted && c == '(') ++depth;
      else if (!quoted && c == ')') --depth;
      continue;
    }
    if (c == '"') quoted = true;
    else if (c == '(') depth = 1;
    else if (c == '<') return i;
  }
  return std::string_view::npos;
}

// Header text for reading: encoded words decoded, raw text as the views read it.
std::string Utf8Of(std::string_view headerText) { return DecodeHeaderTextUtf8(headerText); }

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

bool IsAce(std::string_view domain) {
  const std::string d = "." + LowerAscii(domain);
  return d.find(".xn--") != std::string::npos;
}

void DecodeEntities(std::string_view s, std::string& out) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += s[i];
      continue;
    }
    const std::size_t semi = s.find(';', i);
    if (semi == std::string_view::npos || semi - i > 10) {
      out += '&';
      continue;
    }
    const std::string name = LowerAscii(s.substr(i + 1, semi - i - 1));
    char32_t cp = 0;
    if (name == "amp") cp = '&';
    else if (name == "lt") cp = '<';
    else if (name == "gt") cp = '>';
    else if (name == "quot") cp = '"';
    else if (name == "apos") cp = '\'';
    else if (name == "nbsp") cp = ' ';
    else if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      std::uint32_t v = 0;
      bool ok = name.size() > (hex ? 2u : 1u);
      for (std::size_t k = hex ? 2 : 1; ok && k < name.size(); ++k) {
        const char c = name[k];
        const int d = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        ok = d >= 0 && v < 0x110000;
        v = v * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
      }
      if (ok && v > 0 && v < 0x110000 && (v < 0xD800 || v > 0xDFFF)) cp = v;
    }
    if (cp == 0) {
      out += '&';
      continue;
    }
    AppendUtf8(out, cp);
    i = semi;
  }
}

// Text between tags, blanks collapsed.
std::string VisibleText(std::string_view html) {
  std::string text, out;
  bool inTag = false;
  for (char c : html) {
    if (c == '<') inTag = true;
    else if (c == '>') inTag = false;
    else if (!inTag) text += c;
  }
  std::string decoded;
  DecodeEntities(text, decoded);
  return out + CollapseFws(decoded);
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

std::string AddressOf(std::string_view value) {
  const std::string_view m = FirstMailbox(value);
  const std::size_t lt = AngleOf(m);
  if (lt != std::string_view::npos) {
    const std::size_t gt = m.find('>', lt);
    return std::string(TrimFws(m.substr(lt + 1, gt == std::string_view::npos ? std::string_view::npos : gt - lt - 1)));
  }
  // "addr (Name)": drop the comments.
  std::string out;
  int depth = 0;
  for (std::size_t i = 0; i < m.size(); ++i) {
    if (m[i] == '(') ++depth;
    else if (m[i] == ')' && depth > 0) --depth;
    else if (depth > 0 && m[i] == '\\') ++i;
    else if (depth == 0 && !IsFws(m[i])) out += m[i];
  }
  return out;
}

std::string DisplayNameOf(std::string_view value) {
  const std::string_view m = FirstMailbox(value);
  const std::size_t lt = AngleOf(m);
  std::string raw;
  if (lt != std::string_view::npos) {
    const std::string_view before = m.substr(0, lt);
    for (std::size_t i = 0; i < before.size(); ++i) {
      if (before[i] == '\\' && i + 1 < before.size()) raw += before[++i];
      else if (before[i] != '"') raw += before[i];
    }
  } else if (const std::size_t open = m.find('('); open != std::string_view::npos) {
    const std::size_t close = m.rfind(')');
    raw = m.substr(open + 1, close > open ? close - open - 1 : std::string_view::npos);
  }
  return std::string(TrimFws(Utf8Of(TrimFws(raw))));
}

std::vector<TLink> FindHtmlLinks(std::string_view html) {
  std::vector<TLink> links;
  for (std::size_t at = FindNoCase(html, "<a", 0); at != std::string_view::npos; at = FindNoCase(html, "<a", at + 2)) {
    if (at + 2 >= html.size() || !(IsFws(html[at + 2]) || html[at + 2] == '>')) continue;
    // Attributes up to the ">" that stands outside quotes.
    std::size_t i = at + 2;
    std::string href;
    bool hasHref = false;
    while (i < html.size() && html[i] != '>') {
      while (i < html.size() && (IsFws(html[i]) || html[i] == '/')) ++i;
      const std::size_t n0 = i;
      while (i < html.size() && !IsFws(html[i]) && html[i] != '=' && html[i] != '>') ++i;
      const std::string name = LowerAscii(html.substr(n0, i - n0));
      while (i < html.size() && IsFws(html[i])) ++i;
      if (i >= html.size() || html[i] != '=') continue;
      ++i;
      while (i < html.size() && IsFws(html[i])) ++i;
      std::string_view v;
      if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
        const char q = html[i];
        const std::size_t end = html.find(q, i + 1);
        v = html.substr(i + 1, end == std::string_view::npos ? std::string_view::npos : end - i - 1);
        i = end == std::string_view::npos ? html.size() : end + 1;
      } else {
        const std::size_t v0 = i;
        while (i < html.size() && !IsFws(html[i]) && html[i] != '>') ++i;
        v = html.substr(v0, i - v0);
      }
      if (name == "href" && !hasHref) {
        hasHref = true;
        DecodeEntities(TrimFws(v), href);
      }
    }
    if (!hasHref || i >= html.size()) continue;
    // The text ends at "</a", looked for in a bounded window: a page of
    // unclosed links must not be read again for each of them.
    const std::size_t limit = std::min(html.size(), i + 1 + 4096);
    std::size_t end = FindNoCase(html.substr(0, limit), "</a", i + 1);
    if (end == std::string_view::npos) end = limit;
    links.push_back({std::move(href), VisibleText(html.substr(i + 1, end - i - 1))});
  }
  return links;
}

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

bool Failed(const std::string& result) { return result == "fail" || result == "softfail" || result == "permerror"; }

}  // namespace

std::vector<TFinding> GetFindings(const THeaderFields& fields, const TAuthentication& auth,
                                  std::string_view html) {
  std::vector<TFinding> out;
  const std::string_view* from = FirstValue(fields, "From");
  const std::string fromAddress = from ? AddressOf(*from) : std::string();
  const std::string fromDomain = auth.FromDomain.empty() ? DomainOf(fromAddress) : auth.FromDomain;
  const bool dmarcPass = auth.Dmarc && auth.Dmarc->Result == "pass";

  if (!RepliesToTheList(fields))
    CompareDomain(fields, fromAddress, fromDomain, "Reply-To", "reply-to-domain", TLevel::Warn,
                  "返信先 (Reply-To) のドメインが差出人 (From) と違います。返信すると差出人とは別の相手に届きます。", out);
  CompareDomain(fields, fromAddress, fromDomain, "Return-Path", "return-path-domain", TLevel::Info,
                "エラーの返送先 (Return-Path) のドメインが差出人 (From) と違います。配信サービスを使うメールではよくありますが、なりすましでも見られます。",
                out);
  CompareDomain(fields, fromAddress, fromDomain, "Sender", "sender-domain", TLevel::Info,
                "実際の送信者 (Sender) のドメインが差出人 (From) と違います。メーリングリストや代理送信でなければ注意してください。",
                out);

  if (from) {
    const std::string name = DisplayNameOf(*from);
    const std::string shown = AddressIn(name);
    if (!shown.empty() && shown != LowerAscii(fromAddress))
      out.push_back(Make("display-name-address", TLevel::Bad,
                         "差出人の表示名にメールアドレス「" + shown + "」が書かれていますが、本当の差出人アドレスは「" +
                             fromAddress + "」です。表示名だけを見るとだまされます。",
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

  // Domains written in punycode, wherever a reader meets them.
  std::vector<std::pair<std::string, std::string>> domains;  // where, domain
  for (const char* header : {"From", "Reply-To", "Sender", "Return-Path"})
    if (const std::string_view* v = FirstValue(fields, header)) domains.emplace_back(header, DomainOf(AddressOf(*v)));
  const std::vector<TLink> links = FindHtmlLinks(html);
  AddPhishingSigns(fields, fromAddress, fromDomain, links, out);
  for (const TLink& l : links) domains.emplace_back("リンク", UrlHost(l.Href));
  std::set<std::string> seen;
  for (const auto& [where, d] : domains) {
    if (!IsAce(d) || !seen.insert(d).second) continue;
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

  // Authentication.
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

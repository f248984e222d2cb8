// Is the message genuine? What the receiving side wrote about SPF, DKIM,
// DMARC and ARC, the DKIM body hash checked here, the organisational domain
// of a name, and the warning signs of a forged sender. Texts are UTF-8.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mail/html.h"
#include "mail/mailutils.h"
#include "mail/parts.h"

namespace tarvo {

// ---- authres.cpp: Authentication-Results, tag lists ----

// One "method=result" statement of an Authentication-Results field.
struct TAuthMethod {
  std::string Method;  // lower case: spf, dkim, dmarc, arc, compauth ...
  std::string Result;  // lower case: pass, fail, softfail, none ...
  std::string Reason;  // reason= (compauth's code), as written
  std::vector<std::pair<std::string, std::string>> Props;  // "header.d" -> value (name lower case)
  std::string Raw;     // the statement as written, comments dropped

  // The value of a property, or empty.
  [[nodiscard]] std::string Prop(std::string_view name) const;
};

struct TAuthResults {
  std::string AuthServId;  // empty in Microsoft's form, which has none
  int Instance = 0;        // i= of an ARC-Authentication-Results field
  std::vector<TAuthMethod> Methods;
};

// RFC 8601: authserv-id [version] ( "none" / resinfo *( ";" resinfo ) ).
// `arc` reads the "i=N;" that ARC-Authentication-Results puts first.
[[nodiscard]] TAuthResults ParseAuthResults(std::string_view value, bool arc = false);

// Received-SPF: result [comment] *( key=value ; ).
struct TReceivedSpf {
  std::string Result;    // lower case
  std::string Domain;    // of the identity checked
  std::string Identity;  // "mailfrom" or "helo": identity=, else envelope-from= over helo=
};
[[nodiscard]] TReceivedSpf ParseReceivedSpf(std::string_view value);

// RFC 6376 tag=value list; names as written, values with their blanks
// trimmed. A tag without "=" is dropped.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> ParseTagList(std::string_view value);

struct TDkimSignature {
  std::string Domain;      // d=, lower case
  std::string Selector;    // s=
  std::string Algorithm;   // a=, lower case
  std::string HeaderCanon = "simple";  // c= before the "/"
  std::string BodyCanon = "simple";    // c= after it
  std::string Headers;     // h=
  std::string BodyHash;    // bh=, blanks removed
  std::string Signature;   // b=, blanks removed
  std::optional<std::uint64_t> Length;  // l=
  bool LengthValid = true;              // false when l= is not a number
};
[[nodiscard]] TDkimSignature ParseDkimSignature(std::string_view value);

// The domain of an address text: after the last "@", without brackets,
// blanks or a trailing dot, lower case. A text without "@" is taken as a
// domain when it looks like one.
[[nodiscard]] std::string DomainOf(std::string_view address);
// The address and display name (decoded, UTF-8) of the mailbox that sends
// (SenderMailbox); in findings.cpp.
[[nodiscard]] std::string AddressOf(std::string_view value);
[[nodiscard]] std::string DisplayNameOf(std::string_view value);

// ---- dkim.cpp: the DKIM body hash ----

enum class TBodyHash { Unchecked, Match, Mismatch, Broken };  // Broken: bh= is no hash of its algorithm

// The body canonicalised (RFC 6376 3.4.3 simple, 3.4.4 relaxed). Bare LF
// line ends count as CR LF, as they were on the wire.
[[nodiscard]] std::string CanonicalBody(std::string_view body, bool relaxed);
// Hashes the body as the signature says and compares with bh=. Unchecked
// when the algorithm, the canonicalisation or bh= is unknown or unreadable.
// `computed`, when given, receives the hash found (base64).
[[nodiscard]] TBodyHash CheckDkimBodyHash(const TDkimSignature& sig, std::string_view body,
                                          std::string* computed = nullptr);
// Base64 of the body hash the signature would need; "" when it cannot be
// computed (unknown algorithm, l= past the end of the body).
[[nodiscard]] std::string DkimBodyHash(const TDkimSignature& sig, std::string_view body);

// ---- orgdomain.cpp: organisational domains and punycode ----

// The public suffix of a domain by the Public Suffix List (ICANN and
// private rules); the domain is lower case ASCII (A-labels).
[[nodiscard]] std::string PublicSuffix(std::string_view domain);
// The public suffix and one label more; the domain itself when it is a
// public suffix or shorter.
[[nodiscard]] std::string OrganizationalDomain(std::string_view domain);
// RFC 3492 decoding of one label without its "xn--"; nullopt when broken.
[[nodiscard]] std::optional<std::u32string> PunycodeDecode(std::string_view label);
// The domain with every "xn--" label decoded to UTF-8; a broken label stays.
[[nodiscard]] std::string DecodeIdnDomain(std::string_view domain);
// Whether a domain holds a label in punycode ("xn--"), in any case; in findings.cpp.
[[nodiscard]] bool IsAce(std::string_view domain);

// ---- summary of the authentication, in authres.cpp ----

struct TAuthValue {
  std::string Result;  // lower case
  std::string Domain;
  std::string Source;  // the field it came from
  std::string Raw;     // the statement as written
  std::string Identity;  // SPF: "mailfrom" or "helo", the identity Domain is
};

// One result as a field states it, and whether it counts: only what the
// receiving side wrote about this message does (checks/trust.h).
struct TAuthClaim {
  std::string Source;      // Authentication-Results, ARC-Authentication-Results (i=1), Received-SPF, ARC-Seal (i=1)
  std::string AuthServId;  // empty where the field has none
  std::string Method, Result, Domain;
  std::string Raw;
  bool Trusted = false;
  std::string Why;  // why it does not count (Japanese); empty when it does
  std::size_t Field = 0;  // the field's place in the header block, 0 for the top
};

struct TDkimCheck {
  std::string Result = "none";  // from Authentication-Results, else "none"
  std::string Domain, Selector, Algorithm, Canon;
  std::optional<std::uint64_t> Length;
  TBodyHash BodyHash = TBodyHash::Unchecked;
  std::string BodyHashWanted, BodyHashComputed;  // bh= and what the body gives
  bool Checked = true;  // false past the first kMaxDkimChecked signatures
};
// Each signature hashes the whole body: only so many are checked.
constexpr std::size_t kMaxDkimChecked = 50;

struct TAuthentication {
  std::string FromDomain;
  std::optional<TAuthValue> Spf, Dmarc, Arc, CompAuth;
  std::vector<TDkimCheck> Dkim;               // one per DKIM-Signature, in order
  std::vector<TAuthValue> DkimStatements;     // every dkim= of the results read
  std::optional<bool> SpfAligned, DkimAligned;  // null unless the method passed
  bool HasResults = false;  // a result the receiving side wrote was read
  std::string ReceivingOrg;         // organisational domain of the receiving run
  std::vector<TAuthClaim> Claims;   // every result of every field, top first, counted or not
};

// Reads every field of the header block and hashes the body for each
// DKIM-Signature; `body` is the body as stored. Results count only when the
// receiving side wrote them or `trustedIds` names their authserv-id.
[[nodiscard]] TAuthentication GetAuthentication(const THeaderFields& fields, std::string_view body,
                                                const std::vector<std::string>& trustedIds);
// The same with the ids the user trusts (TrustedAuthServIds).
[[nodiscard]] TAuthentication GetAuthentication(const THeaderFields& fields, std::string_view body);

// ---- findings.cpp: warning signs ----

enum class TLevel { Info, Warn, Bad };

struct TFinding {
  std::string Kind;  // reply-to-domain, link-mismatch ...
  TLevel Level = TLevel::Info;
  std::string Text;    // a Japanese sentence
  std::string Detail;  // the values that raised it
};

using TLink = THtmlLink;
// The <a href> links of an HTML text (mail/html.h).
[[nodiscard]] std::vector<TLink> FindHtmlLinks(std::string_view html);
// The host a visible text names ("https://host/...", "www.host", "host.tld"),
// lower case, or empty when it names none.
[[nodiscard]] std::string HostShownIn(std::string_view text);
// The host of an http(s) URL, lower case, or empty.
[[nodiscard]] std::string UrlHost(std::string_view url);

[[nodiscard]] std::vector<TFinding> GetFindings(const THeaderFields& fields, const TAuthentication& auth,
                                                std::string_view html);

// The worst level: 問題なし (none above Info), 注意 (Warn), 危険 (Bad).
[[nodiscard]] TLevel VerdictLevel(const std::vector<TFinding>& findings);
[[nodiscard]] const char* LevelName(TLevel level);  // "info", "warn", "bad"
[[nodiscard]] const char* BodyHashName(TBodyHash h);  // "match", "mismatch", "unchecked", "broken"

// ---- attachrisk.cpp: attachments judged by name and content ----

struct TPartRisk {
  TLevel Level = TLevel::Warn;
  std::string Text;   // a Japanese sentence
  std::string Entry;  // the archive entry it is about, or empty
};
// The risks a file name carries (its extensions by one table, double
// extensions, hidden characters) against the type it was declared as.
[[nodiscard]] std::vector<TPartRisk> NameRisks(std::string_view name, std::string_view contentType);
// The name's risks, the content's (a program named as a picture, macros, a
// PDF that acts, a password-protected archive) and each archive entry's.
[[nodiscard]] std::vector<TPartRisk> PartRisks(const TMailPart& part);
// Each part's and entry's warning, and one "attachment-risk" finding per
// risk (at most 20, the rest counted), findings kept worst first.
void JudgeAttachments(TMailParts& parts, std::vector<TFinding>& findings);

// ---- safety.cpp: what the safety page shows ----

struct TSafetyRow {
  std::string Item, Result, Domain, Explanation;  // 項目, 結果, ドメイン, 説明
};
// One row per check: SPF, each DKIM signature, DMARC, ARC, compauth.
[[nodiscard]] std::vector<TSafetyRow> AuthenticationRows(const TAuthentication& auth);
// The verdict line: 問題なし, 注意 or 危険 with a short sentence.
[[nodiscard]] std::string VerdictSentence(TLevel level);
// The banner over the safety page: the level, its sentence and where the
// level comes from (the findings that raised it). A message whose only
// concern is that no receiver wrote results is neutral: it cannot be judged.
struct TBanner {
  TLevel Level = TLevel::Info;
  bool Neutral = false;
  std::string Sentence, Source;
};
[[nodiscard]] TBanner VerdictBanner(const TAuthentication& auth, const std::vector<TFinding>& findings);

}  // namespace tarvo

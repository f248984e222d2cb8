// Received fields (RFC 5321 4.4). The relay that handed the message over
// is named in the "from" clause: the name it gave (its HELO), then the
// comments the receiving server adds, most often the TCP-info comment
// "(reverse-name [address])". Real servers fold the field anywhere, so the
// clause is read over the whole field, not line by line.
#include <algorithm>
#include <cstdint>

#include "base/ascii.h"
#include "base/bytes.h"
#include "jcode/iptext.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

const char* const MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void SetSpecial(TReceivedList& entry, const char* serverName) {
  entry.ServerName = serverName;
  entry.Host.clear();
  entry.IP.clear();
}

bool IsQmailField(std::string_view upper) {
  return MbcsContains(upper, "QMAIL") && MbcsContains(upper, "INVOKED");
}

// A mailbox in angle brackets ("for <x@hotmail.com>", "envelope-from <...>")
// names a user, not a server: blanked before looking for a web-mail domain.
std::string WithoutMailboxes(std::string line) {
  bool inside = false;
  for (char& c : line) {
    if (c == '<') inside = true;
    else if (c == '>') inside = false;
    else if (inside) c = ' ';
  }
  return line;
}

// Web-mail and qmail fields name no relay. The field is judged once, as a
// whole: where a server folded it must not change the answer.
const char* SpecialCase(std::string_view joined) {
  const std::string upper = UpperCase(joined);
  const char* found = nullptr;
  if (MbcsFind(upper, "FROM") != std::string::npos) {
    const std::string servers = WithoutMailboxes(upper);
    if (MbcsContains(servers, "HOTMAIL.COM") && MbcsContains(upper, "WITH")) found = "hotmail.com";
    if (MbcsContains(servers, "MSN.COM")) found = "msn.com";
  }
  if (IsQmailField(upper)) found = "qmail";
  return found;
}

// The field with each line break as one blank (the blanks that fold the
// next line stay, and are blanks too).
std::string JoinFoldedLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

// One piece of the field outside comments: a word, a comment (its text
// without the outer parentheses), or the ";" before the date.
struct TItem {
  enum Kind { kWord, kComment, kSemicolon } kind;
  std::string_view text;
};

// Comments nest and may quote a character with a backslash; one left open
// runs to the end of the field.
class TFieldScanner {
 public:
  explicit TFieldScanner(std::string_view s) : rest_(s) {}

  bool Next(TItem& item) {
    while (!rest_.empty() && IsWsp(rest_.front())) rest_.remove_prefix(1);
    if (rest_.empty()) return false;
    if (rest_.front() == ';') {
      item = {TItem::kSemicolon, rest_.substr(0, 1)};
      rest_.remove_prefix(1);
    } else if (rest_.front() == '(') {
      item = {TItem::kComment, ReadComment(rest_)};
    } else {
      item = {TItem::kWord, ReadUntil(rest_, "(;")};
    }
    return true;
  }

 private:
  std::string_view rest_;
};

// Words that end the from clause (RFC 5321 4.4 and what follows it).
bool EndsFromClause(const TItem& item) {
  if (item.kind == TItem::kSemicolon) return true;
  if (item.kind != TItem::kWord) return false;
  for (std::string_view k : {"BY", "WITH", "ID", "VIA", "FOR"})
    if (EqualsNoCase(item.text, k)) return true;
  return false;
}

// The address a word names: "1.2.3.4", "[1.2.3.4]", "[1.2.3.4]:port",
// "[IPv6:2001:db8::1]", "user@1.2.3.4", "fe80::1%eth0". Never the value of
// "name=value" (a port, a HELO word, an ident).
std::string_view WordAddress(std::string_view w) {
  if (w.find('=') != std::string_view::npos) return {};
  const std::size_t at = w.rfind('@');
  if (at != std::string_view::npos) w.remove_prefix(at + 1);
  if (!w.empty() && w.front() == '[') {
    w.remove_prefix(1);
    w = w.substr(0, w.find(']'));
  }
  return AddressCore(w);
}

// What one comment says: the host name it starts with and the first
// address in it. A HELO comment names what the client claimed to be; its
// address, if any, is no proof of where the client connected from.
struct TCommentInfo {
  std::string_view name, address;
  bool helo = false;
};

TCommentInfo ReadClauseComment(std::string_view c) {
  TCommentInfo info;
  bool first = true;
  std::size_t i = 0;
  while (i < c.size()) {
    const auto sep = [](char ch) { return IsWsp(ch) || ch == '(' || ch == ')' || ch == ','; };
    while (i < c.size() && sep(c[i])) ++i;
    const std::size_t from = i;
    while (i < c.size() && !sep(c[i])) ++i;
    const std::string_view w = c.substr(from, i - from);
    if (w.empty()) break;
    if (first && !info.helo && (EqualsNoCase(w, "HELO") || EqualsNoCase(w, "EHLO"))) {
      info.helo = true;
      continue;
    }
    const std::string_view address = WordAddress(w);
    if (first) {
      first = false;
      if (address.empty() && w.find('=') == std::string_view::npos && w.front() != '[') {
        const std::size_t at = w.rfind('@');
        info.name = at == std::string_view::npos ? w : w.substr(at + 1);
      }
    }
    if (!info.helo && info.address.empty()) info.address = address;
  }
  return info;
}

}  // namespace

namespace {

// The receiving side: "by" host and the "with" protocol, outside comments
// and before the date. The protocol is the words up to the next clause or
// comment: "ESMTPS", "esmtps", "local", "Microsoft SMTP Server".
void ParseByWith(std::string_view joined, TReceivedList& entry) {
  TFieldScanner scan(joined);
  TItem item{};
  bool more = scan.Next(item);
  bool haveBy = false, haveWith = false;
  while (more && item.kind != TItem::kSemicolon) {
    const bool by = !haveBy && item.kind == TItem::kWord && EqualsNoCase(item.text, "BY");
    const bool with = !haveWith && item.kind == TItem::kWord && EqualsNoCase(item.text, "WITH");
    more = scan.Next(item);
    if (by && more && item.kind == TItem::kWord && !EndsFromClause(item)) {
      haveBy = true;
      entry.By = std::string(item.text);
      more = scan.Next(item);
    } else if (with) {
      haveWith = true;
      std::string protocol;
      for (; more && item.kind == TItem::kWord && !EndsFromClause(item) && !EqualsNoCase(item.text, "FROM");
           more = scan.Next(item))
        protocol.append(protocol.empty() ? "" : " ").append(item.text);
      entry.With = std::move(protocol);
    }
  }
}

}  // namespace

void ParseReceivedField(std::string_view text, TReceivedList& entry) {
  const std::string joinedAll = JoinFoldedLines(text);
  ParseByWith(joinedAll, entry);
  if (const char* special = SpecialCase(joinedAll)) {
    SetSpecial(entry, special);
    return;
  }
  TFieldScanner scan(joinedAll);
  TItem item{};
  // The clause is "from" as the field's first word; comments may stand
  // before it. A "from" anywhere else ("by x (Postfix, from userid 0)",
  // "envelope-from") names no relay.
  bool more = scan.Next(item);
  while (more && item.kind == TItem::kComment) more = scan.Next(item);
  if (!more || item.kind != TItem::kWord || !EqualsNoCase(item.text, "FROM")) return;

  std::string_view server;
  std::vector<TCommentInfo> comments;
  std::vector<std::string_view> words;
  more = scan.Next(item);
  if (more && item.kind == TItem::kWord && !EndsFromClause(item)) {
    server = item.text;
    more = scan.Next(item);
  }
  for (; more && !EndsFromClause(item); more = scan.Next(item)) {
    if (item.kind == TItem::kComment) comments.push_back(ReadClauseComment(item.text));
    else words.push_back(item.text);
  }

  // The address the relay connected from: the receiving server's comment
  // first, then an address written after the name, then the name itself.
  const TCommentInfo* source = nullptr;
  std::string_view address;
  for (const TCommentInfo& c : comments) {
    if (!c.address.empty()) {
      source = &c;
      address = c.address;
      break;
    }
  }
  for (std::size_t k = 0; address.empty() && k < words.size(); ++k) address = WordAddress(words[k]);
  if (address.empty()) address = WordAddress(server);

  // The reverse-DNS name beside the address, else what the first comment
  // names (after a HELO word, the name the client gave).
  std::string_view host;
  if (source != nullptr) host = source->name;
  if (host.empty() && !comments.empty()) host = comments.front().name;

  entry.ServerName = std::string(server);
  entry.Host = std::string(host);
  entry.IP = std::string(address);
}

std::int32_t GetReceivedLists(const THeaderFields& fields, TReceivedLists& lists) {
  lists.clear();
  for (const THeaderField* f : FindFields(fields, "Received")) {
    TReceivedList& entry = lists.emplace_back();
    // The field's lines, each ended by CR LF; the first without its
    // trailing blanks.
    THeaderLines lines(f->Raw);
    std::string_view line;
    lines.Next(line);
    entry.ReceivedText.append(TrimControlsEnd(line)).append("\r\n");
    while (lines.Next(line)) entry.ReceivedText.append(line).append("\r\n");
    ParseReceivedField(entry.ReceivedText, entry);
  }
  return static_cast<std::int32_t>(lists.size());
}

std::string ExtractReceivedDate(std::string_view text) {
  const std::string joined = JoinFoldedLines(text);
  // Every ";" outside comments, then every ";" at all (a comment left open
  // hides them); the last that a date follows wins.
  std::vector<std::size_t> semis, raw;
  TFieldScanner scan(joined);
  for (TItem item{}; scan.Next(item);)
    if (item.kind == TItem::kSemicolon) semis.push_back(static_cast<std::size_t>(item.text.data() - joined.data()));
  for (std::size_t p = joined.find(';'); p != std::string::npos; p = joined.find(';', p + 1)) raw.push_back(p);
  // A handful of tries from the end: a field of many ";" costs no more.
  constexpr std::size_t kTries = 8;
  for (const auto* list : {&semis, &raw})
    for (std::size_t k = 0; k < std::min(kTries, list->size()); ++k) {
      std::string date = Trim(std::string_view(joined).substr((*list)[list->size() - 1 - k] + 1));
      if (ParseMailDate(date).Valid) return date;
    }
  if (raw.empty()) return {};
  return Trim(std::string_view(joined).substr((semis.empty() ? raw.back() : semis.back()) + 1));
}

namespace {

// Words cut at every space (0x20 only), commas removed, empty words kept.
std::vector<std::string> DateWords(std::string_view text) {
  std::vector<std::string> words(1);
  for (char c : text) {
    if (c == ' ') words.emplace_back();
    else if (c != ',') words.back() += c;
  }
  return words;
}

}  // namespace

std::string FormatMailDate(std::string_view text) {
  if (text.empty()) return {};
  // Unsigned 16-bit, as the original record held them: -999 prints as 64537.
  std::uint16_t year = 1, month = 1, day = 1;
  std::string time;
  for (const std::string& w : DateWords(text)) {
    if (w.empty()) continue;
    const std::string u = UpperCase(w);
    for (int m = 0; m < 12; ++m) {
      if (u == UpperCase(MonthNames[m])) {
        month = static_cast<std::uint16_t>(m + 1);
        break;
      }
    }
    const std::int32_t n = StrToIntDef(w, -1);
    if (w.size() == 4 && n != -1) year = static_cast<std::uint16_t>(n);
    if (w.size() <= 2 && n != -1) day = static_cast<std::uint16_t>(n);
    if (MbcsContains(w, ":")) time = w;
  }
  return IntToStr(year) + "/" + TwoDigitNumber(month) + "/" + TwoDigitNumber(day) + " " + time;
}

}  // namespace tarvo

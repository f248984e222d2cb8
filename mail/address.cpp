// Address fields (RFC 5322 3.4): a list of mailboxes and groups.
//   address-list = address *("," address)
//   address      = mailbox / group
//   mailbox      = name-addr / bare address   name-addr = [display-name] angle-addr
//   group        = display-name ":" [mailbox-list] ";"
// Real mail also writes the old "addr (Name)" form, where the comment is the
// name, and raw 8-bit names; both are read here. Nothing is ever an error:
// an unclosed quote, comment or angle takes the rest of the value.
#include <algorithm>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "base/bytes.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

constexpr TTextUnits kUnits = TTextUnits::RawJapanese;

// One mailbox as it is read: the display name as written (quotes undone,
// blanks folded), the bare address outside angles, comments, the angle-addr.
struct TMailboxText {
  std::string phrase, bare, comments, angle;
  bool angleSeen = false;
  // Where the last word outside angles begins, in `bare` and `phrase`: for
  // the "Name addr@host" that some mailers write without angles.
  std::size_t bareWord = 0, phraseWord = 0;

  // The display name is what stands before the angle-addr.
  void AddPhrase(std::string_view text) {
    if (!angleSeen) phrase += text;
  }
  void AddBlank() {
    if (!phrase.empty() && phrase.back() != ' ') AddPhrase(" ");
    if (bareWord != bare.size()) {
      bareWord = bare.size();
      phraseWord = phrase.size();
    }
  }
  void Clear() { *this = TMailboxText{}; }
};

// "To: staff": one bare atom is a local address (mail clients read it so),
// where quotes, blanks or 8-bit text make a name.
bool IsLocalPartAlone(const TMailboxText& m) {
  return !m.bare.empty() && (m.bareWord == 0 || m.bareWord == m.bare.size()) &&
         std::all_of(m.bare.begin(), m.bare.end(), [](char c) { return IsAtext(c) || c == '.'; });
}

void Finish(TMailboxText& m, std::vector<TMailAddress>& out) {
  TMailAddress a;
  if (m.angleSeen) {
    a.Name = Trim(DecodeHeaderTextUtf8(TrimFwsEnd(m.phrase)));
    a.Address = Trim(m.angle);
  } else if (!m.bare.empty() || !m.comments.empty()) {
    const std::string_view head = std::string_view(m.bare).substr(0, m.bareWord);
    const std::string_view tail = std::string_view(m.bare).substr(m.bareWord);
    if (!head.empty() && tail.find('@') != std::string_view::npos && head.find('@') == std::string_view::npos) {
      a.Name = Trim(DecodeHeaderTextUtf8(TrimFwsEnd(std::string_view(m.phrase).substr(0, m.phraseWord))));
      a.Address = tail;
    } else if (m.bare.find('@') == std::string::npos && !IsLocalPartAlone(m)) {
      // Words without an address ("\"Drew Fossum\"", "{{ postmaster }}", a
      // raw JIS phrase, a lone comment) are a name, blanks kept; the address
      // stays empty.
      a.Name = Trim(DecodeHeaderTextUtf8(TrimFwsEnd(m.phrase)));
    } else {
      a.Name = Trim(DecodeHeaderTextUtf8(m.comments));
      a.Address = std::move(m.bare);
    }
  }
  if (!a.Address.empty() || !a.Name.empty()) out.push_back(std::move(a));
  m.Clear();
}

}  // namespace

std::vector<TMailAddress> SplitMailAddresses(std::string_view s) {
  std::vector<TMailAddress> out;
  TMailboxText m;
  bool inGroup = false;
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t n = UnitLength(s, i, kUnits);
    if (n > 1) {
      m.AddPhrase(s.substr(i, n));
      m.bare.append(s.substr(i, n));
      i += n;
      continue;
    }
    const char c = s[i++];
    if (IsFws(c)) {
      m.AddBlank();
    } else if (c == '"') {
      std::string_view rest = s.substr(i - 1);
      const std::string q = ReadQuoted(rest, kUnits);
      i = s.size() - rest.size();
      m.AddPhrase(q);
      m.bare += '"' + q + '"';
    } else if (c == '(') {
      std::string_view rest = s.substr(i - 1);
      const std::string comment = UndoQuotedPairs(ReadComment(rest, kUnits), kUnits);
      i = s.size() - rest.size();
      m.AddPhrase('(' + comment + ')');
      if (!m.comments.empty()) m.comments += ' ';
      m.comments += comment;
    } else if (c == '<') {
      const std::size_t gt = s.find('>', i);
      m.angle = s.substr(i, gt == std::string_view::npos ? std::string_view::npos : gt - i);
      m.angleSeen = true;
      i = gt == std::string_view::npos ? s.size() : gt + 1;
    } else if (c == ',') {
      Finish(m, out);
    } else if (c == ':' && !inGroup && !m.angleSeen && m.bare.find('@') == std::string::npos) {
      inGroup = true;  // the group's name is not an address
      m.Clear();
    } else if (c == ';' && inGroup) {
      Finish(m, out);
      inGroup = false;
    } else {
      m.AddPhrase(std::string_view(&c, 1));
      m.bare += c;
    }
  }
  Finish(m, out);
  return out;
}

TMailAddress SenderMailbox(std::string_view value) {
  std::vector<TMailAddress> all = SplitMailAddresses(value);
  const auto hasAt = [](const TMailAddress& a) { return a.Address.find('@') != std::string::npos; };
  auto it = std::find_if(all.begin(), all.end(), hasAt);
  // "Facebook ,_<a@b>": the words an unquoted comma cut off belong to the
  // name. With no full address, every other word is name.
  auto end = it == all.end() ? all.end() : it + 1;
  if (it == all.end()) it = std::find_if(all.begin(), all.end(), [](const TMailAddress& a) { return !a.Address.empty(); });
  TMailAddress out;
  if (it != all.end()) out.Address = it->Address;
  for (auto w = all.begin(); w != end; ++w) {
    const std::string& word = w == it || !w->Name.empty() ? w->Name : w->Address;
    if (!word.empty()) out.Name += (out.Name.empty() ? "" : ", ") + word;
  }
  return out;
}

TMailAddress SplitMailAddress(std::string_view value) {
  std::vector<TMailAddress> all = SplitMailAddresses(value);
  if (all.empty()) return {};
  return std::move(all.front());
}

}  // namespace tarvo

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

#include "base/bytes.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes from i that form one unit no special character can split: a
// Shift-JIS pair whose trail byte is ASCII ('\\', '@', '[' and ']' are trail
// bytes there), or a raw JIS two-byte run up to the escape that ends it.
// UTF-8 never puts an ASCII byte after a lead byte, so it is not disturbed.
std::size_t UnitLength(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c == 0x1B) {
    std::size_t j = std::min(i + 3, s.size());  // the escape sequence
    if (s.substr(i + 1, 1) == "$")
      while (j < s.size() && !(s[j] == 0x1B && s.substr(j + 1, 1) == "(")) ++j;
    return std::min(j + (j < s.size() ? 3 : 0), s.size()) - i;
  }
  if (IsCp932LeadByte(c) && i + 1 < s.size()) {
    const auto t = static_cast<unsigned char>(s[i + 1]);
    if (t >= 0x40 && t <= 0x7E) return 2;
  }
  return 1;
}

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

// The content of a quoted string or comment starting after its opener at i;
// i ends after the closer. Comments nest; a backslash takes the next byte.
std::string ReadDelimited(std::string_view s, std::size_t& i, char open, char close) {
  std::string out;
  int depth = 1;
  while (i < s.size()) {
    const std::size_t n = UnitLength(s, i);
    if (n > 1) {
      out.append(s.substr(i, n));
      i += n;
      continue;
    }
    const char c = s[i++];
    if (c == '\\') {
      if (i < s.size()) out += s[i++];
      continue;
    }
    if (c == close && --depth == 0) break;
    if (c == open && open != close) ++depth;
    out += c;
  }
  return out;
}

// The phrase never begins with a blank; at its end one may stand. (Trim
// would also take the ESC that begins raw ISO-2022-JP text.)
std::string_view TrimEnd(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

void Finish(TMailboxText& m, std::vector<TMailAddress>& out) {
  TMailAddress a;
  if (m.angleSeen) {
    a.Name = Trim(DecodeHeaderTextUtf8(TrimEnd(m.phrase)));
    a.Address = Trim(m.angle);
  } else if (!m.bare.empty()) {
    const std::string_view head = std::string_view(m.bare).substr(0, m.bareWord);
    const std::string_view tail = std::string_view(m.bare).substr(m.bareWord);
    if (!head.empty() && tail.find('@') != std::string_view::npos && head.find('@') == std::string_view::npos) {
      a.Name = Trim(DecodeHeaderTextUtf8(TrimEnd(std::string_view(m.phrase).substr(0, m.phraseWord))));
      a.Address = tail;
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
    const std::size_t n = UnitLength(s, i);
    if (n > 1) {
      m.AddPhrase(s.substr(i, n));
      m.bare.append(s.substr(i, n));
      i += n;
      continue;
    }
    const char c = s[i++];
    if (IsBlank(c)) {
      m.AddBlank();
    } else if (c == '"') {
      const std::string q = ReadDelimited(s, i, '"', '"');
      m.AddPhrase(q);
      m.bare += '"' + q + '"';
    } else if (c == '(') {
      const std::string comment = ReadDelimited(s, i, '(', ')');
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

TMailAddress SplitMailAddress(std::string_view value) {
  std::vector<TMailAddress> all = SplitMailAddresses(value);
  if (all.empty()) return {};
  return std::move(all.front());
}

}  // namespace tarvo

// Received fields: a character scanner, not a grammar. It looks for FROM
// anywhere in a line and takes up to three words after it.
#include <cstdint>

#include "base/bytes.h"
#include "jcode/DString.h"
#include "mail/mailutils.h"

namespace tarvo {

const char* const MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

namespace {

constexpr std::string_view kFieldName = "RECEIVED:";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A cursor over one line; a position past the end holds no character.
struct TLineCursor {
  std::string_view L;
  std::size_t i = 0;

  bool AtEnd() const { return i >= L.size(); }
  bool Is(char c) const { return !AtEnd() && L[i] == c; }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(L[i])) ++i;
  }
  // Collects up to a blank or one of `stops`; false when the line ended first.
  bool Collect(std::string_view stops, std::string& word) {
    const std::size_t from = i;
    while (!AtEnd() && !IsBlank(L[i]) && stops.find(L[i]) == std::string_view::npos) ++i;
    word = std::string(L.substr(from, i - from));
    return !AtEnd();
  }
};

void SetSpecial(TReceivedList& entry, const char* serverName) {
  entry.ServerName = serverName;
  entry.Host.clear();
  entry.IP.clear();
}

bool IsQmailLine(std::string_view upper) {
  return MbcsContains(upper, "QMAIL") && MbcsContains(upper, "INVOKED");
}

// Web-mail and qmail lines name no relay; a later case overrides an earlier.
bool ApplySpecialCases(std::string_view upper, TReceivedList& entry) {
  bool matched = false;
  if (MbcsContains(upper, "HOTMAIL.COM") && MbcsContains(upper, "WITH")) {
    SetSpecial(entry, "hotmail.com");
    matched = true;
  }
  if (MbcsContains(upper, "MSN.COM")) {
    SetSpecial(entry, "msn.com");
    matched = true;
  }
  if (IsQmailLine(upper)) {
    SetSpecial(entry, "qmail");
    matched = true;
  }
  return matched;
}

// "(" host ... : a HELO or EHLO word is stored, then replaced by the next.
// False when the line ended inside a word.
bool ParseHost(TLineCursor& c, TReceivedList& entry) {
  ++c.i;
  for (;;) {
    std::string word;
    if (!c.Collect("[)", word)) return false;
    const std::string w = Trim(word);
    entry.Host = w;
    ++c.i;  // the stop character, whichever it was
    c.SkipBlanks();
    const std::string u = UpperCase(w);
    if (u != "HELO" && u != "EHLO") return true;
  }
}

}  // namespace

void ParseReceivedLine(std::string_view line, TReceivedList& entry) {
  const std::string upper = UpperCase(line);
  const std::size_t p = MbcsFind(upper, "FROM");
  if (p == std::string::npos) {
    if (IsQmailLine(upper)) SetSpecial(entry, "qmail");
    return;
  }
  if (ApplySpecialCases(upper, entry)) return;

  TLineCursor c{line, p + 5};  // the character right after FROM is passed over
  c.SkipBlanks();
  if (c.AtEnd()) return;

  std::string word;
  if (!c.Collect("(", word)) return;  // a name running to the end is not stored
  entry.ServerName = Trim(word);
  c.SkipBlanks();

  if (c.Is('(') && !ParseHost(c, entry)) return;

  if (c.Is('[') || c.Is('(')) {
    ++c.i;
    if (c.Collect("])", word)) entry.IP = Trim(word);
  }
}

std::int32_t GetReceivedLists(TMemoryStream* envelope, TReceivedLists& lists) {
  lists.clear();
  if (envelope == nullptr || envelope->Size() == 0) return 0;
  TMemoryStream& s = *envelope;
  s.SetPosition(0);

  // The line that ended the previous field is held and used untrimmed.
  bool held = false;
  std::string heldLine;
  do {
    std::string line;
    if (held) {
      line = std::move(heldLine);
      held = false;
    } else {
      line = Trim(ReadStreamLine(s));
    }
    if (UpperCase(std::string_view(line).substr(0, kFieldName.size())) != kFieldName) continue;

    TReceivedList& entry = lists.emplace_back();
    std::vector<std::string> fieldLines{line.substr(kFieldName.size())};
    for (;;) {
      std::string next = ReadStreamLine(s);
      if (!IsContinuationLine(next)) {
        heldLine = std::move(next);
        held = true;
        break;
      }
      fieldLines.push_back(std::move(next));
      if (s.Position() >= s.Size()) break;
    }
    for (const std::string& l : fieldLines) entry.ReceivedText += l + "\r\n";
    for (const std::string& l : fieldLines) ParseReceivedLine(l, entry);
  } while (s.Position() < s.Size() || held);

  s.SetPosition(0);
  return static_cast<std::int32_t>(lists.size());
}

std::string ExtractReceivedDate(std::string_view text) {
  const std::size_t semi = MbcsFind(text, ";");
  if (semi == std::string_view::npos) return {};
  return Trim(text.substr(semi + 1));
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

// The other filters' stamps, each read as its vendor documents it:
//   SpamAssassin: "Mail::SpamAssassin::Conf" (add_header: X-Spam-Status
//     "_YESNO_, score=_SCORE_ required=_REQD_ tests=_TESTS_ autolearn=...
//     version=...", X-Spam-Flag, X-Spam-Level's stars); X-Spam-Score as the
//     integrations (amavis) write it.
//   rspamd: "Milter headers module" (x-spamd-result "default: True [score /
//     required]; SYMBOL(score)[options]; ...", x-rspamd-action, x-spam).
//   Cisco: "Cisco IronPort AsyncOS for Email Configuration Guide: Reputation
//     Filtering" (SenderBase Reputation Score, -10 to +10, or None);
//     X-Amp-Result and X-IronPort-AV are read for their values only.
//   Trend Micro: "What the X-headers of IMSS mean" (KA-0001462: X-TM-AS-Result
//     "Yes/No-score-threshold-category-type"; "--1.8" is a score of -1.8).
//   Proofpoint, Barracuda and Mimecast publish no reference we could read:
//   their fields are named as the stamps write them (Barracuda's levels as its
//   customers' pages describe them), no value is given a meaning beyond the
//   words themselves, and a verdict comes only from the stamp's own words
//   (Yes / No, the rule's name) and Barracuda's score against its own
//   KILL_LEVEL.
#include <charconv>
#include <limits>

#include "base/ascii.h"
#include "checks/filters.h"
#include "checks/filterstamp.h"

namespace tarvo {

namespace {


// A decimal number, or NaN (which every comparison finds false).
double Number(std::string_view s) {
  s = TrimFws(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double d = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::numeric_limits<double>::quiet_NaN();
  return d;
}

double NumberOf(const std::string* text) { return text ? Number(*text) : std::numeric_limits<double>::quiet_NaN(); }

TFilterField NamedField(std::string_view family, std::string_view name, std::string_view value) {
  TFilterField f{std::string(name), std::string(value), std::string(FilterFieldMeaning(family, name)), true};
  if (f.Meaning.empty()) {
    f.Known = false;
    f.Meaning = "この項目は文書に記載がありません（不明）。";
  }
  return f;
}

// A field whose value the table explains under `key`; unknown values are
// marked so. Returns the table's row, if any.
const TFilterMeaning* TableField(TFilterStamp& s, std::string_view name, std::string_view key, std::string_view value) {
  TFilterField f = NamedField(s.Family, name, value);
  const TFilterMeaning* m = FindFilterMeaning(key, TrimFws(value));
  if (m) {
    f.Meaning += " " + std::string(m->Meaning);
  } else {
    f.Known = false;
    f.Meaning += " " + std::string(kUnknownValue);
  }
  s.Fields.push_back(std::move(f));
  return m;
}

TFilterVerdict Verdict(TLevel level, std::string text) { return TFilterVerdict{level, std::move(text), false}; }

std::string Score(double d) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 2);
  return ec == std::errc() ? std::string(buf, end) : std::string();
}

// "Yes, key=value key=value ...": the yes/no word and the pairs. A word
// without "=" continues a value that ends with a comma (a folded list of
// tests); other words ("using per-user scores of") are left out.
struct TStatusLine {
  std::string_view YesNo;
  std::vector<std::pair<std::string_view, std::string>> Pairs;
  [[nodiscard]] const std::string* Get(std::string_view name) const {
    for (const auto& [n, v] : Pairs)
      if (EqualsNoCase(n, name)) return &v;
    return nullptr;
  }
};

TStatusLine ReadStatusLine(std::string_view value) {
  TStatusLine line;
  value = TrimFws(value);
  std::size_t end = 0;
  while (end < value.size() && value[end] != ',' && !IsFws(value[end])) ++end;
  line.YesNo = value.substr(0, end);
  value.remove_prefix(end);
  std::size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && (IsFws(value[i]) || (value[i] == ',' && line.Pairs.empty()))) ++i;
    const std::size_t start = i;
    while (i < value.size() && !IsFws(value[i])) ++i;
    const std::string_view word = value.substr(start, i - start);
    if (word.empty()) break;
    const std::size_t eq = word.find('=');
    if (eq != std::string_view::npos && eq > 0) {
      line.Pairs.emplace_back(word.substr(0, eq), std::string(word.substr(eq + 1)));
    } else if (!line.Pairs.empty() && !line.Pairs.back().second.empty() && line.Pairs.back().second.back() == ',') {
      line.Pairs.back().second += word;
    }
  }
  return line;
}

void SpamAssassinStatus(TFilterStamp& s, std::string_view value) {
  const TStatusLine line = ReadStatusLine(value);
  const TFilterMeaning* yesNo = TableField(s, "status", "flag", line.YesNo);
  for (const auto& [name, v] : line.Pairs) s.Fields.push_back(NamedField(s.Family, name, v));
  const std::string* scoreText = line.Get("score");
  if (!scoreText) scoreText = line.Get("hits");
  const std::string* requiredText = line.Get("required");
  const double score = NumberOf(scoreText), required = NumberOf(requiredText);
  if (!yesNo) return;
  if (yesNo->Level == TLevel::Info) {
    s.Verdict = Verdict(TLevel::Info, "迷惑メールではないと判定しました。");
  } else if (required > 0 && score >= 2 * required) {
    s.Verdict = Verdict(TLevel::Bad, "確度の高い迷惑メールと判定しました（点数 " + Score(score) + " が閾値 " +
                                         Score(required) + " の 2 倍以上）。");
  } else {
    s.Verdict = Verdict(TLevel::Warn, "迷惑メールと判定しました。");
  }
}

void BarracudaStatus(TFilterStamp& s, std::string_view value) {
  const TStatusLine line = ReadStatusLine(value);
  const TFilterMeaning* yesNo = TableField(s, "status", "flag", line.YesNo);
  for (const auto& [name, v] : line.Pairs) s.Fields.push_back(NamedField(s.Family, name, v));
  if (!yesNo) return;
  const double score = NumberOf(line.Get("SCORE")), kill = NumberOf(line.Get("KILL_LEVEL"));
  if (yesNo->Level == TLevel::Info) s.Verdict = Verdict(TLevel::Info, "迷惑メールではないと判定しました。");
  else if (score >= kill) s.Verdict = Verdict(TLevel::Bad, "受信を拒否する点数に達した迷惑メールと判定しました。");
  else s.Verdict = Verdict(TLevel::Warn, "迷惑メールと判定しました。");
}

void RspamdResult(TFilterStamp& s, std::string_view value) {
  // "default: False [1.40 / 15.00]; SYMBOL(0.00)[...]; ..."
  const std::vector<std::string_view> parts = SplitOn(value, ';');
  std::string_view head = TrimFws(parts.empty() ? value : parts.front());
  if (const std::size_t colon = head.find(':'); colon != std::string_view::npos) head.remove_prefix(colon + 1);
  head = TrimFws(head);
  const std::size_t open = head.find('[');
  const std::string_view status = TrimFws(head.substr(0, open));
  const TFilterMeaning* flag = TableField(s, "status", "flag", status);
  double score = Number(""), required = Number("");
  if (open != std::string_view::npos) {
    std::string_view nums = head.substr(open + 1);
    nums = nums.substr(0, nums.find(']'));
    const std::size_t slash = nums.find('/');
    const std::string_view a = TrimFws(nums.substr(0, slash));
    s.Fields.push_back(NamedField(s.Family, "score", a));
    score = Number(a);
    if (slash != std::string_view::npos) {
      const std::string_view b = TrimFws(nums.substr(slash + 1));
      s.Fields.push_back(NamedField(s.Family, "required", b));
      required = Number(b);
    }
  }
  std::string symbols;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string_view sym = TrimFws(parts[i]);
    if (sym.empty()) continue;
    if (!symbols.empty()) symbols += ", ";
    symbols += sym;
  }
  if (!symbols.empty()) s.Fields.push_back(NamedField(s.Family, "symbols", symbols));
  if (!flag) return;
  if (flag->Level == TLevel::Info) s.Verdict = Verdict(TLevel::Info, "迷惑メールではないと判定しました。");
  else if (required > 0 && score >= required)
    s.Verdict = Verdict(TLevel::Bad, "受信を拒否する点数に達した迷惑メールと判定しました。");
  else s.Verdict = Verdict(TLevel::Warn, "迷惑メールと判定しました。");
}

// A single value the table explains, the stamp's verdict its row's.
void TableStamp(TFilterStamp& s, std::string_view name, std::string_view key, std::string_view value) {
  if (const TFilterMeaning* m = TableField(s, name, key, value)) s.Verdict = Verdict(m->Level, std::string(m->Meaning));
}

// "key=value key=value" (Proofpoint) or "key=value;key=\"value\"" (IronPort).
void KeyValues(TFilterStamp& s, std::string_view value, char separator) {
  for (std::string_view item : SplitOn(value, separator)) {
    std::size_t start = 0;
    // Blank-separated lists may hold several pairs in one piece.
    while (start < item.size()) {
      while (start < item.size() && IsFws(item[start])) ++start;
      std::size_t end = start;
      bool quoted = false;
      while (end < item.size() && (quoted || !IsFws(item[end]) || separator != ' ')) {
        if (item[end] == '"') quoted = !quoted;
        ++end;
      }
      std::string_view pair = TrimFws(item.substr(start, end - start));
      start = end;
      const std::size_t eq = pair.find('=');
      if (eq == std::string_view::npos || eq == 0) continue;
      std::string_view v = TrimFws(pair.substr(eq + 1));
      if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
      const std::string_view name = TrimFws(pair.substr(0, eq));
      if (s.Family == "Proofpoint" && name == "rule") {
        TableStamp(s, name, "pp-rule", v);
      } else {
        s.Fields.push_back(NamedField(s.Family, name, v));
      }
    }
  }
}

void TrendMicroResult(TFilterStamp& s, std::string_view value) {
  const std::vector<std::string_view> parts = SplitOn(TrimFws(value), '-');
  if (parts.empty()) return;
  const TFilterMeaning* flag = TableField(s, "status", "flag", parts.front());
  // The numbers after it; an empty piece is the minus sign of the next.
  static constexpr std::string_view kNames[] = {"score", "threshold", "category", "type"};
  std::size_t n = 0;
  const TFilterMeaning* type = nullptr;
  for (std::size_t i = 1; i < parts.size() && n < std::size(kNames); ++i) {
    std::string number(TrimFws(parts[i]));
    if (number.empty() && i + 1 < parts.size()) number = "-" + std::string(TrimFws(parts[++i]));
    if (kNames[n] == "type") type = TableField(s, "type", "tm-type", number);
    else s.Fields.push_back(NamedField(s.Family, kNames[n], number));
    ++n;
  }
  if (!flag) return;
  if (flag->Level == TLevel::Info) s.Verdict = Verdict(TLevel::Info, "迷惑メールではないと判定しました。");
  else if (type && type->Level == TLevel::Bad) s.Verdict = Verdict(TLevel::Bad, std::string(type->Meaning));
  else s.Verdict = Verdict(TLevel::Warn, "迷惑メールと判定しました。");
}

using TStampReader = void (*)(TFilterStamp& s, std::string_view value);

void SpamFlag(TFilterStamp& s, std::string_view v) { TableStamp(s, "status", "flag", v); }
void Score(TFilterStamp& s, std::string_view v) { s.Fields.push_back(NamedField(s.Family, "score", v)); }

void SpamAssassinLevel(TFilterStamp& s, std::string_view v) {
  TFilterField f = NamedField(s.Family, "level", v);
  if (!v.empty() && v.find_first_not_of('*') == std::string_view::npos)
    f.Meaning += "ここでは " + std::to_string(v.size()) + " 点以上です。";
  s.Fields.push_back(std::move(f));
}

// Each header these filters write, whose it is and how it reads.
struct TOtherHeader {
  const char* Header;
  const char* Family;
  TStampReader Read;
};
const TOtherHeader kOtherHeaders[] = {
    {"X-Spam-Status", "SpamAssassin", SpamAssassinStatus},
    {"X-Spam-Flag", "SpamAssassin", SpamFlag},
    {"X-Spam-Score", "SpamAssassin", Score},
    {"X-Spam-Level", "SpamAssassin", SpamAssassinLevel},
    {"X-Spamd-Result", "rspamd", RspamdResult},
    {"X-Rspamd-Action", "rspamd", [](TFilterStamp& s, std::string_view v) { TableStamp(s, "action", "rspamd-action", v); }},
    {"X-Spam", "rspamd", SpamFlag},
    {"X-IronPort-AV", "Cisco", [](TFilterStamp& s, std::string_view v) { KeyValues(s, v, ';'); }},
    {"X-SBRS", "Cisco", [](TFilterStamp& s, std::string_view v) { s.Fields.push_back(NamedField(s.Family, "SBRS", v)); }},
    {"X-Amp-Result", "Cisco", [](TFilterStamp& s, std::string_view v) { TableStamp(s, "amp", "amp", v); }},
    {"X-Proofpoint-Spam-Details", "Proofpoint", [](TFilterStamp& s, std::string_view v) { KeyValues(s, v, ' '); }},
    {"X-Barracuda-Spam-Score", "Barracuda",
     [](TFilterStamp& s, std::string_view v) { s.Fields.push_back(NamedField(s.Family, "SCORE", v)); }},
    {"X-Barracuda-Spam-Status", "Barracuda", BarracudaStatus},
    {"X-Barracuda-Spam-Flag", "Barracuda", SpamFlag},
    {"X-TM-AS-Result", "Trend Micro", TrendMicroResult},
    {"X-Mimecast-Spam-Score", "Mimecast", Score},
};

}  // namespace

std::optional<TFilterStamp> ReadOtherStamp(std::string_view name, std::string_view value) {
  TFilterStamp s;
  s.Header = std::string(TrimFws(name));
  for (const TOtherHeader& h : kOtherHeaders)
    if (EqualsNoCase(s.Header, h.Header)) {
      s.Family = h.Family;
      h.Read(s, TrimFws(value));
      return s;
    }
  return std::nullopt;
}

}  // namespace tarvo

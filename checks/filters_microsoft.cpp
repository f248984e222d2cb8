// Microsoft 365's stamps, read as Microsoft's documents describe them:
// "Anti-spam message headers" (message-headers-eop-mdo) for
// X-Forefront-Antispam-Report, X-Microsoft-Antispam and compauth's reason;
// "Spam confidence level" for SCL; "Bulk complaint level values" for BCL;
// Exchange Server's "Antispam stamps" for X-MS-Exchange-Organization-PCL.
// X-Microsoft-Antispam-Mailbox-Delivery is in none of them: it is read only
// for the folder it names and said to be undocumented.
#include <algorithm>

#include "base/ascii.h"
#include "checks/filters.h"
#include "checks/filterstamp.h"

namespace tarvo {

namespace {


constexpr std::string_view kFamily = "Microsoft 365";
constexpr std::string_view kDiagnostic = "Microsoft の迷惑メール対策チームが診断に使う値です（意味は公開されていません）。";
constexpr std::string_view kUndocumented = "Microsoft が公開していない値です。";

// Names whose values the table explains.
bool HasValueTable(std::string_view name) {
  for (std::string_view n : {"SCL", "SFV", "CAT", "SFTY", "SRV", "IPV", "DIR", "BCL", "PCL", "dest"})
    if (n == name) return true;
  return false;
}

// One "NAME:value" of a Microsoft stamp into a field.
TFilterField MicrosoftField(std::string_view name, std::string_view value, bool undocumented) {
  TFilterField f{std::string(name), std::string(value), {}, true};
  if (HasValueTable(name)) {
    if (const TFilterMeaning* m = FindFilterMeaning(name, value)) {
      f.Meaning = std::string(FilterFieldMeaning(kFamily, name)) + " " + std::string(m->Meaning);
      return f;
    }
    f.Known = false;
    f.Meaning = std::string(FilterFieldMeaning(kFamily, name)) + " " + std::string(kUnknownValue);
    return f;
  }
  const std::string_view meaning = FilterFieldMeaning(kFamily, name);
  if (!meaning.empty()) {
    f.Meaning = meaning;
    return f;
  }
  f.Known = false;
  f.Meaning = undocumented ? kUndocumented : kDiagnostic;
  return f;
}

// "NAME:value;NAME:value;..." in order; empty values are left out.
void ReadPairs(std::string_view value, bool undocumented, TFilterStamp& stamp) {
  for (std::string_view item : SplitOn(value, ';')) {
    item = TrimFws(item);
    const std::size_t colon = item.find(':');
    if (colon == std::string_view::npos || colon == 0) continue;
    const std::string_view name = TrimFws(item.substr(0, colon)), v = TrimFws(item.substr(colon + 1));
    if (v.empty()) continue;
    stamp.Fields.push_back(MicrosoftField(name, v, undocumented));
  }
}

}  // namespace

std::optional<TFilterStamp> ReadMicrosoftStamp(std::string_view name, std::string_view value) {
  TFilterStamp s;
  s.Family = kFamily;
  s.Header = std::string(TrimFws(name));
  const std::string_view v = TrimFws(value);
  if (EqualsNoCase(s.Header, "X-MS-Exchange-Organization-SCL")) {
    s.Fields.push_back(MicrosoftField("SCL", v, false));
  } else if (EqualsNoCase(s.Header, "X-MS-Exchange-Organization-PCL")) {
    s.Fields.push_back(MicrosoftField("PCL", v, false));
  } else if (EqualsNoCase(s.Header, "X-Forefront-Antispam-Report") ||
             EqualsNoCase(s.Header, "X-Forefront-Antispam-Report-Untrusted") ||
             EqualsNoCase(s.Header, "X-Microsoft-Antispam") || EqualsNoCase(s.Header, "X-Microsoft-Antispam-Untrusted")) {
    ReadPairs(v, false, s);
  } else if (EqualsNoCase(s.Header, "X-Microsoft-Antispam-Mailbox-Delivery")) {
    s.Undocumented = true;
    ReadPairs(v, true, s);
  } else {
    return std::nullopt;
  }
  for (const TFilterField& f : s.Fields)
    if (f.Name == "DIR" && EqualsNoCase(f.Value, "OUT")) s.Outbound = true;
  // The verdict: the worst value the stamp holds, the categories first, as
  // they name the threat; a skip said by any field.
  static constexpr std::string_view kOrder[] = {"CAT", "SFTY", "SCL", "SFV", "SRV", "BCL", "PCL", "dest", "IPV"};
  const TFilterMeaning* worst = nullptr;
  const TFilterMeaning* skip = nullptr;
  for (std::string_view key : kOrder)
    for (const TFilterField& f : s.Fields) {
      if (f.Name != key) continue;
      const TFilterMeaning* m = FindFilterMeaning(key, f.Value);
      if (!m) continue;
      if (!worst || m->Level > worst->Level) worst = m;
      if (m->Skip && !skip) skip = m;
    }
  if (worst) s.Verdict = MakeVerdict(*worst, skip);
  if (s.Verdict && s.Undocumented) s.Verdict->Text += "（この欄は Microsoft が公開していない形式です）";
  return s;
}

std::string CompAuthReasonMeaning(std::string_view code) {
  code = TrimFws(code);
  if (code.size() != 3 || !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return {};
  if (code == "000") return "明示的な認証に失敗しました（DMARC が失敗し、ドメインの方針が quarantine か reject）。";
  if (code == "001") return "暗黙の認証に失敗しました（ドメインが認証の設定を公開していないか、弱い方針しかない）。";
  if (code == "002") return "組織の管理者が、この差出人とドメインの組み合わせのなりすまし送信を禁止しています。";
  if (code == "010") return "DMARC が失敗し、差出人のドメインは受信側の組織自身のドメインです（組織内を装ったなりすまし）。";
  if (code == "130") return "認証に合格しました（ARC の記録を使って DMARC の失敗を覆しました）。";
  switch (code[0]) {
    case '1':
    case '7': return "認証に合格しました（下 2 桁は Microsoft 内部の番号です）。";
    case '2': return "暗黙の認証に弱く合格しました（softpass。下 2 桁は Microsoft 内部の番号です）。";
    case '3': return "複合認証の検査をしていません。";
    case '4':
    case '9': return "複合認証を省略しました（下 2 桁は Microsoft 内部の番号です）。";
    case '6': return "暗黙の認証に失敗し、差出人のドメインは受信側の組織自身のドメインです（組織内を装ったなりすまし）。";
    default: return {};
  }
}

}  // namespace tarvo

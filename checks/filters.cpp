// The filters' stamps of one message: whose each is, and what the receiving
// side's say about the message.
#include <algorithm>

#include "base/ascii.h"
#include "checks/filters.h"
#include "checks/filterstamp.h"
#include "checks/trust.h"
#include "jcode/charset.h"

namespace tarvo {


std::vector<std::string_view> SplitOn(std::string_view s, char separator) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= s.size(); ++i)
    if (i == s.size() || s[i] == separator) {
      out.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  return out;
}

TFilterVerdict MakeVerdict(const TFilterMeaning& worst, const TFilterMeaning* skip) {
  TFilterVerdict v{worst.Level, std::string(worst.Meaning), skip != nullptr};
  if (skip && skip != &worst) v.Text += " " + std::string(skip->Meaning);
  return v;
}

std::optional<TFilterStamp> ReadFilterStamp(std::string_view name, std::string_view value) {
  if (auto s = ReadMicrosoftStamp(name, value)) return s;
  return ReadOtherStamp(name, value);
}

namespace {

bool EndsUntrusted(std::string_view name) {
  constexpr std::string_view kSuffix = "-Untrusted";
  return name.size() > kSuffix.size() && EqualsNoCase(name.substr(name.size() - kSuffix.size()), kSuffix);
}

// The sending side's stamps of a message cap what is kept of them; a
// message can carry any number.
constexpr std::size_t kMaxStamps = 64;

}  // namespace

TFilterContext FilterContextOf(const THeaderFields& fields) {
  const TTrustBoundary boundary(fields);
  TFilterContext c;
  c.ReceiverWrote.resize(fields.size());
  for (std::size_t i = 0; i < fields.size(); ++i) c.ReceiverWrote[i] = boundary.IsReceiverWritten(i);
  c.MicrosoftReceiver = boundary.IsMicrosoft();
  return c;
}

std::vector<TFilterStamp> ReadFilterStamps(const THeaderFields& fields, const TFilterContext& context) {
  std::vector<TFilterStamp> out;
  for (std::size_t i = 0; i < fields.size() && out.size() < kMaxStamps; ++i) {
    std::optional<TFilterStamp> s = ReadFilterStamp(fields[i].Name, fields[i].Value);
    if (!s) continue;
    s->Field = i;
    for (std::size_t j = 0; j < i; ++j) s->Ordinal += EqualsNoCase(fields[j].Name, s->Header) ? 1 : 0;
    const bool wrote = i < context.ReceiverWrote.size() && context.ReceiverWrote[i];
    if (s->Family == "Microsoft 365") {
      // The -Untrusted copies are the sending tenant's, always; Exchange
      // replaces the others with its own wherever the receiving run is its.
      s->Side = !EndsUntrusted(s->Header) && (context.MicrosoftReceiver || wrote) ? TFilterSide::Receiver
                                                                                 : TFilterSide::Sender;
    } else {
      s->Side = wrote ? TFilterSide::Receiver : TFilterSide::Sender;
    }
    out.push_back(std::move(*s));
  }
  return out;
}

void AddFilterFindings(const std::vector<TFilterStamp>& stamps, std::vector<TFinding>& findings) {
  bool tenant = false;
  const auto add = [&](TFinding f) {
    for (const TFinding& g : findings)
      if (g.Kind == f.Kind && g.Level == f.Level && g.Text == f.Text) return;
    findings.push_back(std::move(f));
  };
  for (const TFilterStamp& s : stamps) {
    if (s.Side == TFilterSide::Sender) {
      if (s.Outbound && !tenant) {
        tenant = true;
        add({"sender-tenant", TLevel::Info,
             "Microsoft 365 のテナントを経由して送信されています（送信側のテナントが付けた記録です）。",
             s.Header});
      }
      continue;
    }
    if (!s.Verdict) continue;
    const TFilterVerdict& v = *s.Verdict;
    std::string detail = s.Header + ":";
    for (const TFilterField& f : s.Fields) {
      if (detail.size() > 200) break;
      if (f.Value.size() <= 40) detail += " " + f.Name + "=" + f.Value;
    }
    if (v.Level > TLevel::Info) {
      add({"receiver-filter", v.Level, "受信側のフィルタ（" + s.Family + "）の判定: " + v.Text, detail});
    } else if (v.Skipped) {
      add({"receiver-filter", TLevel::Info,
           "受信側のフィルタ（" + s.Family + "）は検査を省略しました: " + v.Text +
               " 許可リストなどで検査を省略すると、フィッシングも検査されずに届くことがあります。",
           detail});
    }
  }
  std::stable_sort(findings.begin(), findings.end(), [](const TFinding& a, const TFinding& b) { return a.Level > b.Level; });
}

const char* FilterSideName(TFilterSide side) { return side == TFilterSide::Receiver ? "receiver" : "sender"; }
const char* FilterSideText(TFilterSide side) { return side == TFilterSide::Receiver ? "受信側" : "送信側"; }

std::vector<std::string> FilterExplanationLines(const TFilterStamp& stamp, std::string_view value) {
  std::vector<std::string> out;
  out.push_back("迷惑メール対策のフィルタ（" + stamp.Family + "）が付けた判定の記録です。");
  if (stamp.Side == TFilterSide::Receiver)
    out.push_back("このメールを受け取った側のフィルタが付けたものです。");
  else if (EndsUntrusted(stamp.Header))
    out.push_back("送信側の Microsoft 365 テナントが付けたものです（受信側の判定ではありません）。");
  else
    out.push_back("受信側が付けたものとは確かめられません。送信側の主張として扱います。");
  if (stamp.Undocumented) out.push_back("この欄の形式は Microsoft が公開していません。");
  if (stamp.Verdict) out.push_back("判定: " + stamp.Verdict->Text);
  out.push_back("----------------------------------------");
  // Values are bytes as stored, shown as the header list shows them.
  for (const TFilterField& f : stamp.Fields)
    out.push_back(StoredTextToUtf8(f.Name + ": " + f.Value) + " … " + f.Meaning);
  out.push_back("----------------------------------------");
  out.push_back(StoredTextToUtf8(TrimFws(value)));
  return out;
}

}  // namespace tarvo

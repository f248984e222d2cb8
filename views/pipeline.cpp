#include "views/pipeline.h"

#include <algorithm>
#include <future>
#include <memory>
#include <unordered_map>
#include <utility>

#include "base/ascii.h"
#include "base/bytes.h"
#include "base/stream.h"
#include "jcode/jconvert.h"
#include "mail/explain.h"
#include "mail/mailutils.h"
#include "mail/receivedtls.h"
#include "route/asn.h"
#include "route/lookup.h"
#include "views/viewtable.h"

namespace tarvo {

namespace {

void ClearView(TTextView& view) { view.Clear(); }  // its kind stays
template <typename T>
void ClearView(T& view) {
  view = T{};
}

}  // namespace

void TMailViews::Clear() {
  ForEachView(*this, [](const auto&, auto& view) { ClearView(view); });
  TextContext = {};
}

namespace {

// The body's lines (the raw view's from line body.FirstLine on), each
// converted into the SJIS view. The view points into the body's bytes, and
// a line that reads the same in every code is not copied at all; nor is a
// converted line the text or HTML view already holds (a part that was not
// transfer-encoded converts to the same lines).
void FillSjisView(const TBodyText& body, TMailViews& views) {
  const TSharedBytes& buffer = body.Buffer;
  if (body.Bytes.empty()) return;
  const std::size_t notes = body.FirstLine;
  if (IsPlainAscii(body.Bytes)) {
    // Nothing to convert: the view is the body's lines.
    views.Memo2.AddLinesFrom(views.Memo3, notes);
    return;
  }
  std::unordered_map<std::string_view, std::pair<const TTextView*, std::size_t>> converted;
  for (const TTextView* view : {&views.Memo4, &views.Memo6})
    for (std::size_t i = 0; i < view->Count(); ++i)
      if (!IsPlainAscii((*view)[i])) converted.try_emplace((*view)[i], view, i);
  for (std::size_t i = notes; i < views.Memo3.Count(); ++i) {
    const std::string_view line = views.Memo3[i];
    if (IsPlainAscii(line)) {
      views.Memo2.AddRef(buffer, static_cast<std::size_t>(line.data() - buffer->data()), line.size());
      continue;
    }
    std::string utf8 = ConvertLineToUtf8(line);
    if (const auto same = converted.find(utf8); same != converted.end())
      views.Memo2.AddLineOf(*same->second.first, same->second.second);
    else
      views.Memo2.Add(utf8);
  }
}

// A folded value on one line: each line break or tab and the blanks after
// it become one space.
std::string Unfolded(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n' && text[i] != '\t') {
      out += text[i];
      continue;
    }
    while (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n' || text[i + 1] == ' ' || text[i + 1] == '\t')) ++i;
    out += ' ';
  }
  return out;
}

// Each stamp's row in the header list: the rows and the fields agree on
// names and their order, so the k-th field of a name is the k-th row of it.
void PlaceFilterRows(TMailViews& views) {
  if (views.Filters.empty()) return;
  std::unordered_map<std::string, std::size_t> seen;
  std::unordered_map<std::string, std::vector<TFilterStamp*>> wanted;
  for (TFilterStamp& s : views.Filters) wanted[UpperCase(s.Header)].push_back(&s);
  for (std::size_t row = 0; row < views.ListView1.size(); ++row) {
    const std::string name = UpperCase(Trim(views.ListView1[row].Name));
    const auto w = wanted.find(name);
    if (w == wanted.end()) continue;
    const std::size_t k = seen[name]++;
    for (TFilterStamp* s : w->second)
      if (s->Ordinal == k) s->Row = row;
  }
}

// Hops that crossed the Internet in the clear, as one note.
void AddPlainHopFinding(TMailViews& views) {
  std::string hops;
  for (const TRouteRow& r : views.ListView2)
    if (r.Tls && *r.Tls == "none" && hops.size() < 200) hops += (hops.empty() ? "" : ", ") + r.No + " (" + r.IP + ")";
  if (hops.empty()) return;
  views.Findings.push_back({"hop-without-tls", TLevel::Info,
                            "配信経路の途中に、暗号化 (TLS) なしでインターネットを通った区間があります。途中で内容を読まれたり書き換えられたりするおそれがあります。",
                            "暗号化なしの中継: " + hops});
}

// Between two stages: the share done, and the stop a cancel asks for.
void Step(const TLoadOptions& options, int percent) {
  if (options.Cancel && options.Cancel->load()) throw ELoadCancelled();
  if (options.Progress) options.Progress(percent);
}

// The route list, its delays and the delivery time. Lookups note unknown
// relays among the notes: the raw view holds the message's bytes and nothing else.
void FillRoute(const THeaderFields& fields, TMailViews& views) {
  TReceivedLists relays;
  GetReceivedLists(fields, relays);
  for (const TReceivedList& r : relays) {
    TRouteRow& row = views.ListView2.emplace_back();
    row.No = IntToStr(static_cast<std::int64_t>(views.ListView2.size()));
    row.ServerName = r.ServerName;
    row.Host = r.Host;
    row.IP = r.IP;
    TCountryAnswer country = IPToCountry(r.IP);
    row.Country = std::move(country.Country);
    row.Unlocated = country.NotFound;
    if (country.NotFound) views.Notes.emplace_back(kNotFoundNote);
    row.Time = ParseMailDate(ExtractReceivedDate(r.ReceivedText));
    row.Date = FormatDateTime(row.Time);
    row.By = r.By;
    row.With = r.With;
    row.Network = IPToNetwork(r.IP);
    row.Tls = ReceivedTls(r.ReceivedText, r.With, r.IP);
  }
  // Each hop's delay is counted from the hop below it, which is older.
  std::vector<TRouteRow>& hops = views.ListView2;
  for (std::size_t i = 0; i + 1 < hops.size(); ++i)
    if (hops[i].Time.Valid && hops[i + 1].Time.Valid) hops[i].Delay = UnixTime(hops[i].Time) - UnixTime(hops[i + 1].Time);
  if (const THeaderField* date = FindField(fields, "date")) views.Delivery.Sent = ParseMailDate(date->Value);
  if (!hops.empty()) views.Delivery.Received = hops.front().Time;
  if (views.Delivery.Sent.Valid && views.Delivery.Received.Valid)
    views.Delivery.Seconds = UnixTime(views.Delivery.Received) - UnixTime(views.Delivery.Sent);
}

// Authentication results and warning signs, from the header block and the
// body as stored, and the HTML before its links are neutralised; the
// filters' stamps, and what the receiving side's say.
void RunChecks(const THeaderFields& fields, const TBodyText& body, const TAttachLists& parts, TMailViews& views) {
  views.Authentication = GetAuthentication(fields, body.Bytes);
  views.Findings = GetFindings(fields, views.Authentication, HtmlPartsText(body, parts));
  views.Filters = ReadFilterStamps(fields, FilterContextOf(fields));
  AddFilterFindings(views.Filters, views.Findings);
  PlaceFilterRows(views);
  AddPlainHopFinding(views);
}

// The header block and the body are read where they lie in the file's
// bytes, which the views keep. Without a header end both are empty.
TBodyText SplitMessage(const TSharedBytes& bytes, std::string_view& header) {
  const std::string_view all(*bytes);
  const TEnvelopeSplit split = FindEnvelopeSplit(all);
  const bool hasHeader = split.HeaderEnd > 0 && static_cast<std::size_t>(split.HeaderEnd) <= all.size();
  header = hasHeader ? all.substr(0, static_cast<std::size_t>(split.HeaderEnd)) : std::string_view();
  return TBodyText(bytes, hasHeader && static_cast<std::size_t>(split.BodyStart) < all.size()
                              ? all.substr(static_cast<std::size_t>(split.BodyStart))
                              : std::string_view());
}

// Whether any of `keys` is among the views asked for.
bool Wants(const TLoadOptions& options, std::initializer_list<std::string_view> keys) {
  if (options.Only.empty()) return true;
  return std::any_of(keys.begin(), keys.end(), [&](std::string_view k) {
    return std::find(options.Only.begin(), options.Only.end(), k) != options.Only.end();
  });
}

void FillHeaderRows(const THeaderFields& fields, TMailViews& views) {
  views.ListView1 = HeaderRows(fields);
  for (THeaderRow& r : views.ListView1) r.Decoded = Unfolded(DecodeHeaderTextUtf8(Trim(r.Value)));
}

// The body's lines are the raw view; the text views share them for parts
// stored as they are.
void FillRawBody(const TSharedBytes& bytes, TBodyText& body, TMailViews& views) {
  body.FirstLine = views.Memo3.Count();
  body.Lines = &views.Memo3;
  if (body.Bytes.empty()) return;
  const auto start = static_cast<std::size_t>(body.Bytes.data() - bytes->data());
  views.Memo3.AddLinesOf(bytes, start, start + body.Bytes.size());
}

void RunPipeline(const TSharedBytes& bytes, TMailViews& views, TLoadOptions options) {
  // The checks read the route (hops in the clear), the header rows (each
  // stamp's row) and the parts (their risks).
  const bool checks = Wants(options, {"Authentication", "Filters", "Findings"});
  const bool route = checks || Wants(options, {"ListView2", "Hops", "Delivery", "Notes"});
  const bool rows = checks || Wants(options, {"ListView1", "Memo5"});
  const bool partList = checks || Wants(options, {"Parts"});
  Step(options, 5);
  std::string_view header;
  TBodyText body = SplitMessage(bytes, header);
  views.Memo1.AddLinesOf(bytes, 0, header.size());
  const THeaderFields fields = ReadFields(header);

  // The MIME walk: every leaf part of the body. What the parts declare and
  // who sent the message say how its text reads, for every view below.
  TAttachLists parts;
  ParseMessageParts(fields, body.Bytes, parts);
  views.TextContext = MessageTextContext(fields, parts);
  Step(options, 15);
  const TTextContextScope textContext(views.TextContext);
  // Part names are header text too: read again in the context the first
  // walk found, when it says more than the default does.
  if (views.TextContext.Carrier != TCarrier::Unknown || !views.TextContext.FallbackCharset.empty())
    ParseMessageParts(fields, body.Bytes, parts);

  if (route) FillRoute(fields, views);

  Step(options, 25);

  if (rows) FillHeaderRows(fields, views);
  FillRawBody(bytes, body, views);

  Step(options, 35);

  // The parts of the message, decoded and fingerprinted: the longest step,
  // run beside the views below (both only read the body and the walk); in
  // this thread later when no thread can be started.
  std::future<TMailParts> partFuture;
  if (partList)
    partFuture = std::async(std::launch::async | std::launch::deferred, [&body, &parts, &views, &options] {
      const TTextContextScope partContext(views.TextContext);
      return GetMailParts(body.Bytes, parts, options.KeepPartData, body.Buffer);
    });

  // Text-only and HTML views: the text of every plain and every HTML part,
  // decoded; the type alone decides where a part goes.
  if (Wants(options, {"Memo4"})) GetTextPlainParts(body, parts, views.Memo4);
  if (Wants(options, {"Memo6"})) GetTextHtmlParts(body, parts, views.Memo6);
  Step(options, 55);

  if (checks) RunChecks(fields, body, parts, views);
  Step(options, 75);

  if (Wants(options, {"Memo2"})) FillSjisView(body, views);
  Step(options, 90);
  if (partList) {
    views.Parts = partFuture.get();
    JudgeAttachments(views.Parts, views.Findings);
  }
  Step(options, 100);
}

}  // namespace

std::vector<std::string> RowExplanationLines(const TMailViews& views, std::size_t row) {
  for (const TFilterStamp& s : views.Filters)
    if (s.Row == row && row < views.ListView1.size()) return FilterExplanationLines(s, views.ListView1[row].Value);
  if (row >= views.ListView1.size()) return {};
  return HeaderExplanationLines(views.ListView1[row].Name, views.ListView1[row].Value, views.TextContext);
}

void LoadMailFile(const std::string& fileName, TMailViews& views, TLoadOptions options) {
  views.Clear();
  Step(options, 0);
  RunPipeline(ReadFileBytes(fileName), views, options);
}

void LoadMailBytes(std::string bytes, TMailViews& views, TLoadOptions options) {
  views.Clear();
  RunPipeline(ShareBytes(std::move(bytes)), views, options);
}

}  // namespace tarvo

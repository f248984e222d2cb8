#include "mail/pipeline.h"

#include <algorithm>
#include <iterator>

#include "base/bytes.h"
#include "base/stream.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"
#include "route/asn.h"
#include "route/lookup.h"

namespace tarvo {

void TMailViews::Clear() {
  ListView2.clear();
  Memo1.Clear();
  Memo2.Clear();
  Memo3.Clear();
  Memo4.Clear();
  Memo6.Clear();
  ListView1.clear();
  Authentication = {};
  Findings.clear();
  Delivery = {};
  Parts.clear();
}

namespace {

// The HTML whose links the safety check reads: the HTML view's lines, before
// the export neutralises them. Only the first 32 MiB: a copy of a huge body
// is not worth a link check.
std::string HtmlForLinks(const TStringList& memo6) {
  constexpr std::size_t kLimit = std::size_t{32} << 20;
  std::string html;
  for (const std::string& line : memo6.Lines) {
    if (html.size() > kLimit) break;
    html.append(line).append("\n");
  }
  return html;
}

void RunPipeline(TMemoryStream& file, TMailViews& views) {
  // Step 3: split, then the file buffer is released.
  TMemoryStream envelope, body;
  SplitEnvelopeConsuming(file, envelope, body);

  // Step 4: the envelope view.
  envelope.SetPosition(0);
  views.Memo1.LoadFromStream(envelope);

  // Step 5: header summary (stage A).
  TMailEnvFormat env;
  GetMailEnvFormat(&envelope, env);

  // Step 6: the header list.
  TEnvSections sections;
  GetEnvSections(&envelope, sections);

  // Step 7: the route list. Lookups note unknown relays in Memo3 before
  // the body lines arrive there.
  TReceivedLists relays;
  GetReceivedLists(&envelope, relays);
  for (const TReceivedList& r : relays) {
    TRouteRow& row = views.ListView2.emplace_back();
    row.No = IntToStr(static_cast<std::int64_t>(views.ListView2.size()));
    row.ServerName = r.ServerName;
    row.Host = r.Host;
    row.IP = r.IP;
    TCountryAnswer country = IPToCountry(r.IP);
    row.Country = std::move(country.Country);
    if (country.NotFound) views.Memo3.Add(std::string(kNotFoundNote));
    row.Time = ParseMailDate(ExtractReceivedDate(r.ReceivedText));
    row.Date = FormatDateTime(row.Time);
    row.By = r.By;
    row.With = r.With;
    row.Network = IPToNetwork(r.IP);
  }
  // Each hop's delay is counted from the hop below it, which is older.
  std::vector<TRouteRow>& hops = views.ListView2;
  for (std::size_t i = 0; i + 1 < hops.size(); ++i)
    if (hops[i].Time.Valid && hops[i + 1].Time.Valid) hops[i].Delay = UnixTime(hops[i].Time) - UnixTime(hops[i + 1].Time);
  views.Delivery.Sent = ParseMailDate(env.Date);
  if (!hops.empty()) views.Delivery.Received = hops.front().Time;
  if (views.Delivery.Sent.Valid && views.Delivery.Received.Valid)
    views.Delivery.Seconds = UnixTime(views.Delivery.Received) - UnixTime(views.Delivery.Sent);

  // Step 8: the header rows.
  for (auto& s : sections) views.ListView1.push_back({std::move(s.Name), std::move(s.Value)});

  // Step 9: the MIME walk: every leaf part of the body.
  TAttachLists parts;
  ParseMessageParts(envelope.Bytes(), body, parts);

  // Step 10: the raw body view, and each line converted. The lines move into
  // Memo3 below the lookup's notes.
  body.SetPosition(0);
  TStringList bodyLines;
  bodyLines.LoadFromStream(body);
  views.Memo2.Lines.reserve(bodyLines.Count());
  for (const std::string& line : bodyLines.Lines) views.Memo2.Add(ConvertLineToUtf8(line));
  if (views.Memo3.Empty()) {
    views.Memo3.Lines = std::move(bodyLines.Lines);
  } else {
    views.Memo3.Lines.reserve(views.Memo3.Count() + bodyLines.Count());
    std::move(bodyLines.Lines.begin(), bodyLines.Lines.end(), std::back_inserter(views.Memo3.Lines));
  }

  // Step 11: text-only and HTML views (stage C): the text of every plain and
  // every HTML part, decoded; the type alone decides where a part goes.
  GetTextPlainParts(body, parts, views.Memo4);
  GetTextHtmlParts(body, parts, views.Memo6);

  // Step 12: authentication results and warning signs, from the header block
  // and the body as stored, and the HTML before its links are neutralised.
  CheckAuthenticity(envelope.Bytes(), body.Bytes(), HtmlForLinks(views.Memo6), views.Authentication,
                    views.Findings);

  // The parts of the message, decoded and fingerprinted.
  views.Parts = GetMailParts(body, parts);
}

}  // namespace

void LoadMailFile(const std::string& fileName, TMailViews& views) {
  views.Clear();
  TMemoryStream file;
  file.LoadFromFile(fileName);
  RunPipeline(file, views);
}

void LoadMailBytes(std::string bytes, TMailViews& views) {
  views.Clear();
  TMemoryStream file(std::move(bytes));
  RunPipeline(file, views);
}

}  // namespace tarvo

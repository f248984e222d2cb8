#include "mail/pipeline.h"

#include <iterator>

#include "base/bytes.h"
#include "base/stream.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"
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
  Parts.clear();
}

namespace {

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
    row.Date = FormatDateTime(ParseMailDate(ExtractReceivedDate(r.ReceivedText)));
  }

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

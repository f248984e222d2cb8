#include "mail/pipeline.h"

#include "base/bytes.h"
#include "base/stream.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

void TMailViews::Clear() {
  ListView2.clear();
  Memo1.Clear();
  Memo2.Clear();
  Memo3.Clear();
  Memo4.Clear();
  Memo6.Clear();
  ListView1.clear();
}

namespace {

void RunPipeline(TMemoryStream& file, TMailViews& views) {
  // Step 3: split, then the file buffer is released.
  TMemoryStream envelope, body;
  SplitEnvelope(&file, &envelope, &body);
  file.Clear();
  file.Bytes().shrink_to_fit();

  // Step 4: the envelope view.
  envelope.SetPosition(0);
  views.Memo1.LoadFromStream(envelope);

  // Step 5: header summary (stage A).
  TMailEnvFormat env;
  GetMailEnvFormat(&envelope, env);

  // Step 6: the header list.
  TEnvSections sections;
  GetEnvSections(&envelope, sections);

  // Step 7: the route list.

  // Step 8: the header rows.
  for (auto& s : sections) views.ListView1.push_back({std::move(s.Name), std::move(s.Value)});

  // Step 9: multipart walk of the body (stage B).
  TAttachLists parts;
  std::int32_t partCount = 0;
  if (env.Multipart) {
    std::string outside;
    partCount = ParseMultipart(body, env.Boundary, outside, parts);
  }

  // Step 10: the raw body view, and each line converted.
  body.SetPosition(0);
  TStringList bodyLines;
  bodyLines.LoadFromStream(body);
  views.Memo3.Lines.reserve(views.Memo3.Count() + bodyLines.Count());
  for (const std::string& line : bodyLines.Lines) {
    views.Memo3.Add(line);
    views.Memo2.Add(ConvertLineToSJIS(line));
  }

  // Step 11: text-only and HTML views (stage C).
  // "HTML" anywhere in the Content-Type value sends the whole body, as
  // stored, to the HTML view; otherwise the plain-text parts (or the single
  // part's lines) go to the text view converted, the HTML parts as decoded.
  if (MbcsContains(UpperCase(env.ContentType), "HTML")) {
    views.Memo6.Lines.insert(views.Memo6.Lines.end(), bodyLines.Lines.begin(), bodyLines.Lines.end());
  } else {
    TStringList text, html;
    if (env.Multipart) {
      GetTextPlainParts(body, partCount, parts, text);
      GetTextHtmlParts(body, partCount, parts, html);
    } else {
      text.Lines = std::move(bodyLines.Lines);  // the lines step 10 read
    }
    for (std::string& line : html.Lines) views.Memo6.Add(std::move(line));
    if (!text.Empty()) ConvertListToSJIS(text);
    for (std::string& line : text.Lines) views.Memo4.Add(std::move(line));
  }

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

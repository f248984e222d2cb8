#include "mail/pipeline.h"

#include "base/stream.h"
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
  TMemoryStream envelope, body;
  SplitEnvelope(&file, &envelope, &body);
  file.Clear();
  file.Bytes().shrink_to_fit();  // the file buffer is done with once split

  envelope.SetPosition(0);
  views.Memo1.LoadFromStream(envelope);

  TEnvSections sections;
  GetEnvSections(&envelope, sections);

  for (auto& s : sections) views.ListView1.push_back({std::move(s.Name), std::move(s.Value)});

  body.SetPosition(0);
  TStringList bodyLines;
  bodyLines.LoadFromStream(body);
  for (const std::string& line : bodyLines.Lines) {
    views.Memo3.Add(line);
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

#include "base/bytes.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

// Decodes each part that `wanted` accepts and appends its lines.
template <typename Pred>
void AppendParts(const TMemoryStream& body, std::int32_t count, const TAttachLists& parts, TStringList& list,
                 Pred wanted) {
  if (count <= 0) return;
  const std::size_t n = std::min(static_cast<std::size_t>(count), parts.size());
  for (std::size_t i = 0; i < n; ++i) {
    const TAttachFilesFormat& part = parts[i];
    if (!wanted(part)) continue;
    TMemoryStream decoded;
    DecodePartStream(body, part.StartPos, part.EndPos, decoded, part.TransferEncoding);
    decoded.SetPosition(0);
    list.AddText(decoded.Remaining());  // a NUL ends the part's text there
  }
}

}  // namespace

void GetTextPlainParts(const TMemoryStream& body, std::int32_t count, const TAttachLists& parts,
                       TStringList& list) {
  AppendParts(body, count, parts, list, [](const TAttachFilesFormat& p) {
    return p.PartName.empty() && MbcsContains(UpperCase(p.PartContentType), "TEXT/PLAIN");
  });
}

void GetTextHtmlParts(const TMemoryStream& body, std::int32_t count, const TAttachLists& parts,
                      TStringList& list) {
  AppendParts(body, count, parts, list, [](const TAttachFilesFormat& p) {
    return MbcsContains(UpperCase(p.PartContentType), "TEXT/HTML");
  });
}

void ConvertListToSJIS(TStringList& list) {
  for (std::string& line : list.Lines) ConvertLineToSJISInPlace(line);
}

}  // namespace tarvo

// The header/body split, the header fields, the MIME walk, the parameter parser and the part
// decoding over arbitrary bytes. Every content range must lie inside the body.
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "mail/mailutils.h"
#include "mail/parts.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const TEnvelopeSplit split = FindEnvelopeSplit(input);
  if (split.HeaderEnd < 0 || split.HeaderEnd > split.BodyStart || static_cast<std::size_t>(split.BodyStart) > size)
    std::abort();
  const std::string_view header = input.substr(0, static_cast<std::size_t>(split.HeaderEnd));
  const std::string_view rest = input.substr(static_cast<std::size_t>(split.BodyStart));

  (void)ParseMimeValue(header);
  const std::string_view body = rest;
  TAttachLists parts;
  const std::int32_t n = ParseMessageParts(ReadFields(header), body, parts);
  if (n != static_cast<std::int32_t>(parts.size())) std::abort();
  // The text views read the body where it lies inside the whole input.
  const TSharedBytes whole = ShareBytes(std::string(input));
  const TBodyText inFile(whole, std::string_view(*whole).substr(static_cast<std::size_t>(split.BodyStart)));
  // And again sharing the body's lines from a raw view, as the pipeline does.
  TBodyText lined = inFile;
  TTextView raw;
  raw.Add("note");
  raw.AddLinesOf(whole, static_cast<std::size_t>(split.BodyStart), size);
  lined.Lines = &raw;
  lined.FirstLine = 1;
  TTextView text(TTextKind::Decoded), shared(TTextKind::Decoded);
  const TAttachFilesFormat* holder = nullptr;  // the last part that is no block
  for (const TAttachFilesFormat& p : parts) {
    if (p.StartPos < 0 || p.StartPos > p.EndPos || static_cast<std::size_t>(p.EndPos) > PartSource(rest, p).size())
      std::abort();
    // Multiparts and attached messages together never pass the limit.
    if (p.Depth < 0 || p.MessageDepth < 0 || p.Depth + p.MessageDepth > kMaxNesting || p.Number.empty()) std::abort();
    // a uuencoded block lies inside the text part listed before it, or in its decoded bytes.
    if (p.InText && (!holder || (p.Source == holder->Source && (p.StartPos < holder->StartPos || p.EndPos > holder->EndPos))))
      std::abort();
    if (!p.InText) holder = &p;
    AppendPartText(inFile, p, text);
    AppendPartText(lined, p, shared);
  }
  if (shared.Count() != text.Count()) std::abort();
  for (std::size_t i = 0; i < text.Count(); ++i)
    if (shared[i] != text[i]) std::abort();
  // The text view holds UTF-8: no line holds a byte UTF-8 never uses (and
  // reading every byte lets ASan check that it is alive).
  for (std::size_t i = 0; i < text.Count(); ++i)
    for (const char c : text[i])
      if (const auto b = static_cast<unsigned char>(c); b == 0xC0 || b == 0xC1 || b >= 0xF5) std::abort();
  // The list without the decoded bytes has the same sizes and digests.
  const TMailParts kept = GetMailParts(body, parts), bare = GetMailParts(body, parts, false);
  for (std::size_t i = 0; i < kept.size(); ++i)
    if (!bare[i].Bytes().empty() || bare[i].Size != kept[i].Bytes().size() || kept[i].Size != kept[i].Bytes().size() ||
        bare[i].Md5 != kept[i].Md5 || bare[i].Sha1 != kept[i].Sha1 || bare[i].Sha256 != kept[i].Sha256)
      std::abort();

  // The same body walked with the header's first line as its boundary.
  const std::string multipart =
      "Content-Type: multipart/mixed; boundary=\"" + std::string(header.substr(0, std::min<std::size_t>(header.find_first_of("\r\n\""), 70))) + "\"";
  ParseMessageParts(ReadFields(multipart), body, parts);
  for (const TAttachFilesFormat& p : parts)
    if (p.StartPos < 0 || p.StartPos > p.EndPos || static_cast<std::size_t>(p.EndPos) > PartSource(rest, p).size())
      std::abort();
  return 0;
}

// The part list of a loaded message, over the MIME walk. Only this file
// knows what the walk's entries hold.
#include "base/bytes.h"
#include "mail/mailutils.h"
#include "mail/parts.h"

namespace tarvo {

namespace {

bool FieldIs(std::string_view line, std::string_view lowerName) {
  if (line.size() <= lowerName.size() || line[lowerName.size()] != ':') return false;
  for (std::size_t i = 0; i < lowerName.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerName[i]) return false;
  }
  return true;
}

// The Content-* values of a header block, unfolded.
TPartHeader ReadPartHeader(std::string_view block) {
  TPartHeader h;
  std::string* current = nullptr;
  while (!block.empty()) {
    const std::size_t end = FindLineEnd(block);
    const std::string_view line = block.substr(0, end);
    block.remove_prefix(end);
    if (block.size() >= 2 && block[0] == '\r' && block[1] == '\n') block.remove_prefix(2);
    else if (!block.empty()) block.remove_prefix(1);
    if (IsContinuationLine(line)) {
      if (current) *current += line;
      continue;
    }
    current = nullptr;
    if (FieldIs(line, "content-type")) current = &h.ContentType;
    else if (FieldIs(line, "content-disposition")) current = &h.ContentDisposition;
    else if (FieldIs(line, "content-transfer-encoding")) current = &h.ContentTransferEncoding;
    if (current) *current = line.substr(line.find(':') + 1);
  }
  return h;
}

bool LooksLikeHeaderLine(std::string_view line) {
  if (IsContinuationLine(line)) return true;
  const std::size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return false;
  for (std::size_t i = 0; i < colon; ++i)
    if (static_cast<unsigned char>(line[i]) <= 32 || static_cast<unsigned char>(line[i]) > 126) return false;
  return true;
}

// The header lines of a part whose content starts at `start`: the run of
// header-like lines that ends with the blank line before it, after the
// boundary line, looked for no further back than `floor`.
std::string_view HeaderBlockBefore(std::string_view body, std::size_t floor, std::size_t start) {
  if (start > body.size() || floor >= start) return {};
  std::size_t end = start;
  // Step over the blank line (CR LF or LF) that ends the header.
  if (end >= floor + 1 && body[end - 1] == '\n') --end;
  if (end >= floor + 1 && body[end - 1] == '\r') --end;
  std::size_t top = end;
  while (top > floor) {
    std::size_t lineEnd = top;
    if (lineEnd > floor && body[lineEnd - 1] == '\n') --lineEnd;
    if (lineEnd > floor && body[lineEnd - 1] == '\r') --lineEnd;
    std::size_t lineStart = lineEnd;
    while (lineStart > floor && body[lineStart - 1] != '\n' && body[lineStart - 1] != '\r') --lineStart;
    if (!LooksLikeHeaderLine(body.substr(lineStart, lineEnd - lineStart))) break;
    top = lineStart;
  }
  return body.substr(top, end - top);
}

// The header of an entry that the walk left without content: its type and
// encoding lines as the walk kept them.
TPartHeader HeaderFromEntry(const TAttachFilesFormat& e) {
  TPartHeader h = ReadPartHeader(e.PartContentType);
  h.ContentTransferEncoding = ReadPartHeader(e.TransferEncoding).ContentTransferEncoding;
  return h;
}

std::string Decoded(const TMemoryStream& body, std::int32_t start, std::int32_t end, std::string_view encoding) {
  TMemoryStream out;
  DecodePartStream(body, start, end, out, encoding);
  return std::move(out.Bytes());
}

}  // namespace

TMailParts GetMailParts(const TMemoryStream& envelope, TMemoryStream& body, const TMailEnvFormat& env) {
  TMailParts list;
  const std::string_view header = envelope.Bytes();
  if (!env.Multipart) {
    const TPartHeader h = ReadPartHeader(header);
    const auto size = static_cast<std::int32_t>(body.Size());
    list.push_back(MakeMailPart(1, h, Decoded(body, 0, size, h.ContentTransferEncoding)));
    return list;
  }
  TAttachLists entries;
  std::string outside;
  const std::int32_t count = ParseMultipart(body, env.Boundary, outside, entries);
  std::size_t floor = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    const TAttachFilesFormat& e = entries[static_cast<std::size_t>(i)];
    const bool hasContent = e.StartPos > 0;
    TPartHeader h = hasContent ? ReadPartHeader(HeaderBlockBefore(body.Bytes(), floor, static_cast<std::size_t>(e.StartPos)))
                               : HeaderFromEntry(e);
    if (hasContent) floor = static_cast<std::size_t>(std::max(e.StartPos, e.EndPos));
    // Containers the walk went into are not parts themselves.
    const std::string type = UpperCase(h.ContentType);
    if (MbcsContains(type, "MULTIPART/ALTERNATIVE") || MbcsContains(type, "MULTIPART/RELATED")) continue;
    std::string data = Decoded(body, e.StartPos, e.EndPos, h.ContentTransferEncoding);
    list.push_back(MakeMailPart(static_cast<std::int32_t>(list.size() + 1), h, std::move(data)));
  }
  return list;
}

}  // namespace tarvo

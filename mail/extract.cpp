#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

#include "base/bytes.h"
#include "base/cp932.h"
#include "jcode/charset.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

// No charset says nothing about the bytes, and us-ascii text with 8-bit
// bytes or JIS escapes is mislabelled: both are read line by line.
bool ReadByLines(std::string_view charset) {
  const std::string c = NormaliseCharset(charset);
  return c.empty() || c == "us-ascii" || c == "ascii";
}

// Appends every part that `wanted` accepts.
template <typename Pred>
void AppendParts(const TMemoryStream& body, const TAttachLists& parts, TStringList& list, Pred wanted) {
  for (const TAttachFilesFormat& part : parts)
    if (wanted(part) && !(part.Depth > 0 && part.Disposition == "attachment")) AppendPartText(body, part, list);
}

}  // namespace

std::string ConvertLineToUtf8(std::string_view line) {
  if (IsUtf8Multibyte(line) && std::memchr(line.data(), 0x1B, line.size()) == nullptr) return std::string(line);
  return Cp932ToUtf8(ConvertLineToSJIS(line));
}

void AppendPartText(const TMemoryStream& body, const TAttachFilesFormat& part, TStringList& list) {
  TMemoryStream decoded;
  DecodePartStream(body, part.StartPos, part.EndPos, decoded, part.TransferEncoding);
  const std::string_view bytes = decoded.Bytes();
  TStringList lines;
  std::optional<std::string> utf8;
  if (!ReadByLines(part.Charset)) utf8 = DecodeCharsetToUtf8(bytes, part.Charset);
  lines.SetText(utf8 ? std::string_view(*utf8) : bytes);  // a NUL ends the part's text there
  if (!utf8)
    for (std::string& line : lines.Lines) line = ConvertLineToUtf8(line);
  // Blank lines around a part's text are the mailer's spacing before the
  // next boundary, not text; parts follow each other without them.
  const auto blank = [](const std::string& l) { return l.find_first_not_of(" \t") == std::string::npos; };
  auto first = std::find_if_not(lines.Lines.begin(), lines.Lines.end(), blank);
  auto last = std::find_if_not(lines.Lines.rbegin(), std::make_reverse_iterator(first), blank).base();
  std::move(first, last, std::back_inserter(list.Lines));
}

void GetTextPlainParts(const TMemoryStream& body, const TAttachLists& parts, TStringList& list) {
  AppendParts(body, parts, list, [](const TAttachFilesFormat& p) { return p.MediaType == "text/plain"; });
}

void GetTextHtmlParts(const TMemoryStream& body, const TAttachLists& parts, TStringList& list) {
  AppendParts(body, parts, list, [](const TAttachFilesFormat& p) { return p.MediaType == "text/html"; });
}

void ConvertListToSJIS(TStringList& list) {
  for (std::string& line : list.Lines) ConvertLineToSJISInPlace(line);
}

}  // namespace tarvo

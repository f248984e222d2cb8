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
void AppendParts(const TMemoryStream& body, const TAttachLists& parts, TTextView& list, Pred wanted) {
  for (const TAttachFilesFormat& part : parts)
    if (wanted(part) && !(part.Depth > 0 && part.Disposition == "attachment")) AppendPartText(body, part, list);
}

}  // namespace

std::string ConvertLineToUtf8(std::string_view line) {
  if (IsPlainAscii(line)) return std::string(line);
  if (IsUtf8Multibyte(line) && std::memchr(line.data(), 0x1B, line.size()) == nullptr) return std::string(line);
  return Cp932ToUtf8(ConvertLineToSJIS(line));
}

void AppendPartText(const TMemoryStream& body, const TAttachFilesFormat& part, TTextView& list) {
  TMemoryStream decoded;
  DecodePartStream(body, part.StartPos, part.EndPos, decoded, part.TransferEncoding);
  std::optional<std::string> utf8;
  if (!ReadByLines(part.Charset)) utf8 = DecodeCharsetToUtf8(decoded.Bytes(), part.Charset);
  // The part's lines as views into its text, which lives until they are copied.
  TTextView lines;
  const TSharedBytes text = std::make_shared<const std::string>(utf8 ? std::move(*utf8) : std::move(decoded.Bytes()));
  lines.AddLinesOf(text, 0, text->size());  // a NUL ends the part's text there
  // Blank lines around a part's text are the mailer's spacing before the
  // next boundary, not text; parts follow each other without them.
  const auto blank = [](std::string_view l) { return l.find_first_not_of(" \t") == std::string_view::npos; };
  std::size_t first = 0, last = lines.Count();
  while (first < last && blank(lines[first])) ++first;
  while (last > first && blank(lines[last - 1])) --last;
  for (std::size_t i = first; i < last; ++i) {
    if (utf8) list.Add(lines[i]);
    else AddConvertedLine(list, lines[i]);
  }
}

void GetTextPlainParts(const TMemoryStream& body, const TAttachLists& parts, TTextView& list) {
  AppendParts(body, parts, list, [](const TAttachFilesFormat& p) { return p.MediaType == "text/plain"; });
}

void GetTextHtmlParts(const TMemoryStream& body, const TAttachLists& parts, TTextView& list) {
  AppendParts(body, parts, list, [](const TAttachFilesFormat& p) { return p.MediaType == "text/html"; });
}

void AddConvertedLine(TTextView& view, std::string_view line) {
  if (IsPlainAscii(line)) view.Add(line);
  else view.Add(ConvertLineToUtf8(line));
}

void ConvertListToSJIS(TStringList& list) {
  for (std::string& line : list.Lines) ConvertLineToSJISInPlace(line);
}

}  // namespace tarvo

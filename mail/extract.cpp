#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

#include "base/ascii.h"
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

// The message's own text: not an attachment inside a multipart, not a part
// of an attached message.
bool IsOwnText(const TAttachFilesFormat& part) {
  return part.MessageDepth == 0 && !(part.Depth > 0 && part.Disposition == "attachment");
}

// Appends every part that `wanted` accepts, without the uuencoded blocks
// listed after it.
template <typename Pred>
void AppendParts(const TBodyText& body, const TAttachLists& parts, TTextView& list, Pred wanted) {
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (!wanted(parts[i]) || !IsOwnText(parts[i])) continue;
    if (i + 1 == parts.size() || !parts[i + 1].InText) {
      AppendPartText(body, parts[i], list);
      continue;
    }
    TAttachFilesFormat piece = parts[i];
    if (parts[i + 1].Source != piece.Source) {
      // The blocks lie in the text's decoded bytes: the pieces are read there.
      piece.Source = parts[i + 1].Source;
      piece.TransferEncoding.clear();
      piece.StartPos = 0;
      piece.EndPos = static_cast<std::int32_t>(piece.Source->size());
    }
    const std::int32_t end = piece.EndPos;
    for (std::size_t j = i + 1; j < parts.size() && parts[j].InText; ++j) {
      piece.EndPos = parts[j].StartPos;
      AppendPartText(body, piece, list);
      piece.StartPos = parts[j].EndPos;
    }
    piece.EndPos = end;
    AppendPartText(body, piece, list);
  }
}

// Appends the lines of the body's bytes [from, end) as the body's line view
// holds them, when it holds exactly those lines: a part stored as it is is
// then neither scanned nor indexed a second time. False when it cannot.
bool AddBodyLines(const TBodyText& body, std::size_t from, std::size_t end, TTextView& list) {
  if (!body.Lines || from >= end) return false;
  const TTextView& lines = *body.Lines;
  const char* const base = body.Buffer->data();
  // Lines from FirstLine on lie in the body in order.
  const auto offset = [&](std::size_t i) { return static_cast<std::size_t>(lines[i].data() - base); };
  const auto firstAtOrAfter = [&](std::size_t at) {
    std::size_t lo = body.FirstLine, hi = lines.Count();
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (offset(mid) < at) lo = mid + 1;
      else hi = mid;
    }
    return lo;
  };
  const std::size_t first = firstAtOrAfter(from);
  if (first == lines.Count() || offset(first) != from) return false;
  const std::size_t last = firstAtOrAfter(end);
  // A line running on past `end` would be cut there in the part.
  if (offset(last - 1) + lines[last - 1].size() > end) return false;
  list.AddLinesFrom(lines, first, last);
  return true;
}

// Blank lines around a part's text are the mailer's spacing before the
// next boundary, not text; parts follow each other without them.
bool IsBlankLine(std::string_view l) { return std::all_of(l.begin(), l.end(), [](char c) { return IsWsp(c); }); }

// Appends text[from, to), every line of which is shown as it is: the list
// points at the lines straight away (at the body's own when `body` holds them).
void AppendLinesAsTheyAre(const TSharedBytes& text, std::size_t from, std::size_t to, TTextView& list,
                          const TBodyText* body) {
  std::size_t end = to;
  if (const void* nul = std::memchr(text->data() + from, 0, to - from))
    end = static_cast<std::size_t>(static_cast<const char*>(nul) - text->data());  // a NUL ends the text
  const std::string_view all(*text);
  while (from < end) {
    std::size_t q = from + FindLineEnd(all.substr(from, end - from));
    if (!IsBlankLine(all.substr(from, q - from))) break;
    if (q < end && all[q] == '\r') ++q;
    if (q < end && all[q] == '\n') ++q;
    from = q;
  }
  const std::size_t before = list.Count();
  if (!body || !AddBodyLines(*body, from, end, list)) list.AddLinesOf(text, from, end);
  while (list.Count() > before && IsBlankLine(list[list.Count() - 1])) list.PopBack();
}

}  // namespace

std::string ConvertLineToUtf8(std::string_view line) { return LineToUtf8(line); }

void AppendTextLines(TSharedBytes text, std::size_t from, std::size_t to, std::string_view charset, TTextView& list,
                     const TBodyText* body) {
  if (!text) return;
  if (body && text != body->Buffer) body = nullptr;
  bool readable = false;  // every line is UTF-8 to show as it is
  if (!ReadByLines(charset)) {
    const std::string_view stored = std::string_view(*text).substr(from, to - from);
    if (std::optional<std::string> utf8 = DecodeCharsetToUtf8(stored, charset)) {
      // Text that decodes to itself (UTF-8, or ASCII in most charsets) is
      // kept where it lies rather than held twice.
      if (*utf8 != stored) {
        text = ShareBytes(std::move(*utf8));
        from = 0;
        to = text->size();
        body = nullptr;
      }
      readable = true;
    }
  }
  if (readable || IsPlainAscii(std::string_view(*text).substr(from, to - from)))
    return AppendLinesAsTheyAre(text, from, to, list, body);
  // Lines read by the code detected in each are copied once converted; a
  // line that reads the same in every code stays in the body, which lives
  // on anyway (a decoded copy is not kept alive for a few lines).
  TTextView lines;
  lines.AddLinesOf(text, from, to);  // a NUL ends the part's text there
  std::size_t first = 0, last = lines.Count();
  while (first < last && IsBlankLine(lines[first])) ++first;
  while (last > first && IsBlankLine(lines[last - 1])) --last;
  for (std::size_t i = first; i < last; ++i) {
    const std::string_view line = lines[i];
    if (body && IsPlainAscii(line))
      list.AddRef(text, static_cast<std::size_t>(line.data() - text->data()), line.size());
    else
      list.Add(ConvertLineToUtf8(line));
  }
}

void AppendPartText(const TBodyText& body, const TAttachFilesFormat& part, TTextView& list) {
  const TSharedBytes& buffer = part.Source ? part.Source : body.Buffer;
  if (!buffer) return;
  const std::string_view all = PartSource(body.Bytes, part);
  // The part's bytes: where they lie when nothing was transfer-encoded (the
  // views then point into the body, which the raw view keeps anyway), else
  // a decoded copy.
  if (PartCoding(part.TransferEncoding) != TPartCoding::Identity) {
    TMemoryStream decoded;
    DecodePartStream(all, part.StartPos, part.EndPos, decoded, part.TransferEncoding);
    TSharedBytes text = ShareBytes(std::move(decoded.Bytes()));
    const std::size_t size = text->size();
    return AppendTextLines(std::move(text), 0, size, part.Charset, list);
  }
  const std::string_view content = PartContent(all, part.StartPos, part.EndPos);
  if (content.empty()) return;
  const auto from = static_cast<std::size_t>(content.data() - buffer->data());
  AppendTextLines(buffer, from, from + content.size(), part.Charset, list, part.Source ? nullptr : &body);
}

void GetTextPlainParts(const TBodyText& body, const TAttachLists& parts, TTextView& list) {
  // A container nested deeper than the walk follows is shown as it is.
  AppendParts(body, parts, list, [](const TAttachFilesFormat& p) { return p.MediaType == "text/plain" || p.TooDeep; });
}

void GetTextHtmlParts(const TBodyText& body, const TAttachLists& parts, TTextView& list) {
  AppendParts(body, parts, list, [](const TAttachFilesFormat& p) { return p.MediaType == "text/html"; });
}

std::string HtmlPartsText(const TBodyText& body, const TAttachLists& parts) {
  std::string html;
  for (const TAttachFilesFormat& part : parts) {
    if (part.MediaType != "text/html" || !IsOwnText(part)) continue;
    TMemoryStream decoded;
    std::string_view bytes;
    if (PartCoding(part.TransferEncoding) != TPartCoding::Identity) {
      DecodePartStream(PartSource(body.Bytes, part), part.StartPos, part.EndPos, decoded, part.TransferEncoding);
      bytes = decoded.Bytes();
    } else {
      bytes = PartContent(PartSource(body.Bytes, part), part.StartPos, part.EndPos);
    }
    std::optional<std::string> utf8;
    if (!ReadByLines(part.Charset)) utf8 = DecodeCharsetToUtf8(bytes, part.Charset);
    if (utf8) {
      html += *utf8;
    } else if (IsPlainAscii(bytes)) {
      html += bytes;
    } else {
      for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t nl = std::min(bytes.find('\n', at), bytes.size());
        html += ConvertLineToUtf8(bytes.substr(at, nl - at));
        html += '\n';
        at = nl + 1;
      }
    }
    html += '\n';
  }
  return html;
}

void ConvertListToSJIS(TStringList& list) {
  for (std::string& line : list.Lines) ConvertLineToSJISInPlace(line);
}

}  // namespace tarvo

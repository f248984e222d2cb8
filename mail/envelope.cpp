// Where the header block ends and the body begins, and the header list.
#include <algorithm>

#include "base/ascii.h"
#include "base/bytes.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

TEnvelopeSplit BlankLineSplit(std::string_view b) {
  const std::size_t n = b.size();
  const auto at = [&b, n](std::size_t i, char c) { return i < n && b[i] == c; };
  const auto split = [](std::size_t header, std::size_t body) {
    return TEnvelopeSplit{static_cast<std::int32_t>(header), static_cast<std::int32_t>(body)};
  };
  // The first blank line ends the header block, whichever line ends the file
  // uses: CR LF CR LF, LF LF, CR CR (old Mac files) or LF CR LF (mixed).
  std::size_t k = 0;
  while (k < n) {
    k += FindLineEnd(b.substr(k));
    if (k >= n) break;
    if (b[k] == '\r') {
      if (at(k + 1, '\n') && at(k + 2, '\r') && at(k + 3, '\n')) return split(k + 2, k + 4);
      // CR CR LF is a stray CR before a CR LF, not a blank line.
      if (at(k + 1, '\r') && !at(k + 2, '\n')) return split(k, k + 2);
    } else {
      if (at(k + 1, '\n')) return split(k, k + 2);
      if (at(k + 1, '\r') && at(k + 2, '\n')) return split(k, k + 3);
    }
    ++k;
  }
  return split(n, n);
}

// Where a line after the Content-Type field is a boundary line of the
// multipart it declares; npos when none is.
std::size_t BoundaryLineIn(std::string_view header) {
  const THeaderFields fields = ReadFields(header);
  const THeaderField* type = FindField(fields, "content-type");
  if (type == nullptr) return std::string_view::npos;
  const TMimeValue ct = ParseMimeValue(type->Value);
  const TMimeParam* boundary = ct.Param("boundary");
  if (!ct.Token.starts_with("multipart/") || boundary == nullptr || boundary->Value.empty())
    return std::string_view::npos;
  const std::string marker = "--" + boundary->Value;
  bool closing = false;
  for (std::size_t at = static_cast<std::size_t>(type->Raw.data() - header.data()) + type->Raw.size();
       at < header.size();) {
    const THeaderLineCut cut = CutHeaderLine(header.substr(at));
    if (IsBoundaryLine(cut.Text, marker, closing)) return at;
    at += cut.Next;
  }
  return std::string_view::npos;
}

}  // namespace

TEnvelopeSplit FindEnvelopeSplit(std::string_view b) {
  const TEnvelopeSplit blank = BlankLineSplit(b);
  const std::size_t boundary = BoundaryLineIn(b.substr(0, static_cast<std::size_t>(blank.HeaderEnd)));
  if (boundary == std::string_view::npos) return blank;
  const auto at = static_cast<std::int32_t>(boundary);
  return {at, at};
}

// The header list: a row per entry. A line that is no field is cut at its
// first colon all the same ("From x@y Tue 11:28:07"), and one without a
// colon goes under the name of the row above. Unfolding takes only the
// line breaks; a field of one line is shown without its trailing blanks.
std::vector<THeaderRow> HeaderRows(const THeaderFields& fields) {
  std::vector<THeaderRow> rows;
  std::string_view name;
  for (const THeaderField& f : fields) {
    const std::size_t firstLine = std::min(f.Raw.find_first_of("\r\n"), f.Raw.size());
    std::string_view first = f.Value.substr(0, firstLine);
    if (firstLine == f.Raw.size()) first = TrimControlsEnd(first);
    if (f.IsField()) {
      name = f.Name;
    } else if (f.Raw.empty()) {
      continue;
    } else if (first = TrimControls(first); first.find(':') != std::string_view::npos) {
      const std::size_t colon = first.find(':');
      name = first.substr(0, colon);
      first.remove_prefix(colon + 1);
    }
    rows.push_back({std::string(name), std::string(first).append(f.Value.substr(firstLine)), {}});
  }
  return rows;
}

}  // namespace tarvo

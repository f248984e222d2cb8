// Header lines and fields as views into the header block: one line rule and
// one folding rule for every reader of the block, and no string per line.
#include <algorithm>

#include "base/ascii.h"
#include "base/bytes.h"
#include "mail/mailutils.h"

namespace tarvo {


THeaderLineCut CutHeaderLine(std::string_view rest, std::size_t piece) {
  if (rest.empty()) return {};
  const std::string_view window = rest.substr(0, std::max<std::size_t>(piece, 1));
  const std::size_t i = FindLineEnd(window);
  std::size_t next = i;
  if (i < window.size()) {
    next = i + 1;
    // A CR as the window's last byte still takes the LF after it.
    if (window[i] == '\r' && i + 1 < rest.size() && rest[i + 1] == '\n') ++next;
  }
  return {window.substr(0, i), next};
}

bool IsContinuationLine(std::string_view line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

bool THeaderLines::Next(std::string_view& line) {
  if (rest_.empty()) return false;
  const THeaderLineCut cut = CutHeaderLine(rest_, piece_);
  line = cut.Text;
  rest_.remove_prefix(cut.Next);
  return true;
}

std::size_t ContinuationSpan(std::string_view rest, std::size_t piece) {
  std::size_t n = 0;
  while (n < rest.size()) {
    const THeaderLineCut cut = CutHeaderLine(rest.substr(n), piece);
    if (!IsContinuationLine(cut.Text)) break;
    n += cut.Next;
  }
  return n;
}

bool THeaderFieldReader::Next(THeaderFieldView& field) {
  if (rest_.empty()) return false;
  const THeaderLineCut first = CutHeaderLine(rest_, piece_);
  rest_.remove_prefix(first.Next);
  const std::size_t span = ContinuationSpan(rest_, piece_);
  field.FirstLine = first.Text;
  field.Continuations = rest_.substr(0, span);
  field.Piece = piece_;
  rest_.remove_prefix(span);
  return true;
}

bool THeaderLineWalk::Next(std::string_view& line) {
  // A continuation line nobody took is read as a line of its own.
  if (rest_.Next(line)) {
    line = TrimControls(line);
    return true;
  }
  THeaderFieldView field;
  if (!fields_.Next(field)) return false;
  // The line after a field taken whole comes as it stands: the readers have
  // always seen it so (a control byte before a name there hides the field).
  line = taken_ ? field.FirstLine : TrimControls(field.FirstLine);
  taken_ = false;
  rest_ = field.ContinuationLines();
  return true;
}

THeaderLines THeaderLineWalk::TakeRest() {
  const THeaderLines rest = rest_;
  rest_ = THeaderLines();
  taken_ = true;
  return rest;
}

std::vector<THeaderField> ReadHeaderFields(std::string_view envelope) {
  std::vector<THeaderField> fields;
  THeaderFieldReader reader(envelope, kWholeLines);
  for (THeaderFieldView f; reader.Next(f);) {
    // Folds before the first field, and a line without a colon with its
    // folds, belong to no field.
    const std::size_t colon = f.FirstLine.find(':');
    if (IsContinuationLine(f.FirstLine) || colon == std::string_view::npos) continue;
    fields.push_back(
        {std::string(TrimFws(f.FirstLine.substr(0, colon))), std::string(f.FirstLine.substr(colon + 1))});
    THeaderField& field = fields.back();
    THeaderLines lines = f.ContinuationLines();
    for (std::string_view line; lines.Next(line);) field.Value.append(line);
  }
  return fields;
}

}  // namespace tarvo

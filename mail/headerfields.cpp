// The header block read once: lines, folding and field names by one rule
// for every reader, and no string per field unless it was folded.
#include "mail/headerfields.h"

#include <cstring>

#include "base/ascii.h"
#include "base/bytes.h"

namespace tarvo {

THeaderLineCut CutHeaderLine(std::string_view rest) {
  if (rest.empty()) return {};
  const std::size_t i = FindLineEnd(rest);
  std::size_t next = i;
  if (i < rest.size()) next = rest[i] == '\r' && i + 1 < rest.size() && rest[i + 1] == '\n' ? i + 2 : i + 1;
  return {rest.substr(0, i), next};
}

bool THeaderLines::Next(std::string_view& line) {
  if (rest_.empty()) return false;
  const THeaderLineCut cut = CutHeaderLine(rest_);
  line = cut.Text;
  rest_.remove_prefix(cut.Next);
  return true;
}

bool SplitFieldLine(std::string_view line, std::string_view& name, std::string_view& value) {
  // field-name = 1*ftext; ftext = %d33-57 / %d59-126. obs-field allows
  // blanks before the colon, as old mailers write "Name : value".
  std::size_t i = 0;
  while (i < line.size() && line[i] > ' ' && line[i] < 0x7F && line[i] != ':') ++i;
  if (i == 0) return false;
  std::size_t colon = i;
  while (colon < line.size() && IsWsp(line[colon])) ++colon;
  if (colon >= line.size() || line[colon] != ':') return false;
  name = line.substr(0, i);
  value = line.substr(colon + 1);
  return true;
}

// Gathers the entries first and unfolds the folded ones into one buffer.
class THeaderFieldsBuilder {
 public:
  // The entry whose first line starts at `group` (first line and folds,
  // without the last line end); `firstLine` is its first line.
  void Add(std::string_view group, std::string_view firstLine) {
    std::string_view name, value;
    THeaderField f;
    if (SplitFieldLine(firstLine, name, value)) {
      f.Name = name;
      f.Raw = group.substr(static_cast<std::size_t>(value.data() - group.data()));
    } else {
      f.Raw = group;
    }
    f.Value = f.Raw;
    if (group.size() > firstLine.size()) folded_ += f.Raw.size();
    fields_.fields_.push_back(f);
  }

  THeaderFields Finish() {
    if (folded_ == 0) return std::move(fields_);
    fields_.unfolded_ = std::make_unique<char[]>(folded_);
    char* out = fields_.unfolded_.get();
    for (THeaderField& f : fields_.fields_) {
      if (f.Raw.find_first_of("\r\n") == std::string_view::npos) continue;
      char* const start = out;
      for (char c : f.Raw)
        if (c != '\r' && c != '\n') *out++ = c;
      f.Value = std::string_view(start, static_cast<std::size_t>(out - start));
    }
    return std::move(fields_);
  }

 private:
  THeaderFields fields_;
  std::size_t folded_ = 0;
};

namespace {

bool IsContinuationLine(std::string_view line) { return !line.empty() && IsWsp(line[0]); }

// The first line of `rest` and the continuation lines after it: the
// group's bytes without its last line end, and where the next line starts.
struct TLineGroup {
  std::string_view First, Group;
  std::size_t Next = 0;
};

TLineGroup NextGroup(std::string_view rest) {
  const THeaderLineCut first = CutHeaderLine(rest);
  TLineGroup g{first.Text, first.Text, first.Next};
  while (g.Next < rest.size()) {
    const THeaderLineCut cut = CutHeaderLine(rest.substr(g.Next));
    if (!IsContinuationLine(cut.Text)) break;
    g.Group = rest.substr(0, g.Next + cut.Text.size());
    g.Next += cut.Next;
  }
  return g;
}

}  // namespace

THeaderFields ReadFields(std::string_view block) {
  THeaderFieldsBuilder b;
  for (std::size_t at = 0; at < block.size();) {
    const TLineGroup g = NextGroup(block.substr(at));
    b.Add(g.Group, g.First);
    at += g.Next;
  }
  return b.Finish();
}

THeaderFields ReadPartFields(std::string_view bytes, const std::function<bool(std::string_view)>& stops,
                             std::size_t& used) {
  THeaderFieldsBuilder b;
  used = 0;
  while (used < bytes.size()) {
    const TLineGroup g = NextGroup(bytes.substr(used));
    if (g.First.empty()) {
      used += CutHeaderLine(bytes.substr(used)).Next;  // the empty line ends the header
      break;
    }
    if (stops(g.First)) break;
    std::string_view name, value;
    // Folds before the first field belong to none.
    if (!IsContinuationLine(g.First) && !SplitFieldLine(g.First, name, value)) break;
    if (!IsContinuationLine(g.First)) b.Add(g.Group, g.First);
    used += g.Next;
  }
  return b.Finish();
}

const THeaderField* FindField(const THeaderFields& fields, std::string_view name) {
  for (const THeaderField& f : fields)
    if (f.IsField() && EqualsNoCase(f.Name, name)) return &f;
  return nullptr;
}

std::vector<const THeaderField*> FindFields(const THeaderFields& fields, std::string_view name) {
  std::vector<const THeaderField*> out;
  for (const THeaderField& f : fields)
    if (f.IsField() && EqualsNoCase(f.Name, name)) out.push_back(&f);
  return out;
}

}  // namespace tarvo

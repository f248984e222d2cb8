// The header-field reader on arbitrary bytes: its fields cover the block in
// order, each line stays inside it, and the three readers built on it agree
// between their stream and view forms.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "mail/mailutils.h"

using namespace tarvo;

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

void CheckLine(std::string_view line) {
  if (line.size() > kLineLookAhead) std::abort();
  for (char c : line)
    if (IsLineEnd(c)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view block(reinterpret_cast<const char*>(data), size);

  // Fields: contiguous, in order, with nothing but a line end between lines.
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  THeaderFieldReader reader(block);
  for (THeaderFieldView f; reader.Next(f);) {
    if (f.FirstLine.data() != block.data() + pos) std::abort();
    CheckLine(f.FirstLine);
    if (pos > 0 && IsContinuationLine(f.FirstLine)) std::abort();
    lines.push_back(f.FirstLine);
    const std::size_t gap = static_cast<std::size_t>(f.Continuations.data() - f.FirstLine.data()) - f.FirstLine.size();
    if (gap > 2) std::abort();
    for (std::size_t k = 0; k < gap; ++k)
      if (!IsLineEnd(f.FirstLine.data()[f.FirstLine.size() + k])) std::abort();
    THeaderLines cont = f.ContinuationLines();
    for (std::string_view l; cont.Next(l);) {
      if (!IsContinuationLine(l)) std::abort();
      CheckLine(l);
      lines.push_back(l);
    }
    pos = static_cast<std::size_t>(f.Continuations.data() - block.data()) + f.Continuations.size();
    if (pos > size) std::abort();
  }
  if (pos != size) std::abort();

  // The plain line reader gives the same lines.
  THeaderLines all(block);
  std::size_t n = 0;
  for (std::string_view l; all.Next(l); ++n)
    if (n >= lines.size() || l.data() != lines[n].data() || l.size() != lines[n].size()) std::abort();
  if (n != lines.size()) std::abort();

  // The walk: every line is given or taken once; given lines are trimmed
  // unless they follow a take.
  THeaderLineWalk walk(block);
  std::size_t seen = 0;
  bool tookLast = false;
  for (std::string_view l; walk.Next(l);) {
    ++seen;
    const bool trimmed = l.empty() || (static_cast<unsigned char>(l.front()) > 32 &&
                                       static_cast<unsigned char>(l.back()) > 32);
    if (!trimmed && !tookLast) std::abort();
    tookLast = !l.empty() && (static_cast<unsigned char>(l.front()) & 1);
    if (tookLast) {
      THeaderLines rest = walk.TakeRest();
      for (std::string_view r; rest.Next(r);) ++seen;
    }
  }
  if (seen != lines.size()) std::abort();

  // The readers on top of it: the view and the stream forms agree.
  TMemoryStream s{std::string(block)};
  TEnvSections a, b;
  if (GetEnvSections(block, a) != GetEnvSections(&s, b) || a.size() != b.size()) std::abort();
  TMailEnvFormat e1, e2;
  GetMailEnvFormat(block, e1);
  GetMailEnvFormat(&s, e2);
  if (e1.Subject != e2.Subject || e1.ContentType != e2.ContentType) std::abort();
  TReceivedLists r1, r2;
  if (GetReceivedLists(block, r1) != GetReceivedLists(&s, r2) || r1.size() != r2.size()) std::abort();
  if (s.Position() != 0) std::abort();
  return 0;
}

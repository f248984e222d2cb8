// The grammar's cursor over arbitrary bytes: every call moves forward
// inside the text and never past its end, whichever units it reads.
#include <cstdint>

#include "base/ascii.h"

using namespace tarvo;

namespace {

void Walk(std::string_view text, TTextUnits units) {
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t before = rest.size();
    const char c = rest.front();
    if (c == '(') {
      const std::string_view comment = ReadComment(rest, units);
      if (comment.data() < text.data() || comment.data() + comment.size() > text.data() + text.size())
        __builtin_trap();
      (void)UndoQuotedPairs(comment, units);
    } else if (c == '"') {
      if (ReadQuoted(rest, units).size() > before) __builtin_trap();
    } else if (ReadToken(rest).empty() && ReadAtom(rest).empty() && ReadUntil(rest, "(\"").empty()) {
      SkipCfws(rest);
      if (rest.size() == before) rest.remove_prefix(1);
    }
    if (rest.size() >= before || rest.data() + rest.size() != text.data() + text.size()) __builtin_trap();
  }
  for (std::size_t i = 0; i < text.size(); ++i)
    if (Utf8SequenceLength(text, i) > text.size() - i || Utf8ShapeLength(text, i) > text.size() - i) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Walk(text, TTextUnits::Bytes);
  Walk(text, TTextUnits::RawJapanese);
  (void)CollapseFws(text);
  return 0;
}

// The uuencode decoder and block finder over arbitrary bytes, and the round
// trip through an encoder of the classic form.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "jcode/jconvert.h"

using namespace tarvo;

namespace {

std::string Uuencode(std::string_view data) {
  const auto put = [](unsigned v) { return static_cast<char>(v == 0 ? '`' : 0x20 + v); };
  std::string out = "begin 644 f\n";
  for (std::size_t i = 0; i < data.size(); i += 45) {
    const std::string_view line = data.substr(i, 45);
    out += put(static_cast<unsigned>(line.size()));
    for (std::size_t g = 0; g < line.size(); g += 3) {
      const auto at = [&](std::size_t k) { return k < line.size() ? static_cast<unsigned char>(line[k]) : 0u; };
      const unsigned v = at(g) << 16 | at(g + 1) << 8 | at(g + 2);
      for (int shift = 18; shift >= 0; shift -= 6) out += put(v >> shift & 0x3F);
    }
    out += '\n';
  }
  return out + "`\nend\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string encoded = Uuencode(text);
  if (Uudecode(encoded) != text) std::abort();
  const auto whole = FindUuBlock(encoded);
  if (!whole || whole->Begin != 0 || whole->End + 1 != encoded.size()) std::abort();

  // A line gives at most 63 bytes.
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n' || c == '\r';
  if (Uudecode(text).size() > 63 * lines) std::abort();
  std::size_t from = 0;
  while (const auto block = FindUuBlock(text, from)) {
    if (block->Begin < from || block->End <= block->Begin || block->End > text.size()) std::abort();
    if (block->Name.empty()) std::abort();
    (void)Uudecode(text.substr(block->Begin, block->End - block->Begin));
    from = block->End;
  }
  return 0;
}

// Folding for look-alike names over arbitrary bytes, and the brand lookup
// on what it gives: it must end, and a folded text folds to itself.
#include <cstdint>

#include "checks/brands.h"
#include "jcode/textfold.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TFoldedText f = FoldForMatching(text);
  if (f.Invisible.size() > 8) __builtin_trap();
  if (FoldForMatching(f.Joined).Joined != f.Joined) __builtin_trap();
  (void)BrandsNamedIn(f.Joined, f.Spaced);
  return 0;
}

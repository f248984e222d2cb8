// The header reader on arbitrary bytes: its entries cover the block in
// order, each view lies inside the block, a value unfolded is its raw value
// without line breaks, and the header list and the lookups stay in bounds.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mail/mailutils.h"

using namespace tarvo;

namespace {

bool Inside(std::string_view v, std::string_view block) {
  return v.empty() || (v.data() >= block.data() && v.data() + v.size() <= block.data() + block.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view block(reinterpret_cast<const char*>(data), size);
  const THeaderFields fields = ReadFields(block);
  const char* last = block.data();
  for (const THeaderField& f : fields) {
    if (!Inside(f.Name, block) || !Inside(f.Raw, block)) std::abort();
    if (!f.Raw.empty() && f.Raw.data() < last) std::abort();
    if (!f.Raw.empty()) last = f.Raw.data() + f.Raw.size();
    std::string unfolded;
    for (char c : f.Raw)
      if (c != '\r' && c != '\n') unfolded += c;
    if (unfolded != f.Value) std::abort();
    if (f.IsField() && FindField(fields, f.Name) == nullptr) std::abort();
  }
  if (HeaderRows(fields).size() > fields.size()) std::abort();
  std::size_t used = 0;
  const THeaderFields part = ReadPartFields(block, [](std::string_view line) { return line == "--b"; }, used);
  if (used > size || part.size() > fields.size() + 1) std::abort();
  return 0;
}

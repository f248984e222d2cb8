// The whole loading pipeline on arbitrary bytes, and the envelope check on
// every header row it lists.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/errors.h"
#include "mail/explain.h"
#include "mail/pipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarvo::TMailViews views;
  try {
    tarvo::LoadMailBytes(std::string(reinterpret_cast<const char*>(data), size), views);
  } catch (const tarvo::ETarvoError&) {
    // The conversion error may end a load; the views keep what was filled.
  }
  static volatile std::size_t sink;
  for (const auto& row : views.ListView1) sink = tarvo::HeaderExplanationLines(row.Name, row.Value).size();
  return 0;
}

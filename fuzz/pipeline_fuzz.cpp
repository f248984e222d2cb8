// The whole loading pipeline on arbitrary bytes, the envelope check on
// every header row it lists, and the --dump writer on the views. Bytes in memory cannot fail to open and the
// address lookup never raises, so any exception here is a finding.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

#include "mail/explain.h"
#include "views/dump.h"
#include "views/pipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarvo::TMailViews views;
  tarvo::LoadMailBytes(std::string(reinterpret_cast<const char*>(data), size), views);
  // Every body line gets a converted line; notes of the lookup only go to Memo3.
  if (views.Memo2.Count() > views.Memo3.Count()) __builtin_trap();
  for (const auto& row : views.ListView1)
    if (tarvo::HeaderExplanationLines(row.Name, row.Value).empty()) __builtin_trap();
  // The writer's output goes nowhere; what counts is that it reads only
  // what the views hold.
  struct TDiscard : std::streambuf {
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
  } discard;
  std::ostream out(&discard);
  tarvo::WriteMailViews("fuzz.eml", views, nullptr, out);
  return 0;
}

// Received parsing and the country and network lookups on arbitrary header bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "jcode/DString.h"
#include "mail/mailutils.h"
#include "route/asn.h"
#include "route/lookup.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream envelope(std::string(reinterpret_cast<const char*>(data), size));
  TReceivedLists lists;
  const std::int32_t n = GetReceivedLists(&envelope, lists);
  if (n != static_cast<std::int32_t>(lists.size()) || envelope.Position() != 0) std::abort();
  TStringList memo3;
  for (const TReceivedList& r : lists) {
    (void)IPToCountry(r.IP, memo3);
    (void)IPToNetwork(r.IP);
    (void)FormatMailDate(ExtractReceivedDate(r.ReceivedText));
    int o[4];
    ParseIPOctets(r.IP, o[0], o[1], o[2], o[3]);
    for (int v : o)
      if (v > 255) std::abort();
  }
  if (memo3.Count() > lists.size()) std::abort();
  // The whole input as one line and one date.
  TReceivedList one;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ParseReceivedLine(text, one);
  (void)IPToNetwork(text);
  (void)IPToNetwork(one.IP);
  (void)FormatMailDate(text);
  return 0;
}

// Received parsing and the country and network lookups on arbitrary header bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "jcode/iptext.h"
#include "mail/mailutils.h"
#include "route/asn.h"
#include "route/lookup.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view envelope(reinterpret_cast<const char*>(data), size);
  TReceivedLists lists;
  const std::int32_t n = GetReceivedLists(ReadFields(envelope), lists);
  if (n != static_cast<std::int32_t>(lists.size())) std::abort();
  for (const TReceivedList& r : lists) {
    const TCountryAnswer a = IPToCountry(r.IP);
    if (a.NotFound && a.Country != "" && a.Country != "Local host" && a.Country != "Local netowrk") std::abort();
    (void)FormatDateTime(ParseMailDate(ExtractReceivedDate(r.ReceivedText)));
    (void)IPToNetwork(r.IP);
    int o[4];
    ParseIPOctets(r.IP, o[0], o[1], o[2], o[3]);
    for (int v : o)
      if (v > 255) std::abort();
  }
  // The whole input as one field and one date.
  TReceivedList one;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ParseReceivedField(text, one);
  if (!one.IP.empty() && AddressCore(one.IP) != one.IP) std::abort();
  (void)IPToNetwork(text);
  (void)IPToNetwork(one.IP);
  (void)FormatMailDate(text);
  const TMailDate d = ParseMailDate(text);
  if (d.Valid && (d.Month < 1 || d.Month > 12 || d.Day < 1 || d.Day > 31 || d.Hour > 23)) std::abort();
  (void)IPToCountry(text);
  return 0;
}

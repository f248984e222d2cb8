// Address text and the network-owner table reader on arbitrary bytes: the
// input is tried as an address, and as a table behind a valid magic.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "route/asn.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto a = ParseAddressText(text);
  const std::string owner = IPToNetwork(text);
  if (!a && !owner.empty()) std::abort();
  if (a && IsSpecialAddress(*a) && !owner.empty()) std::abort();

  const std::string bytes = "TarvoAS1" + std::string(text);  // the table points into it
  const TASTable table(bytes);
  const TIPAddress probes[] = {a.value_or(TIPAddress{}), *ParseAddressText("1.2.3.4"),
                               *ParseAddressText("2001:200::1")};
  for (const TIPAddress& p : probes) (void)table.Find(p);
  for (std::uint32_t i = 0; i < table.ASCount() && i < 64; ++i) (void)table.Owner(i);
  if (!table.Valid() && table.Find(probes[1])) std::abort();
  return 0;
}

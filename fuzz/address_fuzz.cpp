// Address fields over arbitrary bytes: every mailbox found must be a piece
// of the value or a decoding of one, and parsing must end.
#include <cstdint>

#include "mail/mailutils.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view value(reinterpret_cast<const char*>(data), size);
  const std::vector<TMailAddress> all = SplitMailAddresses(value);
  // Each mailbox needs at least one byte of the value.
  if (all.size() > size) __builtin_trap();
  const TMailAddress first = SplitMailAddress(value);
  if (!all.empty() && (first.Name != all.front().Name || first.Address != all.front().Address)) __builtin_trap();
  return 0;
}

// An mbox over arbitrary bytes: the messages are pieces of the file in
// order, never overlapping, and unescaping only ever removes bytes.
#include <cstdint>

#include "mail/mailbox.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view mbox(reinterpret_cast<const char*>(data), size);
  TMboxReader reader(mbox);
  TMboxMessage m;
  std::uint64_t last = 0;
  bool first = true;
  while (reader.Next(m)) {
    if (!first && m.Offset <= last) __builtin_trap();
    if (m.Bytes.data() < mbox.data() || m.Bytes.data() + m.Bytes.size() > mbox.data() + mbox.size()) __builtin_trap();
    if (UnescapeMboxMessage(m.Bytes).size() > m.Bytes.size()) __builtin_trap();
    last = m.Offset;
    first = false;
  }
  return 0;
}

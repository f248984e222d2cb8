// Header text decoding over arbitrary bytes; half of the inputs are wrapped
// as encoded words of a known charset so the decoders get deep.
#include <cstdint>

#include "jcode/jconvert.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  static const char* const kPrefixes[] = {
      "=?ISO-2022-JP?B?", "=?iso-2022-jp?q?", "=?UTF-8?B?", "=?utf-8?Q?",     "=?GB2312?B?", "=?SJIS?Q?",
      "=?EUC-JP?Q?",      "=?UTF-16?B?",      "=?ISO-2202-JP?B?", "=?x-none?Q?", "", ""};
  const std::uint8_t sel = data[0];
  std::string value = kPrefixes[sel % 12];
  if (value.empty()) {
    value.assign(text);
  } else {
    value += (sel & 0x10) ? Base64Encode(text) : std::string(text);
    if (sel & 0x20) value += "?=";
  }
  (void)DecodeHeaderText(value);
  (void)DecodeHeaderTextUtf8(value);
  (void)UTF8ToSJIS(text);
  return 0;
}

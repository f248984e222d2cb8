// The carrier emoji readings over arbitrary bytes: each carrier, each
// charset that maps emoji, and the raw header and body-line readings. What
// comes out is always well-formed UTF-8.
#include <cstdint>
#include <optional>

#include "jcode/charset.h"
#include "jcode/jconvert.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t sel = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  static const char* const kFallbacks[] = {"", "iso-8859-1", "windows-1251", "koi8-r"};
  const TTextContextScope scope({static_cast<TCarrier>(sel % 4), kFallbacks[(sel >> 2) % 4]});
  const TCarrier carrier = CurrentTextContext().Carrier;
  for (const char* charset : {"iso-2022-jp", "shift_jis", "utf-8"}) {
    const std::optional<std::string> out = DecodeCharsetToUtf8(text, charset);
    if (!out || CheckedUtf8(*out) != *out) __builtin_trap();
  }
  const std::string outs[] = {SjisToUtf8(text, carrier), Iso2022JpToUtf8(text, carrier),
                              PrivateUseEmojiToUnicode(std::string(text), carrier), RawHeaderTextToUtf8(text),
                              LineToUtf8(text)};
  // Only the private-use pass takes its input as UTF-8 without checking it.
  for (int i : {0, 1, 3, 4})
    if (CheckedUtf8(outs[i]) != outs[i]) __builtin_trap();
  if (size > 2) (void)CarrierEmoji(carrier, data[1], data[2]);
  if (size > 1) (void)SoftBankWebCodeToSjis("GEFOPQX"[sel % 7], data[1]);
  return 0;
}

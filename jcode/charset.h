// Text in a named charset to Unicode, and the display rule for bytes as stored.
// Decoded text is UTF-8 in a std::string; a byte that starts no character is
// kept as the private-use code point U+F700 + byte (or U+FFFD where asked).
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "base/cp932.h"
#include "base/lines.h"  // TTextKind
#include "jcode/emoji.h"

namespace tarvo {

// What a message says about how to read its text beyond each part's own
// charset: the carrier whose emoji it holds, and the one charset it
// declares for its text when that is neither Japanese nor UTF-8 (raw 8-bit
// header text that reads as no Japanese code is read in it).
struct TTextContext {
  TCarrier Carrier = TCarrier::Unknown;
  std::string FallbackCharset;
};

// The context of the message this thread is decoding (none: the default).
[[nodiscard]] const TTextContext& CurrentTextContext();
// Makes `context` the current one until the scope ends.
class TTextContextScope {
 public:
  explicit TTextContextScope(TTextContext context);
  ~TTextContextScope();
  TTextContextScope(const TTextContextScope&) = delete;
  TTextContextScope& operator=(const TTextContextScope&) = delete;

 private:
  TTextContext context_;
  const TTextContext* saved_;
};

// True for the names of ISO-2022-JP, Shift_JIS and EUC-JP (and their kin).
[[nodiscard]] bool IsJapaneseCharset(std::string_view charset);

// ISO-2022-JP to UTF-8: JIS X 0208 (and the escapes of its kin), half-width
// katakana after ESC ( I, SoftBank's web codes (ESC $ G ... SI), the
// carrier's emoji (and docomo's Shift_JIS codes, which its phones put
// among JIS text as they are). Any other 8-bit byte starts no character.
[[nodiscard]] std::string Iso2022JpToUtf8(std::string_view bytes, TCarrier carrier,
                                          TDecodeMode mode = TDecodeMode::Replace);

// EUC-JP to UTF-8: JIS X 0208 pairs and half-width katakana by the code page
// 932 table, JIS X 0212 through iconv. A byte that starts no character is
// undecodable, and the byte after it is read afresh.
[[nodiscard]] std::string EucJpToUtf8(std::string_view bytes, TDecodeMode mode);

// The charset name as MIME writes it, lower-cased, without quotes, blanks or
// an RFC 2231 language suffix ("UTF-8*ja" -> "utf-8").
[[nodiscard]] std::string NormaliseCharset(std::string_view name);

// `bytes` in `charset` to UTF-8. ISO-2022-JP, Shift_JIS (and its Windows
// names) and EUC-JP go through our own converters and the code page 932
// table; UTF-8 is checked (a byte-order mark dropped); every other charset
// goes through iconv; the current context's carrier emoji become Unicode,
// and a byte that starts no character U+FFFD. std::nullopt when the charset is unknown, and for
// us-ascii text that holds 8-bit bytes (the caller then guesses per line).
[[nodiscard]] std::optional<std::string> DecodeCharsetToUtf8(std::string_view bytes, std::string_view charset);

// True when `s` is well-formed UTF-8 holding at least one multi-byte sequence.
[[nodiscard]] bool IsUtf8Multibyte(std::string_view s);

// UTF-8 text with every malformed byte as U+F700 + byte (Lossless) or U+FFFD.
[[nodiscard]] std::string CheckedUtf8(std::string_view s, TDecodeMode mode = TDecodeMode::Lossless);

// Stored bytes for display: as UTF-8 when IsUtf8Multibyte, else as code page 932.
[[nodiscard]] std::string StoredTextToUtf8(std::string_view bytes, TDecodeMode mode = TDecodeMode::Lossless);

// A view's line for display or --dump, by the view's kind. Replace mode also
// turns decoded text's U+F700 + byte code points into U+FFFD.
[[nodiscard]] std::string TextToUtf8(std::string_view text, TTextKind kind, TDecodeMode mode);

}  // namespace tarvo

// Text in a named charset to Unicode, and the display rule for bytes as stored.
// Decoded text is UTF-8 in a std::string; a byte that starts no character is
// kept as the private-use code point U+F700 + byte (or U+FFFD where asked).
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "base/cp932.h"
#include "base/lines.h"  // TTextKind

namespace tarvo {


// The charset name as MIME writes it, lower-cased, without quotes, blanks or
// an RFC 2231 language suffix ("UTF-8*ja" -> "utf-8").
[[nodiscard]] std::string NormaliseCharset(std::string_view name);

// `bytes` in `charset` to UTF-8. ISO-2022-JP, Shift_JIS (and its Windows
// names) and EUC-JP go through our own converters and the code page 932
// table; UTF-8 is checked (a byte-order mark dropped); every other charset
// goes through iconv. std::nullopt when the charset is unknown, and for
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

// The display codec: code page 932 bytes <-> Unicode, table-driven, built once
// from glibc iconv ("CP932"). Every valid pair decodes to its character (the
// NEC and IBM duplicates, the user-defined area as U+E000..U+E757); a byte that
// starts no character is shown as the private-use code point U+F700 + byte,
// and encoding maps it back. Encoding writes the code Windows writes.
#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace tarvo {

enum class TDecodeMode {
  Lossless,  // undecodable bytes -> U+F700 + byte (what the window shows)
  Replace,   // undecodable bytes -> U+FFFD (what --dump writes)
};

// CP932 bytes to UTF-8.
[[nodiscard]] std::string Cp932ToUtf8(std::string_view cp932, TDecodeMode mode = TDecodeMode::Lossless);
// The same appended to `out`, but each run of ASCII bytes handed to `ascii`
// to append (JSON escapes them on the way: one pass, no copy between).
void AppendCp932AsUtf8(std::string_view cp932, TDecodeMode mode, std::string& out,
                       const std::function<void(std::string_view)>& ascii);

// True when the two bytes are one character of code page 932.
[[nodiscard]] bool IsCp932Pair(unsigned char lead, unsigned char trail);

// UTF-8 to CP932 bytes. U+F700..U+F7FF become the byte they stand for; a
// character CP932 lacks, and a malformed UTF-8 byte, become '?'.
[[nodiscard]] std::string Utf8ToCp932(std::string_view utf8);

// UTF-16 code units to CP932; a unit CP932 lacks (surrogates included)
// becomes '?', the default character of the Windows conversion.
[[nodiscard]] std::string Utf16ToCp932(std::u16string_view units);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace tarvo

// Byte-string helpers shared by every layer. Texts are std::string holding
// bytes (Shift-JIS after conversion); a NUL is an ordinary byte here unless
// the function says otherwise.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

// Lead bytes of a double-byte character in code page 932.
constexpr bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Index of the first CR or LF in `s`, or its size.
[[nodiscard]] std::size_t FindLineEnd(std::string_view s);

// True when every byte is below 0x80 and none is ESC: text that reads the
// same in every Japanese code and in UTF-8.
[[nodiscard]] bool IsPlainAscii(std::string_view s);

// Removes every leading and trailing byte whose value is 32 or less.
[[nodiscard]] std::string Trim(std::string_view s);

// Upper-cases the ASCII letters a..z only; double-byte characters stay,
// even when their trail byte is a letter.
[[nodiscard]] std::string UpperCase(std::string_view s);

// Position (0-based) of the first match of `sub` in `s`, or npos. A match
// never begins on the second byte of a double-byte character, and only the
// text before the first NUL of `s` is searched. An empty `sub` never matches.
[[nodiscard]] std::size_t MbcsFind(std::string_view s, std::string_view sub);
[[nodiscard]] inline bool MbcsContains(std::string_view s, std::string_view sub) {
  return MbcsFind(s, sub) != std::string_view::npos;
}

// The same as MbcsContains(UpperCase(s), upperSub) for an upper-cased `upperSub`,
// without building the upper-cased copy.
[[nodiscard]] bool MbcsContainsNoCase(std::string_view s, std::string_view upperSub);

// Integer conversion: optional leading blanks, optional sign, decimal digits;
// a "$", "x", "X", "0x" or "0X" prefix reads hexadecimal. Anything else, an
// empty text, or a value beyond 32 bits fails.
[[nodiscard]] bool TryStrToInt(std::string_view s, std::int32_t& out);
[[nodiscard]] std::int32_t StrToIntDef(std::string_view s, std::int32_t def);
// Raises EConvertError "'%s' は整数ではありません" on failure.
[[nodiscard]] std::int32_t StrToInt(std::string_view s);

// Decimal text of a signed number.
[[nodiscard]] std::string IntToStr(std::int64_t n);
// Decimal text of n, with a "0" in front when it is a single character.
[[nodiscard]] std::string TwoDigitNumber(std::int32_t n);

// Two lower-case hexadecimal digits per byte, appended to `out`.
void AppendLowerHex(std::string& out, std::string_view bytes);
[[nodiscard]] std::string LowerHex(std::string_view bytes);

}  // namespace tarvo

// Small string helpers shared across the system.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

// Decimal text of n, with a "0" in front when it is a single character.
[[nodiscard]] std::string TwoDigitNumber(std::int32_t n);

// The path unchanged when its last byte is '\', else the path and "\".
[[nodiscard]] std::string AddTrailingBackslash(std::string_view path);

// Dotted text into its first three parts and its last one: each 0..255,
// -1 when missing, not a number or above 255, -2 for exactly "*".
void ParseIPOctets(std::string_view text, int& A, int& B, int& C, int& D);

// The address number of a dotted text (upper 32 bits 0); a part that is not
// a number raises EConvertError. Parts wrap to their low 8 bits.
[[nodiscard]] std::int64_t IPTextToNumber(std::string_view text);

// Folder of the running program's file, ending in the platform's separator.
[[nodiscard]] std::string ProgramFolder();

}  // namespace tarvo

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

// Folder of the running program's file, ending in the platform's separator.
[[nodiscard]] std::string ProgramFolder();

}  // namespace tarvo

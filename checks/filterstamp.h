// Helpers the filter readers share (filters.cpp).
#pragma once
#include <string_view>
#include <vector>

#include "checks/filters.h"

namespace tarvo {

inline constexpr std::string_view kUnknownValue = "この値は文書に記載がありません（不明）。";

// The pieces of `s` between the separators, empty ones included.
[[nodiscard]] std::vector<std::string_view> SplitOn(std::string_view s, char separator);
// A verdict from the worst value a stamp holds and the value that says the
// filtering was skipped, if any.
[[nodiscard]] TFilterVerdict MakeVerdict(const TFilterMeaning& worst, const TFilterMeaning* skip);

}  // namespace tarvo

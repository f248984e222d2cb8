// The envelope check: the Japanese explanation of one header field, a
// separator and its value, decoded where the field usually carries encoded
// words. The window shows these lines for the selected header row.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "jcode/charset.h"

namespace tarvo {

// The lines (UTF-8; stored bytes that start no character as U+F700 + byte)
// for a header row: `name` as the header list holds it
// (compared upper-cased, not trimmed), `value` as it holds it; raw text and
// emoji read as `context` (the message's) says.
[[nodiscard]] std::vector<std::string> HeaderExplanationLines(std::string_view name, std::string_view value,
                                                              const TTextContext& context = {});

}  // namespace tarvo

// Brands that phishing most often wears, in Japan and worldwide, with the
// domains they really send from.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

struct TBrand {
  const char* Name;     // as shown to the reader
  const char* Keys;     // "|"-separated names as they are folded for matching
  const char* Domains;  // " "-separated; "name.*" is the name under any public suffix
};

// The brands whose names a folded text holds. Keys of four characters or
// fewer must stand as words in `spaced`; longer ones may sit anywhere in
// `joined` (blanks dropped, so "C o i n b a s e" still names Coinbase).
[[nodiscard]] std::vector<const TBrand*> BrandsNamedIn(std::string_view joined, std::string_view spaced);

// Whether `key` stands in `text` with no ASCII letter or digit touching it.
[[nodiscard]] bool HasWord(std::string_view text, std::string_view key);

// Whether a host belongs to one of the brand's organisational domains.
[[nodiscard]] bool IsBrandHost(const TBrand& brand, std::string_view host);

}  // namespace tarvo

// Searches over the country table.
#include "base/cp932.h"
#include "route/CountryNames.h"

namespace tarvo {

const std::array<std::string, kCountryCount>& CountryNameJ() {
  static const std::array<std::string, kCountryCount> names = [] {
    std::array<std::string, kCountryCount> a;
    for (std::size_t i = 0; i < kCountryCount; ++i) a[i] = Utf8ToCp932(CountryNameJUtf8[i]);
    return a;
  }();
  return names;
}

int FindCountryCode(std::string_view code) {
  for (std::size_t i = 0; i < kCountryCount; ++i)
    if (code == CountryCode2[i]) return static_cast<int>(i);
  return -1;
}

}  // namespace tarvo

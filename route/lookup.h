// The country of an IP address text, from the embedded IP-range table and
// the country table.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/stream.h"
#include "base/strlist.h"

namespace tarvo {

// One 12-byte record of ccTLD.bin: first and last address (inclusive,
// unsigned 32-bit little endian), then a length-prefixed code of up to 3.
struct TCountryRange {
  std::uint32_t FirstAddress = 0;
  std::uint32_t LastAddress = 0;
  std::string Code;
};
constexpr std::size_t kCountryRangeSize = 12;

// Decodes the record that starts at `record` (12 bytes).
[[nodiscard]] TCountryRange ReadCountryRange(const char* record);

// Code of the range that holds `v`: binary search over a sorted table of
// non-overlapping records, read in place. nullopt when no range holds it.
[[nodiscard]] std::optional<std::string> FindRangeCode(std::string_view table, std::uint32_t v);
// The same by reading records from the stream's position until the first
// that holds `v`: the plain scan the binary search must agree with.
[[nodiscard]] std::optional<std::string> FindRangeCodeLinear(TMemoryStream& table, std::int64_t v);

// "Unknown" for an empty text; else the Japanese name (CP932) of the range's
// country, or "" / "Local host" / "Local netowrk" when no range holds it, in
// which case "Not found IP..." is appended to memo3. A text that is not a
// dotted number counts as an address no range holds.
[[nodiscard]] std::string IPToCountry(const std::string& ip, TStringList& memo3);
// The same answer by scanning a fresh copy of the table (reference).
[[nodiscard]] std::string IPToCountryLinear(const std::string& ip, TStringList& memo3);

}  // namespace tarvo

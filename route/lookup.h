// The country of an IP address text, from the embedded IP-range table and
// the country table.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/stream.h"
#include "jcode/iptext.h"

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

// The records of ccTLD6.bin: first and last address (inclusive, 16 bytes
// each, big endian), then the code as in the IPv4 records.
struct TCountryRange6 {
  TIPv6Address FirstAddress{};
  TIPv6Address LastAddress{};
  std::string Code;
};
constexpr std::size_t kCountryRange6Size = 36;

[[nodiscard]] TCountryRange6 ReadCountryRange6(const char* record);
// Binary search over a sorted IPv6 table, as FindRangeCode.
[[nodiscard]] std::optional<std::string> FindRangeCode6(std::string_view table, const TIPv6Address& v);

// What the lookup says about one address text.
struct TCountryAnswer {
  std::string Country;    // CP932
  bool NotFound = false;  // no range holds the address: the caller notes it
};

// The note the route view writes for each relay no range holds.
inline constexpr std::string_view kNotFoundNote = "Not found IP...";

// "Unknown" for an empty text; else the Japanese name (CP932) of the range's
// country, or "" / "Local host" / "Local netowrk" when no range holds it.
// IPv6 texts (an "IPv6:" tag and a zone allowed) are looked up in the IPv6
// table: ::1 is the local host, fe80::/10 and fc00::/7 the local network,
// and ::ffff:a.b.c.d is a.b.c.d. A text that is neither form counts as an
// address no range holds.
[[nodiscard]] TCountryAnswer IPToCountry(std::string_view ip);
// The same answer by scanning fresh copies of the tables (reference).
[[nodiscard]] TCountryAnswer IPToCountryLinear(std::string_view ip);

}  // namespace tarvo

#include "route/lookup.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/bytes.h"
#include "base/errors.h"
#include "route/EmbeddedTable.h"
#include "route/CountryNames.h"

namespace tarvo {

namespace {

std::uint32_t ReadU32LE(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::string ReadCode(const char* lengthByte) {
  const std::size_t len = std::min<std::size_t>(static_cast<unsigned char>(lengthByte[0]), 3);
  return std::string(lengthByte + 1, len);
}

// Big-endian bytes compare as the numbers they hold.
int Compare6(const char* record, const TIPv6Address& v) {
  return std::memcmp(record, v.data(), v.size());
}

// The address number, or nullopt for a text that is not dotted decimal
// (a host name, an empty or surplus part): such a relay is one the table
// cannot hold, not a reason to stop loading the message.
std::optional<std::int64_t> AddressNumber(std::string_view ip) {
  try {
    return IPTextToNumber(ip);
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

bool IsPrivate4(std::uint32_t v) {
  return (v >> 24) == 10 || (v >> 20) == (172u << 4 | 1) || (v >> 16) == (192u << 8 | 168);
}

// The row's name for a range's code; a code without a row leaves `result`.
void NameCountry(const std::string& code, std::string& result) {
  const int row = FindCountryCode(UpperCase(code));
  if (row >= 0) result = CountryNameJ()[static_cast<std::size_t>(row)];
}

template <class Search4>
TCountryAnswer Lookup4(std::string_view ip, Search4 search) {
  int a, b, c, d;
  ParseIPOctets(ip, a, b, c, d);
  TCountryAnswer answer;
  if (a == 127) answer.Country = "Local host";
  if (a == 192 && b == 168) answer.Country = "Local netowrk";
  const std::optional<std::int64_t> v = AddressNumber(ip);
  const std::optional<std::string> code = v ? search(*v) : std::nullopt;
  if (code) NameCountry(*code, answer.Country);
  else answer.NotFound = true;
  return answer;
}

template <class Search4, class Search6>
TCountryAnswer Lookup(std::string_view ip, Search4 search4, Search6 search6) {
  if (ip.empty()) return {"Unknown", false};
  const std::string_view core = AddressCore(ip);
  const std::optional<TIPv6Address> v6 = core.find(':') == std::string_view::npos
                                             ? std::nullopt
                                             : ParseIPv6Address(core);
  if (!v6) return Lookup4(ip, search4);

  const TIPv6Address& x = *v6;
  static constexpr std::uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  if (std::memcmp(x.data(), kMapped, sizeof kMapped) == 0) {
    const std::uint32_t v4 = static_cast<std::uint32_t>(x[12]) << 24 | static_cast<std::uint32_t>(x[13]) << 16 |
                             static_cast<std::uint32_t>(x[14]) << 8 | x[15];
    const std::string dotted = std::to_string(x[12]) + "." + std::to_string(x[13]) + "." +
                               std::to_string(x[14]) + "." + std::to_string(x[15]);
    TCountryAnswer answer = Lookup4(dotted, search4);
    if (answer.NotFound && answer.Country.empty() && IsPrivate4(v4)) answer.Country = "Local netowrk";
    return answer;
  }
  TCountryAnswer answer;
  static constexpr TIPv6Address kLoopback = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  if (x == kLoopback) answer.Country = "Local host";
  if ((x[0] & 0xFE) == 0xFC || (x[0] == 0xFE && (x[1] & 0xC0) == 0x80)) answer.Country = "Local netowrk";
  const std::optional<std::string> code = search6(x);
  if (code) NameCountry(*code, answer.Country);
  else answer.NotFound = true;
  return answer;
}

std::optional<std::string> FindRangeCode6Linear(TMemoryStream& table, const TIPv6Address& v) {
  char record[kCountryRange6Size];
  while (table.Size() >= kCountryRange6Size && table.Position() <= table.Size() - kCountryRange6Size) {
    (void)table.Read(record, sizeof record);
    if (Compare6(record, v) <= 0 && Compare6(record + 16, v) >= 0) return ReadCode(record + 32);
  }
  return std::nullopt;
}

}  // namespace

TCountryRange ReadCountryRange(const char* record) {
  TCountryRange r;
  r.FirstAddress = ReadU32LE(record);
  r.LastAddress = ReadU32LE(record + 4);
  r.Code = ReadCode(record + 8);
  return r;
}

TCountryRange6 ReadCountryRange6(const char* record) {
  TCountryRange6 r;
  std::memcpy(r.FirstAddress.data(), record, 16);
  std::memcpy(r.LastAddress.data(), record + 16, 16);
  r.Code = ReadCode(record + 32);
  return r;
}

std::optional<std::string> FindRangeCode(std::string_view table, std::uint32_t v) {
  // The last record whose first address is <= v is the only one that can hold v.
  std::size_t lo = 0, hi = table.size() / kCountryRangeSize;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (ReadU32LE(table.data() + mid * kCountryRangeSize) <= v) lo = mid + 1;
    else hi = mid;
  }
  if (lo == 0) return std::nullopt;
  TCountryRange r = ReadCountryRange(table.data() + (lo - 1) * kCountryRangeSize);
  if (v > r.LastAddress) return std::nullopt;
  return std::move(r.Code);
}

std::optional<std::string> FindRangeCode6(std::string_view table, const TIPv6Address& v) {
  std::size_t lo = 0, hi = table.size() / kCountryRange6Size;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (Compare6(table.data() + mid * kCountryRange6Size, v) <= 0) lo = mid + 1;
    else hi = mid;
  }
  if (lo == 0) return std::nullopt;
  const char* record = table.data() + (lo - 1) * kCountryRange6Size;
  if (Compare6(record + 16, v) < 0) return std::nullopt;
  return ReadCode(record + 32);
}

std::optional<std::string> FindRangeCodeLinear(TMemoryStream& table, std::int64_t v) {
  char record[kCountryRangeSize];
  while (table.Size() >= kCountryRangeSize && table.Position() <= table.Size() - kCountryRangeSize) {
    (void)table.Read(record, sizeof record);
    const std::int64_t first = ReadU32LE(record), last = ReadU32LE(record + 4);
    if (first <= v && v <= last) return ReadCountryRange(record).Code;
  }
  return std::nullopt;
}

TCountryAnswer IPToCountry(std::string_view ip) {
  const std::string_view table = IPv4RangeTable().Data(), table6 = IPv6RangeTable().Data();
  return Lookup(
      ip, [table](std::int64_t v) { return FindRangeCode(table, static_cast<std::uint32_t>(v)); },
      [table6](const TIPv6Address& v) { return FindRangeCode6(table6, v); });
}

TCountryAnswer IPToCountryLinear(std::string_view ip) {
  return Lookup(
      ip,
      [](std::int64_t v) {
        const std::unique_ptr<TMemoryStream> table = IPv4RangeTable().GetDataStream();
        return FindRangeCodeLinear(*table, v);
      },
      [](const TIPv6Address& v) {
        const std::unique_ptr<TMemoryStream> table = IPv6RangeTable().GetDataStream();
        return FindRangeCode6Linear(*table, v);
      });
}

}  // namespace tarvo

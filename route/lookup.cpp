#include "route/lookup.h"

#include <algorithm>
#include <memory>

#include "base/bytes.h"
#include "base/errors.h"
#include "jcode/DString.h"
#include "route/ResData.h"
#include "route/ccTDL.h"

namespace tarvo {

namespace {

constexpr const char* kNotFound = "Not found IP...";

std::uint32_t ReadU32LE(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

// The address number, or nullopt for a text that is not dotted decimal
// (an IPv6 address, a host name, an empty or surplus part): such a relay is
// one the table cannot hold, not a reason to stop loading the message.
std::optional<std::int64_t> AddressNumber(const std::string& ip) {
  try {
    return IPTextToNumber(ip);
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

template <class Search>
std::string Lookup(const std::string& ip, TStringList& memo3, Search search) {
  if (ip.empty()) return "Unknown";
  int a, b, c, d;
  ParseIPOctets(ip, a, b, c, d);
  std::string result;
  if (a == 127) result = "Local host";
  if (a == 192 && b == 168) result = "Local netowrk";

  const std::optional<std::int64_t> v = AddressNumber(ip);
  const std::optional<std::string> code = v ? search(*v) : std::nullopt;
  if (!code) {
    memo3.Add(kNotFound);
    return result;
  }
  // A code without a row leaves the result as it is, with no note.
  const int row = FindCountryCode(UpperCase(*code));
  if (row >= 0) result = CountryNameJ()[static_cast<std::size_t>(row)];
  return result;
}

}  // namespace

TCountryRange ReadCountryRange(const char* record) {
  TCountryRange r;
  r.FirstAddress = ReadU32LE(record);
  r.LastAddress = ReadU32LE(record + 4);
  const std::size_t len = std::min<std::size_t>(static_cast<unsigned char>(record[8]), 3);
  r.Code.assign(record + 9, len);
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

std::optional<std::string> FindRangeCodeLinear(TMemoryStream& table, std::int64_t v) {
  char record[kCountryRangeSize];
  while (table.Size() >= kCountryRangeSize && table.Position() <= table.Size() - kCountryRangeSize) {
    (void)table.Read(record, sizeof record);
    const std::int64_t first = ReadU32LE(record), last = ReadU32LE(record + 4);
    if (first <= v && v <= last) return ReadCountryRange(record).Code;
  }
  return std::nullopt;
}

std::string IPToCountry(const std::string& ip, TStringList& memo3) {
  const std::string_view table = ccTDL().Data();
  return Lookup(ip, memo3, [table](std::int64_t v) { return FindRangeCode(table, static_cast<std::uint32_t>(v)); });
}

std::string IPToCountryLinear(const std::string& ip, TStringList& memo3) {
  const std::unique_ptr<TMemoryStream> table = ccTDL().GetDataStream();
  return Lookup(ip, memo3, [&table](std::int64_t v) { return FindRangeCodeLinear(*table, v); });
}

}  // namespace tarvo

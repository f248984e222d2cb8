#include "route/asn.h"

#include <algorithm>

#include "base/ascii.h"

// Bounds of the table that asn_data.S assembles into the program.
extern "C" const char tarvo_asn_begin[];
extern "C" const char tarvo_asn_end[];

namespace tarvo {

namespace {

constexpr std::string_view kMagic = "TarvoAS1";
constexpr std::size_t kHeaderSize = 8 + 5 * 4;
constexpr std::uint32_t kNoOwner = 0xFFFFFF;

std::uint64_t ReadLE(std::string_view s, std::size_t at, int width) {
  std::uint64_t v = 0;
  for (int k = width - 1; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(k)]);
  return v;
}

// Cuts the next n bytes off the front of `rest`.
std::string_view Take(std::string_view& rest, std::uint64_t n) {
  const std::string_view part = rest.substr(0, static_cast<std::size_t>(n));
  rest.remove_prefix(part.size());
  return part;
}

// Exactly four decimal parts of 1 to 3 digits, each at most 255.
std::optional<std::array<std::uint8_t, 4>> ParseV4(std::string_view t) {
  std::array<std::uint8_t, 4> out{};
  for (std::size_t part = 0; part < 4; ++part) {
    std::size_t digits = 0;
    unsigned value = 0;
    while (digits < t.size() && digits < 4 && t[digits] >= '0' && t[digits] <= '9')
      value = value * 10 + static_cast<unsigned>(t[digits++] - '0');
    if (digits == 0 || digits > 3 || value > 255) return std::nullopt;
    out[part] = static_cast<std::uint8_t>(value);
    t.remove_prefix(digits);
    if (part < 3) {
      if (t.empty() || t.front() != '.') return std::nullopt;
      t.remove_prefix(1);
    }
  }
  if (!t.empty()) return std::nullopt;
  return out;
}

// RFC 4291 section 2.2: eight groups of 1 to 4 hex digits, one "::" for a
// run of zero groups, the last 32 bits optionally dotted decimal.
std::optional<TIPAddress> ParseV6(std::string_view t) {
  std::array<std::uint8_t, 16> head{}, tail{};
  std::size_t nHead = 0, nTail = 0;  // bytes filled on each side of "::"
  bool gap = false;
  if (t.substr(0, 2) == "::") {
    gap = true;
    t.remove_prefix(2);
  }
  while (!t.empty()) {
    auto& bytes = gap ? tail : head;
    std::size_t& n = gap ? nTail : nHead;
    if (t.find(':') == std::string_view::npos && t.find('.') != std::string_view::npos) {
      const auto v4 = ParseV4(t);
      if (!v4 || n + 4 > 16) return std::nullopt;
      std::copy(v4->begin(), v4->end(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
      n += 4;
      t = {};
      break;
    }
    std::size_t digits = 0;
    unsigned value = 0;
    while (digits < t.size() && digits < 5 && HexValue(t[digits]) >= 0)
      value = value << 4 | static_cast<unsigned>(HexValue(t[digits++]));
    if (digits == 0 || digits > 4 || n + 2 > 16) return std::nullopt;
    bytes[n++] = static_cast<std::uint8_t>(value >> 8);
    bytes[n++] = static_cast<std::uint8_t>(value);
    t.remove_prefix(digits);
    if (t.empty()) break;
    if (t.front() != ':') return std::nullopt;
    t.remove_prefix(1);
    if (!t.empty() && t.front() == ':') {
      if (gap) return std::nullopt;
      gap = true;
      t.remove_prefix(1);
    } else if (t.empty()) {
      return std::nullopt;  // a single trailing ':'
    }
  }
  if (gap ? nHead + nTail > 14 : nHead != 16) return std::nullopt;
  TIPAddress a;
  std::copy(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(nHead), a.Bytes.begin());
  std::copy(tail.begin(), tail.begin() + static_cast<std::ptrdiff_t>(nTail),
            a.Bytes.end() - static_cast<std::ptrdiff_t>(nTail));
  return a;
}

struct TBlock6 {
  std::array<std::uint8_t, 16> Prefix;
  int Bits;
};

bool InBlock(const std::array<std::uint8_t, 16>& a, const TBlock6& b) {
  for (int i = 0; i < b.Bits; ++i) {
    const std::size_t at = static_cast<std::size_t>(i / 8);
    const int mask = 0x80 >> (i % 8);
    if ((a[at] & mask) != (b.Prefix[at] & mask)) return false;
  }
  return true;
}

struct TBlock4 {
  std::uint32_t First;
  int Bits;
};

constexpr TBlock4 Block4(std::uint32_t a, std::uint32_t b, std::uint32_t c, int bits) {
  return {a << 24 | b << 16 | c << 8, bits};
}

// IANA's special-purpose address registries.
constexpr TBlock4 kSpecial4[] = {
    Block4(0, 0, 0, 8),       Block4(10, 0, 0, 8),     Block4(100, 64, 0, 10),   Block4(127, 0, 0, 8),
    Block4(169, 254, 0, 16),  Block4(172, 16, 0, 12),  Block4(192, 0, 0, 24),    Block4(192, 0, 2, 24),
    Block4(192, 168, 0, 16),  Block4(198, 18, 0, 15),  Block4(198, 51, 100, 24), Block4(203, 0, 113, 24),
    Block4(224, 0, 0, 4),     Block4(240, 0, 0, 4),
};
constexpr TBlock6 kSpecial6[] = {
    {{0}, 8},                        // ::, ::1, IPv4-compatible, NAT64 (IPv4-mapped is taken first)
    {{0x01, 0x00}, 64},              // discard
    {{0x20, 0x01, 0x0d, 0xb8}, 32},  // documentation
    {{0x3f, 0xff}, 20},              // documentation
    {{0xfc}, 7},                     // unique local
    {{0xfe, 0x80}, 10},              // link-local
    {{0xfe, 0xc0}, 10},              // old site-local
    {{0xff}, 8},                     // multicast
};

}  // namespace

bool TIPAddress::IsV4() const {
  return std::all_of(Bytes.begin(), Bytes.begin() + 10, [](std::uint8_t b) { return b == 0; }) &&
         Bytes[10] == 0xff && Bytes[11] == 0xff;
}

std::uint32_t TIPAddress::V4() const {
  return static_cast<std::uint32_t>(Bytes[12]) << 24 | static_cast<std::uint32_t>(Bytes[13]) << 16 |
         static_cast<std::uint32_t>(Bytes[14]) << 8 | Bytes[15];
}

std::uint64_t TIPAddress::Upper64() const {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) v = v << 8 | Bytes[i];
  return v;
}

std::optional<TIPAddress> ParseAddressText(std::string_view t) {
  if (t.size() >= 2 && t.front() == '[' && t.back() == ']') t = t.substr(1, t.size() - 2);
  bool v6Only = false;
  if (t.size() > 5 && std::equal(t.begin(), t.begin() + 5, "ipv6:", [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b;
      })) {
    t.remove_prefix(5);
    v6Only = true;
  }
  if (t.find(':') == std::string_view::npos) {
    if (v6Only) return std::nullopt;
    const auto v4 = ParseV4(t);
    if (!v4) return std::nullopt;
    TIPAddress a;
    a.Bytes[10] = a.Bytes[11] = 0xff;
    std::copy(v4->begin(), v4->end(), a.Bytes.begin() + 12);
    return a;
  }
  if (const std::size_t zone = t.find('%'); zone != std::string_view::npos) {
    if (zone + 1 == t.size()) return std::nullopt;
    t = t.substr(0, zone);
  }
  return ParseV6(t);
}

bool IsSpecialAddress(const TIPAddress& a) {
  if (a.IsV4()) {
    const std::uint32_t v = a.V4();
    return std::any_of(std::begin(kSpecial4), std::end(kSpecial4),
                       [v](const TBlock4& b) { return (v >> (32 - b.Bits)) == (b.First >> (32 - b.Bits)); });
  }
  return std::any_of(std::begin(kSpecial6), std::end(kSpecial6), [&a](const TBlock6& b) { return InBlock(a.Bytes, b); });
}

TASTable::TASTable(std::string_view bytes) {
  if (bytes.size() < kHeaderSize || bytes.substr(0, kMagic.size()) != kMagic) return;
  const std::uint64_t n4 = ReadLE(bytes, 8, 4), n6 = ReadLE(bytes, 12, 4), na = ReadLE(bytes, 16, 4),
                      pool = ReadLE(bytes, 20, 4), source = ReadLE(bytes, 24, 4);
  // Every count is below 2^32, so the sum cannot overflow 64 bits.
  const std::uint64_t size = kHeaderSize + source + n4 * 7 + n6 * 11 + na * 7 + pool;
  if (size != bytes.size() || n4 == 0 || n6 == 0 || na >= kNoOwner) return;
  std::string_view rest = bytes.substr(kHeaderSize);
  source_ = Take(rest, source);
  v4Starts_ = Take(rest, n4 * 4);
  v4Owners_ = Take(rest, n4 * 3);
  v6Starts_ = Take(rest, n6 * 8);
  v6Owners_ = Take(rest, n6 * 3);
  numbers_ = Take(rest, na * 4);
  nameOffsets_ = Take(rest, na * 3);
  pool_ = rest;
  n4_ = static_cast<std::uint32_t>(n4);
  n6_ = static_cast<std::uint32_t>(n6);
  na_ = static_cast<std::uint32_t>(na);
  valid_ = true;
}

std::uint32_t TASTable::V4Start(std::uint32_t i) const {
  return i < n4_ ? static_cast<std::uint32_t>(ReadLE(v4Starts_, std::size_t{i} * 4, 4)) : 0;
}

std::uint64_t TASTable::V6Start(std::uint32_t i) const {
  return i < n6_ ? ReadLE(v6Starts_, std::size_t{i} * 8, 8) : 0;
}

std::optional<std::uint32_t> TASTable::V4Owner(std::uint32_t i) const {
  if (i >= n4_) return std::nullopt;
  const auto v = static_cast<std::uint32_t>(ReadLE(v4Owners_, std::size_t{i} * 3, 3));
  if (v == kNoOwner) return std::nullopt;
  return v;
}

std::optional<std::uint32_t> TASTable::V6Owner(std::uint32_t i) const {
  if (i >= n6_) return std::nullopt;
  const auto v = static_cast<std::uint32_t>(ReadLE(v6Owners_, std::size_t{i} * 3, 3));
  if (v == kNoOwner) return std::nullopt;
  return v;
}

std::optional<TNetworkOwner> TASTable::Owner(std::uint32_t i) const {
  if (i >= na_) return std::nullopt;
  const std::size_t at = static_cast<std::size_t>(ReadLE(nameOffsets_, std::size_t{i} * 3, 3));
  if (at >= pool_.size()) return std::nullopt;
  const std::size_t length = static_cast<unsigned char>(pool_[at]);
  if (pool_.size() - at - 1 < length) return std::nullopt;
  return TNetworkOwner{static_cast<std::uint32_t>(ReadLE(numbers_, std::size_t{i} * 4, 4)),
                       std::string(pool_.substr(at + 1, length))};
}

std::optional<TNetworkOwner> TASTable::Find(const TIPAddress& a) const {
  if (!valid_) return std::nullopt;
  // The last range whose start is <= the address holds it.
  auto last = [](std::uint32_t count, auto startAt, auto v) -> std::optional<std::uint32_t> {
    std::uint32_t lo = 0, hi = count;
    while (lo < hi) {
      const std::uint32_t mid = lo + (hi - lo) / 2;
      if (startAt(mid) <= v) lo = mid + 1;
      else hi = mid;
    }
    if (lo == 0) return std::nullopt;
    return lo - 1;
  };
  std::optional<std::uint32_t> owner;
  if (a.IsV4()) {
    if (const auto i = last(n4_, [this](std::uint32_t k) { return V4Start(k); }, a.V4())) owner = V4Owner(*i);
  } else {
    if (const auto i = last(n6_, [this](std::uint32_t k) { return V6Start(k); }, a.Upper64())) owner = V6Owner(*i);
  }
  if (!owner) return std::nullopt;
  return Owner(*owner);
}

const TASTable& ASTable() {
  static const TASTable table(
      std::string_view(tarvo_asn_begin, static_cast<std::size_t>(tarvo_asn_end - tarvo_asn_begin)));
  return table;
}

std::string IPToNetwork(std::string_view ipText) {
  const std::optional<TIPAddress> a = ParseAddressText(ipText);
  if (!a || IsSpecialAddress(*a)) return "";
  const std::optional<TNetworkOwner> owner = ASTable().Find(*a);
  if (!owner) return "";
  std::string text = "AS" + std::to_string(owner->Number);
  if (!owner->Name.empty()) text += " " + owner->Name;
  return text;
}

}  // namespace tarvo

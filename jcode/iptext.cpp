// Address texts: strict forms, so that a port, a version number or a HELO
// word is never taken for an address.
#include <cstddef>

#include "base/ascii.h"
#include "base/bytes.h"
#include "jcode/iptext.h"

namespace tarvo {

namespace {

// Groups of one side of "::": h16 *( ":" h16 ), the last may be a dotted
// quad when `tailAllowed`. Appends 16-bit values; false on anything else.
bool ParseGroups(std::string_view side, bool tailAllowed, std::array<std::uint16_t, 8>& groups, std::size_t& count) {
  if (side.empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = side.find(':', start);
    const std::string_view g = side.substr(start, colon == std::string_view::npos ? side.npos : colon - start);
    if (colon == std::string_view::npos && tailAllowed && g.find('.') != std::string_view::npos) {
      const std::optional<std::uint32_t> v4 = ParseIPv4Address(g);
      if (!v4 || count + 2 > groups.size()) return false;
      groups[count++] = static_cast<std::uint16_t>(*v4 >> 16);
      groups[count++] = static_cast<std::uint16_t>(*v4 & 0xFFFF);
      return true;
    }
    if (g.empty() || g.size() > 4 || count == groups.size()) return false;
    unsigned v = 0;
    for (char c : g) {
      const int h = HexValue(c);
      if (h < 0) return false;
      v = v * 16 + static_cast<unsigned>(h);
    }
    groups[count++] = static_cast<std::uint16_t>(v);
    if (colon == std::string_view::npos) return true;
    start = colon + 1;
  }
}

}  // namespace

std::optional<std::uint32_t> ParseIPv4Address(std::string_view text) {
  std::uint32_t value = 0;
  std::size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= text.size() || text[i] != '.') return std::nullopt;
      ++i;
    }
    std::size_t digits = 0;
    unsigned octet = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 3) {
      octet = octet * 10 + static_cast<unsigned>(text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || octet > 255) return std::nullopt;
    value = value << 8 | octet;
  }
  if (i != text.size()) return std::nullopt;
  return value;
}

std::optional<TIPv6Address> ParseIPv6Address(std::string_view text) {
  if (text.size() < 2) return std::nullopt;
  std::array<std::uint16_t, 8> head{}, tail{};
  std::size_t nHead = 0, nTail = 0;
  const std::size_t gap = text.find("::");
  if (gap == std::string_view::npos) {
    if (!ParseGroups(text, true, head, nHead) || nHead != 8) return std::nullopt;
  } else {
    const std::string_view left = text.substr(0, gap), right = text.substr(gap + 2);
    if (right.find("::") != std::string_view::npos) return std::nullopt;
    // "1::" and "::1" are whole; "1:::2" leaves an empty group and fails.
    if (!ParseGroups(left, false, head, nHead) || !ParseGroups(right, true, tail, nTail)) return std::nullopt;
    if (nHead + nTail > 7) return std::nullopt;
  }
  TIPv6Address out{};
  auto put = [&out](std::size_t at, std::uint16_t v) {
    out[2 * at] = static_cast<std::uint8_t>(v >> 8);
    out[2 * at + 1] = static_cast<std::uint8_t>(v & 0xFF);
  };
  for (std::size_t k = 0; k < nHead; ++k) put(k, head[k]);
  for (std::size_t k = 0; k < nTail; ++k) put(8 - nTail + k, tail[k]);
  return out;
}

std::string_view AddressCore(std::string_view text) {
  std::string_view a = text;
  if (StartsWithNoCase(a, "ipv6:")) a.remove_prefix(5);
  const std::size_t zone = a.find('%');
  if (zone != std::string_view::npos && a.find(':') != std::string_view::npos) a = a.substr(0, zone);
  if (ParseIPv4Address(a) || ParseIPv6Address(a)) return a;
  return {};
}

namespace {

int OctetValue(std::string_view part) {
  if (part == "*") return -2;
  const int v = StrToIntDef(part, -1);
  return v > 255 ? -1 : v;
}

}  // namespace

void ParseIPOctets(std::string_view text, int& A, int& B, int& C, int& D) {
  A = B = C = D = -1;
  int* const firstThree[3] = {&A, &B, &C};
  std::size_t k = 0, start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '.') continue;
    // A fourth or later part that ends in a dot is dropped.
    if (k < 3) *firstThree[k] = OctetValue(text.substr(start, i - start));
    start = i + 1;
    ++k;
  }
  if (start < text.size()) D = OctetValue(text.substr(start));
}

std::int64_t IPTextToNumber(std::string_view text) {
  std::uint32_t octets[3] = {0, 0, 0};
  std::size_t k = 0, start = 0, i = 0;
  for (; i < text.size() && k < 4; ++i) {
    if (text[i] != '.') continue;
    if (k < 3) octets[k] = static_cast<std::uint32_t>(StrToInt(text.substr(start, i - start))) & 0xFF;
    start = i + 1;
    ++k;
  }
  // After a fourth dot the walk has stopped with nothing collected.
  const std::string_view last = k == 4 ? std::string_view() : text.substr(start);
  const std::uint32_t o4 = static_cast<std::uint32_t>(StrToInt(last)) & 0xFF;
  return static_cast<std::int64_t>((octets[0] << 24) | (octets[1] << 16) | (octets[2] << 8) | o4);
}

}  // namespace tarvo

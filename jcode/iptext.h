// Address texts: the dotted quads of the route lookup and the strict IPv4
// and IPv6 forms read in Received fields.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo {

// Dotted text into its first three parts and its last one: each 0..255,
// -1 when missing, not a number or above 255, -2 for exactly "*".
void ParseIPOctets(std::string_view text, int& A, int& B, int& C, int& D);

// The address number of a dotted text (upper 32 bits 0); a part that is not
// a number raises EConvertError. Parts wrap to their low 8 bits.
[[nodiscard]] std::int64_t IPTextToNumber(std::string_view text);

// As the relays write them:

// An IPv6 address, 16 bytes in network order.
using TIPv6Address = std::array<std::uint8_t, 16>;

// A dotted quad in its plain form: four decimal parts 0..255 of one to three
// digits, nothing else. nullopt for any other text.
[[nodiscard]] std::optional<std::uint32_t> ParseIPv4Address(std::string_view text);
// An IPv6 address in the text form of RFC 4291 2.2: eight groups of one to
// four hex digits, "::" once for a run of zero groups, the last 32 bits
// optionally as a dotted quad. No prefix, zone or brackets.
[[nodiscard]] std::optional<TIPv6Address> ParseIPv6Address(std::string_view text);
// The address in a relay's text: the "IPv6:" tag of an address literal and
// a zone ("%eth0") taken off. Empty when what is left is neither form.
[[nodiscard]] std::string_view AddressCore(std::string_view text);


}  // namespace tarvo

// The network owner (autonomous system) of an IP address, from the embedded
// table asn.bin that tools/make_asn.py writes from the IPFire location
// database. The table's layout is described in that tool.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo {

// An address as 16 bytes in network order; an IPv4 address is held
// IPv4-mapped (::ffff:a.b.c.d).
struct TIPAddress {
  std::array<std::uint8_t, 16> Bytes{};
  [[nodiscard]] bool IsV4() const;        // IPv4 or IPv4-mapped IPv6
  [[nodiscard]] std::uint32_t V4() const;  // the last four bytes
  [[nodiscard]] std::uint64_t Upper64() const;
};

// Dotted decimal ("192.0.2.1") or IPv6 text ("2001:db8::1", "::ffff:1.2.3.4"),
// optionally in brackets, with an "IPv6:" prefix (RFC 5321's address literal)
// or a zone ("%eth0"). nullopt for anything else.
[[nodiscard]] std::optional<TIPAddress> ParseAddressText(std::string_view text);

// True for addresses no one owns on the Internet: private, loopback,
// link-local, shared, documentation, multicast and reserved blocks.
[[nodiscard]] bool IsSpecialAddress(const TIPAddress& a);

// One answer of the table.
struct TNetworkOwner {
  std::uint32_t Number = 0;
  std::string Name;  // UTF-8 as the database has it; may be empty
};

// A parsed view of a table's bytes, which must outlive it. A table whose
// header or size does not add up is empty: every lookup finds nothing.
class TASTable {
 public:
  explicit TASTable(std::string_view bytes);
  [[nodiscard]] bool Valid() const { return valid_; }
  [[nodiscard]] std::string_view Source() const { return source_; }
  [[nodiscard]] std::uint32_t V4Count() const { return n4_; }
  [[nodiscard]] std::uint32_t V6Count() const { return n6_; }
  [[nodiscard]] std::uint32_t ASCount() const { return na_; }
  [[nodiscard]] std::size_t PoolSize() const { return pool_.size(); }

  // Range i of a family: its first address (IPv6: upper 64 bits) and the
  // index of its AS, nullopt for a range without one.
  [[nodiscard]] std::uint32_t V4Start(std::uint32_t i) const;
  [[nodiscard]] std::uint64_t V6Start(std::uint32_t i) const;
  [[nodiscard]] std::optional<std::uint32_t> V4Owner(std::uint32_t i) const;
  [[nodiscard]] std::optional<std::uint32_t> V6Owner(std::uint32_t i) const;
  // AS record i; nullopt when its name lies outside the pool.
  [[nodiscard]] std::optional<TNetworkOwner> Owner(std::uint32_t i) const;

  // The owner of an address by binary search; nullopt for none.
  [[nodiscard]] std::optional<TNetworkOwner> Find(const TIPAddress& a) const;

 private:
  std::string_view v4Starts_, v4Owners_, v6Starts_, v6Owners_, numbers_, nameOffsets_, pool_, source_;
  std::uint32_t n4_ = 0, n6_ = 0, na_ = 0;
  bool valid_ = false;
};

// The table carried in the program.
[[nodiscard]] const TASTable& ASTable();

// "AS2516 KDDI CORPORATION" (number and name; just "AS64500" when the name
// is empty), or "" for a special, unknown or unparseable address.
[[nodiscard]] std::string IPToNetwork(std::string_view ipText);

}  // namespace tarvo

// DHash: the MD5 (RFC 1321) and SHA-1 (FIPS 180-1) digest objects of the
// code tools. One object serves one digest: Init (or InitWithString),
// Update any number of times, Final, DigestToHex.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

using TMD5Digest = std::array<std::uint8_t, 16>;   // A..D, each little-endian
using TSHA1Digest = std::array<std::uint8_t, 20>;  // H0..H4, each big-endian

class TDMD5 {
 public:
  void Init();
  void Update(const void* bytes, std::uint32_t count);
  // Writes the digest and leaves the object zeroed; Init again before reuse.
  void Final(TMD5Digest& digest);
  // Init, then the bytes of the text as they are (no code or line-end change).
  void InitWithString(std::string_view text);
  // 32 lower-case hexadecimal digits.
  [[nodiscard]] static std::string DigestToHex(const TMD5Digest& digest);

  // Read-only view of the fields, for checks on the object's state.
  [[nodiscard]] const std::array<std::uint32_t, 4>& State() const { return state_; }
  [[nodiscard]] std::uint32_t BitCountLow() const { return countLow_; }
  [[nodiscard]] std::uint32_t BitCountHigh() const { return countHigh_; }
  [[nodiscard]] const std::array<std::uint8_t, 64>& Buffer() const { return buffer_; }

 private:
  void Transform(const std::uint8_t* block);

  std::array<std::uint32_t, 4> state_{};
  std::uint32_t countLow_ = 0;
  std::uint32_t countHigh_ = 0;
  std::array<std::uint8_t, 64> buffer_{};
};

class TDSHA1 {
 public:
  void Init();
  // False, with nothing changed, until Init has been called.
  bool Update(const void* bytes, std::uint32_t count);
  // Does nothing until Init has been called; the state is not reset after.
  void Final(TSHA1Digest& digest);
  void InitWithString(std::string_view text);
  // 40 lower-case hexadecimal digits.
  [[nodiscard]] static std::string DigestToHex(const TSHA1Digest& digest);

  [[nodiscard]] bool Initialized() const { return initialized_; }

 private:
  void Compress();

  bool initialized_ = false;
  std::uint32_t lengthHigh_ = 0;
  std::uint32_t lengthLow_ = 0;
  std::uint32_t fill_ = 0;
  std::array<std::uint32_t, 5> state_{};
  std::array<std::uint8_t, 64> block_{};  // zero beyond the bytes waiting in it
};

}  // namespace tarvo

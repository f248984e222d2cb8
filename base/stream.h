// A growable in-memory byte buffer with a size and a read/write position.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/sharedbytes.h"

namespace tarvo {

class TMemoryStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}

  [[nodiscard]] std::size_t Size() const { return data_.size(); }
  [[nodiscard]] std::size_t Position() const { return pos_; }
  // Positions beyond the end are allowed, as for any seekable stream.
  void SetPosition(std::size_t p) { pos_ = p; }
  [[nodiscard]] bool AtEnd() const { return pos_ >= data_.size(); }

  // Resizes; the position is kept (reads past the end give nothing).
  void SetSize(std::size_t n) { data_.resize(n); }
  void Clear() {
    data_.clear();
    pos_ = 0;
  }
  void Reserve(std::size_t n) { data_.reserve(n); }

  // Reads up to n bytes from the position; returns how many were read.
  std::size_t Read(void* dst, std::size_t n);
  // Writes at the position, growing the stream as needed.
  void Write(const void* src, std::size_t n);
  void Write(std::string_view s) { Write(s.data(), s.size()); }

  // The bytes, whole; the remaining bytes from the position.
  [[nodiscard]] const std::string& Bytes() const { return data_; }
  [[nodiscard]] std::string& Bytes() { return data_; }
  [[nodiscard]] std::string_view Remaining() const {
    return pos_ < data_.size() ? std::string_view(data_).substr(pos_) : std::string_view();
  }

  // Replaces the content with a whole file, position 0 (ReadFileBytes).
  void LoadFromFile(const std::string& path);
  // Writes the whole content to a file. Raises EFCreateError.
  void SaveToFile(const std::string& path) const;

 private:
  std::string data_;
  std::size_t pos_ = 0;
};

// Messages are at most this long: offsets inside one are 32-bit signed.
constexpr std::uint64_t kMaxMailSize = 2147483647;

// A whole file, in one read. Raises EFOpenError when the file cannot be
// opened or read completely (folders included) or is longer than a message
// may be.
[[nodiscard]] TSharedBytes ReadFileBytes(const std::string& path);

}  // namespace tarvo

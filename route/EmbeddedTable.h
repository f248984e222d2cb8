// A table carried inside the program (ccTLD_data.S assembles the files in):
// its bytes in place, or a fresh copy on request. Nothing is read from disk.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/stream.h"

namespace tarvo {

class TEmbeddedTable {
 public:
  // No data: GetDataStream gives an empty stream.
  TEmbeddedTable() = default;
  // Bytes that live as long as the program (the embedded table).
  explicit TEmbeddedTable(std::string_view data) : data_(data) {}

  // Design-time path of the file the bytes came from; nothing reads it.
  std::string FileName;
  void SetFileName(std::string name) { FileName = std::move(name); }

  [[nodiscard]] std::int32_t DataSize() const { return static_cast<std::int32_t>(data_.size()); }
  // The bytes in place, for readers that need no copy.
  [[nodiscard]] std::string_view Data() const { return data_; }
  // A new stream holding a copy of the bytes, at position 0; the caller owns it.
  [[nodiscard]] std::unique_ptr<TMemoryStream> GetDataStream() const;

 private:
  std::string_view data_;
};

// The IPv4 range table, ccTLD.bin.
[[nodiscard]] const TEmbeddedTable& IPv4RangeTable();
// The IPv6 range table, ccTLD6.bin.
[[nodiscard]] const TEmbeddedTable& IPv6RangeTable();

}  // namespace tarvo

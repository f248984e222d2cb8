// A regular file read by offset (pread), never mapped: a file cut short
// while it is read gives an error, where a mapping would fault.
#pragma once

#include <cstdint>
#include <string>

namespace tarvo {

class TFileReader {
 public:
  // Throws EFOpenError when the file cannot be opened or is not a regular file.
  explicit TFileReader(const std::string& path);
  ~TFileReader();
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;

  // The size when opened; nothing past it is read.
  [[nodiscard]] std::uint64_t Size() const { return size_; }
  // Appends the n bytes at `offset` to `into`; throws EFOpenError when the
  // file no longer holds them (it shrank) or cannot be read.
  void ReadAt(std::uint64_t offset, std::size_t n, std::string& into) const;

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

}  // namespace tarvo

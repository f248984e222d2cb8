// A file mapped read-only into memory: a mailbox of gigabytes is read where
// it lies, not copied.
#pragma once

#include <string>
#include <string_view>

namespace tarvo {

class TMappedFile {
 public:
  // Throws EFOpenError when the file cannot be opened or mapped.
  explicit TMappedFile(const std::string& path);
  ~TMappedFile();
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;

  [[nodiscard]] std::string_view Bytes() const { return {data_, size_}; }

 private:
  const char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace tarvo

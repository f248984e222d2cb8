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
  // Gives back the pages before `end` (read from the file again if touched):
  // what a mailbox keeps resident is what is being read, not what was.
  void Forget(std::size_t end) const;

 private:
  const char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace tarvo

// Immutable bytes that views point into, shared by whoever reads them: a
// string's, or a file's as read (into memory no one zeroed first).
#pragma once
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace tarvo {

class TBytes {
 public:
  explicit TBytes(std::string text) : text_(std::move(text)), data_(text_.data()), size_(text_.size()) {}
  // Room for n bytes, not yet written: the one who made it fills it with
  // Writable() before sharing it.
  explicit TBytes(std::size_t n);
  TBytes(const TBytes&) = delete;
  TBytes& operator=(const TBytes&) = delete;

  [[nodiscard]] const char* data() const { return data_; }
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] operator std::string_view() const { return {data_, size_}; }
  [[nodiscard]] char* Writable() { return raw_.get(); }

 private:
  struct TFree {
    void operator()(char* p) const { std::free(p); }
  };
  std::string text_;
  std::unique_ptr<char[], TFree> raw_;
  const char* data_;
  std::size_t size_;
};

using TSharedBytes = std::shared_ptr<const TBytes>;

[[nodiscard]] inline TSharedBytes ShareBytes(std::string text) {
  return std::make_shared<const TBytes>(std::move(text));
}

}  // namespace tarvo

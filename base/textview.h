// One view's lines, held as (offset, length) entries into shared, immutable
// buffers: the message's own bytes for what is shown as stored, an arena of
// the view's own for decoded text. No string per line: a view of a 2 GB
// message is its buffers plus 16 bytes a line.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/lines.h"

namespace tarvo {

using TSharedBytes = std::shared_ptr<const std::string>;

class TTextView final : public TLineSource {
 public:
  explicit TTextView(TTextKind kind = TTextKind::Stored) : kind_(kind) {}

  [[nodiscard]] TTextKind Kind() const override { return kind_; }
  [[nodiscard]] std::size_t Count() const override { return entries_.size(); }
  [[nodiscard]] bool Empty() const { return entries_.empty(); }
  // Valid until the view changes; the bytes behind it never move.
  [[nodiscard]] std::string_view Line(std::size_t i) const override;
  [[nodiscard]] std::string_view operator[](std::size_t i) const { return Line(i); }
  [[nodiscard]] std::size_t MaxLineBytes() const override { return widest_; }

  // Empties the view; its kind stays.
  void Clear();
  // Appends a copy of `line` to the view's arena.
  void Add(std::string_view line);
  // Appends copies of the lines of `text`, split by the list rule below.
  void AddText(std::string_view text);
  // Appends the lines of buffer[from, to) by the list rule (a line ends at
  // CR, LF or NUL; one CR, then one LF after it is skipped; the first NUL
  // ends the text), pointing into the buffer without copying.
  void AddLinesOf(const TSharedBytes& buffer, std::size_t from, std::size_t to);
  // Appends one line that lies in buffer[offset, offset + length).
  void AddRef(const TSharedBytes& buffer, std::size_t offset, std::size_t length);
  // Appends every line of another view, sharing its bytes.
  void AddView(const TTextView& other);

  // The lines as strings: for tests and small views.
  [[nodiscard]] std::vector<std::string> Lines() const;
  // Every line followed by CR LF.
  [[nodiscard]] std::string Text() const;

 private:
  struct Entry {
    std::uint64_t offset;
    std::uint32_t length;
    std::uint32_t buffer;  // 0: the arena; k: buffers_[k - 1]
  };
  std::uint32_t BufferIndex(const TSharedBytes& buffer);
  void Push(std::uint64_t offset, std::size_t length, std::uint32_t buffer) {
    entries_.push_back({offset, static_cast<std::uint32_t>(length), buffer});
    if (length > widest_) widest_ = length;
  }

  TTextKind kind_;
  std::vector<Entry> entries_;
  // Offsets, not pointers, into the arena: it may grow and move.
  std::string arena_;
  std::vector<TSharedBytes> buffers_;
  std::size_t widest_ = 0;
};

}  // namespace tarvo

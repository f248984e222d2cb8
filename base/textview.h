// One view's lines, held as (offset, length) entries into shared, immutable
// buffers: the message's own bytes for what is shown as stored, an arena of
// the view's own for converted text. No string per line: a view of a 2 GB
// message is its buffers plus 12 bytes a line.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/lines.h"
#include "base/sharedbytes.h"

namespace tarvo {

class TTextView final : public TLineSource {
 public:
  explicit TTextView(TTextKind kind = TTextKind::Stored) : kind_(kind) {}

  [[nodiscard]] TTextKind Kind() const override { return kind_; }
  [[nodiscard]] std::size_t Count() const override { return count_; }
  [[nodiscard]] bool Empty() const { return count_ == 0; }
  // The bytes behind a line never move while the view lives.
  [[nodiscard]] std::string_view Line(std::size_t i) const override;
  [[nodiscard]] std::string_view operator[](std::size_t i) const { return Line(i); }
  [[nodiscard]] std::size_t MaxLineBytes() const override { return widest_; }

  // Empties the view; its kind stays.
  void Clear();
  // Drops the last line (its bytes stay where they are).
  void PopBack() {
    if (count_ > 0) --count_;
  }
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
  // Appends every line of another view, sharing its bytes; an empty view
  // shares the other's lines themselves (no copy, however many).
  void AddView(const TTextView& other) { AddLinesFrom(other, 0); }
  // Appends line i of another view, sharing its bytes.
  void AddLineOf(const TTextView& other, std::size_t i);
  // Appends lines [first, last) of another view (to its end by default),
  // sharing their bytes (no scan of the text again); an empty view shares
  // the lines too.
  void AddLinesFrom(const TTextView& other, std::size_t first, std::size_t last = SIZE_MAX);

  // The lines as strings: for tests and small views.
  [[nodiscard]] std::vector<std::string> Lines() const;
  // Every line followed by CR LF.
  [[nodiscard]] std::string Text() const;

 private:
  // Twelve bytes a line: a line further than 4 GiB into its buffer is copied
  // into the arena instead (only decoded text can grow that long).
  struct Entry {
    std::uint32_t offset;
    std::uint32_t length;
    std::uint32_t buffer;  // index into the store's buffers
  };
  struct TFree {
    void operator()(Entry* p) const { std::free(p); }
  };
  // Entries and arena grow in blocks that never move: no copying as a view
  // grows, and no moment with an old and a new copy both alive. Entry block
  // k holds 4096 << k lines, so a big view has few, big blocks (in 2 MB
  // pages where the system offers them) and a small one one small block.
  static constexpr std::size_t kFirstBits = 12;
  static constexpr std::size_t kArenaBlock = std::size_t{1} << 20;

  // The entries and the buffers they point into. Views share a store when
  // one holds lines of another (the SJIS view of a plain-ASCII body is the
  // raw view's lines, all 2.5 million of them): a view is the store's lines
  // [first_, first_ + count_), and writes only to a store that is its own
  // alone and begins where it begins; else it first takes a copy of its
  // lines.
  struct TStore {
    std::vector<std::unique_ptr<Entry[], TFree>> entries;
    std::size_t count = 0;     // lines written
    std::size_t capacity = 0;  // lines the blocks hold
    std::vector<TSharedBytes> buffers;
    // The arena's open block (also in buffers), filled up to arenaUsed.
    std::shared_ptr<TBytes> arena;
    std::size_t arenaUsed = 0;
    std::uint32_t arenaIndex = 0;
    // The buffers the latest references went to, most recent first.
    std::uint32_t recent[4] = {UINT32_MAX, UINT32_MAX, UINT32_MAX, UINT32_MAX};
    std::size_t widest = 0, widestAt = 0;  // the longest line and where it first is

    [[nodiscard]] Entry& At(std::size_t i) const {
      const std::size_t j = (i >> kFirstBits) + 1;
      const auto k = static_cast<std::size_t>(63 - __builtin_clzll(j));
      return entries[k].get()[i - (((std::size_t{1} << k) - 1) << kFirstBits)];
    }
    void NewBlock();
    std::uint32_t BufferIndex(const TSharedBytes& buffer);
    // Room for n more bytes in the arena's last block; returns its index.
    std::uint32_t ArenaRoom(std::size_t n);
    // Copies bytes into that room; returns where they begin.
    std::size_t ArenaAppend(std::string_view bytes);
  };

  // The store, made this view's own to write to.
  TStore& Own();
  void Push(TStore& s, std::uint64_t offset, std::size_t length, std::uint32_t buffer) {
    if (s.count == s.capacity) s.NewBlock();
    s.At(s.count) = {static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length), buffer};
    if (length > s.widest) {
      s.widest = length;
      s.widestAt = s.count;
    }
    ++s.count;
    ++count_;
    if (length > widest_) widest_ = length;
  }
  void AddTo(TStore& s, std::string_view line);
  // Appends lines [begin, end) of another store, sharing their buffers.
  void CopyLines(TStore& s, const TStore& from, std::size_t begin, std::size_t end);

  TTextKind kind_;
  std::shared_ptr<TStore> store_;
  std::size_t first_ = 0;
  std::size_t count_ = 0;
  std::size_t widest_ = 0;
};

}  // namespace tarvo

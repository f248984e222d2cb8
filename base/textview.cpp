#include "base/textview.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "base/bytes.h"
#include "base/memory.h"

namespace tarvo {

std::string_view TTextView::Line(std::size_t i) const {
  const Entry& e = At(i);
  return std::string_view(buffers_[e.buffer]->data() + e.offset, e.length);
}

void TTextView::Clear() {
  entries_.clear();
  count_ = 0;
  capacity_ = 0;
  buffers_.clear();
  arena_.reset();
  std::fill(std::begin(recent_), std::end(recent_), UINT32_MAX);
  widest_ = 0;
}

void TTextView::NewBlock() {
  const std::size_t lines = std::size_t{1} << (kFirstBits + entries_.size());
  const std::size_t bytes = lines * sizeof(Entry);
  constexpr std::size_t kHuge = std::size_t{2} << 20;
  void* block = nullptr;
  if (bytes >= kHuge) {
    block = std::aligned_alloc(kHuge, (bytes + kHuge - 1) / kHuge * kHuge);
    if (block) AdviseHugePages(block, bytes);
  } else {
    block = std::malloc(bytes);
  }
  if (!block) throw std::bad_alloc();
  entries_.emplace_back(static_cast<Entry*>(block));
  capacity_ += lines;
}

std::uint32_t TTextView::ArenaRoom(std::size_t n) {
  if (!arena_ || arena_->capacity() - arena_->size() < n) {
    // Small views stay small: blocks double from 4 KiB up to 1 MiB.
    const std::size_t block = arena_ ? std::min(kArenaBlock, 2 * arena_->capacity()) : 4096;
    arena_ = std::make_shared<std::string>();
    arena_->reserve(std::max(n, block));
    buffers_.push_back(arena_);
    arenaIndex_ = static_cast<std::uint32_t>(buffers_.size() - 1);
  }
  return arenaIndex_;
}

void TTextView::Add(std::string_view line) {
  const std::uint32_t index = ArenaRoom(line.size());
  Push(arena_->size(), line.size(), index);
  arena_->append(line);  // within the capacity: the block never moves
}

void TTextView::AddText(std::string_view text) {
  if (const void* nul = std::memchr(text.data(), 0, text.size()))
    text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
  if (text.empty()) return;
  const std::uint32_t index = ArenaRoom(text.size());
  const std::size_t base = arena_->size();
  arena_->append(text);
  const char* const start = arena_->data();
  const char* const end = start + base + text.size();
  for (const char* p = start + base; p < end;) {
    const char* q = p + FindLineEnd(std::string_view(p, static_cast<std::size_t>(end - p)));
    Push(static_cast<std::uint64_t>(p - start), static_cast<std::size_t>(q - p), index);
    if (q < end && *q == '\r') ++q;
    if (q < end && *q == '\n') ++q;
    p = q;
  }
}

std::uint32_t TTextView::BufferIndex(const TSharedBytes& buffer) {
  // Lines come in runs from a few buffers at a time (the body, a part's
  // text, the arena); a buffer not among the latest takes a new slot, as a
  // scan over every buffer would make a message of many parts quadratic.
  std::uint32_t index = UINT32_MAX;
  std::size_t k = 0;
  for (; k < std::size(recent_); ++k)
    if (recent_[k] < buffers_.size() && buffers_[recent_[k]] == buffer) {
      index = recent_[k];
      break;
    }
  if (index == UINT32_MAX) {
    buffers_.push_back(buffer);
    index = static_cast<std::uint32_t>(buffers_.size() - 1);
    k = std::size(recent_) - 1;
  }
  for (; k > 0; --k) recent_[k] = recent_[k - 1];
  recent_[0] = index;
  return index;
}

void TTextView::AddRef(const TSharedBytes& buffer, std::size_t offset, std::size_t length) {
  if (offset + length > UINT32_MAX) Add(std::string_view(*buffer).substr(offset, length));
  else Push(offset, length, BufferIndex(buffer));
}

void TTextView::AddLinesOf(const TSharedBytes& buffer, std::size_t from, std::size_t to) {
  if (!buffer || from >= to || to > buffer->size()) return;
  const std::uint32_t index = BufferIndex(buffer);
  const char* const base = buffer->data();
  const char* p = base + from;
  const char* end = base + to;
  if (const void* nul = std::memchr(p, 0, static_cast<std::size_t>(end - p))) end = static_cast<const char*>(nul);
  // The next CR and the next LF are each found once: a file with only one
  // kind of break is still scanned in one pass.
  const auto find = [&](const char* at, char c) {
    const void* hit = std::memchr(at, c, static_cast<std::size_t>(end - at));
    return hit ? static_cast<const char*>(hit) : end;
  };
  const char* nextCr = find(p, '\r');
  const char* nextLf = find(p, '\n');
  while (p < end) {
    if (nextCr < p) nextCr = find(p, '\r');
    if (nextLf < p) nextLf = find(p, '\n');
    const char* q = nextCr < nextLf ? nextCr : nextLf;
    const auto offset = static_cast<std::size_t>(p - base), length = static_cast<std::size_t>(q - p);
    if (offset + length > UINT32_MAX) Add(std::string_view(p, length));
    else Push(offset, length, index);
    if (q < end && *q == '\r') ++q;
    if (q < end && *q == '\n') ++q;
    p = q;
  }
}

void TTextView::AddView(const TTextView& other) {
  for (std::size_t i = 0; i < other.Count(); ++i) AddLineOf(other, i);
}

void TTextView::AddLinesFrom(const TTextView& other, std::size_t first) {
  std::uint32_t from = UINT32_MAX, to = 0;  // the last buffer index mapped
  for (std::size_t i = first; i < other.Count(); ++i) {
    const Entry& e = other.At(i);
    if (e.buffer != from) {
      from = e.buffer;
      to = BufferIndex(other.buffers_[e.buffer]);
    }
    Push(e.offset, e.length, to);
  }
}

void TTextView::AddLineOf(const TTextView& other, std::size_t i) {
  const Entry& e = other.At(i);
  AddRef(other.buffers_[e.buffer], e.offset, e.length);
}

std::vector<std::string> TTextView::Lines() const {
  std::vector<std::string> out;
  out.reserve(Count());
  for (std::size_t i = 0; i < Count(); ++i) out.emplace_back(Line(i));
  return out;
}

std::string TTextView::Text() const {
  std::string out;
  for (std::size_t i = 0; i < Count(); ++i) {
    out += Line(i);
    out += "\r\n";
  }
  return out;
}

}  // namespace tarvo

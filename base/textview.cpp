#include "base/textview.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "base/bytes.h"
#include "base/memory.h"

namespace tarvo {

std::string_view TTextView::Line(std::size_t i) const {
  const TStore& s = *store_;
  const Entry& e = s.At(first_ + i);
  return std::string_view(s.buffers[e.buffer]->data() + e.offset, e.length);
}

void TTextView::Clear() {
  store_.reset();
  first_ = 0;
  count_ = 0;
  widest_ = 0;
}

TTextView::TStore& TTextView::Own() {
  if (!store_) {
    store_ = std::make_shared<TStore>();
    first_ = 0;
    return *store_;
  }
  if (store_.use_count() == 1 && first_ == 0) {
    // Lines dropped from the end are written over.
    store_->count = count_;
    return *store_;
  }
  // Shared, or a stretch of a store: a copy of this view's lines.
  const std::shared_ptr<TStore> from = std::move(store_);
  const std::size_t first = first_, count = count_;
  store_ = std::make_shared<TStore>();
  first_ = 0;
  count_ = 0;
  widest_ = 0;
  CopyLines(*store_, *from, first, first + count);
  return *store_;
}

void TTextView::CopyLines(TStore& s, const TStore& from, std::size_t begin, std::size_t end) {
  std::uint32_t mappedFrom = UINT32_MAX, mappedTo = 0;  // the last buffer index mapped
  for (std::size_t i = begin; i < end; ++i) {
    const Entry& e = from.At(i);
    if (e.buffer != mappedFrom) {
      mappedFrom = e.buffer;
      mappedTo = s.BufferIndex(from.buffers[e.buffer]);
    }
    Push(s, e.offset, e.length, mappedTo);
  }
}

void TTextView::TStore::NewBlock() {
  const std::size_t lines = std::size_t{1} << (kFirstBits + entries.size());
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
  entries.emplace_back(static_cast<Entry*>(block));
  capacity += lines;
}

std::uint32_t TTextView::TStore::ArenaRoom(std::size_t n) {
  if (!arena || arena->size() - arenaUsed < n) {
    // Small views stay small: blocks double from 4 KiB up to 1 MiB.
    const std::size_t block = arena ? std::min(kArenaBlock, 2 * arena->size()) : 4096;
    arena = std::make_shared<TBytes>(std::max(n, block));
    arenaUsed = 0;
    buffers.push_back(arena);
    arenaIndex = static_cast<std::uint32_t>(buffers.size() - 1);
  }
  return arenaIndex;
}

void TTextView::AddTo(TStore& s, std::string_view line) {
  const std::uint32_t index = s.ArenaRoom(line.size());
  Push(s, s.ArenaAppend(line), line.size(), index);
}

std::size_t TTextView::TStore::ArenaAppend(std::string_view bytes) {
  const std::size_t at = arenaUsed;
  if (!bytes.empty()) std::memcpy(arena->Writable() + at, bytes.data(), bytes.size());
  arenaUsed += bytes.size();
  return at;
}

void TTextView::Add(std::string_view line) { AddTo(Own(), line); }

void TTextView::AddText(std::string_view text) {
  if (const void* nul = std::memchr(text.data(), 0, text.size()))
    text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
  if (text.empty()) return;
  TStore& s = Own();
  const std::uint32_t index = s.ArenaRoom(text.size());
  const std::size_t base = s.ArenaAppend(text);
  const char* const start = s.arena->data();
  const char* const end = start + base + text.size();
  for (const char* p = start + base; p < end;) {
    const char* q = p + FindLineEnd(std::string_view(p, static_cast<std::size_t>(end - p)));
    Push(s, static_cast<std::uint64_t>(p - start), static_cast<std::size_t>(q - p), index);
    if (q < end && *q == '\r') ++q;
    if (q < end && *q == '\n') ++q;
    p = q;
  }
}

std::uint32_t TTextView::TStore::BufferIndex(const TSharedBytes& buffer) {
  // Lines come in runs from a few buffers at a time (the body, a part's
  // text, the arena); a buffer not among the latest takes a new slot, as a
  // scan over every buffer would make a message of many parts quadratic.
  std::uint32_t index = UINT32_MAX;
  std::size_t k = 0;
  for (; k < std::size(recent); ++k)
    if (recent[k] < buffers.size() && buffers[recent[k]] == buffer) {
      index = recent[k];
      break;
    }
  if (index == UINT32_MAX) {
    buffers.push_back(buffer);
    index = static_cast<std::uint32_t>(buffers.size() - 1);
    k = std::size(recent) - 1;
  }
  for (; k > 0; --k) recent[k] = recent[k - 1];
  recent[0] = index;
  return index;
}

void TTextView::AddRef(const TSharedBytes& buffer, std::size_t offset, std::size_t length) {
  TStore& s = Own();
  if (offset + length > UINT32_MAX) AddTo(s, std::string_view(*buffer).substr(offset, length));
  else Push(s, offset, length, s.BufferIndex(buffer));
}

void TTextView::AddLinesOf(const TSharedBytes& buffer, std::size_t from, std::size_t to) {
  if (!buffer || from >= to || to > buffer->size()) return;
  TStore& s = Own();
  const std::uint32_t index = s.BufferIndex(buffer);
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
    if (offset + length > UINT32_MAX) AddTo(s, std::string_view(p, length));
    else Push(s, offset, length, index);
    if (q < end && *q == '\r') ++q;
    if (q < end && *q == '\n') ++q;
    p = q;
  }
}

void TTextView::AddLinesFrom(const TTextView& other, std::size_t first, std::size_t last) {
  last = std::min(last, other.count_);
  if (first >= last) return;
  const std::shared_ptr<TStore> from = other.store_;  // alive even when `other` is this view
  const std::size_t begin = other.first_ + first, end = other.first_ + last;
  if (count_ == 0) {
    // Nothing of its own yet: the view becomes that stretch of the store.
    store_ = from;
    first_ = begin;
    count_ = end - begin;
    widest_ = 0;
    if (from->widestAt >= begin && from->widestAt < end) {
      widest_ = from->widest;
    } else {
      for (std::size_t i = begin; i < end; ++i) widest_ = std::max<std::size_t>(widest_, from->At(i).length);
    }
    return;
  }
  CopyLines(Own(), *from, begin, end);
}

void TTextView::AddLineOf(const TTextView& other, std::size_t i) {
  const std::shared_ptr<TStore> from = other.store_;  // alive even when `other` is this view
  const Entry& e = from->At(other.first_ + i);
  AddRef(from->buffers[e.buffer], e.offset, e.length);
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

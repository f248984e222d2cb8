#include "base/textview.h"

#include <cstring>

#include "base/bytes.h"

namespace tarvo {

std::string_view TTextView::Line(std::size_t i) const {
  const Entry& e = entries_[i];
  const std::string& bytes = e.buffer == 0 ? arena_ : *buffers_[e.buffer - 1];
  return std::string_view(bytes.data() + e.offset, e.length);
}

void TTextView::Clear() {
  entries_.clear();
  arena_.clear();
  buffers_.clear();
  widest_ = 0;
}

void TTextView::Add(std::string_view line) {
  Push(arena_.size(), line.size(), 0);
  arena_.append(line);  // grows geometrically: appends stay linear
}

void TTextView::AddText(std::string_view text) {
  if (const void* nul = std::memchr(text.data(), 0, text.size()))
    text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
  const std::size_t base = arena_.size();
  arena_.append(text);
  const char* const start = arena_.data() + base;
  const char* const end = start + text.size();
  for (const char* p = start; p < end;) {
    const char* q = p + FindLineEnd(std::string_view(p, static_cast<std::size_t>(end - p)));
    Push(static_cast<std::uint64_t>(p - arena_.data()), static_cast<std::size_t>(q - p), 0);
    if (q < end && *q == '\r') ++q;
    if (q < end && *q == '\n') ++q;
    p = q;
  }
}

std::uint32_t TTextView::BufferIndex(const TSharedBytes& buffer) {
  // Few buffers per view (the file, perhaps a decoded part): a scan is enough.
  for (std::size_t k = 0; k < buffers_.size(); ++k)
    if (buffers_[k] == buffer) return static_cast<std::uint32_t>(k + 1);
  buffers_.push_back(buffer);
  return static_cast<std::uint32_t>(buffers_.size());
}

void TTextView::AddRef(const TSharedBytes& buffer, std::size_t offset, std::size_t length) {
  Push(offset, length, BufferIndex(buffer));
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
  const auto find = [&](const char* from, char c) {
    const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
    return hit ? static_cast<const char*>(hit) : end;
  };
  const char* nextCr = find(p, '\r');
  const char* nextLf = find(p, '\n');
  while (p < end) {
    if (nextCr < p) nextCr = find(p, '\r');
    if (nextLf < p) nextLf = find(p, '\n');
    const char* q = nextCr < nextLf ? nextCr : nextLf;
    Push(static_cast<std::uint64_t>(p - base), static_cast<std::size_t>(q - p), index);
    if (q < end && *q == '\r') ++q;
    if (q < end && *q == '\n') ++q;
    p = q;
  }
}

void TTextView::AddView(const TTextView& other) {
  entries_.reserve(entries_.size() + other.entries_.size());
  for (std::size_t i = 0; i < other.Count(); ++i) {
    const Entry& e = other.entries_[i];
    if (e.buffer == 0) Add(other.Line(i));
    else AddRef(other.buffers_[e.buffer - 1], e.offset, e.length);
  }
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

#include "views/json.h"

#include <array>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/bytes.h"
#include "jcode/charset.h"

namespace tarvo {

namespace {

// Bytes that a JSON string cannot hold as they are.
constexpr std::array<bool, 256> kEscape = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 0x20; ++c) t[c] = true;
  t['"'] = t['\\'] = true;
  return t;
}();

// The index of the first byte at or after `from` that needs an escape, or
// the size: sixteen bytes a step, as most of a big message needs none.
std::size_t NextEscape(std::string_view s, std::size_t from) {
  std::size_t i = from;
#ifdef __SSE2__
  const __m128i space = _mm_set1_epi8(0x1F), quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
  for (; i + 16 <= s.size(); i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
    const __m128i control = _mm_cmpeq_epi8(_mm_max_epu8(v, space), space);  // v <= 0x1F
    const int hits = _mm_movemask_epi8(
        _mm_or_si128(control, _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash))));
    if (hits != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
  }
#endif
  for (; i < s.size(); ++i)
    if (kEscape[static_cast<unsigned char>(s[i])]) return i;
  return s.size();
}

bool HasHighByte(std::string_view s) {
  // Eight bytes at a time: base64 and ASCII lines are most of a big message.
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    if (w & 0x8080808080808080ULL) return true;
  }
  for (; i < s.size(); ++i)
    if (static_cast<unsigned char>(s[i]) >= 0x80) return true;
  return false;
}

// True when decoded text holds one of the lossless code points U+F700..U+F7FF.
bool HasLosslessCodePoint(std::string_view s) {
  for (std::size_t i = s.find('\xEF'); i != std::string_view::npos && i + 1 < s.size(); i = s.find('\xEF', i + 1)) {
    const auto b = static_cast<unsigned char>(s[i + 1]);
    if (b >= 0x9C && b <= 0x9F) return true;
  }
  return false;
}

}  // namespace

TJsonWriter& TJsonWriter::Raw(std::string_view s) {
  buf_.append(s);
  MaybeFlush();
  return *this;
}

TJsonWriter& TJsonWriter::Open(char bracket) {
  buf_ += bracket;
  open_.push_back({bracket == '{' ? '}' : ']', true});
  return *this;
}

TJsonWriter& TJsonWriter::Close() {
  if (open_.empty()) return *this;
  buf_ += open_.back().Close;
  open_.pop_back();
  MaybeFlush();
  return *this;
}

TJsonWriter& TJsonWriter::Item(std::string_view gap, std::string_view firstGap) {
  if (open_.empty()) return *this;
  if (open_.back().Empty) {
    buf_.append(firstGap);
    open_.back().Empty = false;
  } else {
    buf_ += ',';
    buf_.append(gap);
  }
  return *this;
}

TJsonWriter& TJsonWriter::Key(std::string_view key, std::string_view gap) {
  Item(gap);
  buf_ += '"';
  EscapedRun(key);
  buf_.append("\": ");
  return *this;
}

void TJsonWriter::Escaped(std::string_view s) {
  buf_ += '"';
  EscapedRun(s);
  buf_ += '"';
  MaybeFlush();
}

void TJsonWriter::EscapedRun(std::string_view s) {
  std::size_t run = 0;
  for (std::size_t i = NextEscape(s, 0); i < s.size(); i = NextEscape(s, i + 1)) {
    const auto c = static_cast<unsigned char>(s[i]);
    Put(s.data() + run, i - run);
    run = i + 1;
    switch (c) {
      case '"': buf_ += "\\\""; break;
      case '\\': buf_ += "\\\\"; break;
      case '\n': buf_ += "\\n"; break;
      case '\r': buf_ += "\\r"; break;
      case '\t': buf_ += "\\t"; break;
      default:
        buf_ += "\\u00";
        AppendLowerHex(buf_, s.substr(i, 1));
    }
  }
  Put(s.data() + run, s.size() - run);
}

void TJsonWriter::Put(const char* p, std::size_t n) {
  // A line of many megabytes goes straight out instead of growing the buffer.
  if (n >= kFlushAt) {
    Flush();
    out_.write(p, static_cast<std::streamsize>(n));
  } else {
    buf_.append(p, n);
  }
}

TJsonWriter& TJsonWriter::String(std::string_view utf8) {
  Escaped(utf8);
  return *this;
}

TJsonWriter& TJsonWriter::Text(std::string_view text, TTextKind kind) {
  // Most lines are ASCII (or clean UTF-8): they go out without a copy.
  if (kind == TTextKind::Stored ? !HasHighByte(text) || IsUtf8Multibyte(text) : !HasLosslessCodePoint(text)) {
    Escaped(text);
  } else if (kind == TTextKind::Stored) {
    Cp932(text);
  } else {
    scratch_ = TextToUtf8(text, kind, TDecodeMode::Replace);
    Escaped(scratch_);
  }
  return *this;
}

TJsonWriter& TJsonWriter::Cp932(std::string_view text) {
  if (!HasHighByte(text)) {
    Escaped(text);
  } else {
    // Decoded and escaped in one pass straight into the buffer.
    buf_ += '"';
    AppendCp932AsUtf8(text, TDecodeMode::Replace, buf_, [this](std::string_view run) { EscapedRun(run); });
    buf_ += '"';
    MaybeFlush();
  }
  return *this;
}

TJsonWriter& TJsonWriter::Lines(const TTextView& view) {
  buf_ += '[';
  for (std::size_t i = 0; i < view.Count(); ++i) {
    if (i) buf_ += ", ";
    Text(view.Line(i), view.Kind());
  }
  buf_ += ']';
  return *this;
}

TJsonWriter& TJsonWriter::Number(std::int64_t n) {
  buf_ += std::to_string(n);
  return *this;
}

void TJsonWriter::Flush() {
  if (buf_.empty()) return;
  out_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
  buf_.clear();
}

}  // namespace tarvo

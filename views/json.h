// The JSON side of --dump: one reused buffer, flushed to the stream in large
// pieces; a view's lines are decoded by their kind and escaped in one pass.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/textview.h"

namespace tarvo {

class TJsonWriter {
 public:
  explicit TJsonWriter(std::ostream& out) : out_(out) { buf_.reserve(kFlushAt + 4096); }
  ~TJsonWriter() { Flush(); }
  TJsonWriter(const TJsonWriter&) = delete;
  TJsonWriter& operator=(const TJsonWriter&) = delete;

  // Structural text, written as it is.
  TJsonWriter& Raw(std::string_view s);
  // An object ('{') or array ('['), and its end. The writer places the
  // commas: a member or element after the first follows "," and its `gap`
  // (" " keeps it on the line, "\n  " starts a new one).
  TJsonWriter& Open(char bracket);
  TJsonWriter& Close();
  // A member's key in the open object.
  TJsonWriter& Key(std::string_view key, std::string_view gap = " ");
  // An element's place in the open array; `firstGap` goes before the first.
  TJsonWriter& Item(std::string_view gap = " ", std::string_view firstGap = {});
  // A JSON string of UTF-8 text.
  TJsonWriter& String(std::string_view utf8);
  // A JSON string of a view's line: stored bytes shown as UTF-8 or code page
  // 932, decoded text as it is; a byte that starts no character is U+FFFD.
  TJsonWriter& Text(std::string_view text, TTextKind kind);
  // A JSON string of code page 932 text (system texts).
  TJsonWriter& Cp932(std::string_view text);
  // A JSON array of every line of a view.
  TJsonWriter& Lines(const TTextView& view);
  TJsonWriter& Number(std::int64_t n);
  TJsonWriter& Null() { return Raw("null"); }
  TJsonWriter& Bool(bool b) { return Raw(b ? "true" : "false"); }

  void Flush();

 private:
  static constexpr std::size_t kFlushAt = 1 << 20;
  void Escaped(std::string_view utf8);
  // The same without the quotes.
  void EscapedRun(std::string_view utf8);
  void Put(const char* p, std::size_t n);
  void MaybeFlush() {
    if (buf_.size() >= kFlushAt) Flush();
  }

  std::ostream& out_;
  std::string buf_;
  std::string scratch_;
  struct TOpen {
    char Close;
    bool Empty;
  };
  std::vector<TOpen> open_;  // the containers open, innermost last
};

}  // namespace tarvo

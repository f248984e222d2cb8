// What a memo shows: a read-only list of lines and the kind of text they
// hold. The window asks only for the lines it paints, so a source may keep
// its lines as views into one big buffer instead of one string each.
#pragma once
#include <algorithm>
#include <cstddef>
#include <string_view>

#include "base/strlist.h"

namespace tarvo {

enum class TTextKind {
  Stored,   // bytes as the message holds them (UTF-8 when well-formed, else CP932)
  Decoded,  // UTF-8 text the program converted
};

class TLineSource {
 public:
  virtual ~TLineSource() = default;
  [[nodiscard]] virtual std::size_t Count() const = 0;
  // Valid while the source lives; i < Count().
  [[nodiscard]] virtual std::string_view Line(std::size_t i) const = 0;
  [[nodiscard]] virtual TTextKind Kind() const = 0;
  // The longest line's bytes: the window's first guess at the text width.
  [[nodiscard]] virtual std::size_t MaxLineBytes() const {
    std::size_t widest = 0;
    for (std::size_t i = 0; i < Count(); ++i) widest = std::max(widest, Line(i).size());
    return widest;
  }
};

// A source that owns a string list.
class TStringListLines final : public TLineSource {
 public:
  TStringListLines(TStringList lines, TTextKind kind) : lines_(std::move(lines)), kind_(kind) {}
  [[nodiscard]] std::size_t Count() const override { return lines_.Count(); }
  [[nodiscard]] std::string_view Line(std::size_t i) const override { return lines_[i]; }
  [[nodiscard]] TTextKind Kind() const override { return kind_; }

 private:
  TStringList lines_;
  TTextKind kind_;
};

}  // namespace tarvo

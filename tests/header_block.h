// A header block written from (name, value) pairs and read into fields; it
// holds the block the fields point into, so it never moves.
#pragma once
#include <initializer_list>
#include <string>
#include <utility>

#include "mail/headerfields.h"

namespace tarvo {

class TTestHeader {
 public:
  TTestHeader(std::initializer_list<std::pair<const char*, const char*>> list) {
    for (const auto& [n, v] : list) block_.append(n).append(":").append(v).append("\r\n");
    fields_ = ReadFields(block_);
  }
  TTestHeader(const TTestHeader&) = delete;
  TTestHeader& operator=(const TTestHeader&) = delete;
  operator const THeaderFields&() const { return fields_; }
  [[nodiscard]] std::size_t size() const { return fields_.size(); }

 private:
  std::string block_;
  THeaderFields fields_;
};

inline TTestHeader Fields(std::initializer_list<std::pair<const char*, const char*>> list) { return TTestHeader(list); }

}  // namespace tarvo

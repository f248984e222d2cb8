#include "base/strlist.h"

#include <cstring>

#include "base/bytes.h"

namespace tarvo {

void TStringList::SetText(std::string_view text) {
  Lines.clear();
  AddText(text);
}

void TStringList::AddText(std::string_view text) {
  if (text.empty()) return;
  if (const void* nul = std::memchr(text.data(), 0, text.size()))
    text = text.substr(0, static_cast<const char*>(nul) - text.data());
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* q = p + FindLineEnd(std::string_view(p, static_cast<std::size_t>(end - p)));
    Lines.emplace_back(p, q);
    if (q < end && *q == '\r') ++q;
    if (q < end && *q == '\n') ++q;
    p = q;
  }
}

std::string TStringList::Text() const {
  std::size_t n = 0;
  for (const auto& l : Lines) n += l.size() + 2;
  std::string out;
  out.reserve(n);
  for (const auto& l : Lines) {
    out += l;
    out += "\r\n";
  }
  return out;
}

void TStringList::SaveToFile(const std::string& path) const { TMemoryStream(Text()).SaveToFile(path); }

}  // namespace tarvo

// The ordered list of byte strings and its one text rule: a line ends at the
// first CR, LF or NUL; after it one CR, then one LF, is skipped; the first NUL
// ends the whole text. Joining puts CR LF after every line.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"

namespace tarvo {

class TStringList {
 public:
  std::vector<std::string> Lines;

  [[nodiscard]] std::size_t Count() const { return Lines.size(); }
  [[nodiscard]] bool Empty() const { return Lines.empty(); }
  void Clear() { Lines.clear(); }
  void Add(std::string line) { Lines.push_back(std::move(line)); }
  [[nodiscard]] const std::string& operator[](std::size_t i) const { return Lines[i]; }
  [[nodiscard]] std::string& operator[](std::size_t i) { return Lines[i]; }

  // Empties the list, then splits the text by the rule above.
  void SetText(std::string_view text);
  // SetText of every byte from the stream's position to its end.
  void LoadFromStream(const TMemoryStream& s) { SetText(s.Remaining()); }
  // Appends the lines of a text (split by the same rule).
  void AddText(std::string_view text);
  // Every line followed by CR LF.
  [[nodiscard]] std::string Text() const;
  // Writes Text() to a file; raises EFCreateError.
  void SaveToFile(const std::string& path) const;
};

}  // namespace tarvo

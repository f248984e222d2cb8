// A header block read once into fields: each field's name, its value as
// written and its value unfolded, all views. Every reader of a header (the
// header list, Received, MIME, authentication, filters, findings) looks its
// fields up here instead of reading lines of its own.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tarvo {

// One line cut from the front of some bytes.
struct THeaderLineCut {
  std::string_view Text;  // the line without its end (CR LF, CR or LF)
  std::size_t Next = 0;   // bytes it takes with its end; 0 only for no bytes
};
// The first line of `rest`. A NUL is an ordinary byte.
[[nodiscard]] THeaderLineCut CutHeaderLine(std::string_view rest);

// The lines of some bytes, one after another.
class THeaderLines {
 public:
  THeaderLines() = default;
  explicit THeaderLines(std::string_view bytes) : rest_(bytes) {}
  // The next line; false when no bytes are left.
  bool Next(std::string_view& line);

 private:
  std::string_view rest_;
};

// One field, or a line that is none, with the continuation lines after it.
struct THeaderField {
  // field-name = 1*ftext, as written (blanks before the colon are left out).
  // Empty for a line that is no field: its Raw and Value hold the line.
  std::string_view Name;
  // The bytes after the colon up to the end of the last continuation line,
  // line breaks kept.
  std::string_view Raw;
  // Raw unfolded: each line break removed, the blanks after it kept.
  std::string_view Value;
  [[nodiscard]] bool IsField() const { return !Name.empty(); }
};

// The fields of a header block, top first. The views point into the block,
// which must outlive the list, and into the list's own unfolded values.
class THeaderFields {
 public:
  THeaderFields() = default;
  [[nodiscard]] std::vector<THeaderField>::const_iterator begin() const { return fields_.begin(); }
  [[nodiscard]] std::vector<THeaderField>::const_iterator end() const { return fields_.end(); }
  [[nodiscard]] std::size_t size() const { return fields_.size(); }
  [[nodiscard]] bool empty() const { return fields_.empty(); }
  [[nodiscard]] const THeaderField& operator[](std::size_t i) const { return fields_[i]; }

 private:
  friend class THeaderFieldsBuilder;
  std::vector<THeaderField> fields_;
  std::unique_ptr<char[]> unfolded_;
};

// Every field of a header block. Each line that is no continuation line
// starts an entry; one that holds no "name:" is kept with an empty name.
[[nodiscard]] THeaderFields ReadFields(std::string_view block);
// Not on a temporary string: the views would outlive it.
template <class T>
  requires std::is_same_v<T, std::string>
THeaderFields ReadFields(T&&) = delete;

// The fields of a part's header at the front of `bytes`: up to an empty
// line (taken), a line that is no field, or a line `stops` accepts (neither
// taken). `used` is where the reading stopped.
[[nodiscard]] THeaderFields ReadPartFields(std::string_view bytes, const std::function<bool(std::string_view)>& stops,
                                           std::size_t& used);

// The first field of that name (ASCII case aside), or null.
[[nodiscard]] const THeaderField* FindField(const THeaderFields& fields, std::string_view name);
// Every field of that name, top first.
[[nodiscard]] std::vector<const THeaderField*> FindFields(const THeaderFields& fields, std::string_view name);

// "Name: value" (blanks allowed before the colon): true and the two parts,
// or false when the line is no header field.
bool SplitFieldLine(std::string_view line, std::string_view& name, std::string_view& value);

}  // namespace tarvo

// uuencode: "begin <mode> <name>", lines of a length character and groups of
// four characters for three bytes, "end". Old mailers wrote it as a
// transfer encoding of its own and as blocks inside plain text.
#include <optional>
#include <string>

#include "base/ascii.h"
#include "base/bytes.h"
#include "jcode/jconvert.h"

namespace tarvo {

namespace {

// One line of a text: without its line end (LF, CR LF or CR), and where
// the next one starts.
struct TUuLine {
  std::string_view Text;
  std::size_t Next;
};

TUuLine LineAt(std::string_view text, std::size_t pos) {
  const std::string_view rest = text.substr(pos);
  std::size_t end = FindLineEnd(rest), next = end;
  if (next < rest.size() && rest[next] == '\r') ++next;
  if (next < rest.size() && rest[next] == '\n') ++next;
  return {rest.substr(0, end), pos + next};
}

// "begin" 1*WSP 1*octal 1*WSP name: the name, else nullopt.
std::optional<std::string_view> BeginName(std::string_view line) {
  if (!line.starts_with("begin") || line.size() < 6 || !IsWsp(line[5])) return std::nullopt;
  std::size_t i = 5;
  while (i < line.size() && IsWsp(line[i])) ++i;
  const std::size_t mode = i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '7') ++i;
  if (i == mode || i - mode > 4 || i == line.size() || !IsWsp(line[i])) return std::nullopt;
  const std::string_view name = TrimFws(line.substr(i));
  if (name.empty()) return std::nullopt;
  return name;
}

bool IsEndLine(std::string_view line) { return line.starts_with("end") && TrimFws(line.substr(3)).empty(); }

// Every character of a data line is one of the 64 the encoding writes
// (space or "`" for zero); an empty line is a zero-length line whose
// blank a mailer took away.
bool IsDataLine(std::string_view line) {
  for (char c : line)
    if (c < 0x20 || c > 0x60) return false;
  return true;
}

constexpr std::uint32_t Sextet(char c) { return static_cast<std::uint32_t>(c - 0x20) & 0x3F; }

}  // namespace

std::optional<TUuBlock> FindUuBlock(std::string_view text, std::size_t from) {
  for (std::size_t pos = from; pos < text.size();) {
    const TUuLine begin = LineAt(text, pos);
    const std::optional<std::string_view> name = BeginName(begin.Text);
    pos = begin.Next;
    if (!name) {
      // On to the next line that starts with "b", each "b" looked at once.
      std::size_t b = pos;
      while ((b = text.find('b', b)) != std::string_view::npos && b != pos && text[b - 1] != '\n' && text[b - 1] != '\r')
        ++b;
      if (b == std::string_view::npos) break;
      pos = b;
      continue;
    }
    // Data lines up to an end line; anything else means no block here.
    bool data = false;
    for (std::size_t at = begin.Next; at < text.size();) {
      const TUuLine line = LineAt(text, at);
      if (IsEndLine(line.Text) && data) {
        const auto start = static_cast<std::size_t>(begin.Text.data() - text.data());
        return TUuBlock{start, static_cast<std::size_t>(line.Text.data() - text.data()) + line.Text.size(), *name};
      }
      if (!IsDataLine(line.Text)) break;
      data = data || !line.Text.empty();
      at = line.Next;
    }
  }
  return std::nullopt;
}

void UudecodeToStream(std::string_view text, TMemoryStream& stream) {
  // The data follows the begin line; without one the text is all data.
  std::size_t pos = 0;
  for (std::size_t at = 0; at < text.size();) {
    const TUuLine line = LineAt(text, at);
    at = line.Next;
    if (BeginName(line.Text)) {
      pos = at;
      break;
    }
  }
  char out[64];
  while (pos < text.size()) {
    const TUuLine line = LineAt(text, pos);
    pos = line.Next;
    if (IsEndLine(line.Text)) break;
    if (line.Text.empty()) continue;
    // The length character counts the bytes; characters a short line lacks
    // (blanks a mailer took off its end) count as zero, and characters past
    // the count are left.
    const std::size_t n = Sextet(line.Text[0]);
    const std::string_view groups = line.Text.substr(1);
    const auto at = [&](std::size_t i) { return i < groups.size() ? Sextet(groups[i]) : 0; };
    std::size_t k = 0;
    for (std::size_t g = 0; k < n; g += 4) {
      const std::uint32_t v = at(g) << 18 | at(g + 1) << 12 | at(g + 2) << 6 | at(g + 3);
      for (int shift = 16; shift >= 0 && k < n; shift -= 8) out[k++] = static_cast<char>(v >> shift & 0xFF);
    }
    stream.Write(out, n);
  }
}

std::string Uudecode(std::string_view text) {
  TMemoryStream stream;
  UudecodeToStream(text, stream);
  return std::move(stream.Bytes());
}

}  // namespace tarvo

#include "mail/mailbox.h"

namespace tarvo {

namespace {

// The end of the line at `at`, after its LF (or the end of the text).
std::size_t NextLine(std::string_view s, std::size_t at) {
  const std::size_t lf = s.find('\n', at);
  return lf == std::string_view::npos ? s.size() : lf + 1;
}

// Whether the line at `at` (just after an empty line) starts a message.
bool IsSeparator(std::string_view s, std::size_t at) { return s.substr(at, 5) == "From "; }

}  // namespace

bool IsMbox(std::string_view bytes) { return IsSeparator(bytes, 0); }

bool TMboxReader::Next(TMboxMessage& message) {
  if (rest_.empty() || !IsSeparator(rest_, 0)) return false;
  const std::size_t start = static_cast<std::size_t>(rest_.data() - all_.data());
  const std::size_t body = NextLine(rest_, 0);
  // The next separator: "From " after an empty line.
  std::size_t at = body, end = rest_.size();
  bool afterEmpty = false;
  while (at < rest_.size()) {
    if (afterEmpty && IsSeparator(rest_, at)) {
      end = at;
      break;
    }
    const std::size_t next = NextLine(rest_, at);
    const std::string_view line = rest_.substr(at, next - at);
    afterEmpty = line == "\n" || line == "\r\n";
    at = next;
  }
  std::string_view bytes = rest_.substr(body, end - body);
  // The empty line before the next "From " belongs to the mailbox.
  if (end < rest_.size()) {
    if (bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n") bytes.remove_suffix(2);
    else if (!bytes.empty() && bytes.back() == '\n') bytes.remove_suffix(1);
  }
  message = {bytes, start};
  rest_.remove_prefix(end);
  return true;
}

std::string UnescapeMboxMessage(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t next = NextLine(bytes, at);
    std::string_view line = bytes.substr(at, next - at);
    std::size_t quotes = 0;
    while (quotes < line.size() && line[quotes] == '>') ++quotes;
    if (quotes > 0 && line.substr(quotes, 5) == "From ") line.remove_prefix(1);
    out.append(line);
    at = next;
  }
  return out;
}

}  // namespace tarvo

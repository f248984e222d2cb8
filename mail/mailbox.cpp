#include "mail/mailbox.h"

#include <algorithm>

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
  message = {bytes, start, start + body};
  rest_.remove_prefix(end);
  return true;
}

bool TMboxFile::Next(TMboxMessage& message) {
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  for (;;) {
    const std::string_view rest = std::string_view(buffer_).substr(start_);
    const bool atEnd = base_ + buffer_.size() >= file_.Size();
    TMboxReader reader(rest);
    if (reader.Next(message)) {
      // A message that runs to the buffer's end may go on in the file.
      if (!reader.Rest().empty() || atEnd) {
        message.Offset += Position();
        message.BytesOffset += Position();
        start_ += rest.size() - reader.Rest().size();
        return true;
      }
    } else if (atEnd || rest.size() >= 5) {
      return false;
    }
    // Read on: the buffer keeps only the unfinished message, and grows as
    // fast as it does, so a long message is scanned a few times at most.
    buffer_.erase(0, start_);
    base_ += start_;
    start_ = 0;
    const std::uint64_t left = file_.Size() - base_ - buffer_.size();
    file_.ReadAt(base_ + buffer_.size(), static_cast<std::size_t>(std::min<std::uint64_t>(left, std::max(kPiece, buffer_.size()))), buffer_);
  }
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

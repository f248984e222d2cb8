// Mailboxes: the messages of an mbox file (mboxo and mboxrd), one after the
// other, as views into the file's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

// Whether a file's first bytes are an mbox's first "From " line.
[[nodiscard]] bool IsMbox(std::string_view bytes);

struct TMboxMessage {
  std::string_view Bytes;  // the message, its "From " line left out, still escaped
  std::uint64_t Offset = 0;  // where its "From " line starts in the file
};

// Walks an mbox. A message starts at a line "From " at the start of the
// file or after an empty line; Content-Length is not believed.
class TMboxReader {
 public:
  explicit TMboxReader(std::string_view mbox) : rest_(mbox), all_(mbox) {}
  // The next message, or false at the end.
  bool Next(TMboxMessage& message);

 private:
  std::string_view rest_, all_;
};

// The message as it was before the mailbox escaped it: one ">" taken from
// each line that starts ">From " or ">>…From ".
[[nodiscard]] std::string UnescapeMboxMessage(std::string_view bytes);

}  // namespace tarvo

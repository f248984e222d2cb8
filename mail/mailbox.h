// Mailboxes: the messages of an mbox file (mboxo and mboxrd), one after the
// other, as views into the file's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/filereader.h"

namespace tarvo {

// Whether a file's first bytes are an mbox's first "From " line.
[[nodiscard]] bool IsMbox(std::string_view bytes);

struct TMboxMessage {
  std::string_view Bytes;  // the message, its "From " line left out, still escaped
  std::uint64_t Offset = 0;  // where its "From " line starts in the file
  std::uint64_t BytesOffset = 0;  // where Bytes start in the file
};

// Walks an mbox. A message starts at a line "From " at the start of the
// file or after an empty line; Content-Length is not believed.
class TMboxReader {
 public:
  explicit TMboxReader(std::string_view mbox) : rest_(mbox), all_(mbox) {}
  // The next message, or false at the end.
  bool Next(TMboxMessage& message);
  // What is left after the last message Next gave: empty when no "From "
  // line ended it.
  [[nodiscard]] std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_, all_;
};

// Walks an mbox file as TMboxReader does, reading it in pieces into one
// buffer kept from message to message: what stays in memory is the message
// being read, whatever the mailbox's size.
class TMboxFile {
 public:
  explicit TMboxFile(const std::string& path) : file_(path) {}
  // The next message, its Bytes valid until the next call, or false at the
  // end. Throws EFOpenError when the file shrank under the message.
  bool Next(TMboxMessage& message);
  // Where the next message starts in the file.
  [[nodiscard]] std::uint64_t Position() const { return base_ + start_; }
  [[nodiscard]] std::uint64_t Size() const { return file_.Size(); }

 private:
  TFileReader file_;
  std::string buffer_;
  std::size_t start_ = 0;   // in buffer_, where the next message starts
  std::uint64_t base_ = 0;  // buffer_'s offset in the file
};

// The message as it was before the mailbox escaped it: one ">" taken from
// each line that starts ">From " or ">>…From ".
[[nodiscard]] std::string UnescapeMboxMessage(std::string_view bytes);

}  // namespace tarvo

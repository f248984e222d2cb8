// A mailbox as a list of messages for the window: where each message lies
// (enough to read it again, never its bytes) and the row that sums it up.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "views/pipeline.h"

namespace tarvo {

// Whether the window opens `path` as a list: an mbox file or a Maildir.
[[nodiscard]] bool IsMailbox(const std::string& path);
// Whether a file starts as an mbox does.
[[nodiscard]] bool StartsAsMbox(const std::string& file);
// The regular files of a folder, recursively and sorted, Maildir's
// unfinished tmp/ left out; `error` tells what could not be read.
[[nodiscard]] std::vector<std::string> FolderFiles(const std::string& folder, std::error_code& error);

// How a message ended: failed, or the verdict the safety page shows.
enum class TOutcome : unsigned char { Failed, Info, Warn, Bad, Unjudged };
[[nodiscard]] TOutcome OutcomeOf(const TMailViews& views);
// "危険", "注意", "問題なし", "判定できず", "エラー" (UTF-8).
[[nodiscard]] std::string OutcomeName(TOutcome outcome);

// Where a message of a mailbox lies.
struct TMessageSpot {
  std::uint32_t File = 0;      // in TMailboxWalk's Files
  std::uint32_t Index = 0;     // 1-based inside an mbox; 0: the file is the message
  std::uint64_t Offset = 0;    // inside an mbox: its bytes, after the "From " line
  std::uint64_t Length = 0;
};

// A message's row (UTF-8): its date as written in its own zone, sender,
// subject, verdict and whether it carries attachments.
struct TMessageRow {
  std::string Date, From, Subject;
  std::int64_t Time = INT64_MIN;  // for sorting; INT64_MIN without a date
  TOutcome Outcome = TOutcome::Failed;
  bool Attachments = false;
};

// Runs the checks on a message's bytes and sums it up; a message that does
// not load gives FailedRow.
[[nodiscard]] TMessageRow SummarizeMessage(std::string bytes);
// The row of a message that could not be read: the error as its subject.
[[nodiscard]] TMessageRow FailedRow(const std::string& cp932Error);

// A mailbox read message by message.
class TMailboxWalk {
 public:
  // Throws EFOpenError when `path` cannot be read.
  explicit TMailboxWalk(const std::string& path);
  [[nodiscard]] const std::vector<std::string>& Files() const { return files_; }
  // Calls `each` for every message with its spot, bytes (unescaped) and the
  // share of the mailbox read (0..1), until it returns false. A file that
  // cannot be read, or an mbox cut short, gives a message with no bytes
  // and the error.
  using TEach = std::function<bool(const TMessageSpot&, std::string bytes, const std::string& error, double done)>;
  void Run(const TEach& each) const;

 private:
  std::vector<std::string> files_;
};

// The bytes of the message at `spot` (unescaped), read again from the
// file. Throws EFOpenError when the file no longer holds them.
[[nodiscard]] std::string ReadMessageAt(const std::vector<std::string>& files, const TMessageSpot& spot);

}  // namespace tarvo

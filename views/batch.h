// Many messages at a time for --dump: message files, folders (Maildir
// included), mbox files and lists of paths, on several threads, written in
// input order as JSON Lines.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tarvo {

struct TDumpOptions {
  unsigned Jobs = 0;                 // 0: one thread per processor
  std::ostream* Progress = nullptr;  // a terminal: one progress line, redrawn in place
  std::ostream* Summary = nullptr;   // where many messages end with a summary line
  std::vector<std::string> Only;     // the keys written (IsDumpKey); empty: all
};

// Dumps what `paths` name ("-" reads more paths, one a line, from `in`).
// One message file alone gives one JSON object as before; anything more
// gives one object a line. Returns 1 when any message failed (its object
// carries the error), else 0.
int DumpPaths(const std::vector<std::string>& paths, const TDumpOptions& options, std::istream& in,
              std::ostream& out);

// The progress line: a bar when the total is known (0: not known), the
// messages a second and the time left.
[[nodiscard]] std::string ProgressLine(std::size_t done, std::size_t total, double seconds);

}  // namespace tarvo

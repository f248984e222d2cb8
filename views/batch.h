// Many messages at a time for --dump: message files, folders (Maildir
// included), mbox files and lists of paths, on several threads, written in
// input order as JSON Lines.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tarvo {

// Dumps what `paths` name ("-" reads more paths, one a line, from `in`).
// One message file alone gives one JSON object as before; anything more
// gives one object a line. `jobs` 0 means one thread per processor. Returns
// 1 when any message failed (its object carries the error), else 0.
int DumpPaths(const std::vector<std::string>& paths, unsigned jobs, std::istream& in, std::ostream& out);

}  // namespace tarvo

// The headless modes of the command line: --dump FILE, --save-parts FILE DIR
// and --country IP.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

struct TMailViews;

// Where a message stands inside an mbox file.
struct TMessagePlace {
  std::size_t Index = 0;      // 1-based
  std::uint64_t Offset = 0;   // the byte offset of its "From " line
};

// Whether --dump writes a view under `key` (the table's keys, Hops, Memo5).
[[nodiscard]] bool IsDumpKey(std::string_view key);

// Writes the views as one JSON object; `error` is the load's error (code
// page 932) or null; `place`, for a message of an mbox, adds index and
// offset; `only`, when not empty, names the views written.
void WriteMailViews(const std::string& fileName, const TMailViews& views, const std::string* error, std::ostream& out,
                    const TMessagePlace* place = nullptr, const std::vector<std::string>& only = {});

// Loads the file and writes the views (those of `only`, or all) as one JSON
// object; returns the exit code.
int DumpMailFile(const std::string& fileName, std::ostream& out, const std::vector<std::string>& only = {});

// Loads the file and writes every part with a name into the folder, one line
// per file on `out`, errors on `err`; returns the exit code.
int SaveMailParts(const std::string& fileName, const std::string& folder, std::ostream& out, std::ostream& err);

// Loads the file and writes its HTML part, made safe to open (mail/html.h),
// into a new file `outFile`; returns the exit code.
int SaveMailHtml(const std::string& fileName, const std::string& outFile, std::ostream& err);

}  // namespace tarvo

// mailutils: message parsing. Every reader takes a memory stream and leaves
// it where its comment says; none of them reports an error.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "base/strlist.h"

namespace tarvo {

// ---- envelope.cpp: envelope/body split, line reader, header list ----

struct TEnvSection {
  std::string Name;   // as written before the first colon
  std::string Value;  // everything after it, continuation lines appended
};
using TEnvSections = std::vector<TEnvSection>;

// Longest piece ReadStreamLine returns for a line without an end.
constexpr std::size_t kLineLookAhead = 2048;

// Next line from the position, without its end (CR LF, CR or LF); a line
// longer than 2,048 bytes comes back in 2,048-byte pieces.
std::string ReadStreamLine(TMemoryStream& s);
// True when the first byte is a space or a TAB.
[[nodiscard]] bool IsContinuationLine(std::string_view line);
// Length of the header block: up to the first CR LF CR LF (+2) or LF LF.
[[nodiscard]] std::int32_t FindEnvelopeEnd(const TMemoryStream& mail);
// Copies header block and body (after the blank line) into the two streams.
void SplitEnvelope(const TMemoryStream* mail, TMemoryStream* envelope, TMemoryStream* body);
// Fills the header list; the stream is left at 0.
std::int32_t GetEnvSections(TMemoryStream* envelope, TEnvSections& sections);

// ---- summary.cpp: header summary ----


// ---- multipart.cpp: MIME multipart walk and part decoding ----


// ---- extract.cpp: text-only and HTML extraction ----


// ---- received.cpp: Received fields and dates ----

// One relay: what a Received field says about the sending side.
struct TReceivedList {
  std::string ServerName;    // the word after FROM, or a special-case name
  std::string Host;          // first word in the parenthesis (HELO/EHLO passed over)
  std::string IP;            // the word in the brackets that follow
  std::string Reserved1, Reserved2, Reserved3;  // spare, never filled
  std::string ReceivedText;  // the field's lines, each followed by CR LF
};
using TReceivedLists = std::vector<TReceivedList>;

// The twelve English month abbreviations, January first.
extern const char* const MonthNames[12];

// One entry per Received field, topmost first; returns the count. The
// stream is left at 0. A null or empty stream gives 0.
std::int32_t GetReceivedLists(TMemoryStream* envelope, TReceivedLists& lists);
// Scans one line of a field, overwriting what it finds in `entry`.
void ParseReceivedLine(std::string_view line, TReceivedList& entry);
// Everything after the first ";", trimmed; empty without one.
[[nodiscard]] std::string ExtractReceivedDate(std::string_view text);
// A Date-style text as "year/mm/dd time"; empty for an empty text.
[[nodiscard]] std::string FormatMailDate(std::string_view text);

}  // namespace tarvo

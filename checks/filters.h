// What the spam and virus filters wrote into the message: each stamp read
// into fields with their meaning in plain Japanese, whose stamp it is, and
// its verdict. Texts are UTF-8; values copied from the fields keep their
// bytes.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checks/auth.h"
#include "mail/mailutils.h"

namespace tarvo {

struct TFilterField {
  std::string Name;     // as the stamp writes it: "SCL", "score" ...
  std::string Value;    // as written
  std::string Meaning;  // Japanese; for a value no document explains, says so
  bool Known = true;    // false: a value no document explains, shown as it stands
};

enum class TFilterSide { Receiver, Sender };

struct TFilterVerdict {
  TLevel Level = TLevel::Info;
  std::string Text;      // Japanese, one sentence
  bool Skipped = false;  // filtering was skipped (an allow list, a rule)
};

struct TFilterStamp {
  std::string Family;  // "Microsoft 365", "SpamAssassin", "rspamd", "Cisco" ...
  std::string Header;  // the field's name as written
  std::size_t Field = 0;  // its place among the header's fields, top first
  std::size_t Ordinal = 0;  // how many fields of the same name stand above it
  std::size_t Row = static_cast<std::size_t>(-1);  // the header list's row, when the views know it
  TFilterSide Side = TFilterSide::Sender;
  std::vector<TFilterField> Fields;
  std::optional<TFilterVerdict> Verdict;  // none when the stamp judges nothing
  bool Outbound = false;  // Microsoft's DIR:OUT: the sending tenant's outbound check
  bool Undocumented = false;  // the vendor documents none of it
};

// Who wrote which field: the receiving side's run and what it is.
struct TFilterContext {
  // Per header field (top first): true when the receiving side wrote it.
  std::vector<bool> ReceiverWrote;
  // The receiving run is Microsoft's (Exchange Online): its own stamps
  // count wherever they stand, as it removes the sender's copies and
  // writes its own below the original fields.
  bool MicrosoftReceiver = false;
};

// Who wrote which field, by the trust boundary of the authentication results.
[[nodiscard]] TFilterContext FilterContextOf(const THeaderFields& fields);

// ---- the readers: one stamp's value into fields and a verdict ----
// Each returns nullopt when `name` is not a stamp of its family.

// filters_microsoft.cpp: X-MS-Exchange-Organization-SCL/-PCL,
// X-Forefront-Antispam-Report(-Untrusted), X-Microsoft-Antispam(-Untrusted),
// X-Microsoft-Antispam-Mailbox-Delivery.
[[nodiscard]] std::optional<TFilterStamp> ReadMicrosoftStamp(std::string_view name, std::string_view value);
// The meaning of compauth's reason code (three digits), or empty.
[[nodiscard]] std::string CompAuthReasonMeaning(std::string_view code);

// filters_other.cpp: SpamAssassin, rspamd, Cisco, Proofpoint, Barracuda,
// Trend Micro, Mimecast.
[[nodiscard]] std::optional<TFilterStamp> ReadOtherStamp(std::string_view name, std::string_view value);

// Either of the two.
[[nodiscard]] std::optional<TFilterStamp> ReadFilterStamp(std::string_view name, std::string_view value);

// Every stamp of the header, each with its side.
[[nodiscard]] std::vector<TFilterStamp> ReadFilterStamps(const THeaderFields& fields,
                                                         const TFilterContext& context);

// The findings the stamps give: a receiving-side verdict ("receiver-filter"),
// and the sending tenant's outbound stamp as information ("sender-tenant").
// A sending-side verdict raises nothing.
void AddFilterFindings(const std::vector<TFilterStamp>& stamps, std::vector<TFinding>& findings);

// The explanation box's lines for a stamp: what the field is, whose it is,
// the verdict, then one line per field with its meaning, then the value.
[[nodiscard]] std::vector<std::string> FilterExplanationLines(const TFilterStamp& stamp, std::string_view value);

[[nodiscard]] const char* FilterSideName(TFilterSide side);  // "receiver", "sender"
[[nodiscard]] const char* FilterSideText(TFilterSide side);  // 受信側 / 送信側

// ---- filters_table.cpp: the meanings of the documented values ----

struct TFilterMeaning {
  std::string_view Key;      // "SFV", "CAT", "rspamd-action" ...
  std::string_view Value;    // upper case where the stamp's values are case-blind
  std::string_view Meaning;  // Japanese
  TLevel Level;              // what the value says of the message
  bool Skip;                 // the value says filtering was skipped
};
// The row for key and value (the value compared without case), or null.
[[nodiscard]] const TFilterMeaning* FindFilterMeaning(std::string_view key, std::string_view value);
// The meaning of a field name with no values of its own ("CIP", "score"...), or empty.
[[nodiscard]] std::string_view FilterFieldMeaning(std::string_view family, std::string_view name);

}  // namespace tarvo

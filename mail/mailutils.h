// mailutils: message parsing over the bytes as read and the header fields
// read once (headerfields.h); none of the readers reports an error.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "base/strlist.h"
#include "base/textview.h"
#include "jcode/charset.h"
#include "mail/headerfields.h"

namespace tarvo {

// ---- envelope.cpp: where the header block ends, the header list ----

// Where the header block ends and the body begins.
struct TEnvelopeSplit {
  std::int32_t HeaderEnd;  // length of the header block
  std::int32_t BodyStart;  // first body byte, after the blank line
};
// The split at the first blank line: CR LF CR LF keeps its first CR LF in the
// header block; LF LF, CR CR and LF CR LF end it before their first byte.
// Without a blank line the whole mail is the header block. A boundary line
// of the multipart the header declares ends it too (the body begins with
// that line), as some senders leave the blank line out.
[[nodiscard]] TEnvelopeSplit FindEnvelopeSplit(std::string_view mail);

// A row of the header list: the bytes as stored.
struct THeaderRow {
  std::string Name, Value;
  std::string Decoded;  // the value's encoded words decoded, UTF-8, for reading
};
// The header list: a row per field, its value unfolded (only the line
// breaks go; a field of one line loses its trailing blanks). A line that is
// no field is cut at its first colon all the same; one without a colon goes
// under the name above.
[[nodiscard]] std::vector<THeaderRow> HeaderRows(const THeaderFields& fields);

// ---- address.cpp: address fields ----

struct TMailAddress {
  std::string Name;     // display name, decoded to UTF-8, trimmed
  std::string Address;  // as written, trimmed
};

// Every mailbox of an address field's value, in order: "name <addr>",
// "\"quoted, name\" <addr>", "addr (Name)", a bare address, and the members
// of groups ("name: a, b;"). Empty entries are left out.
[[nodiscard]] std::vector<TMailAddress> SplitMailAddresses(std::string_view value);
// The first of them; both parts empty when there is none.
[[nodiscard]] TMailAddress SplitMailAddress(std::string_view value);
// The mailbox that sends: the first with an address, whatever unquoted
// commas and junk its display name carries; the address-less words before
// it lead its name. Both parts empty when there is none.
[[nodiscard]] TMailAddress SenderMailbox(std::string_view value);

// ---- mimefields.cpp: structured MIME header values ----

// One parameter, its RFC 2231 pieces joined and percent escapes undone.
struct TMimeParam {
  std::string Name;     // lower-case, without the RFC 2231 "*" suffixes
  std::string Value;    // unquoted bytes, not yet decoded by any charset
  std::string Charset;  // the RFC 2231 charset; empty for a plain value
};

// A Content-Type or Content-Disposition value: token and parameters.
struct TMimeValue {
  std::string Token;  // lower-case: "text/plain", "attachment"; empty when none
  std::vector<TMimeParam> Params;
  // The parameter of that (lower-case) name, or null.
  [[nodiscard]] const TMimeParam* Param(std::string_view lowerName) const;
};

// token *(";" name "=" (token | quoted-string)), with name*=, name*N= and
// name*N*= pieces (RFC 2231) joined in order.
[[nodiscard]] TMimeValue ParseMimeValue(std::string_view value);
// RFC 2231 extended-value: %XX in either case is a byte; a "%" that starts
// no escape stays.
[[nodiscard]] std::string PercentUnescape(std::string_view s);

// ---- multipart.cpp: MIME walk and part decoding ----

// One part of the message: what its header says, and where its content
// lies in the body. Containers (multipart/*) are walked, not listed; an
// attached message (message/rfc822) is listed, and its own parts after it.
struct TAttachFilesFormat {
  std::string PartName;          // file name (filename, else name), decoded, UTF-8; empty when none
  std::int32_t StartPos = 0;     // first content byte, offset in the body
  std::int32_t EndPos = 0;       // just after the last content byte
  std::string PartContentType;   // the Content-Type value as written, unfolded
  std::string MediaType;         // lower-case type/subtype; the default type when absent or invalid
  std::string Charset;           // the charset parameter, unquoted; empty when none
  std::string Disposition;       // lower-case disposition type ("attachment", "inline") or empty
  std::string TransferEncoding;  // lower-case Content-Transfer-Encoding token or empty
  std::int32_t Depth = 0;        // multipart levels around the part (0: the message itself)
  std::string ContentId;         // Content-ID as written, trimmed; empty when none
  std::string Number;            // "1", "2", "2.1": its place among the parts of its message
  std::int32_t MessageDepth = 0; // attached messages around the part
  bool TooDeep = false;          // a container past kMaxNesting, listed whole
  bool InText = false;           // a uuencoded block inside the text part listed before it
  std::string AccessType;        // message/external-body: how the content is reached, lower-case
  std::string RemoteName;        // and the remote file's name (or URL), decoded
  // The bytes StartPos and EndPos count in when they are not the body's:
  // the decoded content of a transfer-encoded attached message (for its
  // parts), or of a decoded text part (for the uuencoded blocks in it).
  TSharedBytes Source;
};
using TAttachLists = std::vector<TAttachFilesFormat>;

// The bytes a part's positions count in: its Source, else the body.
[[nodiscard]] inline std::string_view PartSource(std::string_view body, const TAttachFilesFormat& part) {
  return part.Source ? std::string_view(*part.Source) : body;
}

// textcontext.cpp: how to read the message's text beyond each part's
// charset: the carrier of the sender (From, else X-Mailer, else
// Message-ID) and the one non-Japanese charset its text parts declare.
[[nodiscard]] TTextContext MessageTextContext(const THeaderFields& header, const TAttachLists& parts);

// Deepest nesting the walk follows, multiparts and attached messages
// counted together; a container below it is listed whole (TooDeep).
constexpr int kMaxNesting = 128;

// Whether `line` is a boundary line of `marker` ("--" + boundary), blanks
// after it allowed; `closing` tells the close delimiter ("--" after it).
[[nodiscard]] bool IsBoundaryLine(std::string_view line, std::string_view marker, bool& closing);

// Every leaf part of a message and every attached message, in body order:
// the parts of a multipart body at any depth, or the whole body as one
// part; an attached message is followed by its own parts (a base64 one's
// counted in its decoded bytes), and the plain-text parts by the uuencoded
// blocks in them.
// `header` is the message's header block. Returns the number of parts.
std::int32_t ParseMessageParts(const THeaderFields& header, std::string_view body, TAttachLists& parts);
// The content body[start, end) into `output`, undoing base64,
// quoted-printable or uuencode by `encoding` (the part's transfer encoding). An empty
// or impossible range leaves the output as it was.
void DecodePartStream(std::string_view body, std::int32_t start, std::int32_t end, TMemoryStream& output,
                      std::string_view encoding);
// The bytes DecodePartStream reads for a range; empty for an empty or
// impossible one.
[[nodiscard]] std::string_view PartContent(std::string_view body, std::int32_t start, std::int32_t end);
// Which decoding DecodePartStream applies for a transfer encoding.
enum class TPartCoding { Identity, Base64, QuotedPrintable, Uuencode };
[[nodiscard]] TPartCoding PartCoding(std::string_view encoding);

// ---- extract.cpp: text-only and HTML extraction ----

// A message's body as a stretch of a shared buffer (the file as read), so
// that views can point into it; or a whole buffer.
struct TBodyText {
  TSharedBytes Buffer;
  std::string_view Bytes;  // inside *Buffer
  // The body's lines where a view already holds them, from line FirstLine
  // on (the raw view): a part stored as it is shares them.
  const TTextView* Lines = nullptr;
  std::size_t FirstLine = 0;
  TBodyText(TSharedBytes whole) : Buffer(std::move(whole)), Bytes(Buffer ? std::string_view(*Buffer) : std::string_view()) {}
  TBodyText(TSharedBytes buffer, std::string_view bytes) : Buffer(std::move(buffer)), Bytes(bytes) {}
};

// A body line as readable text, UTF-8: a well-formed UTF-8 line holding a
// multi-byte sequence and no ESC is taken as it is, any other line is
// converted by the code detected in it and read as code page 932.
[[nodiscard]] std::string ConvertLineToUtf8(std::string_view line);
// The one part-text decoder of the text views and the attachments page:
// appends text[from, to), a part's transfer-decoded bytes, as lines of UTF-8
// read by its charset (lines of no or an unknown charset by
// ConvertLineToUtf8), without the blank lines before and after its text.
// When the bytes are `body`'s buffer, lines stay where they lie in it.
void AppendTextLines(TSharedBytes text, std::size_t from, std::size_t to, std::string_view charset, TTextView& list,
                     const TBodyText* body = nullptr);
// The same of a part of the body: transfer-decoded first.
void AppendPartText(const TBodyText& body, const TAttachFilesFormat& part, TTextView& list);
// Appends the text of every text/plain part that is not an attachment of a
// multipart nor a part of an attached message, in body order, without the
// uuencoded blocks in it; and a container too deep to walk, as it is.
void GetTextPlainParts(const TBodyText& body, const TAttachLists& parts, TTextView& list);
// The same for every text/html part.
void GetTextHtmlParts(const TBodyText& body, const TAttachLists& parts, TTextView& list);
// The text of the same HTML parts as one UTF-8 text, whole: a NUL in it
// ends nothing here (the link check reads all of it).
[[nodiscard]] std::string HtmlPartsText(const TBodyText& body, const TAttachLists& parts);
// Each line converted to Shift-JIS by the code detected in it.
void ConvertListToSJIS(TStringList& list);

// ---- received.cpp: Received fields ----

// One relay: what a Received field says about the sending side.
struct TReceivedList {
  std::string ServerName;    // the word after "from", or a special-case name
  std::string Host;          // the reverse-DNS name beside its address
  std::string IP;            // the address it connected from, as written
  std::string ReceivedText;  // the field's lines, each followed by CR LF
  std::string By;            // the receiving host, after "by"
  std::string With;          // the protocol words after "with"
};
using TReceivedLists = std::vector<TReceivedList>;

// One entry per Received field, topmost first; returns the count.
std::int32_t GetReceivedLists(const THeaderFields& fields, TReceivedLists& lists);
// Reads the "from" clause of a whole field (its lines as stored) into
// server name, host and IP (a field without one leaves them as they are),
// and the "by" host and the "with" protocol.
void ParseReceivedField(std::string_view text, TReceivedList& entry);
// The date-time after the last ";" of the field that a date follows, its
// line breaks as blanks, trimmed; after the last ";" when none does; empty
// without a ";".
[[nodiscard]] std::string ExtractReceivedDate(std::string_view text);
// A Date-style text as "year/mm/dd time", word by word; empty for an empty
// text. The Date: field's explanation uses it.
[[nodiscard]] std::string FormatMailDate(std::string_view text);

// ---- maildate.cpp: date-times ----

// A date-time as written: the clock time of its own zone.
struct TMailDate {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0;
  int ZoneMinutes = 0;    // east of UTC
  bool HasZone = false;   // false without a zone, for -0000 and unknown names
  bool Valid = false;     // day, month, year and time were all found
};

// RFC 5322 3.3 date-time and its obsolete forms (4.3): day name optional,
// comments and folding anywhere, two-digit years (00-49 are 20xx), zone
// names; also the asctime order of some servers.
[[nodiscard]] TMailDate ParseMailDate(std::string_view text);
// "YYYY/MM/DD HH:MM:SS" in the date's own zone; empty when not Valid.
[[nodiscard]] std::string FormatDateTime(const TMailDate& date);
// ISO 8601 with the date's own offset, "2026-12-08T09:15:02+09:00"
// (+00:00 without a zone); empty when not Valid.
[[nodiscard]] std::string FormatIsoTime(const TMailDate& date);
// Seconds from 1970-01-01T00:00:00Z to the date's instant (a Valid date).
[[nodiscard]] std::int64_t UnixTime(const TMailDate& date);
// A delay in Japanese (UTF-8): "12秒", "3分", "1時間02分" (seconds only
// under a minute); a negative one the same with a minus sign, as clock
// skew: "−7時間00分 (時計のずれ)".
[[nodiscard]] std::string FormatDelay(std::int64_t seconds);

}  // namespace tarvo

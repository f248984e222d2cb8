// The grammar of header fields (RFC 5322 3.2, RFC 2045 5.1) once: its
// character classes, the ASCII helpers every reader needs, and one cursor
// over a std::string_view that each structured-field reader moves along.
// The cursor functions take `rest`, read what their production matches at
// its front, and leave `rest` after it; none of them reports an error, and
// each reads every byte at most once.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tarvo {

// ---- character classes ----

// WSP = SP / HTAB (RFC 5234 B.1)
constexpr bool IsWsp(char c) { return c == ' ' || c == '\t'; }
// The bytes folding white space is made of: WSP and the CR LF of a fold.
constexpr bool IsFws(char c) { return IsWsp(c) || c == '\r' || c == '\n'; }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// Any byte of 32 or less: what Trim drops (controls, blanks, NUL).
constexpr bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
// atext = ALPHA / DIGIT / "!" / "#" / "$" / "%" / "&" / "'" / "*" / "+" /
//         "-" / "/" / "=" / "?" / "^" / "_" / "`" / "{" / "|" / "}" / "~"
constexpr bool IsAtext(char c) {
  return IsAlpha(c) || IsDigit(c) || std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}
// tspecials = "(" / ")" / "<" / ">" / "@" / "," / ";" / ":" / "\" / <"> /
//             "/" / "[" / "]" / "?" / "="   (RFC 2045 5.1)
constexpr bool IsTspecial(char c) { return std::string_view("()<>@,;:\\\"/[]?=").find(c) != std::string_view::npos; }

// ---- letters and digits ----

constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
// The ASCII letters lower-cased, every other byte as it is.
[[nodiscard]] std::string LowerAscii(std::string_view s);
// Equal when ASCII letters are compared without case.
[[nodiscard]] bool EqualsNoCase(std::string_view a, std::string_view b);
[[nodiscard]] bool StartsWithNoCase(std::string_view s, std::string_view prefix);
// The first place at or after `from` where `sub` stands, ASCII case aside; npos.
[[nodiscard]] std::size_t FindNoCase(std::string_view s, std::string_view sub, std::size_t from = 0);
// HEXDIG of either case: its value, or -1.
constexpr int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// ---- trims (views into the text) ----

// Without WSP, CR and LF at either end.
[[nodiscard]] std::string_view TrimFws(std::string_view s);
[[nodiscard]] std::string_view TrimFwsEnd(std::string_view s);
// Without any byte of 32 or less at either end (Trim's rule, as a view).
[[nodiscard]] std::string_view TrimControls(std::string_view s);
[[nodiscard]] std::string_view TrimControlsEnd(std::string_view s);
// Trimmed of FWS bytes, and each run of them inside made one space.
[[nodiscard]] std::string CollapseFws(std::string_view s);

// ---- UTF-8 ----

// Length of the well-formed UTF-8 sequence at s[i] (RFC 3629: no overlong
// form, no surrogate, nothing past U+10FFFF), or 0; 1 for ASCII.
[[nodiscard]] std::size_t Utf8SequenceLength(std::string_view s, std::size_t i);
// The looser shape some readers accept: a lead byte C2..F4 and as many
// bytes of the form 10xxxxxx as it announces (overlong three- and
// four-byte forms and surrogates pass). Its length, or 0; 1 for ASCII.
[[nodiscard]] std::size_t Utf8ShapeLength(std::string_view s, std::size_t i);

// ---- the cursor ----

// What one unit of text is to the cursor. Raw header text may hold
// Japanese: a Shift-JIS pair whose trail byte is ASCII ("\\", "@", "["
// and "]" are trail bytes there), or a JIS two-byte run up to the escape that ends it,
// is one unit that no special character inside can split.
enum class TTextUnits { Bytes, RawJapanese };
// Length of the unit at s[i] (1 for any single byte).
[[nodiscard]] std::size_t UnitLength(std::string_view s, std::size_t i, TTextUnits units);

// CFWS = (1*([FWS] comment) [FWS]) / FWS
// Skips blanks, line breaks and comments at the front of `rest`.
void SkipCfws(std::string_view& rest);

// comment  = "(" *([FWS] ccontent) [FWS] ")"
// ccontent = ctext / quoted-pair / comment
// `rest` starts at "("; returns the text between the outer parentheses as
// written (nested comments and quoted pairs kept). One left open runs to
// the end.
std::string_view ReadComment(std::string_view& rest, TTextUnits units = TTextUnits::Bytes);
// A comment's or quoted string's text with each quoted pair undone (the
// backslash dropped, the byte after it kept).
[[nodiscard]] std::string UndoQuotedPairs(std::string_view text, TTextUnits units = TTextUnits::Bytes);

// How a backslash inside a quoted string is read.
enum class TQuotedPairs {
  Any,        // quoted-pair = "\" (VCHAR / WSP): it takes the next byte
  QuoteOnly,  // only before a DQUOTE: a Shift-JIS trail byte may be 0x5C
};
// quoted-string = DQUOTE *([FWS] qcontent) [FWS] DQUOTE
// qcontent      = qtext / quoted-pair
// `rest` starts at the opening DQUOTE; returns the content with the quoted
// pairs undone. One left open runs to the end. With QuoteOnly, "\"" is a
// quote only when it is not the value's last DQUOTE (`lastQuote`, a
// pointer into the same text, found once by the caller).
std::string ReadQuoted(std::string_view& rest, TTextUnits units = TTextUnits::Bytes,
                       TQuotedPairs pairs = TQuotedPairs::Any, const char* lastQuote = nullptr);

// token = 1*<any (US-ASCII) CHAR except SPACE, CTLs, or tspecials>
// (RFC 2045 5.1); empty when `rest` starts with none of them.
std::string_view ReadToken(std::string_view& rest);

// atom = [CFWS] 1*atext [CFWS]; the atext run, the CFWS around it skipped.
std::string_view ReadAtom(std::string_view& rest);

// A word as the looser readers cut it: the bytes up to the next WSP, CR,
// LF or one of `stops`. Empty when `rest` starts with one of them.
std::string_view ReadUntil(std::string_view& rest, std::string_view stops);

}  // namespace tarvo

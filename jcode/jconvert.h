// jconvert: Japanese code detection and conversion, MIME encoded words, and
// the base64 / quoted-printable / percent codecs. Pure functions over bytes;
// none of them fails or reads past the end of its input.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/stream.h"

namespace tarvo {

// ---- detect.cpp: code detection ----

enum TCodeKind : int {
  ckNone = 0,
  ckBinary = 1,
  ckJIS = 2,
  ckJIS78 = 3,
  ckEUC = 4,
  ckSJIS = 5,
  ckEUCOrSJIS = 6,
};

[[nodiscard]] TCodeKind DetectCode(std::string_view text);

// ---- convert.cpp: JIS / EUC-JP / Shift-JIS ----

[[nodiscard]] std::string JISToSJIS(std::string_view text);
[[nodiscard]] std::string EUCToSJIS(std::string_view text);
[[nodiscard]] std::string SJISToEUC(std::string_view text);
[[nodiscard]] std::string SJISToJIS(std::string_view text);

// One JIS X 0208 pair to its Shift-JIS pair.
[[nodiscard]] std::pair<std::uint8_t, std::uint8_t> JISPairToSJIS(std::uint8_t j1, std::uint8_t j2);
// The two variants differ only for the second byte 0x7F: EUC gives 0x60, JIS 0x5F.
enum class TPairVariant { EUC, JIS };
[[nodiscard]] std::pair<std::uint8_t, std::uint8_t> SJISPairToJIS(std::uint8_t s1, std::uint8_t s2,
                                                                  TPairVariant variant);

// The conversion of a whole line by the code DetectCode finds in it, the
// table the converted body view and the text-only view share.
[[nodiscard]] std::string ConvertLineToSJIS(std::string_view line);
// The same in place; a line that needs no conversion is not copied.
void ConvertLineToSJISInPlace(std::string& line);

// ---- codecs.cpp: base64, quoted-printable, percent ----

[[nodiscard]] std::string Base64Encode(std::string_view text);

// Where the base64 data of a text ends, as mail clients read it: after the
// group that holds padding, or at the start of the first line that holds a
// byte outside the alphabet (blanks and line ends aside), that follows a
// line shorter than the first (the encoder's last), or that reads as words
// after a blank line when the groups so far are whole. What follows, a
// mailing list's footer say, is not part of the data.
struct TBase64Extent {
  std::size_t End = 0;
  // Nothing but the alphabet, blanks and line ends, padding only where it
  // ends a group, and no group cut short.
  bool Clean = true;
};
[[nodiscard]] TBase64Extent Base64Extent(std::string_view text);

// The decoder under all of them, over a text cut anywhere into pieces:
// bytes outside the alphabet are skipped, "=" ends the group it stands in,
// and a group cut short by the end still gives its bytes. Feed writes what
// each piece completes, Finish the group left open at the end.
class TBase64BodyDecoder {
 public:
  // Room Feed may need for a piece of n bytes (one more than it writes).
  [[nodiscard]] static constexpr std::size_t MaxOut(std::size_t n) { return 3 * (n / 4) + 4; }
  // Returns how many bytes it wrote to `out`.
  std::size_t Feed(std::string_view piece, char* out);
  // At most 2 bytes; the decoder is then ready for a new text.
  std::size_t Finish(char* out);

 private:
  std::uint32_t bits_ = 0;
  int have_ = 0;  // characters in the group so far
};

// The bytes of the text's base64 data (up to Base64Extent's end), handed to
// `take` a slice at a time, so that a big part is never held twice.
template <class Take>
void Base64DecodeSlices(std::string_view text, Take&& take) {
  constexpr std::size_t kSlice = 48 * 1024;
  char buffer[TBase64BodyDecoder::MaxOut(kSlice)];
  TBase64BodyDecoder decoder;
  text = text.substr(0, Base64Extent(text).End);
  for (std::size_t i = 0; i < text.size(); i += kSlice)
    take(std::string_view(buffer, decoder.Feed(text.substr(i, kSlice), buffer)));
  take(std::string_view(buffer, decoder.Finish(buffer)));
}

// Encoded words and the code tools: the decoded bytes when the text is
// clean base64 (see TBase64Extent), else the input unchanged.
[[nodiscard]] std::string Base64Decode(std::string_view text);
// A part body into `stream` (which the caller has emptied).
void Base64DecodeToStream(std::string_view text, TMemoryStream& stream);
[[nodiscard]] std::string QPDecode(std::string_view text);
// A quoted-printable part body by RFC 2045: empties the stream, sets its
// position to 0 and writes the decoded bytes.
void QPDecodeToStream(std::string_view text, TMemoryStream& stream);
[[nodiscard]] std::string PercentDecode(std::string_view text);
// 0 unless the pair has exactly two characters; lower-case a-f count as 0.
[[nodiscard]] std::uint8_t HexPairToByte(std::string_view pair);

// ---- uucode.cpp: uuencode ----

// A "begin <mode> <name>" line, data lines and an "end" line in a text:
// [Begin, End) from the start of the begin line to the end of the end
// line (its line end left out).
struct TUuBlock {
  std::size_t Begin = 0, End = 0;
  std::string_view Name;  // as written
};
// The first block whose begin line starts at or after `from` (a line
// start); a begin line without data lines and an end line starts none.
[[nodiscard]] std::optional<TUuBlock> FindUuBlock(std::string_view text, std::size_t from = 0);
// The data after the first begin line (the whole text without one) up to
// an end line, appended to `stream`.
void UudecodeToStream(std::string_view text, TMemoryStream& stream);
[[nodiscard]] std::string Uudecode(std::string_view text);

// ---- encwords.cpp: MIME encoded words ----

// Header text with its encoded words of the first known charset decoded, in
// Shift-JIS (code page 932).
[[nodiscard]] std::string DecodeHeaderText(std::string_view value);
// One charset step of DecodeHeaderText; true when a word of it was found
// (R then holds the decoded text and W is empty), false with nothing changed.
bool DecodeCharsetWords(std::string_view name, bool convertJIS, std::string& W, std::string& R,
                        bool& utf8Flag);
// The Unicode form that every view shows, UTF-8: each encoded word decoded by
// its own charset (B and Q alike; blanks between adjacent words dropped and
// the bytes of adjacent words of one charset joined before decoding; a
// word in an unknown charset or with broken base64 stays as written), and
// the raw text around the words by RawHeaderTextToUtf8.
[[nodiscard]] std::string DecodeHeaderTextUtf8(std::string_view value);
// Raw header bytes outside encoded words, the one reading of them that every
// decoded view shares: JIS escapes converted, well-formed UTF-8 taken as it
// is, else Shift_JIS or EUC-JP where the bytes say which, else the charset
// the message declares for its text (CurrentTextContext), else Shift_JIS.
// Carrier emoji become Unicode; a byte that starts no character is kept as
// U+F700 + byte.
[[nodiscard]] std::string RawHeaderTextToUtf8(std::string_view raw);
// A body line of no known charset, UTF-8: well-formed UTF-8 without ESC as
// it is, any other line by the code DetectCode finds in it, with the
// carrier's emoji.
[[nodiscard]] std::string LineToUtf8(std::string_view line);
// UTF-8 bytes to code page 932 ('?' for characters it lacks, and for each
// well-formed four-byte sequence); the empty text when the bytes are not
// valid UTF-8 by our reading.
[[nodiscard]] std::string UTF8ToSJIS(std::string_view utf8);

}  // namespace tarvo

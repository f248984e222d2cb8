// The base64, quoted-printable and percent decoders over arbitrary bytes, and
// the base64 round trip.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "jcode/jconvert.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string enc = Base64Encode(text);
  if (Base64Decode(enc) != text) std::abort();
  TMemoryStream s;
  Base64DecodeToStream(enc, s);
  if (s.Bytes() != text) std::abort();

  (void)Base64Decode(text);
  TMemoryStream body;
  Base64DecodeToStream(text, body);
  const std::string qp = QPDecode(text);
  TMemoryStream qs(std::string("old"));
  QPDecodeToStream(text, qs);
  if (qp.size() > text.size() || qs.Bytes().size() > text.size()) std::abort();
  if (body.Size() > text.size() / 4 * 3 + 2) std::abort();

  // The same data in pieces cut at sizes taken from its own bytes.
  const std::string_view data64 = text.substr(0, Base64Extent(text).End);
  TBase64BodyDecoder pieces;
  std::string joined;
  char buf[TBase64BodyDecoder::MaxOut(64)];
  for (std::size_t i = 0, k = 0; i < data64.size(); ++k) {
    // One to 64 bytes a piece: a piece of none would never end the loop.
    const std::size_t n = std::min<std::size_t>(data64.size() - i, 1 + static_cast<unsigned char>(text[k % size]) % 64);
    joined.append(buf, pieces.Feed(data64.substr(i, n), buf));
    i += n;
  }
  joined.append(buf, pieces.Finish(buf));
  if (joined != body.Bytes()) std::abort();
  if (PercentDecode(text).size() > text.size()) std::abort();
  (void)HexPairToByte(text.substr(0, 2));
  return 0;
}

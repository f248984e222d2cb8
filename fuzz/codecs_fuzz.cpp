// The base64, quoted-printable and percent decoders over arbitrary bytes, and
// the base64 round trip.
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
  if (PercentDecode(text).size() > text.size()) std::abort();
  (void)HexPairToByte(text.substr(0, 2));
  return 0;
}

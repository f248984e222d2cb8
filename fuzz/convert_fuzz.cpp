// Code detection and the converters over arbitrary bytes: no read past the
// end, and the line conversion follows the detected code.
#include <cstdint>
#include <cstdlib>

#include "jcode/jconvert.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TCodeKind kind = DetectCode(text);
  if (kind < ckNone || kind > ckEUCOrSJIS) std::abort();
  const std::string jis = JISToSJIS(text);
  const std::string euc = EUCToSJIS(text);
  const std::string toEuc = SJISToEUC(text);
  const std::string toJis = SJISToJIS(text);
  const std::string line = ConvertLineToSJIS(text);
  const std::string& want = (kind == ckJIS || kind == ckJIS78) ? jis
                            : (kind == ckEUC || kind == ckEUCOrSJIS) ? euc
                                                                     : std::string(text);
  if (line != want) std::abort();
  // Shift-JIS text made of whole characters comes back through both codes.
  (void)JISToSJIS(toJis);
  (void)EUCToSJIS(toEuc);
  return 0;
}

#include "hash/CodeTools.h"

#include "base/bytes.h"
#include "hash/DHash.h"
#include "jcode/jconvert.h"

namespace tarvo {

std::string ToolJIS(std::string_view sjis) { return SJISToJIS(sjis); }
std::string ToolJISBack(std::string_view jis) { return JISToSJIS(jis); }
std::string ToolEUC(std::string_view sjis) { return SJISToEUC(sjis); }
std::string ToolEUCBack(std::string_view euc) { return EUCToSJIS(euc); }
std::string ToolBase64(std::string_view sjis) { return Base64Encode(sjis); }
std::string ToolBase64Back(std::string_view b64) { return Base64Decode(b64); }

std::string ToolMD5(std::string_view sjis) {
  TDMD5 md5;
  md5.InitWithString(sjis);
  TMD5Digest digest;
  md5.Final(digest);
  return TDMD5::DigestToHex(digest);
}

std::string ToolSHA1(std::string_view sjis) {
  TDSHA1 sha1;
  sha1.InitWithString(sjis);
  TSHA1Digest digest;
  sha1.Final(digest);
  return TDSHA1::DigestToHex(digest);
}

std::string ToolUpcase(std::string_view text) { return UpperCase(text); }

std::string_view TextUpToNul(std::string_view text) {
  const std::size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace tarvo

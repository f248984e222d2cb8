#include "hash/Workbench.h"

#include "base/bytes.h"
#include "hash/Digest.h"
#include "jcode/jconvert.h"

namespace tarvo {

std::string ToolJIS(std::string_view sjis) { return SJISToJIS(sjis); }
std::string ToolJISBack(std::string_view jis) { return JISToSJIS(jis); }
std::string ToolEUC(std::string_view sjis) { return SJISToEUC(sjis); }
std::string ToolEUCBack(std::string_view euc) { return EUCToSJIS(euc); }
std::string ToolBase64(std::string_view sjis) { return Base64Encode(sjis); }
std::string ToolBase64Back(std::string_view b64) { return Base64Decode(b64); }

std::string ToolMD5(std::string_view sjis) { return DigestHex(TDigestKind::Md5, sjis); }
std::string ToolSHA1(std::string_view sjis) { return DigestHex(TDigestKind::Sha1, sjis); }

std::string ToolUpcase(std::string_view text) { return UpperCase(text); }

std::string_view TextUpToNul(std::string_view text) {
  const std::size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace tarvo

#include "base/ascii.h"
#include "jcode/charset.h"
#include "mail/mailutils.h"

namespace tarvo {

TTextContext MessageTextContext(const THeaderFields& header, const TAttachLists& parts) {
  TTextContext context;
  std::string from, mailer, id;
  if (const THeaderField* f = FindField(header, "from")) from = SplitMailAddress(f->Value).Address;
  if (const THeaderField* f = FindField(header, "x-mailer")) mailer = f->Value;
  if (const THeaderField* f = FindField(header, "message-id")) id = f->Value;
  context.Carrier = CarrierOfSender(from, mailer, id);
  // The one charset the text parts declare, if it is neither Japanese nor
  // UTF-8 (raw bytes that are no UTF-8 are not UTF-8 text either); an
  // attached message speaks for itself.
  std::string declared;
  for (const TAttachFilesFormat& p : parts) {
    if (p.MediaType.compare(0, 5, "text/") != 0 || p.MessageDepth > 0) continue;
    const std::string charset = NormaliseCharset(p.Charset);
    if (charset.empty() || charset == "us-ascii" || charset == "ascii") continue;
    if (!declared.empty() && declared != charset) return context;
    declared = charset;
  }
  if (!declared.empty() && !IsJapaneseCharset(declared) && declared != "utf-8" && declared != "utf8")
    context.FallbackCharset = declared;
  return context;
}

}  // namespace tarvo

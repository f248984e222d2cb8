// The part list of a loaded message, over the MIME walk's entries.
#include "mail/mailutils.h"
#include "mail/parts.h"

namespace tarvo {

TMailParts GetMailParts(const TMemoryStream& body, const TAttachLists& entries) {
  TMailParts list;
  list.reserve(entries.size());
  for (const TAttachFilesFormat& e : entries) {
    TMemoryStream decoded;
    DecodePartStream(body, e.StartPos, e.EndPos, decoded, e.TransferEncoding);
    TPartFields f{e.PartName, e.MediaType, e.Disposition, e.Charset, e.TransferEncoding};
    list.push_back(MakeWalkedPart(static_cast<std::int32_t>(list.size() + 1), std::move(f), std::move(decoded.Bytes())));
  }
  return list;
}

}  // namespace tarvo

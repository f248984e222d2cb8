// The part list of a loaded message, over the MIME walk's entries.
#include "mail/mailutils.h"
#include "mail/parts.h"

namespace tarvo {

TMailParts GetMailParts(const TMemoryStream& body, const TAttachLists& entries, bool keepData) {
  TMailParts list;
  list.reserve(entries.size());
  TPartDigests digests;
  TMemoryStream decoded;  // reused when the bytes are not kept: its capacity stays
  for (const TAttachFilesFormat& e : entries) {
    decoded.Clear();
    DecodePartStream(body, e.StartPos, e.EndPos, decoded, e.TransferEncoding);
    TPartFields f{e.PartName, e.MediaType, e.Disposition, e.Charset, e.TransferEncoding};
    TMailPart& part = list.emplace_back(MakeWalkedPart(static_cast<std::int32_t>(list.size() + 1), std::move(f)));
    digests.Update(decoded.Bytes());
    digests.Finish(part);
    if (keepData) {
      part.Data = std::move(decoded.Bytes());
      decoded = TMemoryStream();
    }
  }
  return list;
}

}  // namespace tarvo

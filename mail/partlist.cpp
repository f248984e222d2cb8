// The part list of a loaded message, over the MIME walk's entries.
#include <new>

#include "base/ascii.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"
#include "mail/parts.h"

namespace tarvo {

namespace {

// Base64 content decoded a slice at a time and each slice digested while it
// is in cache; the bytes are appended to `data` when it is given.
void DigestBase64(std::string_view text, TPartDigests& digests, std::string* data) {
  if (data) data->reserve(TBase64BodyDecoder::MaxOut(text.size()));
  Base64DecodeSlices(text, [&](std::string_view bytes) {
    digests.Update(bytes);
    if (data) data->append(bytes);
  });
}

// What the part's bytes are; an archive's entries, except for the files
// that are archives only inside (Office, OpenDocument), which are judged by
// whether they hold macros.
void SniffPart(std::string_view bytes, TMailPart& part) {
  part.Content = SniffContent(bytes);
  if (part.Content != TContentKind::Archive) return;
  TArchiveListing list = ListArchive(bytes.substr(0, kSniffBytes), part.Name);
  bool office = false, macros = false;
  for (const TArchiveEntry& e : list.Entries) {
    office = office || e.Name == "[Content_Types].xml" || e.Name == "mimetype" || e.Name == "META-INF/manifest.xml";
    macros = macros || EqualsNoCase(e.Name.substr(e.Name.find_last_of('/') + 1), "vbaProject.bin");
  }
  if (office && !list.Encrypted) {
    part.Content = macros ? TContentKind::OfficeMacros : TContentKind::Office;
    return;
  }
  if (list.Read) part.Archive = std::move(list);
}

// A part as the walk found it, before its bytes are read.
TMailPart PartOfEntry(const TAttachFilesFormat& e, std::int32_t index) {
  TMailPart part = MakeWalkedPart(index, TPartFields{e.PartName, e.MediaType, e.Disposition, e.Charset, e.TransferEncoding});
  part.ContentId = e.ContentId;
  part.Number = e.Number;
  part.Depth = e.MessageDepth;
  part.AccessType = e.AccessType;
  part.RemoteName = e.RemoteName;
  part.TooDeep = e.TooDeep;
  return part;
}

}  // namespace

TMailParts GetMailParts(std::string_view body, const TAttachLists& entries, bool keepData, const TSharedBytes& buffer) {
  TMailParts list;
  list.reserve(entries.size());
  TPartDigests digests;
  TMemoryStream decoded;  // quoted-printable parts; reused when the bytes are not kept
  for (const TAttachFilesFormat& e : entries) {
    TMailPart& part = list.emplace_back(PartOfEntry(e, static_cast<std::int32_t>(list.size() + 1)));
    const std::string_view source = PartSource(body, e);
    const std::string_view content = PartContent(source, e.StartPos, e.EndPos);
    // What the bytes are is read for every part that is not the message's
    // own text; a listing without the bytes decodes them for that alone.
    const bool sniff = !part.Name.empty() || !IsTextPart(part);
    std::string scratch;
    std::string_view bytes;
    try {
      switch (PartCoding(e.TransferEncoding)) {
        case TPartCoding::Base64:
          DigestBase64(content, digests, keepData ? &part.Data : sniff ? &scratch : nullptr);
          bytes = keepData ? std::string_view(part.Data) : std::string_view(scratch);
          break;
        case TPartCoding::Identity:
          bytes = content;
          digests.Update(content);
          if (keepData && (e.Source || buffer)) {
            part.Stored = e.Source ? e.Source : buffer;
            part.StoredBytes = content;
          } else if (keepData) {
            part.Data = content;
          }
          break;
        case TPartCoding::QuotedPrintable:
        case TPartCoding::Uuencode:
          decoded.Clear();
          DecodePartStream(source, e.StartPos, e.EndPos, decoded, e.TransferEncoding);
          digests.Update(decoded.Bytes());
          if (keepData) {
            part.Data = std::move(decoded.Bytes());
            decoded = TMemoryStream();
            bytes = part.Data;
          } else {
            bytes = decoded.Bytes();
          }
          break;
      }
      if (sniff) SniffPart(bytes, part);
    } catch (const std::bad_alloc&) {
      // Bytes that do not fit in memory count as none, as for decoding alone.
      part.Data = std::string();
      part.Stored.reset();
      TMailPart discarded;
      digests.Finish(discarded);
    }
    digests.Finish(part);
  }
  return list;
}

}  // namespace tarvo

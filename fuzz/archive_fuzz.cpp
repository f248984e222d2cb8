// Attachments over arbitrary bytes: the content sniffer, the archive lister
// (libarchive) within its caps, and the risk table on what they find.
#include <cstdint>
#include <cstdlib>

#include "checks/auth.h"
#include "mail/content.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TMailPart part;
  part.Index = 1;
  part.Name = "file.zip";
  part.ContentType = "application/octet-stream";
  part.Content = SniffContent(bytes);
  part.Archive = ListArchive(bytes, part.Name);
  if (part.Archive.Entries.size() > kMaxArchiveEntries) std::abort();
  TMailParts parts{part};
  std::vector<TFinding> findings;
  JudgeAttachments(parts, findings);
  for (const TArchiveEntry& e : part.Archive.Entries) (void)NameRisks(e.Name, {});
  return 0;
}

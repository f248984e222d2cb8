// The parts of a message as the attachments page lists them: one record per
// leaf part (its decoded name, type, size and fingerprints), and the rules
// that turn a part's name into a file name that is safe to save under.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "base/strlist.h"
#include "base/textview.h"
#include "hash/Digest.h"
#include "mail/content.h"

namespace tarvo {

struct TAttachFilesFormat;

// ---- parts.cpp: one part's record ----

struct TMailPart {
  std::int32_t Index = 0;    // 1-based, in walk order
  std::string Number;        // "1", "2", "2.1": its place among the parts of its message
  std::int32_t Depth = 0;    // attached messages around it
  std::string Name;          // decoded file name, UTF-8; empty when none
  std::string ContentType;   // lower-case type/subtype
  std::string Disposition;   // "attachment", "inline" or ""
  std::string Charset;       // as written, unquoted
  std::string Encoding;      // lower-case transfer encoding, "" when none
  std::string ContentId;     // Content-ID as written, "" when none
  // A reference (message/external-body): how the content is reached,
  // lower-case, and the remote file's name; the part holds the reference.
  std::string AccessType, RemoteName;
  bool TooDeep = false;      // a container nested deeper than the walk follows, whole
  std::uint64_t Size = 0;    // decoded bytes
  std::string Md5, Sha1, Sha256;  // lower-case hexadecimal
  std::string Warning;       // a Japanese sentence (UTF-8), or empty: the first risk (checks/)
  TContentKind Content = TContentKind::Unknown;  // what the bytes are, whatever the name says
  TArchiveListing Archive;   // the entries, when the bytes are an archive
  std::string Data;          // the decoded bytes, when decoding made them
  TSharedBytes Stored;       // else the message's bytes that hold them
  std::string_view StoredBytes;  // inside *Stored
  // The part's bytes: where they lie in the message when nothing had to be
  // decoded (no copy of a big text part), else Data.
  [[nodiscard]] std::string_view Bytes() const { return Stored ? StoredBytes : std::string_view(Data); }
};
using TMailParts = std::vector<TMailPart>;

// What the MIME walk has read of one part.
struct TPartFields {
  std::string Name;         // decoded, UTF-8
  std::string ContentType;  // lower-case type/subtype
  std::string Disposition;  // lower-case disposition type, or empty
  std::string Charset;
  std::string Encoding;     // lower-case transfer encoding
};
// The record of one part from the walk's fields and its decoded bytes.
[[nodiscard]] TMailPart MakeWalkedPart(std::int32_t index, TPartFields fields, std::string data);

// True for the parts that read as text: text/* and attached messages.
[[nodiscard]] bool IsTextPart(const TMailPart& part);
// A text part's lines as the text views show them (AppendTextLines).
[[nodiscard]] TStringList PartTextLines(const TMailPart& part);

// A part's MD5, SHA-1 and SHA-256 in one pass: each piece goes
// to the three digests in turn a cache-sized slice at a time, so the bytes
// are read from memory once. Finish writes the record's size and digests
// and starts over for the next part.
class TPartDigests {
 public:
  TPartDigests();

  void Update(std::string_view bytes);
  void Finish(TMailPart& part);

 private:
  TDigest md5_, sha1_, sha256_;
  std::uint64_t size_ = 0;
};

// The record of one part from the walk's fields alone: no bytes, size 0 and
// no digests until a TPartDigests finishes on it.
[[nodiscard]] TMailPart MakeWalkedPart(std::int32_t index, TPartFields fields);

// ---- partlist.cpp: the list of a loaded message ----

// A record for every part the walk listed (every leaf part and attached
// message, in walk order; a single-part message is one part). Without
// `keepData` the records hold no bytes, and at most one part's decoded bytes
// are in memory at a time (a listing needs only sizes and digests). With
// `buffer`, the shared bytes `body` lies in, a part stored as it is points
// there instead of being copied.
[[nodiscard]] TMailParts GetMailParts(std::string_view body, const std::vector<TAttachFilesFormat>& entries,
                                      bool keepData = true, const TSharedBytes& buffer = {});

// ---- savename.cpp: saving parts ----

// A file name for the part that holds no folder part, control character or
// character a file system rejects, and is no reserved device name; when
// nothing is left, "part<index>" with an extension from the type.
[[nodiscard]] std::string SafeSaveName(std::string_view name, std::int32_t index, std::string_view contentType);

// Where a name goes in a folder, and whether a file (or anything) is there.
struct TSaveTarget {
  std::string Path;
  bool Exists = false;
};
[[nodiscard]] TSaveTarget SaveTargetIn(const std::string& folder, const std::string& safeName);
// The first free "name (2).ext", "name (3).ext" ... in the folder.
[[nodiscard]] std::string FreeSaveName(const std::string& folder, const std::string& safeName);
// The same from "name (from)" on; `from` is left at the number returned.
[[nodiscard]] std::string FreeSaveName(const std::string& folder, const std::string& safeName, int& from);

// Writes the bytes to a new file; an existing one is replaced only when
// `overwrite`, and a symbolic link is never followed. Raises EFCreateError.
void SavePartFile(const std::string& path, std::string_view bytes, bool overwrite);

struct TSavedPart {
  std::int32_t Index = 0;
  std::string Path;
  bool Renamed = false;  // the name was taken, a free one was used
};
// Writes every part that has a name into the folder, never over an existing
// file; `saved` hears of each file as it is written. Raises EFCreateError at
// the first file that cannot be written; the files written before it stay.
std::vector<TSavedPart> SaveNamedParts(const TMailParts& parts, const std::string& folder,
                                       const std::function<void(const TSavedPart&)>& saved = {});

}  // namespace tarvo

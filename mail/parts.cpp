#include "mail/parts.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "base/ascii.h"
#include "base/bytes.h"
#include "base/cp932.h"
#include "hash/Digest.h"
#include "jcode/charset.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

bool IsTextPart(const TMailPart& part) {
  return part.ContentType.compare(0, 5, "text/") == 0 || part.ContentType == "message/rfc822";
}

TStringList PartTextLines(const TMailPart& part) {
  TSharedBytes bytes = part.Stored;
  std::size_t from = 0, to = 0;
  if (bytes) {
    from = static_cast<std::size_t>(part.StoredBytes.data() - bytes->data());
    to = from + part.StoredBytes.size();
  } else {
    bytes = ShareBytes(part.Data);
    to = bytes->size();
  }
  TTextView lines;
  AppendTextLines(std::move(bytes), from, to, part.Charset, lines);
  TStringList list;
  list.Lines = lines.Lines();
  return list;
}

TPartDigests::TPartDigests()
    : md5_(TDigestKind::Md5), sha1_(TDigestKind::Sha1), sha256_(TDigestKind::Sha256) {}

void TPartDigests::Update(std::string_view bytes) {
  // A slice small enough to stay in the first-level caches between the three reads.
  constexpr std::size_t kSlice = 16 * 1024;
  for (std::size_t i = 0; i < bytes.size(); i += kSlice) {
    const std::string_view slice = bytes.substr(i, kSlice);
    md5_.Update(slice);
    sha1_.Update(slice);
    sha256_.Update(slice);
  }
  size_ += bytes.size();
}

void TPartDigests::Finish(TMailPart& part) {
  part.Size = size_;
  part.Md5 = LowerHex(md5_.Finish());
  part.Sha1 = LowerHex(sha1_.Finish());
  part.Sha256 = LowerHex(sha256_.Finish());
  size_ = 0;
}

TMailPart MakeWalkedPart(std::int32_t index, TPartFields fields) {
  TMailPart part;
  part.Index = index;
  part.Name = std::move(fields.Name);
  part.ContentType = std::move(fields.ContentType);
  // Unknown disposition types count as attachment (RFC 2183).
  part.Disposition = fields.Disposition.empty() || fields.Disposition == "inline" ? fields.Disposition : "attachment";
  part.Charset = std::move(fields.Charset);
  part.Encoding = std::move(fields.Encoding);
  return part;
}

TMailPart MakeWalkedPart(std::int32_t index, TPartFields fields, std::string data) {
  TMailPart part = MakeWalkedPart(index, std::move(fields));
  TPartDigests digests;
  digests.Update(data);
  digests.Finish(part);
  part.Data = std::move(data);
  return part;
}

}  // namespace tarvo

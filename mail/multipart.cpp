// The MIME walk (RFC 2046 section 5.1): one pass over the body that lists
// every leaf part with its parsed header and content range. Lines may end in
// CR LF, LF or CR; the line end before a boundary line belongs to the
// boundary, so every form gives the same content bytes.
#include <algorithm>
#include <cstring>
#include <new>

#include "base/ascii.h"
#include "base/bytes.h"
#include "jcode/charset.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

struct TLine {
  std::string_view text;  // without its line end
  std::size_t next;       // offset just after the line end
};

TLine LineAt(std::string_view b, std::size_t pos) {
  const THeaderLineCut cut = CutHeaderLine(b.substr(pos));
  return {cut.Text, pos + cut.Next};
}

// Content that a boundary line at `pos` ends stops before the line end that
// precedes the boundary line (never before `start`).
std::size_t EndBefore(std::string_view b, std::size_t start, std::size_t pos) {
  std::size_t e = pos;
  if (e > start && b[e - 1] == '\n') {
    --e;
    if (e > start && b[e - 1] == '\r') --e;
  } else if (e > start && b[e - 1] == '\r') {
    --e;
  }
  return e;
}

// A file name or other header text, decoded for reading.
std::string DecodeNameText(std::string_view text) { return DecodeHeaderTextUtf8(text); }

std::string DecodeParam(const TMimeParam& p) {
  if (!p.Charset.empty()) {
    if (auto utf8 = DecodeCharsetToUtf8(p.Value, p.Charset)) return *utf8;
  }
  return DecodeNameText(p.Value);
}

// The fields a part's header gives it.
void DescribePart(const THeaderFields& fields, bool digest, TAttachFilesFormat& part) {
  const THeaderField* typeField = FindField(fields, "content-type");
  const THeaderField* dispositionField = FindField(fields, "content-disposition");
  const THeaderField* encoding = FindField(fields, "content-transfer-encoding");
  if (const THeaderField* id = FindField(fields, "content-id")) part.ContentId = std::string(TrimFws(id->Value));
  const std::string_view* type = typeField ? &typeField->Value : nullptr;
  const std::string_view* disposition = dispositionField ? &dispositionField->Value : nullptr;
  // RFC 2045 5.2: no Content-Type means text/plain (message/rfc822 in a
  // digest); one without a "/" is taken as text/plain.
  const TMimeValue ct = ParseMimeValue(type ? std::string_view(*type) : std::string_view());
  if (type) part.PartContentType = Trim(*type);
  if (!type) part.MediaType = digest ? "message/rfc822" : "text/plain";
  else if (const std::size_t slash = ct.Token.find('/');
           slash == std::string::npos || slash == 0 || slash + 1 == ct.Token.size())
    part.MediaType = "text/plain";
  else part.MediaType = ct.Token;
  if (const TMimeParam* cs = ct.Param("charset")) part.Charset = Trim(cs->Value);

  const TMimeValue cd = ParseMimeValue(disposition ? std::string_view(*disposition) : std::string_view());
  part.Disposition = cd.Token;
  const TMimeParam* name = cd.Param("filename");
  if (!name) name = ct.Param("name");
  if (name) part.PartName = DecodeParam(*name);

  if (encoding) part.TransferEncoding = ParseMimeValue(encoding->Value).Token;
}

class TWalk {
 public:
  TWalk(std::string_view body, TAttachLists& parts) : body_(body), parts_(parts) {}

  // Walks the body as a multipart with this boundary.
  void Run(std::string_view boundary, bool digest);

 private:
  struct TLevel {
    std::string marker;  // "--" + boundary
    bool digest = false;
  };

  // Index of the level whose boundary the line is, innermost first, or -1;
  // `closing` tells the close delimiter ("--" after the marker).
  int Match(std::string_view line, bool& closing) const;
  // The first line start at or after `pos` (itself a line start) whose line
  // begins with "--", as every boundary line does; the body's size when none.
  std::size_t NextDashLine(std::size_t pos) const;
  // Reads a part's header from `pos`; returns where its content begins.
  std::size_t Part(std::size_t pos, bool digest);
  void CloseLeaf(std::size_t end);

  std::string_view body_;
  TAttachLists& parts_;
  std::vector<TLevel> levels_;
  bool open_ = false;       // the last part in parts_ still takes content
};

int TWalk::Match(std::string_view line, bool& closing) const {
  if (line.size() < 2 || line[0] != '-' || line[1] != '-') return -1;
  for (int k = static_cast<int>(levels_.size()) - 1; k >= 0; --k)
    if (IsBoundaryLine(line, levels_[k].marker, closing)) return k;
  return -1;
}

std::size_t TWalk::NextDashLine(std::size_t pos) const {
  const char* const b = body_.data();
  const std::size_t n = body_.size();
  if (pos + 1 < n && b[pos] == '-' && b[pos + 1] == '-') return pos;
  // Any other line start follows a CR or an LF: a CR before "-" is a line
  // end of its own, not the first half of CR LF.
  for (std::size_t i = pos + 1; i + 1 < n;) {
    const void* hit = std::memchr(b + i, '-', n - 1 - i);
    if (!hit) break;
    i = static_cast<std::size_t>(static_cast<const char*>(hit) - b);
    if (b[i + 1] == '-' && (b[i - 1] == '\n' || b[i - 1] == '\r')) return i;
    ++i;
  }
  return n;
}

void TWalk::Run(std::string_view boundary, bool digest) {
  levels_.push_back({"--" + std::string(boundary), digest});
  std::size_t pos = 0;
  while (pos < body_.size()) {
    // Only boundary lines matter: skip to the next line that could be one.
    pos = NextDashLine(pos);
    if (pos >= body_.size()) break;
    const TLine l = LineAt(body_, pos);
    bool closing = false;
    const int k = Match(l.text, closing);
    if (k < 0) {
      pos = l.next;
      continue;
    }
    CloseLeaf(EndBefore(body_, parts_.empty() ? 0 : static_cast<std::size_t>(parts_.back().StartPos), pos));
    levels_.resize(static_cast<std::size_t>(k) + 1);  // inner levels left open end here
    if (closing) {
      levels_.pop_back();
      if (levels_.empty()) return;  // the epilogue is not walked
      pos = l.next;                 // the epilogue of an inner level is skipped
      continue;
    }
    pos = Part(l.next, levels_.back().digest);
  }
  CloseLeaf(body_.size());
}

void TWalk::CloseLeaf(std::size_t end) {
  if (!open_) return;
  open_ = false;
  parts_.back().EndPos = static_cast<std::int32_t>(end);
}

std::size_t TWalk::Part(std::size_t pos, bool digest) {
  // The header ends at an empty line (consumed), at a boundary line, or at
  // a line that is no field (then it is the first content line).
  pos = std::min(pos, body_.size());
  std::size_t used = 0;
  const THeaderFields fields = ReadPartFields(
      body_.substr(pos),
      [this](std::string_view line) {
        bool closing = false;
        return Match(line, closing) >= 0;
      },
      used);
  pos += used;

  TAttachFilesFormat part;
  DescribePart(fields, digest, part);
  part.Depth = static_cast<std::int32_t>(levels_.size());
  if (part.MediaType.starts_with("multipart/") && levels_.size() <= static_cast<std::size_t>(kMaxBoundaryLevel)) {
    const TMimeValue ct = ParseMimeValue(part.PartContentType);
    const TMimeParam* b = ct.Param("boundary");
    if (b && !b->Value.empty()) {
      // Its own preamble up to its first boundary line is not content.
      levels_.push_back({"--" + b->Value, part.MediaType == "multipart/digest"});
      return pos;
    }
  }
  part.StartPos = static_cast<std::int32_t>(pos);
  part.EndPos = part.StartPos;
  parts_.push_back(std::move(part));
  open_ = true;
  return pos;
}

}  // namespace

bool IsBoundaryLine(std::string_view line, std::string_view marker, bool& closing) {
  if (!line.starts_with(marker)) return false;
  std::string_view rest = line.substr(marker.size());
  closing = rest.starts_with("--");
  if (closing) rest.remove_prefix(2);
  // Only blanks may follow (transport adds them); anything else makes it a
  // content line that merely starts like the boundary.
  return std::all_of(rest.begin(), rest.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::int32_t ParseMessageParts(const THeaderFields& fields, std::string_view body, TAttachLists& parts) {
  parts.clear();
  TAttachFilesFormat message;
  DescribePart(fields, false, message);
  if (message.MediaType.starts_with("multipart/")) {
    const TMimeValue ct = ParseMimeValue(message.PartContentType);
    if (const TMimeParam* b = ct.Param("boundary"); b && !b->Value.empty()) {
      TWalk(body, parts).Run(b->Value, message.MediaType == "multipart/digest");
      return static_cast<std::int32_t>(parts.size());
    }
  }
  message.StartPos = 0;
  message.EndPos = static_cast<std::int32_t>(body.size());
  parts.push_back(std::move(message));
  return 1;
}

std::string_view PartContent(std::string_view all, std::int32_t start, std::int32_t end) {
  const std::int64_t n = static_cast<std::int64_t>(end) - start;
  if (n <= 0 || n > static_cast<std::int64_t>(all.size()) || start < 0) return {};
  return all.substr(std::min<std::size_t>(static_cast<std::size_t>(start), all.size()), static_cast<std::size_t>(n));
}

TPartCoding PartCoding(std::string_view encoding) {
  if (MbcsContainsNoCase(encoding, "BASE64")) return TPartCoding::Base64;
  if (MbcsContainsNoCase(encoding, "QUOTED-PRINTABLE")) return TPartCoding::QuotedPrintable;
  return TPartCoding::Identity;
}

void DecodePartStream(std::string_view all, std::int32_t start, std::int32_t end, TMemoryStream& output,
                      std::string_view encoding) {
  const std::int64_t n = static_cast<std::int64_t>(end) - start;
  if (n <= 0 || n > static_cast<std::int64_t>(all.size())) return;
  output.Clear();
  const std::string_view bytes = PartContent(all, start, end);
  try {
    switch (PartCoding(encoding)) {
      case TPartCoding::Base64: Base64DecodeToStream(bytes, output); break;
      case TPartCoding::QuotedPrintable: QPDecodeToStream(bytes, output); break;
      case TPartCoding::Identity: output.Write(bytes); break;
    }
  } catch (const std::bad_alloc&) {
    output.Clear();
  }
  output.SetPosition(0);
}

}  // namespace tarvo

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

  // RFC 2046 5.2.3: the content lies elsewhere; the name is the remote
  // file's, not what the part holds.
  if (part.MediaType == "message/external-body") {
    if (const TMimeParam* access = ct.Param("access-type")) part.AccessType = LowerAscii(Trim(access->Value));
    const TMimeParam* remote = ct.Param("name");
    if (!remote) remote = ct.Param("url");
    if (remote) part.RemoteName = DecodeParam(*remote);
    part.PartName.clear();
  }
}

bool IsMessageType(const TAttachFilesFormat& part) {
  return part.MediaType == "message/rfc822" || part.MediaType == "message/global";
}

// An attached message whose content is walked in place (not transfer-encoded).
bool IsWalkedMessage(const TAttachFilesFormat& part) {
  return IsMessageType(part) && PartCoding(part.TransferEncoding) == TPartCoding::Identity;
}

// An attached message some senders write in base64: it is walked in its
// decoded bytes once the walk around it has listed it. Base64 shrinks what
// it holds, so messages of it nested in turn take less than the body.
bool IsEncodedMessage(const TAttachFilesFormat& part) {
  return IsMessageType(part) && PartCoding(part.TransferEncoding) == TPartCoding::Base64 && !part.TooDeep;
}

// The name mail clients offer for an attached message without one.
std::string MessageFileName(const THeaderFields& header) {
  const THeaderField* subject = FindField(header, "subject");
  std::string name = subject ? DecodeNameText(TrimFws(subject->Value)) : std::string();
  return (name.empty() ? std::string("メッセージ") : name) + ".eml";
}

// Where a walk lies: the message itself, or an encoded attached message
// (its record listed by the walk around it, the bytes its decoded content).
struct TWalkPlace {
  TAttachFilesFormat* record = nullptr;
  TSharedBytes source;
  std::size_t levels = 0, messages = 0;  // multiparts and messages around it
};

class TWalk {
 public:
  TWalk(std::string_view body, TAttachLists& parts, TWalkPlace place = {})
      : body_(body), parts_(parts), place_(std::move(place)) {}

  // Walks the body under the message's header, or, without one, the
  // attached message that is the whole body: its header first.
  void Run(const THeaderFields* header);

 private:
  struct TLevel {
    std::string marker;  // "--" + boundary
    bool digest = false;
  };
  // A message whose parts are numbered: the message itself (the first) or
  // an attached one, its record, and the level its record lies in (-1:
  // outside every multipart).
  struct TScope {
    std::size_t record = 0;
    int level = -1;
    std::string prefix;  // "" or "2.", "2.1." ...
    std::int32_t count = 0;
  };

  // Index of the level whose boundary the line is, innermost first, or -1;
  // `closing` tells the close delimiter ("--" after the marker).
  int Match(std::string_view line, bool& closing) const;
  // The first line start at or after `pos` (itself a line start) whose line
  // begins with "--", as every boundary line does; the body's size when none.
  std::size_t NextDashLine(std::size_t pos) const;
  // Reads a part's header from `pos` (the message's own when `header` is
  // given) and the headers of the messages it holds; returns where its
  // content begins.
  std::size_t Part(std::size_t pos, bool digest, const THeaderFields* header = nullptr, bool named = true);
  // Whether a container opened now lies deeper than the walk follows.
  bool TooDeepHere() const {
    return place_.levels + levels_.size() + place_.messages + scopes_.size() > static_cast<std::size_t>(kMaxNesting);
  }
  // Lists the part with its number; its content begins at `pos`.
  void Add(TAttachFilesFormat part, std::size_t pos);
  void CloseLeaf(std::size_t end);
  // Ends the attached messages that lie in level k or inside it.
  void CloseScopes(int k, std::size_t end);
  // Lists the uuencoded blocks inside the text part just closed.
  void AddUuBlocks();

  std::string_view body_;
  TAttachLists& parts_;
  TWalkPlace place_;
  std::vector<TLevel> levels_;
  std::vector<TScope> scopes_;
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

void TWalk::Run(const THeaderFields* header) {
  scopes_.push_back({0, -1, place_.record ? place_.record->Number + "." : std::string(), 0});
  std::size_t pos = Part(0, false, header, !place_.record || !place_.record->PartName.empty());
  while (pos < body_.size() && !levels_.empty()) {
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
    const std::size_t end = EndBefore(body_, parts_.empty() ? 0 : static_cast<std::size_t>(parts_.back().StartPos), pos);
    CloseLeaf(end);
    CloseScopes(k, end);
    levels_.resize(static_cast<std::size_t>(k) + 1);  // inner levels left open end here
    if (closing) {
      levels_.pop_back();   // the epilogue of the outermost level is not walked,
      pos = l.next;         // an inner level's is skipped
      continue;
    }
    pos = Part(l.next, levels_.back().digest);
  }
  CloseLeaf(body_.size());
  CloseScopes(-1, body_.size());
}

void TWalk::CloseLeaf(std::size_t end) {
  if (!open_) return;
  open_ = false;
  parts_.back().EndPos = static_cast<std::int32_t>(end);
  AddUuBlocks();
}

void TWalk::CloseScopes(int k, std::size_t end) {
  while (scopes_.size() > 1 && scopes_.back().level >= k) {
    parts_[scopes_.back().record].EndPos = static_cast<std::int32_t>(end);
    scopes_.pop_back();
  }
}

void TWalk::Add(TAttachFilesFormat part, std::size_t pos) {
  TScope& scope = scopes_.back();
  part.Number = scope.prefix + std::to_string(++scope.count);
  part.Depth = static_cast<std::int32_t>(place_.levels + levels_.size());
  part.MessageDepth = static_cast<std::int32_t>(place_.messages + scopes_.size()) - 1;
  part.Source = place_.source;
  part.StartPos = static_cast<std::int32_t>(pos);
  part.EndPos = part.StartPos;
  parts_.push_back(std::move(part));
}

void TWalk::AddUuBlocks() {
  TAttachFilesFormat& text = parts_.back();
  const TPartCoding coding = PartCoding(text.TransferEncoding);
  if (text.TooDeep || (coding != TPartCoding::Uuencode && text.MediaType != "text/plain")) return;
  const std::int32_t start = text.StartPos;
  const std::string_view content = PartContent(body_, start, text.EndPos);
  if (coding == TPartCoding::Uuencode) {
    // A uuencoded part without a name of its own takes its begin line's.
    if (const auto block = FindUuBlock(content); block && text.PartName.empty()) text.PartName = DecodeNameText(block->Name);
    return;
  }
  // In a text sent quoted-printable or base64 the blocks lie in its decoded
  // bytes, which their records then hold. Quoted-printable leaves the
  // letters of a begin line as they are.
  TSharedBytes decoded;
  std::string_view holder = content;
  std::size_t base = static_cast<std::size_t>(start);
  if (coding != TPartCoding::Identity) {
    if (coding == TPartCoding::QuotedPrintable && content.find("begin") == std::string_view::npos) return;
    TMemoryStream stream;
    DecodePartStream(body_, start, text.EndPos, stream, text.TransferEncoding);
    if (!FindUuBlock(stream.Bytes())) return;
    decoded = ShareBytes(std::move(stream.Bytes()));
    holder = *decoded;
    base = 0;
  }
  for (auto block = FindUuBlock(holder); block; block = FindUuBlock(holder, block->End)) {
    TAttachFilesFormat part;
    part.PartName = DecodeNameText(block->Name);
    part.MediaType = "application/octet-stream";
    part.Disposition = "attachment";
    part.TransferEncoding = "x-uuencode";
    part.InText = true;
    Add(std::move(part), base + block->Begin);
    parts_.back().EndPos = static_cast<std::int32_t>(base + block->End);
    if (decoded) parts_.back().Source = decoded;
  }
}

std::size_t TWalk::Part(std::size_t pos, bool digest, const THeaderFields* header, bool named) {
  // `named`: the attached message whose header comes next has a name.
  for (;;) {
    // The header ends at an empty line (consumed), at a boundary line, or
    // at a line that is no field (then it is the first content line).
    pos = std::min(pos, body_.size());
    THeaderFields read;
    if (!header) {
      std::size_t used = 0;
      read = ReadPartFields(
          body_.substr(pos),
          [this](std::string_view line) {
            bool closing = false;
            return Match(line, closing) >= 0;
          },
          used);
      pos += used;
    }
    const THeaderFields& fields = header ? *header : read;
    header = nullptr;
    if (!named) {
      TAttachFilesFormat& record =
          scopes_.size() == 1 && place_.record ? *place_.record : parts_[scopes_.back().record];
      record.PartName = MessageFileName(fields);
    }
    named = true;

    TAttachFilesFormat part;
    DescribePart(fields, digest, part);
    const bool deep = TooDeepHere();
    if (part.MediaType.starts_with("multipart/")) {
      const TMimeValue ct = ParseMimeValue(part.PartContentType);
      const TMimeParam* b = ct.Param("boundary");
      if (b && !b->Value.empty() && !deep) {
        // Its own preamble up to its first boundary line is not content.
        levels_.push_back({"--" + b->Value, part.MediaType == "multipart/digest"});
        return pos;
      }
      part.TooDeep = b && !b->Value.empty();
    } else if (IsEncodedMessage(part)) {
      part.TooDeep = deep;
    } else if (IsWalkedMessage(part)) {
      // The message is listed, and so are its parts after it: its header
      // is read next, as a part's.
      part.TooDeep = deep;
      if (!deep) {
        named = !part.PartName.empty();
        Add(std::move(part), pos);
        const std::string prefix = parts_.back().Number + ".";
        scopes_.push_back({parts_.size() - 1, static_cast<int>(levels_.size()) - 1, prefix, 0});
        digest = false;
        continue;
      }
    }
    Add(std::move(part), pos);
    open_ = true;
    return pos;
  }
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
  TWalk(body, parts).Run(&fields);
  if (std::none_of(parts.begin(), parts.end(), IsEncodedMessage)) return static_cast<std::int32_t>(parts.size());
  // Each encoded message is walked in its decoded bytes and its parts go
  // right after it; lists wait on a stack, so nesting costs no recursion.
  TAttachLists out;
  std::vector<std::pair<TAttachLists, std::size_t>> pending;
  pending.emplace_back(std::move(parts), 0);
  while (!pending.empty()) {
    auto& [list, next] = pending.back();
    if (next == list.size()) {
      pending.pop_back();
      continue;
    }
    TAttachFilesFormat& record = out.emplace_back(std::move(list[next++]));
    if (!IsEncodedMessage(record)) continue;
    TMemoryStream decoded;
    DecodePartStream(PartSource(body, record), record.StartPos, record.EndPos, decoded, record.TransferEncoding);
    TWalkPlace place{&record, ShareBytes(std::move(decoded.Bytes())),
                     static_cast<std::size_t>(record.Depth), static_cast<std::size_t>(record.MessageDepth) + 1};
    const std::string_view inner(*place.source);
    TAttachLists found;
    TWalk(inner, found, std::move(place)).Run(nullptr);
    pending.emplace_back(std::move(found), 0);
  }
  parts = std::move(out);
  return static_cast<std::int32_t>(parts.size());
}

std::string_view PartContent(std::string_view all, std::int32_t start, std::int32_t end) {
  const std::int64_t n = static_cast<std::int64_t>(end) - start;
  if (n <= 0 || n > static_cast<std::int64_t>(all.size()) || start < 0) return {};
  return all.substr(std::min<std::size_t>(static_cast<std::size_t>(start), all.size()), static_cast<std::size_t>(n));
}

TPartCoding PartCoding(std::string_view encoding) {
  if (MbcsContainsNoCase(encoding, "BASE64")) return TPartCoding::Base64;
  if (MbcsContainsNoCase(encoding, "QUOTED-PRINTABLE")) return TPartCoding::QuotedPrintable;
  if (MbcsContainsNoCase(encoding, "UUE")) return TPartCoding::Uuencode;  // x-uuencode, uuencode, x-uue
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
      case TPartCoding::Uuencode: UudecodeToStream(bytes, output); break;
      case TPartCoding::Identity: output.Write(bytes); break;
    }
  } catch (const std::bad_alloc&) {
    output.Clear();
  }
  output.SetPosition(0);
}

}  // namespace tarvo

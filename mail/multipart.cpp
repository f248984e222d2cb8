#include <array>
#include <chrono>
#include <exception>

#include "base/bytes.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Which Content-* field the header line being read belongs to.
enum class TFieldState { None, Type, Encoding, Disposition, Description };

// RFC 2231 file-name parameters of one part (the language is not kept).
struct TFileNameState {
  std::string collected;
  std::string charset;
  bool segmented = false;
};

std::string_view After(std::string_view s, std::size_t p) { return p < s.size() ? s.substr(p) : std::string_view(); }

// Milliseconds of a monotonic clock, as generated part names carry them.
std::string TickCount() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return std::to_string(static_cast<std::uint64_t>(ms));
}

std::string RemoveQuoteTabNul(std::string_view s) {
  std::string r(s);
  std::erase_if(r, [](char c) { return c == '"' || c == '\t' || c == '\0'; });
  return r;
}

// ISO-2022-JP and GB2312 from JIS, UTF-8 to code page 932, others unchanged.
std::string ConvertByCharset(std::string_view text, std::string_view charset) {
  const std::string cs = UpperCase(charset);
  if (cs == "ISO-2022-JP" || cs == "GB2312") return JISToSJIS(text);
  if (cs == "UTF-8") return UTF8ToSJIS(text);
  return std::string(text);
}

// Positions of the first "'" and of the next one after it, when both exist.
bool TwoQuotes(std::string_view v, std::size_t& q1, std::size_t& q2) {
  q1 = MbcsFind(v, "'");
  if (q1 == npos) return false;
  const std::size_t rel = MbcsFind(v.substr(q1 + 1), "'");
  if (rel == npos) return false;
  q2 = q1 + 1 + rel;
  return true;
}

// filename*=charset'language'value: the value converted by its charset. A
// value with fewer than two "'" is taken as it stands.
void SingleFileNameStar(std::string value, TAttachFilesFormat& part) {
  std::erase(value, ';');
  std::size_t q1, q2;
  if (!TwoQuotes(value, q1, q2)) {
    part.PartName += value;
    return;
  }
  std::string text = value.substr(q2 + 1);
  if (MbcsContains(text, "%")) text = PercentDecode(text);
  part.PartName += ConvertByCharset(text, std::string_view(value).substr(0, q1));
}

// filename*0*=..., filename*1*=...: collected now, finished after the headers.
void SegmentedFileNameStar(std::string_view afterStar, TFileNameState& fn) {
  fn.segmented = true;
  const std::size_t eq = MbcsFind(afterStar, "=");
  std::string value(eq == npos ? std::string_view() : afterStar.substr(eq + 1));
  std::erase(value, ';');
  std::size_t q1, q2;
  if (TwoQuotes(value, q1, q2)) {
    fn.charset = value.substr(0, q1);
    fn.collected += value.substr(q2 + 1);
  } else {
    fn.collected += value;
  }
}

// One header line read in the disposition state.
void DispositionLine(const std::string& line, TAttachFilesFormat& part, TFileNameState& fn) {
  const std::string u = UpperCase(line);
  const std::string_view l = line;
  std::string_view value;
  if (const std::size_t p = MbcsFind(u, "FILENAME*"); p != npos) {
    const char next = p + 9 < l.size() ? l[p + 9] : '\0';
    if (next == '=') SingleFileNameStar(std::string(After(l, p + 10)), part);
    else SegmentedFileNameStar(After(l, p + 9), fn);
    return;
  }
  std::string trimmed;
  if (const std::size_t p = MbcsFind(u, "FILENAME="); p != npos) {
    value = After(l, p + 9);
  } else if (!MbcsContains(u, "CONTENT-DISPOSITION:")) {
    trimmed = Trim(l);
    value = trimmed;
  }
  if (!value.empty()) part.PartName += DecodeHeaderText(RemoveQuoteTabNul(value));
}

// One header line read in the description state.
void DescriptionLine(const std::string& line, TAttachFilesFormat& part) {
  const std::size_t p = MbcsFind(UpperCase(line), "CONTENT-DESCRIPTION:");
  const std::string_view value = p == npos ? std::string_view(line) : After(line, p + 20);
  part.PartName += Trim(DecodeHeaderText(RemoveQuoteTabNul(value)));
}

void FinishSegmentedName(TAttachFilesFormat& part, const TFileNameState& fn) {
  try {
    std::string v = fn.collected;
    if (MbcsContains(v, "%")) v = PercentDecode(v);
    part.PartName = ConvertByCharset(v, fn.charset);
  } catch (const std::exception&) {
    part.PartName.clear();
  }
}

// The name without its extension (from its last dot, unless a backslash or
// colon follows that dot) and ".eml".
std::string WithEmlExtension(const std::string& name) {
  std::size_t last = npos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '.' || c == '\\' || c == ':') last = i;
    else if (IsCp932LeadByte(static_cast<unsigned char>(c))) ++i;
  }
  if (last != npos && name[last] == '.') return name.substr(0, last) + ".eml";
  return name + ".eml";
}

// The name from the content type, then the names given by type.
void NamePart(TAttachFilesFormat& part, std::int32_t number) {
  const std::string_view ct = part.PartContentType;
  const std::string c = UpperCase(ct);
  if (part.PartName.empty() && MbcsContains(c, "NAME")) {
    if (!MbcsContains(ct, "\"")) {
      const std::size_t eq = MbcsFind(ct, "=");
      part.PartName = DecodeHeaderText(Trim(eq == npos ? ct : After(ct, eq + 1)));
    } else if (MbcsContains(ct, "=")) {
      const std::string_view rest = After(ct, MbcsFind(ct, "\"") + 1);
      part.PartName = DecodeHeaderText(rest.substr(0, MbcsFind(rest, "\"")));
    }
    std::erase(part.PartName, '\t');
  }
  if (MbcsContains(c, "MESSAGE/DELIVERY-STATUS")) part.PartName = "DeliveryStatus.txt";
  // Only a type written in capitals counts here.
  if (part.PartName.empty() && MbcsContains(ct, "TEXT/")) part.PartName = TickCount() + "-" + std::to_string(number);
  if (MbcsContains(c, "MESSAGE/RFC822")) {
    if (part.PartName.empty()) part.PartName = TickCount() + "-" + std::to_string(number) + ".eml";
    else part.PartName = WithEmlExtension(part.PartName);
  }
}

class TWalk {
 public:
  TWalk(TMemoryStream& body, std::string_view boundary, std::string& text, TAttachLists& parts)
      : body_(body), text_(text), parts_(parts) {
    SetLevel(0, boundary);
  }

  std::int32_t Run();

 private:
  void SetLevel(int level, std::string_view boundary) {
    open_[level] = "--" + std::string(boundary);
    close_[level] = open_[level] + "--";
  }
  void Text(std::string_view line);
  void Part();
  TFieldState Headers(TAttachFilesFormat& part, TFileNameState& fn);
  void EnterNested(const TAttachFilesFormat& part);
  void ScanContent(TAttachFilesFormat& part);

  TMemoryStream& body_;
  std::string& text_;
  TAttachLists& parts_;
  std::array<std::string, kMaxBoundaryLevel + 1> open_, close_;
  int level_ = 0;
  bool justClosed_ = false;
  std::int32_t count_ = 0;
};

std::int32_t TWalk::Run() {
  body_.SetPosition(0);
  while (!body_.AtEnd()) {
    const std::string_view line = ReadStreamLineView(body_);
    if (MbcsContains(line, close_[level_])) {
      if (level_ == 0) break;
      --level_;
      justClosed_ = true;
    }
    if (!justClosed_ && MbcsContains(line, open_[level_])) Part();
    else Text(line);
  }
  parts_.resize(static_cast<std::size_t>(count_));
  return count_;
}

// A line between parts: the usual preamble sentences go, so does the closing
// line of an inner level; the rest is kept.
void TWalk::Text(std::string_view line) {
  if (MbcsContainsNoCase(line, "THIS IS A MULTI-PART MESSAGE IN MIME FORMAT")) {
    const std::size_t back = body_.Position();
    if (!ReadStreamLineView(body_).empty()) body_.SetPosition(back);  // one empty line goes with it
  } else if (MbcsContainsNoCase(line, "THIS IS A MIME-FORMATTED MESSAGE.") ||
             MbcsContainsNoCase(line, "PORTIONS OF THIS MESSAGE MAY BE UNREADABLE WITHOUT A MIME-CAPABLE MAIL PROGRAM.")) {
  } else if (justClosed_) {
    justClosed_ = false;
  } else {
    text_ += line;
    text_ += "\r\n";
  }
}

void TWalk::Part() {
  ++count_;
  if (parts_.size() < static_cast<std::size_t>(count_)) parts_.emplace_back();
  else parts_[count_ - 1] = TAttachFilesFormat{};
  TAttachFilesFormat& part = parts_[count_ - 1];
  TFileNameState fn;
  const TFieldState state = Headers(part, fn);
  if (fn.segmented) FinishSegmentedName(part, fn);
  EnterNested(part);
  if (state == TFieldState::None) {
    --count_;  // no part headers at all: not a part
    return;
  }
  if (body_.AtEnd()) return;
  NamePart(part, count_);
  ScanContent(part);
}

// Header lines up to an empty line (consumed) or the end of the body. A line
// of another field continues the field before it.
TFieldState TWalk::Headers(TAttachFilesFormat& part, TFileNameState& fn) {
  TFieldState state = TFieldState::None;
  while (!body_.AtEnd()) {
    const std::string line = ReadStreamLine(body_);
    if (line.empty()) break;
    if (!IsContinuationLine(line)) {
      const std::string u = UpperCase(line);
      if (MbcsContains(u, "CONTENT-TYPE:")) state = TFieldState::Type;
      if (MbcsContains(u, "CONTENT-TRANSFER-ENCODING:")) state = TFieldState::Encoding;
      if (MbcsContains(u, "CONTENT-DISPOSITION:")) state = TFieldState::Disposition;
      if (MbcsContains(u, "CONTENT-DESCRIPTION:")) state = TFieldState::Description;
    }
    switch (state) {
      case TFieldState::None: break;
      case TFieldState::Type: part.PartContentType += line; break;
      case TFieldState::Encoding: part.TransferEncoding += line; break;
      case TFieldState::Disposition: DispositionLine(line, part, fn); break;
      case TFieldState::Description: DescriptionLine(line, part); break;
    }
  }
  return state;
}

// An alternative or related container opens a level of its own; beyond the
// deepest level the container stays one part and its inner parts are content.
void TWalk::EnterNested(const TAttachFilesFormat& part) {
  const std::string c = UpperCase(part.PartContentType);
  if (!MbcsContains(c, "MULTIPART/ALTERNATIVE") && !MbcsContains(c, "MULTIPART/RELATED")) return;
  const std::size_t p = MbcsFind(c, "BOUNDARY=");
  if (p == npos) return;
  const std::string_view b = BoundaryValue(part.PartContentType, p + 9);
  if (b.empty() || level_ >= kMaxBoundaryLevel) return;
  ++level_;
  SetLevel(level_, RemoveQuotes(b));
}

// Content up to the next line holding the level's opening marker in any
// case; that line is left for the walk to read again.
void TWalk::ScanContent(TAttachFilesFormat& part) {
  part.StartPos = static_cast<std::int32_t>(body_.Position());
  const std::string marker = UpperCase(open_[level_]);
  while (!body_.AtEnd()) {
    const std::size_t back = body_.Position();
    if (MbcsContainsNoCase(ReadStreamLineView(body_), marker)) {
      body_.SetPosition(back);
      break;
    }
  }
  // The line end before the boundary line is not content (with LF-only
  // lines this cuts the last content byte instead).
  part.EndPos = static_cast<std::int32_t>(static_cast<std::int64_t>(body_.Position()) - 2);
}

}  // namespace

std::int32_t ParseMultipart(TMemoryStream& body, std::string_view boundary, std::string& outsideText,
                            TAttachLists& parts) {
  parts.clear();
  outsideText.clear();
  if (body.Size() == 0) return 0;
  return TWalk(body, boundary, outsideText, parts).Run();
}

void DecodePartStream(const TMemoryStream& body, std::int32_t start, std::int32_t end, TMemoryStream& output,
                      std::string_view encoding) {
  const std::int64_t n = static_cast<std::int64_t>(end) - start;
  if (n <= 0 || n > static_cast<std::int64_t>(body.Size())) return;
  output.Clear();
  const std::string_view all = body.Bytes();
  const std::string_view bytes =
      start >= 0 ? all.substr(std::min<std::size_t>(static_cast<std::size_t>(start), all.size()),
                              static_cast<std::size_t>(n))
                 : std::string_view();
  const std::string u = UpperCase(encoding);
  try {
    if (MbcsContains(u, "BASE64")) Base64DecodeToStream(bytes, output);
    else if (MbcsContains(u, "QUOTED-PRINTABLE")) QPDecodeToStream(bytes, output);
    else output.Write(bytes);
  } catch (const std::bad_alloc&) {
    output.Clear();
  }
}

}  // namespace tarvo

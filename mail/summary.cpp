#include <exception>

#include "base/bytes.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Bytes from a 1-based column to the end; nothing when the line is shorter.
std::string_view FromColumn(std::string_view line, std::size_t column) {
  return column - 1 < line.size() ? line.substr(column - 1) : std::string_view();
}

// Appends each continuation line without its first byte (the folding
// blank) and returns the last one.
std::string_view AppendUnfolded(std::string& value, THeaderLines lines) {
  std::string_view line, last;
  while (lines.Next(line)) {
    value.append(line.substr(1));
    last = line;
  }
  return last;
}

// The value from `column`, trimmed, with the field's continuation lines.
std::string FoldedValue(std::string_view line, std::size_t column, THeaderLineWalk& walk) {
  std::string value = Trim(FromColumn(line, column));
  AppendUnfolded(value, walk.TakeRest());
  return value;
}

// Reply-To: after the first "<" (or from the start) up to the first ">".
std::string AngleAddress(std::string_view line, bool fromStartWithoutLt) {
  const std::size_t lt = MbcsFind(line, "<");
  const std::size_t gt = MbcsFind(line, ">");
  if (lt == npos && !fromStartWithoutLt) return {};
  const std::size_t start = lt == npos ? 0 : lt + 1;
  if (gt == npos || gt < start) return {};
  return std::string(line.substr(start, gt - start));
}

std::string DecodeSubject(const std::string& value) {
  try {
    return Trim(DecodeHeaderTextUtf8(value));
  } catch (const std::exception&) {
    return {};
  }
}

void ApplyBoundaryRule(TMailEnvFormat& env) {
  const std::size_t p = MbcsFind(UpperCase(env.ContentType), "BOUNDARY=");
  if (p == npos) return;
  const std::string_view b = BoundaryValue(env.ContentType, p + 9);
  if (!b.empty()) env.Boundary = Trim(RemoveQuotes(b));
  env.Multipart = true;
}

// One envelope line, tested against the handled field names in order. The
// fields read whole take their continuation lines; those of the others are
// read as lines of their own.
void HandleLine(std::string_view line, THeaderLineWalk& walk, TMailEnvFormat& env) {
  const std::string u = UpperCase(line);
  auto starts = [&u](std::string_view name) { return u.starts_with(name); };
  if (starts("CONTENT-TYPE:")) {
    env.ContentType = FoldedValue(line, 14, walk);
    ApplyBoundaryRule(env);
  } else if (starts("CONTENT-TRANSFER-ENCODING:")) {
    env.ContentTransferEncoding = FoldedValue(line, 27, walk);
  } else if (starts("REPLY-TO:")) {
    if (MbcsContains(line, "<") || MbcsContains(line, ">")) env.ReplyTo = AngleAddress(line, true);
    else env.ReplyTo = Trim(FromColumn(line, 10));
  } else if (starts("RETURN-PATH:")) {
    if (MbcsContains(line, "<")) env.ReturnPath = AngleAddress(line, false);
    else env.ReturnPath = Trim(FromColumn(line, 13));
  } else if (starts("SUBJECT:")) {
    std::string value(FromColumn(line, 9));
    AppendUnfolded(value, walk.TakeRest());
    env.Subject = DecodeSubject(value);
    env.SubjectHtml = HtmlEscape(env.Subject);
  } else if (starts("DATE:")) {
    env.Date = Trim(FromColumn(line, 6));
  } else if (starts("FROM:")) {
    TMailAddress a = SplitMailAddress(FoldedValue(line, 6, walk));
    std::erase_if(a.Name, [](char c) { return c == '\r' || c == '\n'; });
    env.FromName = std::move(a.Name);
    env.FromAddress = std::move(a.Address);
    env.FromNameHtml = HtmlEscape(env.FromName);
  } else if (starts("TO:")) {
    TMailAddress a = SplitMailAddress(FoldedValue(line, 4, walk));
    env.ToName = std::move(a.Name);
    env.ToAddress = std::move(a.Address);
    env.ToAddressHtml = HtmlEscape(env.ToAddress);
  } else if (starts("CC:")) {
    env.Cc = FoldedValue(line, 4, walk);
    env.CcHtml = HtmlEscape(env.Cc);
  }
}

}  // namespace

std::string_view BoundaryValue(std::string_view s, std::size_t from) {
  if (from >= s.size()) return {};
  const std::string_view rest = s.substr(from);
  std::size_t i = 0;
  while (i < rest.size() && rest[i] != ';' && rest[i] != '\n' && rest[i] != '\xD0') ++i;
  return rest.substr(0, i);
}

std::string RemoveQuotes(std::string_view s) {
  std::string r(s);
  std::erase(r, '"');
  return r;
}

std::string HtmlEscape(std::string_view s) {
  // '<' and '>' are never the trail byte of a double-byte character.
  std::string r;
  r.reserve(s.size());
  for (char c : s) {
    if (c == '<') r += "&lt;";
    else if (c == '>') r += "&gt;";
    else r += c;
  }
  return r;
}

std::string ReadFoldedValue(std::string& line, std::size_t column, TMemoryStream& s, bool& readAhead) {
  std::string value = Trim(FromColumn(line, column));
  const std::string_view rest = s.Remaining();
  const std::size_t span = ContinuationSpan(rest);
  const std::string_view last = AppendUnfolded(value, THeaderLines(rest.substr(0, span)));
  if (span > 0 && span == rest.size()) {
    line = last;
    readAhead = false;
    s.SetPosition(s.Position() + span);
    return value;
  }
  const THeaderLineCut next = CutHeaderLine(rest.substr(span));
  line = next.Text;
  readAhead = true;
  s.SetPosition(s.Position() + span + next.Next);
  return value;
}

void GetMailEnvFormat(std::string_view envelope, TMailEnvFormat& env) {
  env = TMailEnvFormat{};
  THeaderLineWalk walk(envelope);
  for (std::string_view line; walk.Next(line);) HandleLine(line, walk, env);
}

void GetMailEnvFormat(TMemoryStream* envelope, TMailEnvFormat& env) {
  env = TMailEnvFormat{};
  if (!envelope || envelope->Size() == 0) return;
  GetMailEnvFormat(std::string_view(envelope->Bytes()), env);
  envelope->SetPosition(0);
}

}  // namespace tarvo

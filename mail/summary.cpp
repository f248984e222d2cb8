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

// Appends the continuation lines that follow; see ReadFoldedValue.
void AppendContinuations(std::string& value, std::string& line, TMemoryStream& s, bool& readAhead) {
  for (;;) {
    line = ReadStreamLine(s);
    if (!IsContinuationLine(line)) {
      readAhead = true;
      return;
    }
    value.append(line, 1);
    if (s.AtEnd()) {
      readAhead = false;
      return;
    }
  }
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

// One envelope line, tested against the handled field names in order.
void HandleLine(std::string& line, TMemoryStream& s, TMailEnvFormat& env, bool& pending) {
  const std::string u = UpperCase(line);
  auto starts = [&u](std::string_view name) { return u.starts_with(name); };
  if (starts("CONTENT-TYPE:")) {
    env.ContentType = ReadFoldedValue(line, 14, s, pending);
    ApplyBoundaryRule(env);
  } else if (starts("CONTENT-TRANSFER-ENCODING:")) {
    env.ContentTransferEncoding = ReadFoldedValue(line, 27, s, pending);
  } else if (starts("REPLY-TO:")) {
    if (MbcsContains(line, "<") || MbcsContains(line, ">")) env.ReplyTo = AngleAddress(line, true);
    else env.ReplyTo = Trim(FromColumn(line, 10));
  } else if (starts("RETURN-PATH:")) {
    if (MbcsContains(line, "<")) env.ReturnPath = AngleAddress(line, false);
    else env.ReturnPath = Trim(FromColumn(line, 13));
  } else if (starts("SUBJECT:")) {
    std::string value(FromColumn(line, 9));
    AppendContinuations(value, line, s, pending);
    env.Subject = DecodeSubject(value);
    env.SubjectHtml = HtmlEscape(env.Subject);
  } else if (starts("DATE:")) {
    env.Date = Trim(FromColumn(line, 6));
  } else if (starts("FROM:")) {
    TMailAddress a = SplitMailAddress(ReadFoldedValue(line, 6, s, pending));
    std::erase_if(a.Name, [](char c) { return c == '\r' || c == '\n'; });
    env.FromName = std::move(a.Name);
    env.FromAddress = std::move(a.Address);
    env.FromNameHtml = HtmlEscape(env.FromName);
  } else if (starts("TO:")) {
    TMailAddress a = SplitMailAddress(ReadFoldedValue(line, 4, s, pending));
    env.ToName = std::move(a.Name);
    env.ToAddress = std::move(a.Address);
    env.ToAddressHtml = HtmlEscape(env.ToAddress);
  } else if (starts("CC:")) {
    env.Cc = ReadFoldedValue(line, 4, s, pending);
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
  AppendContinuations(value, line, s, readAhead);
  return value;
}

void GetMailEnvFormat(TMemoryStream* envelope, TMailEnvFormat& env) {
  env = TMailEnvFormat{};
  if (!envelope || envelope->Size() == 0) return;
  TMemoryStream& s = *envelope;
  s.SetPosition(0);
  bool pending = false;
  std::string line;
  do {
    if (pending) pending = false;  // the line read ahead, as it was read
    else line = Trim(ReadStreamLine(s));
    HandleLine(line, s, env, pending);
  } while (!s.AtEnd() || pending);
  s.SetPosition(0);
}

}  // namespace tarvo

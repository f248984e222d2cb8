#include <cstring>
#include <new>

#include "base/bytes.h"
#include "mail/mailutils.h"

namespace tarvo {

std::string_view ReadStreamLineView(TMemoryStream& s) {
  const std::string_view rest = s.Remaining();
  if (rest.empty()) return {};
  const std::string_view window = rest.substr(0, kLineLookAhead);
  const std::size_t i = FindLineEnd(window);
  std::size_t advance = i;
  if (i < window.size()) {
    advance = i + 1;
    if (window[i] == '\r' && i + 1 < rest.size() && rest[i + 1] == '\n') ++advance;
  }
  s.SetPosition(s.Position() + advance);
  return window.substr(0, i);
}

std::string ReadStreamLine(TMemoryStream& s) { return std::string(ReadStreamLineView(s)); }

bool IsContinuationLine(std::string_view line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

TEnvelopeSplit FindEnvelopeSplit(const TMemoryStream& mail) {
  const std::string& b = mail.Bytes();
  const std::size_t n = b.size();
  const auto at = [&b, n](std::size_t i, char c) { return i < n && b[i] == c; };
  const auto split = [](std::size_t header, std::size_t body) {
    return TEnvelopeSplit{static_cast<std::int32_t>(header), static_cast<std::int32_t>(body)};
  };
  // The first blank line ends the header block, whichever line ends the file
  // uses: CR LF CR LF, LF LF, CR CR (old Mac files) or LF CR LF (mixed).
  std::size_t k = 0;
  while (k < n) {
    k += FindLineEnd(std::string_view(b).substr(k));
    if (k >= n) break;
    if (b[k] == '\r') {
      if (at(k + 1, '\n') && at(k + 2, '\r') && at(k + 3, '\n')) return split(k + 2, k + 4);
      // CR CR LF is a stray CR before a CR LF, not a blank line.
      if (at(k + 1, '\r') && !at(k + 2, '\n')) return split(k, k + 2);
    } else {
      if (at(k + 1, '\n')) return split(k, k + 2);
      if (at(k + 1, '\r') && at(k + 2, '\n')) return split(k, k + 3);
    }
    ++k;
  }
  return split(n, n);
}

std::int32_t FindEnvelopeEnd(const TMemoryStream& mail) { return FindEnvelopeSplit(mail).HeaderEnd; }

void SplitEnvelope(const TMemoryStream* mail, TMemoryStream* envelope, TMemoryStream* body) {
  if (!mail) return;
  const TEnvelopeSplit split = FindEnvelopeSplit(*mail);
  const std::int64_t n = split.HeaderEnd;
  const std::int64_t size = static_cast<std::int64_t>(mail->Size());
  if (n == 0 || n > size) return;
  try {
    if (envelope) {
      envelope->Clear();
      envelope->Bytes().assign(mail->Bytes(), 0, static_cast<std::size_t>(n));
      envelope->SetPosition(0);
    }
    if (body && split.BodyStart < size) {
      body->Clear();
      body->Bytes().assign(mail->Bytes(), static_cast<std::size_t>(split.BodyStart));
      body->SetPosition(0);
    }
  } catch (const std::bad_alloc&) {
    if (envelope) envelope->Clear();
    if (body) body->Clear();
  }
}

void SplitEnvelopeConsuming(TMemoryStream& mail, TMemoryStream& envelope, TMemoryStream& body) {
  const TEnvelopeSplit split = FindEnvelopeSplit(mail);
  const std::int64_t n = split.HeaderEnd;
  const std::int64_t size = static_cast<std::int64_t>(mail.Size());
  try {
    if (n > 0 && n <= size) {
      envelope.Clear();
      envelope.Bytes().assign(mail.Bytes(), 0, static_cast<std::size_t>(n));
      if (split.BodyStart < size) {
        body.Clear();
        body.Bytes() = std::move(mail.Bytes());
        body.Bytes().erase(0, static_cast<std::size_t>(split.BodyStart));
      }
    }
  } catch (const std::bad_alloc&) {
    envelope.Clear();
    body.Clear();
  }
  mail.Clear();
  mail.Bytes().shrink_to_fit();
}


std::int32_t GetEnvSections(TMemoryStream* envelope, TEnvSections& sections) {
  sections.clear();
  if (!envelope || envelope->Size() == 0) return 0;
  envelope->SetPosition(0);
  std::string name, pending;
  bool hasPending = false;
  do {
    std::string line;
    if (hasPending) {
      line = std::move(pending);
      hasPending = false;
    } else {
      line = Trim(ReadStreamLine(*envelope));
    }
    if (line.empty() || IsContinuationLine(line)) continue;
    line = Trim(line);
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos) name = line.substr(0, colon);
    TEnvSection& e = sections.emplace_back();
    e.Name = name;
    e.Value = colon == std::string::npos ? line : line.substr(colon + 1);
    for (;;) {
      std::string next = ReadStreamLine(*envelope);
      if (!IsContinuationLine(next)) {
        pending = std::move(next);
        hasPending = true;
        break;
      }
      // Unfolded as RFC 5322 does: the line's blanks are the blank between
      // two words (and an ESC of raw ISO-2022-JP text stays).
      e.Value += next;
      if (envelope->AtEnd()) break;
    }
  } while (!envelope->AtEnd() || hasPending);
  envelope->SetPosition(0);
  return static_cast<std::int32_t>(sections.size());
}

}  // namespace tarvo

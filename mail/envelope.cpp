#include <cstring>
#include <new>

#include "base/bytes.h"
#include "mail/mailutils.h"

namespace tarvo {

std::string_view ReadStreamLineView(TMemoryStream& s) {
  const THeaderLineCut cut = CutHeaderLine(s.Remaining());
  s.SetPosition(s.Position() + cut.Next);
  return cut.Text;
}

std::string ReadStreamLine(TMemoryStream& s) { return std::string(ReadStreamLineView(s)); }

TEnvelopeSplit FindEnvelopeSplit(std::string_view b) {
  const std::size_t n = b.size();
  const auto at = [&b, n](std::size_t i, char c) { return i < n && b[i] == c; };
  const auto split = [](std::size_t header, std::size_t body) {
    return TEnvelopeSplit{static_cast<std::int32_t>(header), static_cast<std::int32_t>(body)};
  };
  // The first blank line ends the header block, whichever line ends the file
  // uses: CR LF CR LF, LF LF, CR CR (old Mac files) or LF CR LF (mixed).
  std::size_t k = 0;
  while (k < n) {
    k += FindLineEnd(b.substr(k));
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


std::int32_t GetEnvSections(std::string_view envelope, TEnvSections& sections) {
  sections.clear();
  std::string name;
  THeaderLineWalk walk(envelope);
  for (std::string_view raw; walk.Next(raw);) {
    if (raw.empty()) continue;
    const std::string line = Trim(raw);
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos) name = line.substr(0, colon);
    TEnvSection& e = sections.emplace_back();
    e.Name = name;
    e.Value = colon == std::string::npos ? line : line.substr(colon + 1);
    // Unfolded as RFC 5322 does: the line's blanks are the blank between
    // two words (and an ESC of raw ISO-2022-JP text stays).
    THeaderLines rest = walk.TakeRest();
    for (std::string_view next; rest.Next(next);) e.Value += next;
  }
  return static_cast<std::int32_t>(sections.size());
}

std::int32_t GetEnvSections(TMemoryStream* envelope, TEnvSections& sections) {
  sections.clear();
  if (!envelope || envelope->Size() == 0) return 0;
  const std::int32_t n = GetEnvSections(std::string_view(envelope->Bytes()), sections);
  envelope->SetPosition(0);
  return n;
}

}  // namespace tarvo

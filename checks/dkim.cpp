// The DKIM body hash (RFC 6376 3.4.3, 3.4.4, 3.7): the body canonicalised,
// cut at l=, hashed with the signature's algorithm and compared with bh=.
// The signature b= itself needs the signer's key from DNS and is not checked.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "base/ascii.h"
#include "checks/auth.h"
#include "hash/Digest.h"
#include "jcode/jconvert.h"

namespace tarvo {

namespace {

// Feeds the canonical body to `put` in pieces, without building it whole: a
// body may be gigabytes. Empty lines are held back until a non-empty line
// shows they are not the trailing ones, which both forms drop.
template <class Put>
void Canonicalise(std::string_view body, bool relaxed, Put&& put) {
  static constexpr std::string_view kCrLf = "\r\n";
  // A file whose lines end in CR alone is read that way by the header reader too.
  const char end = body.find('\n') == std::string_view::npos && body.find('\r') != std::string_view::npos ? '\r' : '\n';
  std::size_t heldEmpty = 0;
  bool wroteAny = false;
  std::string line;
  std::size_t pos = 0;
  while (pos < body.size()) {
    std::size_t lf = body.find(end, pos);
    const bool ended = lf != std::string_view::npos;
    if (!ended) lf = body.size();
    std::string_view raw = body.substr(pos, lf - pos);
    pos = ended ? lf + 1 : body.size();
    if (ended && end == '\n' && !raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string_view out = raw;
    if (relaxed) {
      // Every run of blanks to one space; none at the end of a line.
      line.clear();
      bool blank = false;
      for (char c : raw) {
        if (IsWsp(c)) {
          blank = true;
          continue;
        }
        if (blank) line += ' ';
        blank = false;
        line += c;
      }
      out = line;
    }
    if (out.empty()) {
      ++heldEmpty;
      continue;
    }
    for (; heldEmpty > 0; --heldEmpty) put(kCrLf);
    put(out);
    put(kCrLf);  // a last line without its end gets one
    wroteAny = true;
  }
  // An empty body is one CR LF in simple form and nothing in relaxed.
  if (!wroteAny && !relaxed) put(kCrLf);
}

std::optional<TDigestKind> DigestKindOf(const std::string& algorithm) {
  const std::size_t dash = algorithm.rfind('-');
  const std::string hash = dash == std::string::npos ? algorithm : algorithm.substr(dash + 1);
  if (hash == "sha256") return TDigestKind::Sha256;
  if (hash == "sha1") return TDigestKind::Sha1;
  return std::nullopt;
}

std::string_view WithoutPadding(std::string_view s) {
  while (!s.empty() && s.back() == '=') s.remove_suffix(1);
  return s;
}

}  // namespace

std::string CanonicalBody(std::string_view body, bool relaxed) {
  std::string out;
  Canonicalise(body, relaxed, [&](std::string_view piece) { out.append(piece); });
  return out;
}

namespace {

enum class THashed { Unknown, Short, Done };

// The base64 hash of the canonical body as the signature asks for it.
THashed HashBody(const TDkimSignature& sig, std::string_view body, std::string& out) {
  const std::optional<TDigestKind> kind = DigestKindOf(sig.Algorithm);
  const bool relaxed = sig.BodyCanon == "relaxed";
  if (!kind || !sig.LengthValid || (!relaxed && sig.BodyCanon != "simple")) return THashed::Unknown;
  TDigest digest(*kind);
  std::uint64_t left = sig.Length.value_or(UINT64_MAX);
  Canonicalise(body, relaxed, [&](std::string_view piece) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
    digest.Update(piece.substr(0, n));
    left -= n;
  });
  out = Base64Encode(digest.Finish());
  // l= beyond the canonical body: the body lost its end after signing.
  return sig.Length && left > 0 ? THashed::Short : THashed::Done;
}

}  // namespace

std::string DkimBodyHash(const TDkimSignature& sig, std::string_view body) {
  std::string out;
  return HashBody(sig, body, out) == THashed::Done ? out : std::string();
}

TBodyHash CheckDkimBodyHash(const TDkimSignature& sig, std::string_view body, std::string* found) {
  if (sig.BodyHash.empty()) return TBodyHash::Unchecked;
  std::string computed;
  const THashed hashed = HashBody(sig, body, computed);
  if (found) *found = computed;
  switch (hashed) {
    case THashed::Unknown: return TBodyHash::Unchecked;
    case THashed::Short: return TBodyHash::Mismatch;
    case THashed::Done: break;
  }
  // A bh= that is not base64 of a digest of this size cannot match any body.
  const std::string_view wanted = WithoutPadding(sig.BodyHash);
  const bool base64 = std::all_of(wanted.begin(), wanted.end(), [](char c) {
    return IsAlpha(c) || IsDigit(c) || c == '+' || c == '/';
  });
  if (!base64 || wanted.size() != WithoutPadding(computed).size()) return TBodyHash::Broken;
  return WithoutPadding(computed) == WithoutPadding(sig.BodyHash) ? TBodyHash::Match : TBodyHash::Mismatch;
}

}  // namespace tarvo

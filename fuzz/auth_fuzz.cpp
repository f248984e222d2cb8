// The authentication parsers, the body hash, the link reader and punycode on
// arbitrary bytes: the first half as a header block, the rest as the body
// and its HTML.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "checks/auth.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::string_view head = in.substr(0, size / 2), body = in.substr(size / 2);

  const THeaderFields fields = ReadFields(head);
  const TAuthentication auth = GetAuthentication(fields, body);
  const std::vector<TFinding> findings = GetFindings(fields, auth, body);
  for (const TFinding& f : findings)
    if (f.Kind.empty() || f.Text.empty()) std::abort();
  (void)AuthenticationRows(auth);
  (void)VerdictSentence(VerdictLevel(findings));

  // Each parser on the whole input as one field value.
  (void)ParseAuthResults(in, false);
  (void)ParseAuthResults(in, true);
  (void)ParseReceivedSpf(in);
  const TDkimSignature sig = ParseDkimSignature(in);
  (void)CheckDkimBodyHash(sig, body);
  (void)AddressOf(in);
  (void)DisplayNameOf(in);
  (void)HostShownIn(in);
  (void)UrlHost(in);

  // Canonicalisation is idempotent, and relaxed never grows the text.
  const std::string simple = CanonicalBody(in, false), relaxed = CanonicalBody(in, true);
  if (CanonicalBody(simple, false) != simple || CanonicalBody(relaxed, true) != relaxed) std::abort();
  if (relaxed.size() > simple.size()) std::abort();

  // The organisational domain is a tail of the domain.
  const std::string org = OrganizationalDomain(in);
  const std::string lower = OrganizationalDomain(std::string(in) + ".");
  if (org != lower) std::abort();
  (void)DecodeIdnDomain(in);
  (void)PunycodeDecode(in);
  return 0;
}

// The filter stamp readers and the TLS reader on arbitrary bytes: the input
// as each stamp's value, and as a header block read with every field both
// the receiving side's and the sender's.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "checks/filters.h"
#include "mail/receivedtls.h"

using namespace tarvo;

namespace {

constexpr const char* kNames[] = {
    "X-MS-Exchange-Organization-SCL", "X-MS-Exchange-Organization-PCL", "X-Forefront-Antispam-Report",
    "X-Forefront-Antispam-Report-Untrusted", "X-Microsoft-Antispam", "X-Microsoft-Antispam-Untrusted",
    "X-Microsoft-Antispam-Mailbox-Delivery", "X-Spam-Status", "X-Spam-Flag", "X-Spam-Score", "X-Spam-Level",
    "X-Spamd-Result", "X-Rspamd-Action", "X-Spam", "X-IronPort-AV", "X-SBRS", "X-Amp-Result",
    "X-Proofpoint-Spam-Details", "X-Barracuda-Spam-Score", "X-Barracuda-Spam-Status", "X-Barracuda-Spam-Flag",
    "X-TM-AS-Result", "X-Mimecast-Spam-Score"};

void Check(const TFilterStamp& s, std::string_view value) {
  if (s.Family.empty() || s.Header.empty()) std::abort();
  for (const TFilterField& f : s.Fields)
    if (f.Meaning.empty()) std::abort();
  if (s.Verdict && s.Verdict->Text.empty()) std::abort();
  if (FilterExplanationLines(s, value).size() < 5) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  for (const char* name : kNames) {
    const auto s = ReadFilterStamp(name, in);
    if (!s) std::abort();
    Check(*s, in);
  }
  (void)CompAuthReasonMeaning(in);

  const THeaderFields fields = ReadFields(in);
  for (bool receiver : {false, true}) {
    TFilterContext c;
    c.ReceiverWrote.assign(fields.size(), receiver);
    c.MicrosoftReceiver = receiver;
    const std::vector<TFilterStamp> stamps = ReadFilterStamps(fields, c);
    std::vector<TFinding> findings;
    AddFilterFindings(stamps, findings);
    for (const TFinding& f : findings)
      if (f.Kind.empty() || f.Text.empty() || (!receiver && f.Kind == "receiver-filter")) std::abort();
  }

  const std::size_t third = size / 3;
  const auto tls = ReceivedTls(in, in.substr(0, third), in.substr(third, third));
  if (tls && tls->empty()) std::abort();
  (void)IsLocalAddress(in);
  return 0;
}

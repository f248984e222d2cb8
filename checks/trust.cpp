// The receiving run: Received fields from the top down while their "by"
// host belongs to the organisation that received the message. The receiver
// prepends its fields, so what stands above the run's oldest field only the
// receiver wrote (RFC 8601 section 5; 7.2 on forged results).
#include "checks/trust.h"

#include <algorithm>
#include <mutex>

#include "base/ascii.h"
#include "checks/auth.h"

namespace tarvo {

namespace {

// Operators that write under several organisational domains.
struct TOperatorDomain {
  std::string_view Domain, Operator;
};
constexpr TOperatorDomain kOperators[] = {
    {"outlook.com", "microsoft"},      {"office365.com", "microsoft"}, {"exchangelabs.com", "microsoft"},
    {"hotmail.com", "microsoft"},      {"live.com", "microsoft"},      {"msn.com", "microsoft"},
    {"microsoft.com", "microsoft"},    {"outlook.jp", "microsoft"},    {"google.com", "google"},
    {"gmail.com", "google"},           {"googlemail.com", "google"},   {"yahoo.com", "yahoo"},
    {"yahoodns.net", "yahoo"},         {"yahoo.co.jp", "yahoo"},       {"yahoo.net", "yahoo"},
};

// Operators that write their results right below their own Received field
// instead of above it.
constexpr std::string_view kResultsBelow[] = {"google"};

std::string HostOf(std::string_view s) {
  std::string h = LowerAscii(TrimFws(s));
  while (!h.empty() && h.back() == '.') h.pop_back();
  return h;
}

std::mutex& TrustedMutex() {
  static std::mutex m;
  return m;
}
std::vector<std::string>& TrustedStore() {
  static std::vector<std::string> ids;
  return ids;
}

}  // namespace

bool IsAnonymousHost(std::string_view host) {
  const std::string h = HostOf(host);
  if (h.empty() || h.front() == '[' || h.find(':') != std::string::npos) return true;
  if (h.find('.') == std::string::npos) return true;
  // Dotted digits: an IPv4 address.
  return std::all_of(h.begin(), h.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

std::string OperatorOf(std::string_view host) {
  if (IsAnonymousHost(host)) return {};
  const std::string org = OrganizationalDomain(HostOf(host));
  for (const TOperatorDomain& d : kOperators)
    if (org == d.Domain) return std::string(d.Operator);
  return org;
}

void SetTrustedAuthServIds(std::vector<std::string> ids) {
  for (std::string& id : ids) id = HostOf(id);
  std::erase_if(ids, [](const std::string& id) { return id.empty(); });
  const std::lock_guard lock(TrustedMutex());
  TrustedStore() = std::move(ids);
}

std::vector<std::string> TrustedAuthServIds() {
  const std::lock_guard lock(TrustedMutex());
  return TrustedStore();
}

TTrustBoundary::TTrustBoundary(const THeaderFields& fields, std::vector<std::string> trustedIds)
    : trusted_(std::move(trustedIds)) {
  for (std::string& id : trusted_) id = HostOf(id);
  // A hop belongs to the run when its operator is the receiver's or one the
  // user trusts; hops that name no organisation belong to whatever stands
  // around them, so the run ends at its last named hop.
  std::vector<std::string> members;
  for (const std::string& id : trusted_)
    if (std::string op = OperatorOf(id); !op.empty()) members.push_back(std::move(op));
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!EqualsNoCase(TrimFws(fields[i].Name), "Received")) continue;
    TReceivedList entry;
    ParseReceivedField(fields[i].Value, entry);
    const std::string op = OperatorOf(entry.By);
    if (op.empty()) continue;
    if (operator_.empty()) {
      operator_ = op;
      org_ = OrganizationalDomain(HostOf(entry.By));
      members.push_back(op);
    } else if (std::find(members.begin(), members.end(), op) == members.end()) {
      break;
    }
    oldest_ = i;
  }
  if (oldest_ == npos) return;

  // Right below the oldest field: a Received-SPF, then one
  // Authentication-Results, when the operator writes them there or the id
  // is one the user trusts.
  const bool below = std::find(std::begin(kResultsBelow), std::end(kResultsBelow), operator_) != std::end(kResultsBelow);
  std::size_t i = oldest_ + 1;
  if (i < fields.size() && EqualsNoCase(TrimFws(fields[i].Name), "Received-SPF")) ++i;
  if (i < fields.size() && EqualsNoCase(TrimFws(fields[i].Name), "Authentication-Results")) {
    const std::string id = ParseAuthResults(fields[i].Value).AuthServId;
    if ((below && BelongsToReceiver(id)) || IsTrustedId(id)) belowEnd_ = i + 1;
  }
  // A Received-SPF alone is the operator's only where its results go below.
  if (belowEnd_ == npos && below && i > oldest_ + 1) belowEnd_ = oldest_ + 2;
}

bool TTrustBoundary::IsReceiverWritten(std::size_t index) const {
  return IsAboveRun(index) || (belowEnd_ != npos && index > oldest_ && index < belowEnd_);
}

bool TTrustBoundary::IsTrustedId(std::string_view authServId) const {
  const std::string id = HostOf(authServId);
  return !id.empty() && std::find(trusted_.begin(), trusted_.end(), id) != trusted_.end();
}

bool TTrustBoundary::BelongsToReceiver(std::string_view authServId) const {
  if (IsTrustedId(authServId)) return true;
  const std::string op = OperatorOf(authServId);
  return !op.empty() && op == operator_;
}

}  // namespace tarvo

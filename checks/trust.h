// Who wrote which header field: the receiving organisation's fields stand
// at the top, everything below them the sender could have written. Used to
// decide which authentication results and filter stamps can be believed.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "mail/mailutils.h"

namespace tarvo {

// The operator behind a host or an authserv-id: one key for every domain an
// operator writes under ("microsoft" for outlook.com, office365.com ...;
// "google", "yahoo"), else the host's organisational domain. Empty for an
// address, a bare name or nothing.
[[nodiscard]] std::string OperatorOf(std::string_view host);

// True for a host written as an IP address (with or without brackets) or a
// name without a dot: an internal hop that names no organisation.
[[nodiscard]] bool IsAnonymousHost(std::string_view host);

// The ids the user trusts besides the receiving organisation's (their own
// mail server's authserv-id, say). Set once at start; read by every check.
void SetTrustedAuthServIds(std::vector<std::string> ids);
[[nodiscard]] std::vector<std::string> TrustedAuthServIds();

class TTrustBoundary {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // `fields` top first, as the header block holds them.
  explicit TTrustBoundary(const THeaderFields& fields,
                          std::vector<std::string> trustedIds = TrustedAuthServIds());

  // Organisational domain of the topmost Received field's "by" host (the
  // first one that names a host); empty when no Received field names one.
  [[nodiscard]] const std::string& ReceivingOrg() const { return org_; }
  // The operator key of that organisation (OperatorOf).
  [[nodiscard]] const std::string& ReceivingOperator() const { return operator_; }
  [[nodiscard]] bool IsMicrosoft() const { return operator_ == "microsoft"; }

  // Index of the oldest Received field of the receiving run, or npos when
  // there is no run.
  [[nodiscard]] std::size_t OldestReceived() const { return oldest_; }
  // True when the field at `index` stands above that field: only the
  // receiving side can have written it.
  [[nodiscard]] bool IsAboveRun(std::size_t index) const { return oldest_ != npos && index < oldest_; }
  // IsAboveRun, or one of the results an operator known to write them right
  // below its own Received field put there (Gmail: Received-SPF, then one
  // Authentication-Results per id).
  [[nodiscard]] bool IsReceiverWritten(std::size_t index) const;
  // The authserv-id names the receiving organisation (its operator) or one
  // the user trusts.
  [[nodiscard]] bool BelongsToReceiver(std::string_view authServId) const;
  [[nodiscard]] bool IsTrustedId(std::string_view authServId) const;

 private:
  std::string org_, operator_;
  std::size_t oldest_ = npos;
  std::size_t belowEnd_ = npos;  // end of the block right below oldest_ accepted as the receiver's
  std::vector<std::string> trusted_;
};

}  // namespace tarvo

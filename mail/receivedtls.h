// How one hop of the route was protected, from its Received field.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tarvo {

// "TLS1.2 ECDHE-RSA-AES256-GCM-SHA384" when the field names the version or
// the cipher (Microsoft's "(version=TLS1_2, cipher=TLS_ECDHE_RSA_WITH_...)",
// Postfix's "(using TLSv1.3 with cipher ...)", Sendmail's and Google's
// "version=... cipher=...", Exim's "(TLS1.3) tls ..." and
// "(TLSv1.2:CIPHER:256)"); "TLS" for a protocol that says TLS and no more
// (ESMTPS, ESMTPSA, HTTPS); "none" for plain SMTP from an address on the
// Internet; nullopt when the field says nothing of it.
// `text` is the field's value, `with` its protocol words, `ip` the address
// it came from.
[[nodiscard]] std::optional<std::string> ReceivedTls(std::string_view text, std::string_view with, std::string_view ip);

// An address of a private, shared, loopback or link-local network (IPv4 or
// IPv6, as written in a Received field).
[[nodiscard]] bool IsLocalAddress(std::string_view ip);

}  // namespace tarvo

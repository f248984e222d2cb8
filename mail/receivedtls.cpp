#include "mail/receivedtls.h"

#include <array>
#include <cstdint>

#include "base/ascii.h"

namespace tarvo {

namespace {

// A cipher's name runs to a blank, a comma, a semicolon or a bracket.
std::string_view TokenAt(std::string_view s, std::size_t at) {
  std::size_t end = at;
  while (end < s.size() && std::string_view(" \t\r\n,;:()[]\"").find(s[end]) == std::string_view::npos) ++end;
  return s.substr(at, end - at);
}

// "TLS1_2", "TLSv1.3", "tls1.2" -> "TLS1.2"; where it stands in `at`.
std::string VersionIn(std::string_view s, std::size_t& at) {
  for (std::size_t i = FindNoCase(s, "tls"); i != std::string_view::npos; i = FindNoCase(s, "tls", i + 1)) {
    // Not the tail of a longer word (ESMTPS, STARTTLS is fine to skip).
    if (i > 0 && IsAlpha(s[i - 1])) continue;
    std::size_t j = i + 3;
    if (j < s.size() && LowerAscii(s[j]) == 'v') ++j;
    if (j + 2 < s.size() && IsDigit(s[j]) && (s[j + 1] == '_' || s[j + 1] == '.') && IsDigit(s[j + 2])) {
      at = j + 3;
      return std::string("TLS") + s[j] + "." + s[j + 2];
    }
  }
  return {};
}

// IANA names ("TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384") in OpenSSL's form
// ("ECDHE-RSA-AES256-GCM-SHA384"); TLS 1.3's and OpenSSL's own stay.
std::string OpenSslName(std::string_view iana) {
  const std::size_t with = iana.find("_WITH_");
  if (iana.substr(0, 4) != "TLS_" || with == std::string_view::npos) return std::string(iana);
  std::string out(iana.substr(4, with - 4));
  std::string cipher(iana.substr(with + 6));
  // AES_256 -> AES256, CHACHA20_POLY1305 stays joined by "-".
  for (std::size_t p = cipher.find("AES_"); p != std::string::npos; p = cipher.find("AES_", p + 3)) cipher.erase(p + 3, 1);
  out += "_" + cipher;
  for (char& c : out)
    if (c == '_') c = '-';
  return out;
}

std::string CipherIn(std::string_view s, std::size_t versionEnd) {
  std::size_t at = FindNoCase(s, "cipher=");
  if (at != std::string_view::npos) return std::string(TokenAt(s, at + 7));
  if ((at = FindNoCase(s, "with cipher ")) != std::string_view::npos) return std::string(TokenAt(s, at + 12));
  if ((at = FindNoCase(s, ") tls ")) != std::string_view::npos) return std::string(TokenAt(s, at + 6));
  // Exim's older "(TLSv1.2:ECDHE-RSA-AES256-GCM-SHA384:256)".
  if (versionEnd != std::string_view::npos && versionEnd < s.size() && s[versionEnd] == ':')
    return std::string(TokenAt(s, versionEnd + 1));
  return {};
}

}  // namespace

bool IsLocalAddress(std::string_view ip) {
  if (ip.size() > 2 && ip.front() == '[' && ip.back() == ']') ip = ip.substr(1, ip.size() - 2);
  if (StartsWithNoCase(ip, "ipv6:")) ip.remove_prefix(5);
  if (ip.find(':') != std::string_view::npos) {
    if (ip == "::1") return true;
    const std::string_view head = ip.substr(0, 4);
    if (StartsWithNoCase(head, "fc") || StartsWithNoCase(head, "fd")) return true;
    return StartsWithNoCase(head, "fe8") || StartsWithNoCase(head, "fe9") || StartsWithNoCase(head, "fea") ||
           StartsWithNoCase(head, "feb");
  }
  std::array<int, 4> o{};
  std::size_t k = 0, i = 0;
  for (; k < 4; ++k) {
    int v = 0, digits = 0;
    while (i < ip.size() && IsDigit(ip[i]) && digits < 4) v = v * 10 + (ip[i++] - '0'), ++digits;
    if (digits == 0 || v > 255) return false;
    o[k] = v;
    if (k < 3) {
      if (i >= ip.size() || ip[i] != '.') return false;
      ++i;
    }
  }
  if (i != ip.size()) return false;
  return o[0] == 10 || o[0] == 127 || (o[0] == 172 && o[1] >= 16 && o[1] < 32) || (o[0] == 192 && o[1] == 168) ||
         (o[0] == 169 && o[1] == 254) || (o[0] == 100 && o[1] >= 64 && o[1] < 128) || o[0] == 0;
}

std::optional<std::string> ReceivedTls(std::string_view text, std::string_view with, std::string_view ip) {
  std::size_t versionEnd = std::string_view::npos;
  const std::string version = VersionIn(text, versionEnd);
  std::string cipher = CipherIn(text, versionEnd);
  if (!cipher.empty()) cipher = OpenSslName(cipher);
  if (!version.empty() || !cipher.empty()) {
    std::string out = version.empty() ? "TLS" : version;
    if (!cipher.empty()) out += " " + cipher;
    return out;
  }
  // The protocol's name: ESMTPS and ESMTPSA (RFC 3848), LMTPS, HTTPS.
  std::string_view word = with.substr(0, with.find(' '));
  if (word.empty()) return std::nullopt;
  const char last = LowerAscii(word.back());
  const bool secured = (last == 's' && word.size() > 4) ||
                       (word.size() > 5 && LowerAscii(word[word.size() - 2]) == 's' && last == 'a');
  if (secured && (FindNoCase(word, "smtp") != std::string_view::npos || FindNoCase(word, "lmtp") != std::string_view::npos ||
                  EqualsNoCase(word, "https")))
    return "TLS";
  for (std::string_view plain : {"SMTP", "ESMTP", "ESMTPA", "UTF8SMTP", "UTF8SMTPA"})
    if (EqualsNoCase(word, plain)) {
      if (!ip.empty() && !IsLocalAddress(ip)) return "none";
      return std::nullopt;
    }
  return std::nullopt;
}

}  // namespace tarvo

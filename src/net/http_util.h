#pragma once
// Portable pieces of the HTTP transport: reading answer headers, judging content types,
// naming WinHTTP errors, and progress percentages.
#include <cstdint>
#include <string>
#include <string_view>

namespace httputil {

// Value of the header `name` in a raw header block ("Name: value" lines separated by CR LF,
// the status line first). Names are compared without regard to letter case; when a header
// occurs more than once the last one wins. Empty when absent.
std::string HeaderValue(std::string_view rawHeaders, std::string_view name);

// True when an answer of this content type is text: the type contains "text" or "json"
// (letter case ignored, as media types are case-insensitive).
bool IsTextContentType(std::string_view contentType);

// "<meaning> (WinHTTP error <code>: <NAME>)" for WinHTTP's own codes (12001..12190); for
// other codes "" (the caller asks the system for its text).
std::string WinHttpErrorText(uint32_t code);

// Certificate problems WinHTTP reports with a secure failure, as the bits of its
// WINHTTP_CALLBACK_STATUS_SECURE_FAILURE notification.
namespace secure_failure {
constexpr uint32_t kRevocationFailed = 0x00000001;  // revocation could not be checked
constexpr uint32_t kInvalidCertificate = 0x00000002;
constexpr uint32_t kRevoked = 0x00000004;
constexpr uint32_t kUntrustedRoot = 0x00000008;     // unknown certificate authority
constexpr uint32_t kNameMismatch = 0x00000010;
constexpr uint32_t kDateInvalid = 0x00000020;       // expired or not yet valid
constexpr uint32_t kWrongUsage = 0x00000040;
constexpr uint32_t kChannelError = 0x80000000;      // the TLS handshake itself failed
}  // namespace secure_failure

// The reasons named by those bits, most telling first and joined by "; " ("untrusted root
// (...)", "name mismatch (...)", "expired or not yet valid (...)", "revoked (...)", ...);
// bits it does not know are named by their hex value. "" for none.
std::string SecureFailureReason(uint32_t flags);

// The error text of a failed request with the certificate problems reported for it:
// "<error text>. Reason: <reasons>"; the error text alone when no bit is set.
std::string WithSecureFailureReason(const std::string& errorText, uint32_t flags);

// The error text of a request that a proxy refused with 407: it asks for credentials that
// were not given, or did not accept the ones given.
std::string ProxyAuthenticationFailure(std::string_view proxy, bool credentialsGiven);

// Percentage of done out of total, 0..100; 0 when the total is unknown (0).
int PercentDone(uint64_t done, uint64_t total);

// Splits "host[:port]" of a proxy setting; keeps defaultPort when none is given.
// A "http://" prefix and a trailing "/" are dropped.
void SplitProxyServer(std::string_view server, int defaultPort, std::string& host, int& port);

// Standard base64 with padding.
std::string Base64(std::string_view data);

// Value of a Basic "Authorization"/"Proxy-Authorization" header for UTF-8 credentials.
std::string BasicCredentials(std::string_view user, std::string_view password);

// The host of an "https://host[:port][/...]" address in lower case; empty for any other form
// (another scheme, credentials, no host).
std::string HttpsHost(std::string_view url);

// The domains a host of the platform stands for: the host without its first label when it
// has three labels or more ("api.lumora.example" -> "lumora.example"), else the host itself.
std::string PlatformDomain(std::string_view host);

// Whether `host` is one of the domains (a list separated by "," or ";") or a host below
// one of them ("s7.lumora.example" for "lumora.example"). Letter case is ignored.
bool HostInDomains(std::string_view host, std::string_view domains);

}  // namespace httputil

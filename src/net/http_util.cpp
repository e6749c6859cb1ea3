#include "net/http_util.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"

namespace httputil {

std::string HeaderValue(std::string_view raw, std::string_view name) {
  std::string result;
  size_t pos = 0;
  bool first = true;
  while (pos < raw.size()) {
    size_t end = raw.find('\n', pos);
    if (end == std::string_view::npos) end = raw.size();
    std::string_view line = raw.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {  // status line
      first = false;
      if (text::StartsWith(line, "HTTP/")) continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    if (text::EqualsNoCase(text::Trim(line.substr(0, colon)), name))
      result = text::Trim(line.substr(colon + 1));
  }
  return result;
}

bool IsTextContentType(std::string_view contentType) {
  std::string lower = text::ToLower(contentType);
  return lower.find("text") != std::string::npos || lower.find("json") != std::string::npos;
}

namespace {
struct ErrorEntry {
  uint32_t code;
  const char* name;
  const char* meaning;
};
constexpr ErrorEntry kErrors[] = {
    {12001, "ERROR_WINHTTP_OUT_OF_HANDLES", "No more handles could be generated"},
    {12002, "ERROR_WINHTTP_TIMEOUT", "The operation timed out"},
    {12004, "ERROR_WINHTTP_INTERNAL_ERROR", "An internal error has occurred"},
    {12005, "ERROR_WINHTTP_INVALID_URL", "The URL is invalid"},
    {12006, "ERROR_WINHTTP_UNRECOGNIZED_SCHEME", "The URL does not use a recognized scheme"},
    {12007, "ERROR_WINHTTP_NAME_NOT_RESOLVED", "The server name could not be resolved"},
    {12009, "ERROR_WINHTTP_INVALID_OPTION", "An invalid option value was given"},
    {12011, "ERROR_WINHTTP_OPTION_NOT_SETTABLE", "The option cannot be set"},
    {12012, "ERROR_WINHTTP_SHUTDOWN", "The HTTP support is being shut down"},
    {12015, "ERROR_WINHTTP_LOGIN_FAILURE", "The login attempt failed"},
    {12017, "ERROR_WINHTTP_OPERATION_CANCELLED", "The operation has been cancelled"},
    {12018, "ERROR_WINHTTP_INCORRECT_HANDLE_TYPE", "The type of handle supplied is incorrect"},
    {12019, "ERROR_WINHTTP_INCORRECT_HANDLE_STATE", "The handle is in the wrong state"},
    {12029, "ERROR_WINHTTP_CANNOT_CONNECT", "A connection with the server could not be established"},
    {12030, "ERROR_WINHTTP_CONNECTION_ERROR",
     "The connection with the server was reset or terminated, or an incompatible TLS protocol "
     "was encountered"},
    {12032, "ERROR_WINHTTP_RESEND_REQUEST", "The request must be sent again"},
    {12037, "ERROR_WINHTTP_SECURE_CERT_DATE_INVALID",
     "The server certificate has expired or is not yet valid"},
    {12038, "ERROR_WINHTTP_SECURE_CERT_CN_INVALID",
     "The server certificate does not match the host name"},
    {12044, "ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED", "The server requires a client certificate"},
    {12045, "ERROR_WINHTTP_SECURE_INVALID_CA",
     "The server certificate was issued by an authority that is not trusted"},
    {12057, "ERROR_WINHTTP_SECURE_CERT_REV_FAILED",
     "Revocation of the server certificate could not be checked"},
    {12150, "ERROR_WINHTTP_HEADER_NOT_FOUND", "The requested header could not be found"},
    {12152, "ERROR_WINHTTP_INVALID_SERVER_RESPONSE", "The server response could not be parsed"},
    {12153, "ERROR_WINHTTP_INVALID_HEADER", "The supplied header is invalid"},
    {12156, "ERROR_WINHTTP_REDIRECT_FAILED", "The redirection failed"},
    {12157, "ERROR_WINHTTP_SECURE_CHANNEL_ERROR",
     "An error occurred in the secure channel (TLS) support"},
    {12166, "ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT", "The proxy auto-configuration script has an error"},
    {12167, "ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT",
     "The proxy auto-configuration script could not be downloaded"},
    {12169, "ERROR_WINHTTP_SECURE_INVALID_CERT", "The server certificate is invalid"},
    {12170, "ERROR_WINHTTP_SECURE_CERT_REVOKED", "The server certificate has been revoked"},
    {12172, "ERROR_WINHTTP_NOT_INITIALIZED", "The HTTP support has not been initialized"},
    {12175, "ERROR_WINHTTP_SECURE_FAILURE",
     "A security error occurred: the server's certificate or TLS version was not accepted"},
    {12178, "ERROR_WINHTTP_AUTO_PROXY_SERVICE_ERROR", "The proxy could not be found automatically"},
    {12179, "ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE",
     "The server certificate is not valid for this usage"},
    {12180, "ERROR_WINHTTP_AUTODETECTION_FAILED", "The proxy auto-detection failed"},
    {12181, "ERROR_WINHTTP_HEADER_COUNT_EXCEEDED", "The answer has too many headers"},
    {12182, "ERROR_WINHTTP_HEADER_SIZE_OVERFLOW", "The answer's headers are too large"},
    {12183, "ERROR_WINHTTP_CHUNKED_ENCODING_HEADER_SIZE_OVERFLOW",
     "The answer's chunk header is too large"},
    {12184, "ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW", "The answer is too large to drain"},
    {12188, "ERROR_WINHTTP_SECURE_FAILURE_PROXY", "A security error occurred at the proxy"},
    {12190, "ERROR_WINHTTP_HTTP_PROTOCOL_MISMATCH", "The server's HTTP protocol is not supported"},
};
}  // namespace

std::string WinHttpErrorText(uint32_t code) {
  for (const auto& e : kErrors)
    if (e.code == code)
      return std::string(e.meaning) + " (WinHTTP error " + std::to_string(code) + ": " + e.name +
             ")";
  if (code >= 12000 && code < 12200)
    return "WinHTTP error " + std::to_string(code);
  return "";
}

std::string SecureFailureReason(uint32_t flags) {
  using namespace secure_failure;
  struct Reason {
    uint32_t bit;
    const char* text;
  };
  static constexpr Reason kReasons[] = {
      {kUntrustedRoot,
       "untrusted root (the certificate was issued by an unknown certificate authority)"},
      {kNameMismatch, "name mismatch (the certificate was issued for another host name)"},
      {kDateInvalid, "expired or not yet valid (the certificate's validity period does not "
                     "include the current date)"},
      {kRevoked, "revoked (the certificate's issuer has revoked it)"},
      {kRevocationFailed, "revocation unknown (whether the certificate was revoked could not "
                          "be checked)"},
      {kWrongUsage, "wrong usage (the certificate is not meant for server authentication)"},
      {kInvalidCertificate, "invalid certificate (the certificate or its chain is malformed)"},
      {kChannelError, "secure channel error (the TLS handshake failed)"},
  };
  std::string result;
  uint32_t known = 0;
  for (const auto& r : kReasons) {
    known |= r.bit;
    if (!(flags & r.bit)) continue;
    if (!result.empty()) result += "; ";
    result += r.text;
  }
  if (uint32_t rest = flags & ~known) {
    char hex[11];
    std::snprintf(hex, sizeof(hex), "0x%08X", static_cast<unsigned>(rest));
    if (!result.empty()) result += "; ";
    result += std::string("other certificate problem (flags ") + hex + ")";
  }
  return result;
}

std::string WithSecureFailureReason(const std::string& errorText, uint32_t flags) {
  if (!flags) return errorText;
  return errorText + ". Reason: " + SecureFailureReason(flags);
}

std::string ProxyAuthenticationFailure(std::string_view proxy, bool credentialsGiven) {
  return "The proxy " + std::string(proxy) +
         (credentialsGiven ? " did not accept the user name and password"
                           : " requires a user name and password") +
         " (HTTP 407 Proxy Authentication Required)";
}

int PercentDone(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  if (done >= total) return 100;
  return static_cast<int>(done * 100 / total);
}

void SplitProxyServer(std::string_view server, int defaultPort, std::string& host, int& port) {
  std::string s = text::Trim(server);
  if (text::StartsWith(text::ToLower(s), "http://")) s.erase(0, 7);
  while (!s.empty() && s.back() == '/') s.pop_back();
  port = defaultPort;
  // "[v6]:port" or "host:port"
  size_t colon = s.rfind(':');
  size_t bracket = s.rfind(']');
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
    std::string digits = s.substr(colon + 1);
    if (!digits.empty() && digits.size() <= 5 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      int p = std::stoi(digits);
      if (p > 0 && p < 65536) {
        port = p;
        s.erase(colon);
      }
    }
  }
  host = s;
}

std::string Base64(std::string_view data) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    uint32_t n = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8) | uint8_t(data[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  if (i + 1 == data.size()) {
    uint32_t n = uint8_t(data[i]) << 16;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += "==";
  } else if (i + 2 == data.size()) {
    uint32_t n = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string BasicCredentials(std::string_view user, std::string_view password) {
  std::string pair(user);
  pair += ':';
  pair += password;
  return "Basic " + Base64(pair);
}

std::string HttpsHost(std::string_view url) {
  constexpr std::string_view kScheme = "https://";
  if (url.size() <= kScheme.size() || !text::EqualsNoCase(url.substr(0, kScheme.size()), kScheme))
    return {};
  std::string_view rest = url.substr(kScheme.size());
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (rest.find('@') != std::string_view::npos) return {};
  std::string_view host = rest.substr(0, rest.find(':'));
  for (char c : host) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.';
    if (!ok) return {};
  }
  return text::ToLower(host);
}

std::string PlatformDomain(std::string_view host) {
  const std::string h = text::ToLower(host);
  const size_t dots = static_cast<size_t>(std::count(h.begin(), h.end(), '.'));
  return dots >= 2 ? h.substr(h.find('.') + 1) : h;
}

bool HostInDomains(std::string_view host, std::string_view domains) {
  if (host.empty()) return false;
  const std::string h = text::ToLower(host);
  for (const std::string& part : text::Split(text::ReplaceAll(domains, ";", ","), ',')) {
    const std::string d = text::ToLower(text::Trim(part));
    if (d.empty()) continue;
    if (h == d || (h.size() > d.size() && text::EndsWith(h, "." + d))) return true;
  }
  return false;
}

}  // namespace httputil

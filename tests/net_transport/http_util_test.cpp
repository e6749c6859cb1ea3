#include "net/http_util.h"

#include <gtest/gtest.h>

using namespace httputil;

TEST(HttpHeaders, LastHeaderOfANameWinsWhateverItsCase) {
  const std::string raw =
      "HTTP/1.1 200 OK\r\n"
      "content-type: text/plain\r\n"
      "X-Other: a:b\r\n"
      "CONTENT-TYPE:   application/json; charset=utf-8  \r\n"
      "Content-Disposition: attachment; filename=\"x.zip\"\r\n\r\n";
  EXPECT_EQ(HeaderValue(raw, "Content-Type"), "application/json; charset=utf-8");
  EXPECT_EQ(HeaderValue(raw, "content-disposition"), "attachment; filename=\"x.zip\"");
  EXPECT_EQ(HeaderValue(raw, "X-Other"), "a:b");
  EXPECT_EQ(HeaderValue(raw, "Content-Length"), "");
  EXPECT_EQ(HeaderValue("", "Content-Type"), "");
  // A status line is never taken for a header; bare LF line ends work too.
  EXPECT_EQ(HeaderValue("HTTP/1.1 200 Content-Type: x\nContent-Type: y\n", "Content-Type"), "y");
}

TEST(HttpHeaders, TextContentTypes) {
  struct Case {
    const char* type;
    bool text;
  } cases[] = {
      {"application/json; charset=utf-8", true}, {"text/html", true},
      {"Application/JSON", true},                {"text/plain", true},
      {"application/octet-stream", false},       {"application/zip", false},
      {"", false},                               {"image/png", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsTextContentType(c.type), c.text) << c.type;
}

TEST(HttpErrors, WinHttpCodesHaveAMeaningAndTheirNumber) {
  EXPECT_EQ(WinHttpErrorText(12002), "The operation timed out (WinHTTP error 12002: ERROR_WINHTTP_TIMEOUT)");
  EXPECT_NE(WinHttpErrorText(12175).find("12175"), std::string::npos);
  EXPECT_EQ(WinHttpErrorText(12199), "WinHTTP error 12199");
  EXPECT_EQ(WinHttpErrorText(5), "");
}

TEST(HttpErrors, SecureFailureFlagsNameTheirReasons) {
  namespace sf = secure_failure;
  struct Case {
    uint32_t flags;
    const char* expected;
  } cases[] = {
      {0, ""},
      {sf::kUntrustedRoot,
       "untrusted root (the certificate was issued by an unknown certificate authority)"},
      {sf::kNameMismatch, "name mismatch (the certificate was issued for another host name)"},
      {sf::kDateInvalid, "expired or not yet valid (the certificate's validity period does not "
                         "include the current date)"},
      {sf::kRevoked, "revoked (the certificate's issuer has revoked it)"},
      {sf::kRevocationFailed,
       "revocation unknown (whether the certificate was revoked could not be checked)"},
      {sf::kWrongUsage, "wrong usage (the certificate is not meant for server authentication)"},
      {sf::kInvalidCertificate, "invalid certificate (the certificate or its chain is malformed)"},
      {sf::kChannelError, "secure channel error (the TLS handshake failed)"},
      // Several at once: the most telling first, whatever the order of the bits.
      {sf::kDateInvalid | sf::kUntrustedRoot,
       "untrusted root (the certificate was issued by an unknown certificate authority); "
       "expired or not yet valid (the certificate's validity period does not include the "
       "current date)"},
      // Bits nobody knows yet are still shown, so a log never hides a reason.
      {0x00000100, "other certificate problem (flags 0x00000100)"},
      {sf::kRevoked | 0x00010200,
       "revoked (the certificate's issuer has revoked it); other certificate problem (flags "
       "0x00010200)"},
  };
  for (const auto& c : cases) EXPECT_EQ(SecureFailureReason(c.flags), c.expected) << c.flags;

  // The transport's error text stays in front (callers and logs rely on it); the reason
  // follows only when one was reported.
  const std::string generic = WinHttpErrorText(12175);
  EXPECT_EQ(WithSecureFailureReason(generic, 0), generic);
  EXPECT_EQ(WithSecureFailureReason(generic, sf::kNameMismatch),
            generic + ". Reason: name mismatch (the certificate was issued for another host name)");
}

TEST(HttpProgress, Percentages) {
  EXPECT_EQ(PercentDone(0, 0), 0);
  EXPECT_EQ(PercentDone(50, 200), 25);
  EXPECT_EQ(PercentDone(300, 200), 100);
  // Beyond 32 bits.
  EXPECT_EQ(PercentDone(3ull << 32, 4ull << 32), 75);
}

TEST(HttpProxy, ServerAndPort) {
  struct Case {
    const char* in;
    const char* host;
    int port;
  } cases[] = {
      {"proxy.example", "proxy.example", 8080}, {"proxy.example:3128", "proxy.example", 3128},
      {"http://proxy:81/", "proxy", 81},        {" 10.0.0.1 ", "10.0.0.1", 8080},
      {"proxy:99999", "proxy:99999", 8080},     {"[::1]:3128", "[::1]", 3128},
      {"[::1]", "[::1]", 8080},                 {"", "", 8080},
  };
  for (const auto& c : cases) {
    std::string host;
    int port = 0;
    SplitProxyServer(c.in, 8080, host, port);
    EXPECT_EQ(host, c.host) << c.in;
    EXPECT_EQ(port, c.port) << c.in;
  }
}

TEST(HttpCredentials, BasicCredentialsAreBase64OfUtf8) {
  EXPECT_EQ(Base64(""), "");
  EXPECT_EQ(Base64("f"), "Zg==");
  EXPECT_EQ(Base64("fo"), "Zm8=");
  EXPECT_EQ(Base64("foo"), "Zm9v");
  EXPECT_EQ(Base64("\xff\xfe\xfd\x00"), "//79");
  EXPECT_EQ(Base64(std::string("\xff\xfe\xfd\x00", 4)), "//79AA==");
  EXPECT_EQ(BasicCredentials("Aladdin", "open sesame"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  EXPECT_EQ(BasicCredentials("proxy user", "p@ss:w\xc3\xb6rd"), "Basic cHJveHkgdXNlcjpwQHNzOnfDtnJk");
}

TEST(HttpHosts, HostsOfThePlatformDomain) {
  EXPECT_EQ(httputil::HttpsHost("https://API.Lumora.example:8443/api?x"), "api.lumora.example");
  EXPECT_EQ(httputil::HttpsHost("https://localhost:41000"), "localhost");
  for (const char* bad : {"http://a.test", "https://", "https://u:p@a.test", "https://a b.test",
                          "ftp://a.test", "a.test"})
    EXPECT_EQ(httputil::HttpsHost(bad), "") << bad;
  EXPECT_EQ(httputil::PlatformDomain("api.lumora.example"), "lumora.example");
  EXPECT_EQ(httputil::PlatformDomain("lumora.example"), "lumora.example");
  EXPECT_EQ(httputil::PlatformDomain("localhost"), "localhost");
  EXPECT_TRUE(httputil::HostInDomains("s1.lumora.example", "lumora.example"));
  EXPECT_TRUE(httputil::HostInDomains("LUMORA.example", "x.test; lumora.example"));
  EXPECT_FALSE(httputil::HostInDomains("evillumora.example", "lumora.example"));
  EXPECT_FALSE(httputil::HostInDomains("lumora.example.evil", "lumora.example"));
  EXPECT_FALSE(httputil::HostInDomains("", "lumora.example"));
  EXPECT_FALSE(httputil::HostInDomains("a.test", ""));
}

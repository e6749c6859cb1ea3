// THTTP against the real local HTTPS servers, under Wine. Started by test_transport_wine.py,
// which runs the servers and CONNECT proxies and passes their addresses in the environment:
//   ORFEDA_DEV_URL      https://localhost:PORT of the main server (TLS 1.2)
//   ORFEDA_LEGACY_URL   https://localhost:PORT of a server offering only TLS 1.0/1.1
//   ORFEDA_UNTRUSTED_URL, ORFEDA_MISMATCH_URL, ORFEDA_EXPIRED_URL, ORFEDA_NOT_YET_VALID_URL
//                       servers presenting a certificate that must be refused
//   ORFEDA_PROXY_PORT, ORFEDA_PROXY_USER, ORFEDA_PROXY_PASSWORD   the CONNECT proxy
//   ORFEDA_CLOSING_PROXY_PORT   the same proxy, closing the connection after its challenge
//   ORFEDA_SLOW_PROXY_PORT      the same proxy, answering each CONNECT after 2 s
#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/win_text.h"
#include "log/log.h"
#include "net/http.h"
#include "net/http_util.h"
#include "net/qdapi_client.h"
#include "state/state.h"

namespace {

// Environment values as UTF-8 (the C runtime's getenv gives the ANSI code page).
std::string Env(const char* name) {
  wchar_t buffer[4096];
  DWORD n = GetEnvironmentVariableW(Widen(name).c_str(), buffer, 4096);
  return n && n < 4096 ? Narrow(std::wstring(buffer, n)) : std::string();
}

std::string Url(const std::string& path) { return Env("ORFEDA_DEV_URL") + path; }

std::string TempPath(const std::string& name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return Narrow(dir) + "orfeda_http_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(Widen(path).c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// Byte k of the servers' test pattern is k % 256.
bool IsPattern(const std::string& data) {
  for (size_t i = 0; i < data.size(); ++i)
    if (static_cast<unsigned char>(data[i]) != i % 256) return false;
  return true;
}

class HttpWine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Env("ORFEDA_DEV_URL").empty()) GTEST_SKIP() << "run by test_transport_wine.py";
    http.setTimeout(15);
  }
  THTTP http;
};

TEST_F(HttpWine, GetReturnsBodyAndHeaders) {
  EXPECT_EQ(http.get(Url("/_test/text?type=application/json&body=%7B%22a%22%3A1%7D")), "{\"a\":1}");
  EXPECT_EQ(http.contentType(), "application/json");
  EXPECT_EQ(http.statusCode(), 200);

  // Header names in any letter case; the last of repeated headers counts.
  http.get(Url("/_test/headers"));
  EXPECT_EQ(http.contentType(), "application/json");
  EXPECT_EQ(http.contentDisposition(), "attachment; filename=\"a.json\"");
}

TEST_F(HttpWine, FormPostAndDeleteCarryTheFormContentType) {
  auto echo = nlohmann::json::parse(http.post(Url("/_test/echo?x=1"), "a=1&b=x%20y&c=%22"));
  EXPECT_EQ(echo["method"], "POST");
  EXPECT_EQ(echo["path"], "/_test/echo?x=1");
  EXPECT_EQ(echo["headers"]["content-type"], "application/x-www-form-urlencoded");
  EXPECT_EQ(echo["body"], "a=1&b=x%20y&c=%22");

  echo = nlohmann::json::parse(http.del(Url("/_test/echo?sid=abc")));
  EXPECT_EQ(echo["method"], "DELETE");
  EXPECT_EQ(echo["headers"]["content-type"], "application/x-www-form-urlencoded");
  EXPECT_EQ(echo["body_length"], 0);

  echo = nlohmann::json::parse(http.get(Url("/_test/echo")));
  EXPECT_EQ(echo["method"], "GET");
  EXPECT_FALSE(echo["headers"].contains("content-type"));
}

TEST_F(HttpWine, DownloadToFileByContentType) {
  struct Case {
    const char* query;
    bool text;
  };
  const Case cases[] = {
      {"/_test/bytes?n=3000000&type=application/zip", false},
      {"/_test/bytes?n=1000&type=application/octet-stream", false},
      {"/_test/noctype?body=abc", false},
      {"/_test/text?type=application/json;%20charset=utf-8&body=%7B%22success%22%3Afalse%7D", true},
      {"/_test/text?type=text/html&body=%3Chtml%3E", true},
  };
  std::string file = TempPath("download.bin");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    std::string result = http.get(Url(c.query), file);
    std::string content = ReadFile(file);
    if (c.text) {
      EXPECT_FALSE(result.empty());
      EXPECT_EQ(result, content);
    } else {
      EXPECT_EQ(result, "");
      EXPECT_FALSE(content.empty());
    }
  }
  // The binary download of the table arrives complete and unchanged.
  http.get(Url("/_test/bytes?n=3000000&type=application/zip"), file);
  std::string zip = ReadFile(file);
  EXPECT_EQ(zip.size(), 3000000u);
  EXPECT_TRUE(IsPattern(zip));

  // A later request through the same transport neither writes to that file nor keeps the
  // earlier answer's state.
  http.get(Url("/_test/text?type=text/plain&body=later"));
  EXPECT_EQ(ReadFile(file), zip);
  EXPECT_EQ(http.contentDisposition(), "");
  DeleteFileW(Widen(file).c_str());
}

TEST_F(HttpWine, ProgressIsReportedUpTo100) {
  std::vector<int> seen;
  http.setProgressListener([&](int p) { seen.push_back(p); });
  std::string file = TempPath("progress.bin");
  http.get(Url("/_test/bytes?n=5000000"), file);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_LE(seen[i - 1], seen[i]);
  DeleteFileW(Widen(file).c_str());
}

TEST_F(HttpWine, AnswerInSeveralChunksIsJoined) {
  std::string body = http.get(Url("/_test/bytes?n=100000&chunks=7&type=text/plain"));
  EXPECT_EQ(body.size(), 100000u);
  EXPECT_TRUE(IsPattern(body));
}

TEST_F(HttpWine, UploadSendsTheFileAsBody) {
  std::string src = TempPath("upload.pdf");
  std::string data;
  for (unsigned i = 0; i < 700000; ++i) data.push_back(static_cast<char>((i * 7919u) % 251u));
  {
    std::ofstream f(Widen(src).c_str(), std::ios::binary);
    f << data;
  }
  auto echo = nlohmann::json::parse(http.post(Url("/_test/echo"), "", src, ""));
  EXPECT_EQ(echo["method"], "POST");
  EXPECT_EQ(echo["body_length"], data.size());
  EXPECT_EQ(echo["headers"]["content-type"], "application/x-www-form-urlencoded");

  // With a file for the answer as well.
  std::string dest = TempPath("upload-answer.json");
  std::string answer = http.post(Url("/_test/echo"), "", src, dest);
  EXPECT_EQ(answer, ReadFile(dest));
  EXPECT_EQ(nlohmann::json::parse(answer)["body_length"], data.size());
  DeleteFileW(Widen(src).c_str());
  DeleteFileW(Widen(dest).c_str());
}

TEST_F(HttpWine, RedirectAndErrorStatusesAreReturnedNotFollowed) {
  EXPECT_EQ(http.get(Url("/_test/redirect")), "redirect body");
  EXPECT_EQ(http.statusCode(), 302);

  auto body = nlohmann::json::parse(http.get(Url("/_test/status?code=404")));
  EXPECT_EQ(http.statusCode(), 404);
  EXPECT_EQ(body["success"], false);
}

TEST_F(HttpWine, FailuresRaiseWithAMessageAndClearTheState) {
  http.get(Url("/_test/text?type=application/json&body=%7B%7D"));
  ASSERT_EQ(http.contentType(), "application/json");

  // Nothing listens on port 1.
  try {
    http.get("https://localhost:1/qdapi/auth/");
    FAIL() << "no error raised";
  } catch (const EHTTPError& e) {
    EXPECT_NE(std::string(e.what()).find("WinHTTP error"), std::string::npos) << e.what();
  }
  EXPECT_EQ(http.lastResponse(), "");
  EXPECT_EQ(http.contentType(), "");
  EXPECT_NE(http.lastErrorCode(), 0);

  // Plain HTTP is refused before anything is sent.
  EXPECT_THROW(http.get("http://localhost:1/"), EHTTPError);
}

// Status of a GET with WinHTTP's default protocol settings; 0 when it fails.
DWORD PlainWinHttpGet(const std::wstring& host, INTERNET_PORT port, const wchar_t* path) {
  HINTERNET s = WinHttpOpen(L"control", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
  HINTERNET c = WinHttpConnect(s, host.c_str(), port, 0);
  HINTERNET r = WinHttpOpenRequest(c, L"GET", path, nullptr, nullptr, nullptr, WINHTTP_FLAG_SECURE);
  DWORD status = 0, size = sizeof(status);
  if (WinHttpSendRequest(r, nullptr, 0, nullptr, 0, 0, 0) && WinHttpReceiveResponse(r, nullptr))
    WinHttpQueryHeaders(r, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &status,
                        &size, nullptr);
  WinHttpCloseHandle(r);
  WinHttpCloseHandle(c);
  WinHttpCloseHandle(s);
  return status;
}

TEST_F(HttpWine, ServerWithoutTls12IsRefused) {
  const std::string legacy = Env("ORFEDA_LEGACY_URL");
  ASSERT_FALSE(legacy.empty());
  // The server itself works: a client that allows TLS 1.0/1.1 gets an answer from it.
  INTERNET_PORT port = static_cast<INTERNET_PORT>(std::atoi(legacy.substr(legacy.rfind(':') + 1).c_str()));
  ASSERT_EQ(PlainWinHttpGet(L"localhost", port, L"/_test/echo"), 200u);
  try {
    http.get(Env("ORFEDA_LEGACY_URL") + "/_test/echo");
    FAIL() << "a TLS 1.0/1.1 server was accepted";
  } catch (const EHTTPError& e) {
    SUCCEED() << e.what();
  }
}

TEST_F(HttpWine, EachWaitIsBoundedByTheTimeout) {
  http.setTimeout(1);
  try {
    http.get(Url("/_test/slow?delay=4"));
    FAIL() << "no time-out";
  } catch (const EHTTPError& e) {
    EXPECT_NE(std::string(e.what()).find("timed out"), std::string::npos) << e.what();
  }
}

TEST_F(HttpWine, BrokenDownloadLeavesNoFile) {
  std::string file = TempPath("broken.zip");
  {
    std::ofstream f(Widen(file).c_str(), std::ios::binary);
    f << "stale";
  }
  EXPECT_THROW(http.get(Url("/_test/bytes?n=4000000&cut=1500000&type=application/zip"), file),
               EHTTPError);
  EXPECT_FALSE(PathExists(file));
}

TEST_F(HttpWine, InterruptEndsARunningRequest) {
  std::atomic<bool> done{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    http.Interrupt();
    done = true;
  });
  try {
    http.get(Url("/_test/slow?delay=3"));
    ADD_FAILURE() << "the request was not interrupted";
  } catch (const EHTTPError& e) {
    EXPECT_NE(std::string(e.what()).find("cancelled"), std::string::npos) << e.what();
  }
  stopper.join();
  // The transport serves the next request normally.
  EXPECT_EQ(http.get(Url("/_test/text?body=again")), "again");
}

std::string ProxyAddress(const char* portVariable) { return "127.0.0.1:" + Env(portVariable); }

// Run before any tunnel through the proxies exists: Wine keeps an open tunnel for the next
// request through the same proxy, whatever its credentials.
TEST_F(HttpWine, ProxyAskingForCredentialsEndsTheRequestWithTheReason) {
  ASSERT_FALSE(Env("ORFEDA_PROXY_PORT").empty());
  struct Case {
    const char* proxyPort;  // variable
    const char* user;
    const char* password;
  } cases[] = {
      // A proxy that keeps the connection open for the answer to its challenge, and one that
      // closes it.
      {"ORFEDA_PROXY_PORT", "", ""},
      {"ORFEDA_PROXY_PORT", "ORFEDA_PROXY_USER", "wrong"},
      {"ORFEDA_CLOSING_PROXY_PORT", "", ""},
      {"ORFEDA_CLOSING_PROXY_PORT", "ORFEDA_PROXY_USER", "wrong"},
  };
  for (const auto& c : cases) {
    const std::string user = *c.user ? Env(c.user) : "";
    SCOPED_TRACE(std::string(c.proxyPort) + " user \"" + user + "\"");
    THTTP proxied;
    // Where the proxy keeps the connection open, Wine tries the TLS handshake with it and
    // fails only when the wait runs out.
    proxied.setTimeout(2);
    proxied.setProxyServer(ProxyAddress(c.proxyPort));
    proxied.setProxyUsername(user);
    proxied.setProxyPassword(c.password);
    try {
      proxied.get(Url("/_test/echo?via=refused"));
      ADD_FAILURE() << "answered: " << proxied.lastResponse();
    } catch (const EHTTPError& e) {
      EXPECT_EQ(std::string(e.what()),
                httputil::ProxyAuthenticationFailure(ProxyAddress(c.proxyPort), !user.empty()));
      EXPECT_EQ(proxied.lastErrorText(), e.what());
    }
    EXPECT_EQ(proxied.lastResponse(), "");
  }
}

// What the program's log says about these failures: the client's line with the transport's
// reason.
TEST_F(HttpWine, ClientsLogTheReasonOfAFailedRequest) {
  const std::string logFile = TempPath("setup.log");
  SetupLog = TLog::CreateClean(logFile);
  struct Case {
    std::string server;
    std::string proxy;
    std::string expected;  // the whole message after the client's prefix
  } cases[] = {
      {Url(""), ProxyAddress("ORFEDA_CLOSING_PROXY_PORT"),
       httputil::ProxyAuthenticationFailure(ProxyAddress("ORFEDA_CLOSING_PROXY_PORT"), false)},
      // Wine names no reason for a refused certificate (see below): its secure channel error.
      {Env("ORFEDA_UNTRUSTED_URL"), "", httputil::WinHttpErrorText(12157)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server);
    TQDAPIClient client(MakeHttpsTransport(), c.server, kQDAPIKey);
    if (!c.proxy.empty()) client.setProxyServer(c.proxy);
    EXPECT_FALSE(client.auth_Key());
    EXPECT_EQ(client.lastErrorMsg(), c.expected);
    std::string log = ReadFile(logFile);
    EXPECT_NE(log.find("TQDAPIClient: http post exception in auth_Key: " + c.expected + "\r\n"),
              std::string::npos)
        << log;
  }
  delete SetupLog;
  SetupLog = nullptr;
  DeleteFileW(Widen(logFile).c_str());
}

TEST_F(HttpWine, RefusedCertificatesEndTheRequest) {
  struct Case {
    const char* server;  // variable
    const char* reason;  // named when the system reports the certificate's problem
  } cases[] = {
      {"ORFEDA_UNTRUSTED_URL", "untrusted root"},
      {"ORFEDA_MISMATCH_URL", "name mismatch"},
      {"ORFEDA_EXPIRED_URL", "expired or not yet valid"},
      {"ORFEDA_NOT_YET_VALID_URL", "expired or not yet valid"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server);
    ASSERT_FALSE(Env(c.server).empty());
    try {
      http.get(Env(c.server) + "/_test/echo");
      ADD_FAILURE() << "the certificate was accepted";
    } catch (const EHTTPError& e) {
      const std::string message = e.what();
      std::printf("%s: %s\n", c.server, message.c_str());
      if (message.find(". Reason: ") != std::string::npos) {
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
      } else {
        // Wine 8 judges the certificate but reports neither the secure-failure flags nor the
        // specific error: every refused certificate ends as its secure channel error.
        EXPECT_EQ(http.lastErrorCode(), 12157) << message;
        EXPECT_EQ(message, httputil::WinHttpErrorText(12157));
      }
    }
  }
}

// An interruption while a tunnel is being opened ends the request once the tunnel stands;
// the credentials, on the request for the CONNECT, are off it before anything goes through
// the tunnel (test_transport_wine.py looks at what the server received).
TEST_F(HttpWine, InterruptWhileTheTunnelIsOpened) {
  http.setProxyServer(ProxyAddress("ORFEDA_SLOW_PROXY_PORT"));
  http.setProxyUsername(Env("ORFEDA_PROXY_USER"));
  http.setProxyPassword(Env("ORFEDA_PROXY_PASSWORD"));
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    http.Interrupt();
  });
  try {
    http.get(Url("/_test/echo?via=interrupted"));
    ADD_FAILURE() << "the request was not interrupted: " << http.lastResponse();
  } catch (const EHTTPError& e) {
    EXPECT_NE(std::string(e.what()).find("cancelled"), std::string::npos) << e.what();
  }
  stopper.join();
}

TEST_F(HttpWine, ManualProxyWithBasicCredentials) {
  ASSERT_FALSE(Env("ORFEDA_PROXY_PORT").empty());
  http.setProxyServer("127.0.0.1");
  http.setProxyPort(std::atoi(Env("ORFEDA_PROXY_PORT").c_str()));
  http.setProxyUsername(Env("ORFEDA_PROXY_USER"));
  http.setProxyPassword(Env("ORFEDA_PROXY_PASSWORD"));
  auto echo = nlohmann::json::parse(http.get(Url("/_test/echo?via=proxy")));
  EXPECT_EQ(echo["path"], "/_test/echo?via=proxy");
  // The proxy's credentials went to the proxy alone; the server never sees them, also not
  // over the tunnel kept open for the next requests.
  EXPECT_FALSE(echo["headers"].contains("proxy-authorization")) << echo.dump();
  echo = nlohmann::json::parse(http.post(Url("/_test/echo?via=proxy&n=2"), "a=1"));
  EXPECT_EQ(echo["body"], "a=1");
  EXPECT_FALSE(echo["headers"].contains("proxy-authorization")) << echo.dump();
  // A second transport opens a tunnel of its own or takes the one left open.
  THTTP other;
  other.setProxyServer("127.0.0.1:" + Env("ORFEDA_PROXY_PORT"));
  other.setProxyUsername(Env("ORFEDA_PROXY_USER"));
  other.setProxyPassword(Env("ORFEDA_PROXY_PASSWORD"));
  echo = nlohmann::json::parse(other.get(Url("/_test/echo?via=proxy&n=3")));
  EXPECT_FALSE(echo["headers"].contains("proxy-authorization")) << echo.dump();
  // Uploads and downloads through the tunnel as well.
  std::string file = TempPath("proxy.bin");
  EXPECT_EQ(http.get(Url("/_test/bytes?n=2000000&type=application/zip&via=proxy"), file), "");
  EXPECT_EQ(ReadFile(file).size(), 2000000u);
  DeleteFileW(Widen(file).c_str());
}

TEST_F(HttpWine, AutoDetectionWithNoProxyConfiguredGoesDirect) {
  http.setProxyAutoDetect(true);
  auto echo = nlohmann::json::parse(http.get(Url("/_test/echo?via=auto")));
  EXPECT_EQ(echo["path"], "/_test/echo?via=auto");
}

}  // namespace

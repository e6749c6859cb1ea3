#include "net/http.h"

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "base/errors.h"
#include "base/handles.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "net/http_util.h"

namespace {

void CloseInternet(HINTERNET h) { WinHttpCloseHandle(h); }
using UniqueInternet = UniqueAny<handles_detail::Traits<HINTERNET, CloseInternet>>;

constexpr wchar_t kFormContentType[] = L"Content-Type: application/x-www-form-urlencoded\r\n";
constexpr DWORD kUploadChunk = 256 * 1024;

// Socket errors that some WinHTTP implementations pass through, as WinHTTP's own codes.
DWORD NormalizeError(DWORD code) {
  switch (code) {
    case WSAETIMEDOUT: return ERROR_WINHTTP_TIMEOUT;
    case WSAECONNREFUSED:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH: return ERROR_WINHTTP_CANNOT_CONNECT;
    case WSAECONNRESET:
    case WSAECONNABORTED: return ERROR_WINHTTP_CONNECTION_ERROR;
    default: return code;
  }
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

const wchar_t* SendHeaders(const std::wstring& headers) {
  return headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str();
}

// Text of a failed WinHTTP or system call.
std::string ErrorTextOf(DWORD code) {
  std::string t = httputil::WinHttpErrorText(code);
  if (!t.empty()) return t;
  std::string sys = SystemErrorText(code);
  if (sys.empty()) sys = "System error";
  return sys + " (error " + std::to_string(code) + ")";
}

// The proxy a request goes through; empty proxy means direct.
struct ProxyChoice {
  std::wstring proxy;   // "host:port" or WinHTTP's per-scheme list
  std::wstring bypass;  // may be empty
  bool automatic = false;
};

// Frees the strings WinHTTP hands out with GlobalAlloc.
struct GlobalString {
  LPWSTR p = nullptr;
  ~GlobalString() {
    if (p) GlobalFree(p);
  }
  std::wstring str() const { return p ? std::wstring(p) : std::wstring(); }
};

enum class Body { None, Text, File };

struct RequestSpec {
  RequestSpec(const wchar_t* m, std::string u, bool form = false)
      : method(m), url(std::move(u)), formContentType(form) {}
  const wchar_t* method;
  std::string url;
  bool formContentType = false;
  Body body = Body::None;
  std::string bodyText;      // Body::Text
  std::string srcFile;       // Body::File
  std::string destFile;      // answer to this file when not empty
  std::string extraHeaders;  // further request headers, "Name: value\r\n" lines
  // A streamed answer: its head, then its body unless it is text.
  const std::function<void(const StreamHead&)>* onHead = nullptr;
  const IHttpTransport::BodyChunk* onData = nullptr;
};

namespace sf = httputil::secure_failure;
static_assert(WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED == sf::kRevocationFailed &&
                  WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CERT == sf::kInvalidCertificate &&
                  WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED == sf::kRevoked &&
                  WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA == sf::kUntrustedRoot &&
                  WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID == sf::kNameMismatch &&
                  WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID == sf::kDateInvalid &&
                  WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE == sf::kWrongUsage &&
                  WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR == sf::kChannelError,
              "the portable secure-failure bits are WinHTTP's");

}  // namespace

struct THTTP::Impl {
  UniqueInternet session;
  int timeoutMs = 60000;
  ProgressListener listener;

  // Answer state of the current or last request.
  std::string responseText;
  std::string contentType;
  std::string contentDisposition;
  std::string contentRange;
  std::string errorText;
  int errorCode = 0;
  int status = 0;

  // Proxy settings.
  bool autoDetect = false;
  std::string proxyUser;
  std::string proxyPassword;
  std::string proxyServer;
  int proxyPort = 80;
  // Result of automatic detection for the last host asked about.
  std::wstring autoHost;
  ProxyChoice autoChoice;

  // Cancellation: the running request's handle, guarded by mu.
  std::mutex mu;
  std::condition_variable idle;
  HINTERNET active = nullptr;
  bool busy = false;
  bool cancelled = false;

  std::vector<char> buffer;

  // What WinHTTP tells about the running request through its status callback. Lives on the
  // stack of Perform, longer than the request's handle.
  struct Watch {
    Impl* impl = nullptr;
    // "Proxy-Authorization: ..." for the CONNECT of a new tunnel (under Wine), else empty.
    std::wstring connectCredentials;
    // The header is on the request: from the start of a new connection until the tunnel
    // stands. Guarded by mu.
    bool credentialsOnRequest = false;
    // Credentials went to the proxy, on the CONNECT or in answer to its challenge.
    bool credentialsOffered = false;
    // Certificate problems reported with a secure failure.
    DWORD secureFailure = 0;
  };
  Watch* activeWatch = nullptr;  // guarded by mu

  std::string Perform(const RequestSpec& req);
  static void CALLBACK OnStatus(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID info,
                                DWORD length);

 private:
  struct OpenedRequest;
  struct Upload;
  // The steps of Perform, in order.
  OpenedRequest OpenRequest(const RequestSpec& req);
  std::wstring RequestHeaders(const RequestSpec& req, const OpenedRequest& opened, Watch& watch);
  Upload OpenUpload(const RequestSpec& req);
  void Send(HINTERNET request, const RequestSpec& req, const std::wstring& headers,
            Upload& upload, Watch& watch);
  // Raises the error of a failed send or receive: a proxy that wants credentials, a named
  // certificate problem, or WinHTTP's error.
  [[noreturn]] void FailRequest(DWORD code, HINTERNET request, const Watch& watch);
  [[noreturn]] void FailProxyAuthentication(const Watch& watch, DWORD code);
  // True when a proxy asked for credentials and they were set: the request goes again.
  bool AnswerProxyChallenge(const OpenedRequest& opened, Watch& watch);
  // Takes content type and disposition; returns the announced length (0 when unknown).
  uint64_t ReadAnswerHeaders(HINTERNET request);
  void ReadBody(HINTERNET request, const RequestSpec& req, uint64_t total, bool keepText);
  [[noreturn]] void Fail(DWORD code, const std::string& context = "");
  bool IsCancelled() {
    std::lock_guard lock(mu);
    return cancelled;
  }
  ProxyChoice ChooseProxy(const std::wstring& url, const std::wstring& host);
 public:
  void OpenSession(const ProxyChoice& proxy);
  std::wstring sessionProxy, sessionBypass;
 private:
  ProxyChoice DetectProxy(const std::wstring& url);
  void Report(int percent, int& last) {
    if (listener && percent != last) {
      last = percent;
      listener(percent);
    }
  }
};

void THTTP::Impl::Fail(DWORD code, const std::string& context) {
  code = IsCancelled() ? ERROR_WINHTTP_OPERATION_CANCELLED : NormalizeError(code);
  errorCode = static_cast<int>(code);
  errorText = ErrorTextOf(code);
  throw EHTTPError(context.empty() ? errorText : context + ": " + errorText);
}

ProxyChoice THTTP::Impl::DetectProxy(const std::wstring& url) {
  ProxyChoice choice;
  choice.automatic = true;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
  GlobalString autoUrl, manual, bypass;
  if (WinHttpGetIEProxyConfigForCurrentUser(&ie)) {
    autoUrl.p = ie.lpszAutoConfigUrl;
    manual.p = ie.lpszProxy;
    bypass.p = ie.lpszProxyBypass;
  } else {
    ie.fAutoDetect = TRUE;  // no user settings: try WPAD
  }

  auto tryScript = [&](DWORD flags, const wchar_t* scriptUrl) -> bool {
    WINHTTP_AUTOPROXY_OPTIONS opts{};
    opts.dwFlags = flags;
    if (flags & WINHTTP_AUTOPROXY_AUTO_DETECT)
      opts.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    opts.lpszAutoConfigUrl = scriptUrl;
    opts.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetProxyForUrl(session.get(), url.c_str(), &opts, &info)) return false;
    GlobalString p{info.lpszProxy}, b{info.lpszProxyBypass};
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && p.p) {
      choice.proxy = p.str();
      choice.bypass = b.str();
    }
    return true;
  };

  bool found = false;
  if (autoUrl.p) found = tryScript(WINHTTP_AUTOPROXY_CONFIG_URL, autoUrl.p);
  if (!found && ie.fAutoDetect) found = tryScript(WINHTTP_AUTOPROXY_AUTO_DETECT, nullptr);
  if (!found && manual.p && *manual.p) {
    choice.proxy = manual.str();
    choice.bypass = bypass.str();
  }
  return choice;
}

ProxyChoice THTTP::Impl::ChooseProxy(const std::wstring& url, const std::wstring& host) {
  if (autoDetect) {
    if (autoHost != host || autoHost.empty()) {
      autoChoice = DetectProxy(url);
      autoHost = host;
    }
    return autoChoice;
  }
  ProxyChoice choice;
  if (!proxyServer.empty()) {
    std::string h;
    int port = proxyPort;
    httputil::SplitProxyServer(proxyServer, proxyPort, h, port);
    if (!h.empty()) choice.proxy = Widen(h + ":" + std::to_string(port));
  }
  return choice;
}

void THTTP::Impl::OpenSession(const ProxyChoice& proxy) {
  if (session && proxy.proxy == sessionProxy && proxy.bypass == sessionBypass) return;
  UniqueInternet fresh(
      proxy.proxy.empty()
          ? WinHttpOpen(L"OrfedaSetup/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                        WINHTTP_NO_PROXY_BYPASS, 0)
          : WinHttpOpen(L"OrfedaSetup/1.0", WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.proxy.c_str(),
                        proxy.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy.bypass.c_str(), 0));
  if (!fresh) Fail(GetLastError(), "Cannot open an HTTP session");
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  if (!WinHttpSetOption(fresh.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols)))
    Fail(GetLastError(), "Cannot restrict the session to TLS 1.2");
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(fresh.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never));
  WinHttpSetTimeouts(fresh.get(), timeoutMs, timeoutMs, timeoutMs, timeoutMs);
  session = std::move(fresh);
  sessionProxy = proxy.proxy;
  sessionBypass = proxy.bypass;
}

// A request opened on its connection, with the proxy chosen for it.
struct THTTP::Impl::OpenedRequest {
  UniqueInternet connection;
  UniqueInternet request;
  ProxyChoice proxy;
};

THTTP::Impl::OpenedRequest THTTP::Impl::OpenRequest(const RequestSpec& req) {
  std::wstring wurl = Widen(req.url);
  URL_COMPONENTS uc{};
  uc.dwStructSize = sizeof(uc);
  uc.dwSchemeLength = uc.dwHostNameLength = uc.dwUrlPathLength = uc.dwExtraInfoLength = DWORD(-1);
  if (!WinHttpCrackUrl(wurl.c_str(), static_cast<DWORD>(wurl.size()), 0, &uc))
    Fail(GetLastError(), "Invalid address \"" + req.url + "\"");
  if (uc.nScheme != INTERNET_SCHEME_HTTPS)
    throw EHTTPError("Only HTTPS addresses are allowed: \"" + req.url + "\"");
  std::wstring host(uc.lpszHostName, uc.dwHostNameLength);
  std::wstring path(uc.lpszUrlPath, uc.dwUrlPathLength);
  path.append(uc.lpszExtraInfo, uc.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  OpenedRequest opened;
  // The proxy belongs to the session (the form every WinHTTP implementation honours); the
  // session is reopened only when the proxy to use changes.
  opened.proxy = ChooseProxy(wurl, host);
  OpenSession(opened.proxy);

  opened.connection.reset(WinHttpConnect(session.get(), host.c_str(), uc.nPort, 0));
  if (!opened.connection) Fail(GetLastError(), "Cannot connect to " + Narrow(host));
  opened.request.reset(WinHttpOpenRequest(opened.connection.get(), req.method, path.c_str(),
                                          nullptr, WINHTTP_NO_REFERER,
                                          WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  if (!opened.request) Fail(GetLastError());
  HINTERNET request = opened.request.get();

  // Redirects are never followed: a redirect answer is returned like any other.
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never));
  DWORD disable = WINHTTP_DISABLE_REDIRECTS;
  WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof(disable));
  WinHttpSetTimeouts(request, timeoutMs, timeoutMs, timeoutMs, timeoutMs);
  // The wait for the answer's headers has a time-out of its own (90 s unless set).
  DWORD headerWait = static_cast<DWORD>(timeoutMs);
  WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headerWait,
                   sizeof(headerWait));
  return opened;
}

std::wstring THTTP::Impl::RequestHeaders(const RequestSpec& req, const OpenedRequest& opened,
                                         Watch& watch) {
  std::wstring headers = req.formContentType ? kFormContentType : L"";
  headers += Widen(req.extraHeaders);
  DWORD notifications = WINHTTP_CALLBACK_FLAG_SECURE_FAILURE;
  // A manually given proxy takes Basic credentials from the start.
  if (!opened.proxy.proxy.empty() && !opened.proxy.automatic && !proxyUser.empty()) {
    WinHttpSetCredentials(opened.request.get(), WINHTTP_AUTH_TARGET_PROXY,
                          WINHTTP_AUTH_SCHEME_BASIC, Widen(proxyUser).c_str(),
                          Widen(proxyPassword).c_str(), nullptr);
    // Wine's WinHTTP neither sends proxy credentials on CONNECT nor reports the proxy's 407
    // for it; it sends the request's own headers on CONNECT, and the same headers again
    // inside the tunnel to the server. So the credentials go on the request only while a new
    // connection is made (the tunnel's CONNECT) and come off it once the tunnel stands,
    // before the request itself is written: the server never sees them. A request over a
    // tunnel that is already open carries no credentials at all.
    if (RunningUnderWine()) {
      watch.connectCredentials =
          L"Proxy-Authorization: " + Widen(httputil::BasicCredentials(proxyUser, proxyPassword));
      notifications |= WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER;
    }
  }
  if (WinHttpSetStatusCallback(opened.request.get(), &Impl::OnStatus, notifications, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK)
    Fail(GetLastError(), "Cannot watch the request");
  return headers;
}

void CALLBACK THTTP::Impl::OnStatus(HINTERNET request, DWORD_PTR context, DWORD status,
                                    LPVOID info, DWORD length) {
  auto* watch = reinterpret_cast<Watch*>(context);
  if (!watch) return;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SECURE_FAILURE:
      if (info && length >= sizeof(DWORD)) watch->secureFailure |= *static_cast<DWORD*>(info);
      break;
    case WINHTTP_CALLBACK_STATUS_CONNECTING_TO_SERVER: {
      if (watch->connectCredentials.empty()) break;
      std::lock_guard lock(watch->impl->mu);
      if (watch->impl->cancelled) break;
      const std::wstring line = watch->connectCredentials + L"\r\n";
      if (WinHttpAddRequestHeaders(request, line.c_str(), DWORD(-1),
                                   WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
        watch->credentialsOnRequest = true;
        watch->credentialsOffered = true;
      }
      break;
    }
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER: {
      std::lock_guard lock(watch->impl->mu);
      if (!watch->credentialsOnRequest) break;
      // A header with no value removes the header.
      WinHttpAddRequestHeaders(request, L"Proxy-Authorization:", DWORD(-1),
                               WINHTTP_ADDREQ_FLAG_REPLACE);
      watch->credentialsOnRequest = false;
      // An interruption that came while the credentials were on the request closes it now
      // (see Interrupt).
      Impl* impl = watch->impl;
      if (impl->cancelled && impl->active == request) {
        WinHttpCloseHandle(impl->active);
        impl->active = nullptr;
      }
      break;
    }
    default:
      break;
  }
}

// The body to send: the file to upload, opened and measured, or nothing.
struct THTTP::Impl::Upload {
  UniqueFile file;
  uint64_t size = 0;
};

THTTP::Impl::Upload THTTP::Impl::OpenUpload(const RequestSpec& req) {
  Upload upload;
  if (req.body == Body::File) {
    upload.file.reset(CreateFileW(Widen(req.srcFile).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!upload.file) Fail(GetLastError(), "Cannot open \"" + req.srcFile + "\"");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(upload.file.get(), &size))
      Fail(GetLastError(), "Cannot read \"" + req.srcFile + "\"");
    upload.size = static_cast<uint64_t>(size.QuadPart);
    if (upload.size > 0xFFFFFFFEull)
      throw EHTTPError("The file \"" + req.srcFile + "\" is too large to upload");
  }
  if (req.body == Body::Text && req.bodyText.size() > 0xFFFFFFFEull)
    throw EHTTPError("The request body is too large");
  return upload;
}

void THTTP::Impl::Send(HINTERNET request, const RequestSpec& req, const std::wstring& headers,
                       Upload& upload, Watch& watch) {
  const auto context = reinterpret_cast<DWORD_PTR>(&watch);
  int lastPercent = -1;
  if (req.body == Body::File) {
    LARGE_INTEGER zero{};
    SetFilePointerEx(upload.file.get(), zero, nullptr, FILE_BEGIN);
    if (!WinHttpSendRequest(request, SendHeaders(headers), DWORD(-1), WINHTTP_NO_REQUEST_DATA, 0,
                            static_cast<DWORD>(upload.size), context))
      FailRequest(GetLastError(), request, watch);
    std::vector<char> chunk(kUploadChunk);
    uint64_t sent = 0;
    while (sent < upload.size) {
      DWORD want = static_cast<DWORD>(std::min<uint64_t>(kUploadChunk, upload.size - sent));
      DWORD got = 0;
      if (!ReadFile(upload.file.get(), chunk.data(), want, &got, nullptr))
        Fail(GetLastError(), "Cannot read \"" + req.srcFile + "\"");
      if (got == 0) throw EHTTPError("The file \"" + req.srcFile + "\" changed while it was sent");
      DWORD written = 0;
      if (!WinHttpWriteData(request, chunk.data(), got, &written))
        FailRequest(GetLastError(), request, watch);
      sent += got;
      Report(httputil::PercentDone(sent, upload.size), lastPercent);
    }
  } else {
    LPVOID data = req.body == Body::Text && !req.bodyText.empty()
                      ? const_cast<char*>(req.bodyText.data())
                      : WINHTTP_NO_REQUEST_DATA;
    DWORD len = req.body == Body::Text ? static_cast<DWORD>(req.bodyText.size()) : 0;
    if (!WinHttpSendRequest(request, SendHeaders(headers), DWORD(-1), data, len, len, context))
      FailRequest(GetLastError(), request, watch);
    if (len) Report(100, lastPercent);
  }
  if (!WinHttpReceiveResponse(request, nullptr)) FailRequest(GetLastError(), request, watch);
  DWORD code = 0, size = sizeof(code);
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX))
    Fail(GetLastError());
  status = static_cast<int>(code);
}

void THTTP::Impl::FailRequest(DWORD code, HINTERNET request, const Watch& watch) {
  if (!IsCancelled()) {
    // A proxy that answered the tunnel's CONNECT with 407 leaves its challenge on the request
    // even where the failure itself does not say so (Wine goes on to the TLS handshake with
    // the proxy, which fails or waits out the time-out).
    DWORD schemes = 0, first = 0, target = 0;
    if (!sessionProxy.empty() && WinHttpQueryAuthSchemes(request, &schemes, &first, &target) &&
        target == WINHTTP_AUTH_TARGET_PROXY)
      FailProxyAuthentication(watch, code);
    if (watch.secureFailure) {
      code = NormalizeError(code);
      errorCode = static_cast<int>(code);
      errorText = httputil::WithSecureFailureReason(ErrorTextOf(code), watch.secureFailure);
      throw EHTTPError(errorText);
    }
  }
  Fail(code);
}

void THTTP::Impl::FailProxyAuthentication(const Watch& watch, DWORD code) {
  errorCode = static_cast<int>(code ? NormalizeError(code) : ERROR_WINHTTP_LOGIN_FAILURE);
  errorText = httputil::ProxyAuthenticationFailure(Narrow(sessionProxy), watch.credentialsOffered);
  throw EHTTPError(errorText);
}

bool THTTP::Impl::AnswerProxyChallenge(const OpenedRequest& opened, Watch& watch) {
  if (status != HTTP_STATUS_PROXY_AUTH_REQ || opened.proxy.proxy.empty()) return false;
  // A challenge that cannot be answered, or that was answered already, ends the request.
  if (proxyUser.empty() || watch.credentialsOffered) FailProxyAuthentication(watch, 0);
  watch.credentialsOffered = true;
  // Answer once with the strongest scheme the proxy offers.
  DWORD schemes = 0, first = 0, target = 0;
  DWORD scheme = WINHTTP_AUTH_SCHEME_BASIC;
  if (WinHttpQueryAuthSchemes(opened.request.get(), &schemes, &first, &target)) {
    for (DWORD s : {WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM,
                    WINHTTP_AUTH_SCHEME_DIGEST, WINHTTP_AUTH_SCHEME_BASIC})
      if (schemes & s) {
        scheme = s;
        break;
      }
  }
  return WinHttpSetCredentials(opened.request.get(), WINHTTP_AUTH_TARGET_PROXY, scheme,
                               Widen(proxyUser).c_str(), Widen(proxyPassword).c_str(),
                               nullptr) != FALSE;
}

uint64_t THTTP::Impl::ReadAnswerHeaders(HINTERNET request) {
  DWORD rawSize = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &rawSize, WINHTTP_NO_HEADER_INDEX);
  std::string raw;
  if (rawSize) {
    std::wstring wraw(rawSize / sizeof(wchar_t) + 1, L'\0');
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                            wraw.data(), &rawSize, WINHTTP_NO_HEADER_INDEX)) {
      wraw.resize(rawSize / sizeof(wchar_t));
      raw = Narrow(wraw);
    }
  }
  contentType = httputil::HeaderValue(raw, "Content-Type");
  contentDisposition = httputil::HeaderValue(raw, "Content-Disposition");
  contentRange = httputil::HeaderValue(raw, "Content-Range");
  const std::string len = httputil::HeaderValue(raw, "Content-Length");
  if (!len.empty() && len.size() < 20 && len.find_first_not_of("0123456789") == std::string::npos)
    return std::stoull(len);
  return 0;
}

void THTTP::Impl::ReadBody(HINTERNET request, const RequestSpec& req, uint64_t total,
                           bool keepText) {
  // The answer's file is created only once an answer has arrived; a failure while the body
  // is read removes it again, so no partial file is ever left under the name.
  UniqueFile out;
  std::wstring wdest = Widen(req.destFile);
  bool fileDone = false;
  ScopeExit dropPartial([&] {
    if (out) {
      out.reset();
      if (!fileDone) DeleteFileW(wdest.c_str());
    }
  });
  if (!req.destFile.empty()) {
    out.reset(CreateFileW(wdest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) Fail(GetLastError(), "Cannot create \"" + req.destFile + "\"");
  }

  if (buffer.size() != kReadBufferSize) buffer.assign(kReadBufferSize, 0);
  uint64_t received = 0;
  int lastPercent = -1;
  for (;;) {
    if (IsCancelled()) Fail(ERROR_WINHTTP_OPERATION_CANCELLED);
    DWORD got = 0;
    if (!WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got))
      Fail(GetLastError());
    if (got == 0) break;
    received += got;
    if (keepText) {
      if (responseText.size() + got > kMaxTextAnswer)
        throw EHTTPError("The server's answer is too large (more than " +
                         std::to_string(kMaxTextAnswer / (1024 * 1024)) + " MB of text)");
      responseText.append(buffer.data(), got);
    }
    if (out) {
      DWORD written = 0;
      if (!WriteFile(out.get(), buffer.data(), got, &written, nullptr) || written != got)
        Fail(GetLastError(), "Cannot write \"" + req.destFile + "\"");
    }
    if (req.onData && !keepText) (*req.onData)(buffer.data(), got);
    if (total) Report(httputil::PercentDone(received, total), lastPercent);
  }
  if (total && received < total)
    throw EHTTPError("The connection was closed before the whole answer arrived (" +
                     std::to_string(received) + " of " + std::to_string(total) + " bytes)");
  if (out) {
    HANDLE h = out.release();
    BOOL closed = CloseHandle(h);
    if (!closed) {
      DWORD err = GetLastError();
      DeleteFileW(wdest.c_str());
      Fail(err, "Cannot write \"" + req.destFile + "\"");
    }
  }
  fileDone = true;
  Report(100, lastPercent);
}

std::string THTTP::Impl::Perform(const RequestSpec& req) {
  responseText.clear();
  contentType.clear();
  contentDisposition.clear();
  contentRange.clear();
  errorText.clear();
  errorCode = 0;
  status = 0;
  {
    std::lock_guard lock(mu);
    busy = true;
    cancelled = false;
  }
  ScopeExit leave([this] {
    std::lock_guard lock(mu);
    busy = false;
    idle.notify_all();
  });

  // Declared before the request's handle, so that it outlives every status callback.
  Watch watch;
  watch.impl = this;
  OpenedRequest opened = OpenRequest(req);
  const std::wstring headers = RequestHeaders(req, opened, watch);

  bool stop;
  {
    std::lock_guard lock(mu);
    stop = cancelled;
    if (!stop) {
      active = opened.request.get();
      activeWatch = &watch;
    }
  }
  if (stop) Fail(ERROR_WINHTTP_OPERATION_CANCELLED);
  // Interrupt() closes the handle itself; then it must not be closed again here.
  ScopeExit unregister([this, &opened] {
    std::lock_guard lock(mu);
    if (active == nullptr) opened.request.release();
    active = nullptr;
    activeWatch = nullptr;
  });

  Upload upload = OpenUpload(req);
  Send(opened.request.get(), req, headers, upload, watch);
  if (AnswerProxyChallenge(opened, watch))
    Send(opened.request.get(), req, headers, upload, watch);
  if (status == HTTP_STATUS_PROXY_AUTH_REQ && !opened.proxy.proxy.empty())
    FailProxyAuthentication(watch, 0);

  const uint64_t total = ReadAnswerHeaders(opened.request.get());
  const bool toFile = !req.destFile.empty() || req.onData;
  const bool keepText = !toFile || httputil::IsTextContentType(contentType);
  if (req.onHead) {
    StreamHead head;
    head.status = status;
    head.contentType = contentType;
    head.contentRange = contentRange;
    head.contentLength = total ? static_cast<int64_t>(total) : -1;
    (*req.onHead)(head);
  }
  ReadBody(opened.request.get(), req, total, keepText);

  if (toFile && !keepText) return std::string();
  return responseText;
}

// ---------------------------------------------------------------------------------------------

THTTP::THTTP() : impl_(std::make_shared<Impl>()) {
  impl_->OpenSession(ProxyChoice{});
}

THTTP::~THTTP() {
  // A request still running on another thread keeps the state alive until it has failed.
  Interrupt();
  std::unique_lock lock(impl_->mu);
  impl_->idle.wait_for(lock, std::chrono::milliseconds(1000), [this] { return !impl_->busy; });
}

void THTTP::Interrupt() {
  std::lock_guard lock(impl_->mu);
  impl_->cancelled = true;
  // While the proxy's credentials are on the request (a tunnel being opened), closing the
  // handle would not stop WinHTTP from writing the request with them into the tunnel; the
  // status callback closes it as soon as they are off.
  if (impl_->activeWatch && impl_->activeWatch->credentialsOnRequest) return;
  if (impl_->active) {
    WinHttpCloseHandle(impl_->active);
    impl_->active = nullptr;
  }
}

std::string THTTP::get(const std::string& url) {
  auto impl = impl_;
  return impl->Perform(RequestSpec(L"GET", url));
}

std::string THTTP::get(const std::string& url, const std::string& destfilepath) {
  RequestSpec s(L"GET", url);
  s.destFile = destfilepath;
  auto impl = impl_;
  return impl->Perform(s);
}

std::string THTTP::getStream(const std::string& url, const std::string& extraHeaders,
                             const std::function<void(const StreamHead&)>& onHead,
                             const BodyChunk& onData) {
  RequestSpec s(L"GET", url);
  s.extraHeaders = extraHeaders;
  s.onHead = &onHead;
  s.onData = &onData;
  auto impl = impl_;
  return impl->Perform(s);
}

std::unique_ptr<IHttpTransport> THTTP::sibling() const {
  auto other = std::make_unique<THTTP>();
  other->setTimeout(impl_->timeoutMs / 1000);
  other->impl_->autoDetect = impl_->autoDetect;
  other->impl_->autoHost = impl_->autoHost;
  other->impl_->autoChoice = impl_->autoChoice;
  other->impl_->proxyUser = impl_->proxyUser;
  other->impl_->proxyPassword = impl_->proxyPassword;
  other->impl_->proxyServer = impl_->proxyServer;
  other->impl_->proxyPort = impl_->proxyPort;
  return other;
}

void THTTP::cancel() { Interrupt(); }

std::string THTTP::post(const std::string& url, const std::string& postData) {
  RequestSpec s(L"POST", url, true);
  s.body = Body::Text;
  s.bodyText = postData;
  auto impl = impl_;
  return impl->Perform(s);
}

std::string THTTP::post(const std::string& url, const std::string& postData,
                        const std::string& srcfilepath, const std::string& destfilepath) {
  RequestSpec s(L"POST", url, true);
  s.body = Body::Text;
  s.bodyText = postData;
  if (!srcfilepath.empty()) {
    // The file is the body; a form text cannot travel with it.
    if (!postData.empty())
      throw EHTTPError("A form text cannot be sent together with an upload file");
    s.body = Body::File;
    s.srcFile = srcfilepath;
  }
  s.destFile = destfilepath;
  auto impl = impl_;
  return impl->Perform(s);
}

std::string THTTP::del(const std::string& url) {
  RequestSpec s(L"DELETE", url, true);
  auto impl = impl_;
  return impl->Perform(s);
}

void THTTP::setTimeout(int seconds) {
  if (seconds < 1) seconds = 1;
  if (seconds > 24 * 3600) seconds = 24 * 3600;
  impl_->timeoutMs = seconds * 1000;
  WinHttpSetTimeouts(impl_->session.get(), impl_->timeoutMs, impl_->timeoutMs, impl_->timeoutMs,
                     impl_->timeoutMs);
}

void THTTP::setProgressListener(ProgressListener listener) { impl_->listener = std::move(listener); }

std::string THTTP::lastResponse() const { return impl_->responseText; }
std::string THTTP::contentType() const { return impl_->contentType; }
std::string THTTP::contentDisposition() const { return impl_->contentDisposition; }
int THTTP::statusCode() const { return impl_->status; }
int THTTP::lastErrorCode() const { return impl_->errorCode; }
std::string THTTP::lastErrorText() const { return impl_->errorText; }

void THTTP::setProxyAutoDetect(bool on) {
  impl_->autoDetect = on;
  impl_->autoHost.clear();
}
void THTTP::setProxyUsername(const std::string& user) { impl_->proxyUser = user; }
void THTTP::setProxyPassword(const std::string& password) { impl_->proxyPassword = password; }
void THTTP::setProxyServer(const std::string& server) { impl_->proxyServer = server; }
void THTTP::setProxyPort(int port) { impl_->proxyPort = port > 0 && port < 65536 ? port : 80; }
bool THTTP::proxyAutoDetect() const { return impl_->autoDetect; }
std::string THTTP::proxyUsername() const { return impl_->proxyUser; }
std::string THTTP::proxyPassword() const { return impl_->proxyPassword; }
std::string THTTP::proxyServer() const { return impl_->proxyServer; }
int THTTP::proxyPort() const { return impl_->proxyPort; }

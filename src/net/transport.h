#pragma once
// The HTTP transport the API clients talk to. THTTP (WinHTTP) is the real one; unit tests
// of the clients give them a scripted one.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/http_util.h"

// The status line and headers of an answer whose body is streamed.
struct StreamHead {
  int status = 0;
  std::string contentType;
  std::string contentRange;     // the Content-Range header; "" when none
  int64_t contentLength = -1;   // -1 when not announced
};

class IHttpTransport {
 public:
  using ProgressListener = std::function<void(int percentDone)>;

  virtual ~IHttpTransport() = default;

  // The request operations. Each clears the answer state first, blocks until the answer is
  // complete and raises EHTTPError when the request cannot be completed. An HTTP error
  // status of the server returns its body like any other answer; a proxy that keeps asking
  // for credentials (407) raises EHTTPError, and so does a server certificate that is not
  // accepted, with the reason when the system names one.
  virtual std::string get(const std::string& url) = 0;
  // The answer body goes to destfilepath; returns the body text only when the answer's
  // content type contains "text" or "json", otherwise "".
  virtual std::string get(const std::string& url, const std::string& destfilepath) = 0;
  // Form POST ("application/x-www-form-urlencoded") of postData exactly as given.
  virtual std::string post(const std::string& url, const std::string& postData) = 0;
  // POST with the file srcfilepath as body; the answer goes to destfilepath unless empty.
  virtual std::string post(const std::string& url, const std::string& postData,
                           const std::string& srcfilepath, const std::string& destfilepath) = 0;
  virtual std::string del(const std::string& url) = 0;

  // A GET with extra request headers ("Name: value\r\n" lines, e.g. a Range). onHead runs once
  // the answer's headers are in, before any of its body, and may raise to refuse the answer.
  // The body of a text or JSON answer is returned (bounded like other text answers); any
  // other body is handed to onData in order as it arrives, and "" is returned. An exception
  // raised by onHead or onData ends the request and passes on. A body shorter than its
  // announced length raises EHTTPError.
  // This fallback fetches the whole answer at once and ignores the extra headers: a
  // transport without ranges answers like a server that does not offer them.
  using BodyChunk = std::function<void(const char* data, size_t size)>;
  virtual std::string getStream(const std::string& url, const std::string& extraHeaders,
                                const std::function<void(const StreamHead&)>& onHead,
                                const BodyChunk& onData) {
    (void)extraHeaders;
    std::string body = get(url);
    StreamHead head;
    head.status = 200;
    head.contentType = contentType();
    head.contentLength = static_cast<int64_t>(body.size());
    onHead(head);
    if (httputil::IsTextContentType(head.contentType)) return body;
    if (!body.empty()) onData(body.data(), body.size());
    return std::string();
  }
  // A transport of its own with this one's settings (time-out, proxy), for a request that
  // runs on another thread at the same time as this one's; nullptr when none is offered.
  virtual std::unique_ptr<IHttpTransport> sibling() const { return nullptr; }
  // Makes a running request fail as soon as possible; safe from any thread.
  virtual void cancel() {}

  virtual void setTimeout(int seconds) = 0;
  virtual void setProgressListener(ProgressListener listener) = 0;

  // Answer state of the last request.
  virtual std::string lastResponse() const = 0;
  virtual std::string contentType() const = 0;
  virtual std::string contentDisposition() const = 0;

  // Proxy: automatic detection (IE settings, WPAD) with optional credentials, or a manual
  // server with Basic credentials. Port 80 unless set.
  virtual void setProxyAutoDetect(bool on) = 0;
  virtual void setProxyUsername(const std::string& user) = 0;
  virtual void setProxyPassword(const std::string& password) = 0;
  virtual void setProxyServer(const std::string& server) = 0;
  virtual void setProxyPort(int port) = 0;
};

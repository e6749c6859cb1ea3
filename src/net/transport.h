#pragma once
// The HTTP transport the API clients talk to. THTTP (WinHTTP) is the real one; unit tests
// of the clients give them a scripted one.
#include <functional>
#include <string>

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

#pragma once
// THTTP: the program's HTTPS client over WinHTTP. Synchronous, TLS 1.2 only, redirects never
// followed, time-outs bound each wait (resolve, connect, send, every read). Answers to a file
// are streamed in large reads, so memory stays flat whatever the size of the answer.
//
// One WinHTTP session per transport; one request at a time. Interrupt() may be called from
// any thread and makes a running request fail with EHTTPError.
#include <memory>
#include <string>

#include "net/transport.h"

// Direction of a transfer reported to the progress listener.
enum class THTTPDirection { HTTPClient, HTTPServer };

class THTTP : public IHttpTransport {
 public:
  THTTP();
  // Interrupts a running request, waits up to 1000 ms for it to leave, then closes the session.
  ~THTTP() override;
  THTTP(const THTTP&) = delete;
  THTTP& operator=(const THTTP&) = delete;

  std::string get(const std::string& url) override;
  std::string get(const std::string& url, const std::string& destfilepath) override;
  std::string getStream(const std::string& url, const std::string& extraHeaders,
                        const std::function<void(const StreamHead&)>& onHead,
                        const BodyChunk& onData) override;
  // A new transport with this one's time-out and proxy settings (and the proxy found by
  // automatic detection), for a request that runs at the same time on another thread.
  std::unique_ptr<IHttpTransport> sibling() const override;
  void cancel() override;
  std::string post(const std::string& url, const std::string& postData) override;
  std::string post(const std::string& url, const std::string& postData,
                   const std::string& srcfilepath, const std::string& destfilepath) override;
  std::string del(const std::string& url) override;

  // Seconds for each wait (resolve, connect, send, each read of the answer). Default 60.
  void setTimeout(int seconds) override;
  void setProgressListener(ProgressListener listener) override;

  std::string lastResponse() const override;
  std::string contentType() const override;
  std::string contentDisposition() const override;
  // HTTP status of the last answer (0 when none arrived).
  int statusCode() const;
  // WinHTTP or system error code of the last failure and its text; 0 and "" when none.
  int lastErrorCode() const;
  std::string lastErrorText() const;

  void setProxyAutoDetect(bool on) override;
  void setProxyUsername(const std::string& user) override;
  void setProxyPassword(const std::string& password) override;
  void setProxyServer(const std::string& server) override;
  void setProxyPort(int port) override;
  bool proxyAutoDetect() const;
  std::string proxyUsername() const;
  std::string proxyPassword() const;
  std::string proxyServer() const;
  int proxyPort() const;

  // Makes a running request fail as soon as possible ("The operation has been cancelled").
  // Safe from any thread; a later request runs normally.
  void Interrupt();

  // Largest answer body kept in memory as text; a longer text answer fails the request.
  static constexpr size_t kMaxTextAnswer = 64u * 1024 * 1024;
  // Size of each read of the answer body.
  static constexpr size_t kReadBufferSize = 256u * 1024;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;  // shared with a running request
};

// The program's HTTPS transport, for the API clients.
inline std::unique_ptr<IHttpTransport> MakeHttpsTransport() { return std::make_unique<THTTP>(); }

#pragma once
// What both API clients share: their own transport, the proxy settings handed to it, the
// last error text and the frame every operation runs in.
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "net/transport.h"

class TAPIClientBase {
 public:
  virtual ~TAPIClientBase();
  TAPIClientBase(const TAPIClientBase&) = delete;
  TAPIClientBase& operator=(const TAPIClientBase&) = delete;

  const std::string& lastErrorMsg() const { return _lastErrorMsg; }
  bool activeTask() const { return _activeTask; }

  // Proxy settings, passed to the transport. The auto-detect credentials and the manual
  // ones are the same user and password of the transport.
  const std::string& proxyUsername() const { return proxyUsername_; }
  void setProxyUsername(const std::string& v);
  const std::string& proxyPassword() const { return proxyPassword_; }
  void setProxyPassword(const std::string& v);
  const std::string& proxyServer() const { return proxyServer_; }
  void setProxyServer(const std::string& v);
  int proxyPort() const { return proxyPort_; }
  void setProxyPort(int v);
  bool proxyAutoDetect() const { return proxyAutoDetect_; }
  void setProxyAutoDetect(bool v);
  const std::string& proxyAutoDetectUsername() const { return proxyUsername_; }
  void setProxyAutoDetectUsername(const std::string& v) { setProxyUsername(v); }
  const std::string& proxyAutoDetectPassword() const { return proxyPassword_; }
  void setProxyAutoDetectPassword(const std::string& v) { setProxyPassword(v); }

 protected:
  // The transport gets a time-out of 15 seconds. startMessage is the error text an
  // operation starts with.
  TAPIClientBase(std::unique_ptr<IHttpTransport> http, std::string startMessage);

  // The frame of every operation: refuse a second one while one runs, start with the
  // start message, turn a JSON reader error into the failure result, always finish the task.
  template <class R, class Body>
  R Run(R failure, Body body) {
    if (_activeTask) {
      _lastErrorMsg = "There is already an active Task";
      return failure;
    }
    _activeTask = true;
    _lastErrorMsg = startMessage_;
    R result = failure;
    try {
      result = body();
    } catch (const std::exception& e) {
      _lastErrorMsg = e.what();
      result = failure;
    }
    _activeTask = false;
    return result;
  }

  // Runs one request; a transport error is logged as logText + its message and kept.
  bool Send(const char* logText, const std::function<std::string()>& request, std::string& answer);

  std::unique_ptr<IHttpTransport> _http;
  std::string _lastErrorMsg;
  bool _activeTask = false;

 private:
  const std::string startMessage_;
  std::string proxyUsername_, proxyPassword_, proxyServer_;
  int proxyPort_ = 80;
  bool proxyAutoDetect_ = false;
};

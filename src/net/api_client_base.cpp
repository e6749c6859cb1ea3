#include "net/api_client_base.h"

#include "log/log.h"

TAPIClientBase::TAPIClientBase(std::unique_ptr<IHttpTransport> http, std::string startMessage)
    : _http(std::move(http)), startMessage_(std::move(startMessage)) {
  _http->setTimeout(15);
}

TAPIClientBase::~TAPIClientBase() = default;

void TAPIClientBase::setProxyUsername(const std::string& v) { _http->setProxyUsername(proxyUsername_ = v); }
void TAPIClientBase::setProxyPassword(const std::string& v) { _http->setProxyPassword(proxyPassword_ = v); }
void TAPIClientBase::setProxyServer(const std::string& v) { _http->setProxyServer(proxyServer_ = v); }
void TAPIClientBase::setProxyPort(int v) { _http->setProxyPort(proxyPort_ = v); }
void TAPIClientBase::setProxyAutoDetect(bool v) { _http->setProxyAutoDetect(proxyAutoDetect_ = v); }

bool TAPIClientBase::Send(const char* logText, const std::function<std::string()>& request, std::string& answer) {
  try {
    answer = request();
    return true;
  } catch (const std::exception& e) {
    WriteLog(std::string(logText) + e.what());
    _lastErrorMsg = e.what();
    return false;
  }
}

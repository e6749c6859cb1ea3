#pragma once
// Handing the proxy dialog's settings to a client of the update server or of the partner
// platform (both take them through the same setters).
#include <charconv>
#include <optional>
#include <string>

#include "state/records.h"

// A port as the proxy dialog stores it: decimal digits, 1 to 65535; nothing for anything else.
inline std::optional<int> ReadProxyPort(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto r = std::from_chars(text.data(), end, value);
  if (r.ec != std::errc() || r.ptr != end || value < 1 || value > 65535) return std::nullopt;
  return value;
}

// Automatic detection with its credentials, or the server, its credentials and its port.
// False when a port is given that is no port: it is then not set, and what that means is the
// caller's to decide.
template <class Client>
bool ApplyProxySettings(Client& client, const TProxyRecord& proxy) {
  if (proxy.ProxyAutoDetect) {
    client.setProxyAutoDetect(true);
    client.setProxyAutoDetectUsername(proxy.ProxyAutoDetectUsername);
    client.setProxyAutoDetectPassword(proxy.ProxyAutoDetectPassword);
    return true;
  }
  client.setProxyUsername(proxy.ProxyUsername);
  client.setProxyPassword(proxy.ProxyPassword);
  client.setProxyServer(proxy.ProxyServer);
  if (proxy.ProxyPort.empty()) return true;
  const std::optional<int> port = ReadProxyPort(proxy.ProxyPort);
  if (!port) return false;
  client.setProxyPort(*port);
  return true;
}

#include "workers/login_worker.h"

#include <charconv>

#include "build_config.h"
#include "lang/language.h"
#include "lang/partners.h"
#include "log/log.h"
#include "net/lumora_client.h"
#include "state/state.h"
#include "workers/status_sink.h"

namespace {

constexpr const char kProgress[] = "pbLogin.Position";
constexpr const char kLabel[] = "lbLoginError.Caption";

// A port as the proxy dialog stores it: decimal digits, 1 to 65535. Anything else keeps
// the transport's default port.
bool ReadPort(const std::string& text, int& port) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto r = std::from_chars(text.data(), end, value);
  if (r.ec != std::errc() || r.ptr != end || value < 1 || value > 65535) return false;
  port = value;
  return true;
}

void ApplyProxy(TLumoraAPIClient& client, const TProxyRecord& proxy) {
  if (proxy.ProxyAutoDetect) {
    client.setProxyAutoDetect(true);
    client.setProxyAutoDetectUsername(proxy.ProxyAutoDetectUsername);
    client.setProxyAutoDetectPassword(proxy.ProxyAutoDetectPassword);
    return;
  }
  client.setProxyUsername(proxy.ProxyUsername);
  client.setProxyPassword(proxy.ProxyPassword);
  client.setProxyServer(proxy.ProxyServer);
  if (!proxy.ProxyPort.empty()) {
    int port = 0;
    if (ReadPort(proxy.ProxyPort, port)) client.setProxyPort(port);
    else WriteLog("| Proxy port ignored: " + proxy.ProxyPort);
  }
}

}  // namespace

LoginInput MakeLoginInput(const std::string& username, const std::string& password,
                          const std::string& language) {
  LoginInput in;
  in.Username = username;
  in.Password = password;
  in.Language = language;
  in.Proxy = ProxyRecord;
  in.PartnerTag = PartnerTag;
  in.PlatformUrl = build_config::kPartnerPlatformUrl;
  return in;
}

void RunLoginWorker(const LoginInput& input, std::unique_ptr<IHttpTransport> transport,
                    StatusSink& sink) {
  // The failure text in the language of the start of the run.
  const std::string loginIncorrect = txtLoginIncorrect;
  WriteLog("| Login startet");
  sink.Status(kProgress, "20", false);

  TLumoraAPIClient client(std::move(transport), input.PlatformUrl, input.Username, input.Password);
  ApplyProxy(client, input.Proxy);

  if (!client.login()) {
    sink.Status(kLabel, loginIncorrect + " Message: " + client.lastErrorMsg(), false);
    WriteLog("| Login incorrect");
    sink.Status(kProgress, "100", false);
    return;
  }
  sink.Status(kProgress, "40", false);

  InstallRec.Username = input.Username;
  InstallRec.Password = input.Password;
  InstallRec.Language = input.Language;
  InstallRec.Partner = "quendal";

  const std::string tag = client.Getpartnertag();
  if (tag.empty()) {
    WriteLog("| Login incorrect - wrong partner");
    sink.Status(kLabel, loginIncorrect, false);
    return;
  }
  InstallRec.Partner = tag;
  if (const TPartnerRow* row = FindPartnerRowForPlatformTag(input.PartnerTag, tag)) {
    sink.Status(kProgress, "60", false);
    InstallRec.Provider = row->Provider;
    InstallRec.Producer = row->Producer;
    InstallRec.PrinterName = row->PrinterName;
    InstallRec.ApplicationName = row->ApplicationName;
  }
  WriteLog("| Partner = " + tag);
  WriteLog("| PartnerTag = " + input.PartnerTag);
  WriteLog("| Login successful");
  sink.Status(kLabel, "Login successful", true);
  sink.Status(kProgress, "100", false);
}

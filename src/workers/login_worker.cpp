#include "workers/login_worker.h"

#include "build_config.h"
#include "lang/language.h"
#include "lang/partners.h"
#include "log/log.h"
#include "net/lumora_client.h"
#include "state/state.h"
#include "workers/proxy_settings_apply.h"
#include "workers/status_sink.h"

namespace {

constexpr const char kProgress[] = "pbLogin.Position";
constexpr const char kLabel[] = "lbLoginError.Caption";

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
  // A port that is no port keeps the transport's default port.
  if (!ApplyProxySettings(client, input.Proxy)) WriteLog("| Proxy port ignored: " + input.Proxy.ProxyPort);

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

#pragma once
// The login page's worker: signs the user in at the partner platform, stores the
// credentials and the language in the setup state, reads the user's partner tag and sets
// the branding values the installation is made with. It reports progress and outcome
// through the sink: ("pbLogin.Position", "20" / "40" / "60" / "100") and
// ("lbLoginError.Caption", text), the success with ready = true.
#include <memory>
#include <string>

#include "net/transport.h"
#include "state/records.h"

class StatusSink;

// Everything the worker needs, copied when it starts.
struct LoginInput {
  std::string Username;
  std::string Password;
  std::string Language;     // the language selector's text: "English", "Deutsch", ...
  TProxyRecord Proxy;       // the setup state's proxy settings
  std::string PartnerTag;   // the partner tag the setup is made for
  std::string PlatformUrl;  // the partner platform's base URL
};

// The input from the setup state and the build's platform URL, with the page's entries.
LoginInput MakeLoginInput(const std::string& username, const std::string& password,
                          const std::string& language);

// One login; writes InstallRec.Username, Password, Language, Partner and, when the
// partner row matches, Provider, Producer, PrinterName, ApplicationName before its ready
// status. Does not raise (the client catches transport errors).
void RunLoginWorker(const LoginInput& input, std::unique_ptr<IHttpTransport> transport,
                    StatusSink& sink);

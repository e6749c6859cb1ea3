// The update-server client's construction with the program's HTTPS transport, and the
// newer-version check against the installed application.
#include "app/state.h"
#include "build_config.h"
#include "base/errors.h"
#include "install/files.h"
#include "log/log.h"
#include "net/http.h"
#include "net/qdapi_client.h"

TQDAPIClient::TQDAPIClient(const std::string& aServer, const std::string& aUsername, const std::string& aPassword)
    : TQDAPIClient(std::make_unique<THTTP>(), aServer, aUsername, aPassword) {}

TQDAPIClient::TQDAPIClient(const std::string& aServer, const std::string& aKey)
    : TQDAPIClient(std::make_unique<THTTP>(), aServer, aKey) {}

bool checkNewVersion(std::string& latest) {
  latest.clear();
  TQDAPIClient client(build_config::kUpdateServerUrl, kQDAPIKey);
  client.setAppname(kQDAPIAppName);
  client.setBranch(Branch);
  return CheckNewVersionWith(client, [] {
    const std::string exe = InstallRec.InstPath + "\\Orfeda.exe";
    try {
      return GetFileVersionText(exe);
    } catch (const std::exception& e) {
      // Without a readable version the installed copy counts as older than any release.
      WriteLog("checkNewVersion: cannot read the version of " + exe + ": " + e.what());
      return std::string();
    }
  }, latest);
}

#include "workers/version_check.h"

#include "build_config.h"
#include "install/files.h"
#include "log/log.h"
#include "net/http.h"
#include "net/qdapi_client.h"
#include "state/state.h"

bool checkNewVersion(std::string& latest) {
  latest.clear();
  TQDAPIClient client(MakeHttpsTransport(), build_config::kUpdateServerUrl, kQDAPIKey);
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

#include "workers/existing_installation.h"

#include "base/file_system.h"
#include "install/registry_records.h"
#include "install/uninstall_command.h"
#include "log/log.h"
#include "state/state.h"
#include "workers/version_check.h"

bool CheckExistingInstallation() {
  const std::string user = GetSoftwareEntryUser(InstallRec.ApplicationName);
  if (!user.empty()) InstallRec.Users = "me";
  const std::string all = GetSoftwareEntryAll(InstallRec.ApplicationName);
  if (!all.empty()) InstallRec.Users = "all";
  if (user.empty() && all.empty()) {
    InstallRec.Update = false;
    return false;
  }
  InstallRec.Update = true;
  InstallRec.InstPath = InstallRootOfUninstallCommand(all.empty() ? user : all);
  WriteLog(InstallRec.InstPath);
  // Without the application's program there is no installed version to compare.
  if (!InstallRec.InstPath.empty() && FileExists(InstallRec.InstPath + "\\Orfeda.exe")) {
    std::string latest;
    checkNewVersion(latest);
    if (!latest.empty()) InstallRec.Version = latest;
  }
  return true;
}

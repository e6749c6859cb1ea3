#include "workers/registration_step.h"

#include <windows.h>

#include <string>

#include "install/files.h"
#include "install/registry_records.h"
#include "install/shell_links.h"
#include "log/log.h"
#include "state/state.h"

namespace {
const GUID kFolderDesktop = {0xB4BFCC3A, 0xDB2C, 0x424C, {0xB0, 0x29, 0x7F, 0xE9, 0x9A, 0x87, 0xC6, 0x41}};
const GUID kFolderPublicDesktop = {0xC4AA340D, 0xF20F, 0x4863, {0xAF, 0xEF, 0xF8, 0x7E, 0xF2, 0xE6, 0xBA, 0x25}};
}  // namespace

bool WriteUninstallEntry() {
  const std::string uninstaller = InstallRec.InstPath + "\\uninstall.exe";
  const auto create = InstallRec.Users == "me" ? CreateSoftwareEntryUser : CreateSoftwareEntryAll;
  return create(InstallRec.ApplicationName, "no Comment", "", uninstaller, InstallRec.Provider,
                InstallRec.Version, "", "", InstallRec.ApplicationName);
}

void RegisterInstallation() {
  WriteLog("Add program information...");
  WriteUninstallEntry();
  CreateLinksAndUninstallKey(LinkChoices{});
}

void CreateLinksAndUninstallKey(const LinkChoices& choices,
                                const std::function<void(const std::string&)>& desktopFailed) {
  const bool me = InstallRec.Users == "me";

  // "-1" for each kind of link made below, "0" for the others.
  UninstallRec = TUninstallRec{"0", "0", "0"};
  const std::string target = InstallRec.InstPath + "\\Orfeda.exe";
  const std::string& name = InstallRec.ApplicationName;
  const std::string prefix = "Error: User: " + InstallRec.Users;
  if (me || InstallRec.Users == "all") {
    if (choices.desktop) {
      const std::string desktop = KnownFolderPath(me ? kFolderDesktop : kFolderPublicDesktop);
      if (CreateLink(target, desktop + "\\" + name + ".lnk")) {
        UninstallRec.ShortCut = "-1";
      } else {
        WriteLog(prefix + " CreateLink");
        if (desktopFailed) desktopFailed(prefix + " CreateLink");
      }
    }
    if (choices.autostart) {
      if (me ? CreateAutoStartUser(target, name) : CreateAutoStartAll(target, name))
        UninstallRec.AutoStart = "-1";
      else WriteLog(prefix + (me ? " CreateAutoStartUser" : " CreateAutoStartAll"));
    }
    if (choices.startMenu) {
      if (me ? CreateStartMenuUser(InstallRec.Provider, target, name)
             : CreateStartMenuAll(InstallRec.Provider, target, name))
        UninstallRec.StartMenu = "-1";
      else WriteLog(prefix + (me ? " CreateStartMenuUser" : " CreateStartMenuAll"));
    }
  }
  // The uninstaller reads the install root, the printer and the links from this key.
  WriteLog(WriteUninstallKey() ? "RegWriteUninstall ok" : "RegWriteUninstall error");
}

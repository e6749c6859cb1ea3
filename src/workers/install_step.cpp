#include "workers/install_step.h"

#include <exception>
#include <string>

#include "base/file_system.h"
#include "base/text.h"
#include "install/config_files.h"
#include "install/files.h"
#include "install/folder_security.h"
#include "install/manifest.h"
#include "install/registry_records.h"
#include "log/log.h"
#include "state/state.h"
#include "workers/printer_packages.h"
#include "workers/install_root.h"

namespace {

// Below Program Files a new install root inherits its access rules. Anywhere else the
// folders created for it get the same rules, so that no user can replace the program the
// links start (for every user when installed for all).
bool CreateInstallRoot(const std::string& root) {
  if (silent::IsInsideFolder(root, ProgramFilesDir)) return ForceDirectories(root);
  return ForceProtectedDirectories(root);
}

}  // namespace

bool InstallComponents(bool& restartRequired) {
  bool ok = true;
  if (!RunPreExec()) WriteLog("preexecute failed");
  WriteLog("start components");
  for (const auto& component : ComponentList) {
    if (component.name != "Orfeda") continue;
    WriteLog("component : " + component.name);
    WriteLog("ForceDirectories " + InstallRec.InstPath +
             (CreateInstallRoot(InstallRec.InstPath) ? " ok" : " error"));
    WriteLog(CreateProductIni() ? "CreateOrfedaini ok" : "CreateOrfedaini error");
    WriteLog(WriteUpdaterCfg() ? "Createupdatercfg ok" : "Createupdatercfg error");
    WriteOptionsKey();
    try {
      MoveFolderTree(InstallRec.FromDir + "\\files\\", InstallRec.InstPath);
    } catch (const std::exception& e) {
      WriteLog(std::string("copy of files failed with error: ") + e.what());
      ok = false;
    }
    if (InstallPrinterPackages(restartRequired)) {
      WriteLog("Install Printer ok");
    } else {
      WriteLog("InstallPrinter failed");
      ok = false;
    }
  }
  WriteLog("end components");
  if (!RunPostExec()) WriteLog("postexecute failed");
  return ok;
}

bool InstallPrinterPackages(bool& restartRequired) {
  const std::string exe = InstallRec.InstPath + "\\Orfeda.exe";
  WriteLog("ORFEDAINSTALLPATH : " + exe);
  SetMachineEnvironment("ORFEDAINSTALLPATH", exe);
  // The packages are taken from the installed copy: the staging folder's files moved there.
  const std::string nova = InstallRec.InstPath + "\\partner\\nova\\";
  const bool wow64 = IsWow64();
  // Nobody is there to answer a package's dialogs in a silent run; its log joins setup's.
  const std::string logFolder = LogFilePath.empty() ? TempDir : text::ExtractFileDir(LogFilePath);
  const PackageStart start = SilentMode ? PackageStart::Quiet(logFolder) : PackageStart::Shell();
  bool ok = true;
  for (const char* base : {"novaPDF8PrinterDriver", "novaPDF8OEM"}) {
    switch (RunPrinterPackage(nova, base, wow64, start)) {
      case PackageResult::Failed: ok = false; break;
      case PackageResult::RestartRequired: restartRequired = true; break;
      case PackageResult::Succeeded:
      case PackageResult::Missing: break;
    }
  }
  return ok;
}


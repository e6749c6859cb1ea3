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
#include "workers/status_sink.h"

namespace {

// Below Program Files a new install root inherits its access rules. Anywhere else the
// folders created for it get the same rules, so that no user can replace the program the
// links start (for every user when installed for all).
bool CreateInstallRoot(const std::string& root) {
  if (silent::IsInsideFolder(root, ProgramFilesDir)) return ForceDirectories(root);
  return ForceProtectedDirectories(root);
}

}  // namespace

void InstallProgress::Position(const char* position) const {
  if (sink) sink->Status("pbInstall.Position", position, false);
}

void InstallProgress::Caption(const std::string& caption) const {
  if (sink) sink->Status("lbInstall.Caption", caption, false);
}

bool InstallComponents(const ComponentChoices& choices, const InstallProgress& progress,
                       bool& restartRequired) {
  const bool wizard = progress.Reported();
  bool ok = true;
  if (!RunPreExec()) WriteLog("preexecute failed");
  progress.Position("20");
  WriteLog("start components");
  for (const ComponentChoice& component : choices) {
    if (!component.ticked || component.name != "Orfeda") continue;
    progress.Caption(component.name);
    WriteLog("component : " + component.name);
    progress.Position("30");
    WriteLog("ForceDirectories " + InstallRec.InstPath +
             (CreateInstallRoot(InstallRec.InstPath) ? " ok" : " error"));
    progress.Position("40");
    WriteLog(CreateProductIni() ? "CreateOrfedaini ok" : "CreateOrfedaini error");
    progress.Position("50");
    WriteLog(WriteUpdaterCfg() ? "Createupdatercfg ok" : "Createupdatercfg error");
    WriteOptionsKey();
    progress.Position("70");
    try {
      MoveFolderTree(InstallRec.FromDir + "\\files\\", InstallRec.InstPath);
    } catch (const std::exception& e) {
      WriteLog(std::string("copy of files failed with error: ") + e.what());
      ok = false;
    }
    if (wizard) {
      progress.Caption(InstallRec.PrinterName);
      WriteLog("component : " + component.name);
    }
    if (InstallPrinterPackages(restartRequired, progress)) {
      if (!wizard) WriteLog("Install Printer ok");
    } else {
      WriteLog(wizard ? "Printer not installed!" : "InstallPrinter failed");
      ok = false;
    }
  }
  WriteLog("end components");
  if (!RunPostExec()) WriteLog("postexecute failed");
  return ok;
}

bool InstallComponents(bool& restartRequired) {
  ComponentChoices all;
  for (const auto& component : ComponentList) all.push_back({component.name, true});
  return InstallComponents(all, InstallProgress{}, restartRequired);
}

namespace {

// The driver packages of the partner package, one after the other. The wizard's run tells
// in its log which platform's packages it looks for and which it found.
bool RunPrinterPackages(const std::string& nova, bool wizard, bool& restartRequired) {
  const bool wow64 = IsWow64();
  // Nobody is there to answer a package's dialogs in a silent run; its log joins setup's.
  const std::string logFolder = LogFilePath.empty() ? TempDir : text::ExtractFileDir(LogFilePath);
  const PackageStart start = SilentMode ? PackageStart::Quiet(logFolder) : PackageStart::Shell();
  struct Package {
    const char* base;
    const char* found;  // what the wizard's log calls it
  };
  bool ok = true;
  for (const Package& package : {Package{"novaPDF8PrinterDriver", "PrinterDriver"}, Package{"novaPDF8OEM", "PDF OEM"}}) {
    if (wizard) {
      WriteLog(wow64 ? "OS x64..." : "OS x32...");
      if (FileExists(nova + PackageName(package.base, wow64) + ".msi"))
        WriteLog(std::string(wow64 ? "found x64 " : "found x32 ") + package.found + "...");
    }
    switch (RunPrinterPackage(nova, package.base, wow64, start)) {
      case PackageResult::Failed: ok = false; break;
      case PackageResult::RestartRequired: restartRequired = true; break;
      case PackageResult::Succeeded:
      case PackageResult::Missing: break;
    }
  }
  return ok;
}

}  // namespace

bool InstallPrinterPackages(bool& restartRequired, const InstallProgress& progress) {
  const bool wizard = progress.Reported();
  const std::string exe = InstallRec.InstPath + "\\Orfeda.exe";
  WriteLog("ORFEDAINSTALLPATH : " + exe);
  SetMachineEnvironment("ORFEDAINSTALLPATH", exe);
  if (wizard) WriteLog("SetGlobalEnvironment done");
  // The packages are taken from the installed copy: the staging folder's files moved there.
  const std::string nova = InstallRec.InstPath + "\\partner\\nova\\";
  if (!wizard) return RunPrinterPackages(nova, false, restartRequired);
  // The page's progress reaches the printer step's mark however the step ends.
  bool ok = false;
  try {
    WriteLog("start install printer driver...");
    ok = RunPrinterPackages(nova, true, restartRequired);
  } catch (...) {
    progress.Position("80");
    throw;
  }
  progress.Position("80");
  return ok;
}

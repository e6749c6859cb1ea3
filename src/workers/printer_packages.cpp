#include "workers/printer_packages.h"

#include "base/file_system.h"
#include "install/files.h"
#include "log/log.h"

namespace {
// Windows Installer: installed, restart required / restart started.
constexpr int kSuccessRebootRequired = 3010;
constexpr int kSuccessRebootInitiated = 1641;
}  // namespace

std::string PackageName(const std::string& baseName, bool wow64) {
  return baseName + (wow64 ? "(x64)" : "(x86)");
}

PackageResult RunPrinterPackage(const std::string& novaFolder, const std::string& baseName,
                                bool wow64) {
  const std::string name = PackageName(baseName, wow64);
  const std::string path = novaFolder + name + ".msi";
  if (!FileExists(path)) {
    WriteLog("File not found:" + path);
    return PackageResult::Missing;
  }
  const int code = RunAndWait(path, novaFolder, "");
  if (code == 0) {
    WriteLog("Execution of " + name + " succeed.");
    return PackageResult::Succeeded;
  }
  if (code == kSuccessRebootRequired || code == kSuccessRebootInitiated) {
    WriteLog("Execution of " + name + " succeed.");
    WriteLog(name + " requires a restart of Windows (exit code " + std::to_string(code) + ").");
    return PackageResult::RestartRequired;
  }
  WriteLog("Execution of " + name + " failed.");
  return PackageResult::Failed;
}

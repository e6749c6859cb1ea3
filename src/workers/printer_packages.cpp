#include "workers/printer_packages.h"

#include <windows.h>

#include "base/file_system.h"
#include "base/win_text.h"
#include "install/files.h"
#include "log/log.h"

namespace {
// Windows Installer: installed, restart required / restart started.
constexpr int kSuccessRebootRequired = 3010;
constexpr int kSuccessRebootInitiated = 1641;

// Windows Installer's own program, never one found along a search path.
std::string MsiexecPath() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return Narrow(std::wstring(folder, n)) + "\\msiexec.exe";
}
}  // namespace

std::string PackageName(const std::string& baseName, bool wow64) {
  return baseName + (wow64 ? "(x64)" : "(x86)");
}

PackageResult RunPrinterPackage(const std::string& novaFolder, const std::string& baseName,
                                bool wow64, const PackageStart& start) {
  const std::string name = PackageName(baseName, wow64);
  const std::string path = novaFolder + name + ".msi";
  if (!FileExists(path)) {
    WriteLog("File not found:" + path);
    return PackageResult::Missing;
  }
  const std::string packageLog = start.logFolder + "\\" + name + ".log";
  const int code = start.quiet ? RunAndWait(MsiexecPath(), novaFolder,
                                            "/i \"" + path + "\" /qn /norestart /l*v \"" +
                                                packageLog + "\"")
                               : RunAndWait(path, novaFolder, "");
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
  if (start.quiet) WriteLog("Windows Installer log of " + name + ": " + packageLog);
  return PackageResult::Failed;
}

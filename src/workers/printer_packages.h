#pragma once
// Running one printer driver package of the installed "partner\nova\" folder through
// Windows Installer and reading its answer.
#include <string>

enum class PackageResult {
  Missing,          // no such package file
  Succeeded,        // exit code 0
  RestartRequired,  // installed; Windows Installer asks for a restart (3010 or 1641)
  Failed,           // any other exit code, or the package could not be started
};

// How a package is started.
struct PackageStart {
  // With someone at the screen: the shell's "open" verb without parameters, so the package
  // may show its own dialogs.
  static PackageStart Shell() { return {}; }
  // Without anyone at the screen: System32's msiexec with no user interface and no restart
  // (`/i "<package>" /qn /norestart /l*v "<log>"`), its verbose log as logFolder\<name>.log.
  static PackageStart Quiet(const std::string& logFolder) { return {true, logFolder}; }

  bool quiet = false;
  std::string logFolder;
};

// The package's base name for this machine: baseName + "(x64)" or "(x86)".
std::string PackageName(const std::string& baseName, bool wow64);

// Runs novaFolder + PackageName(baseName, wow64) + ".msi" with RunAndWait (working folder
// novaFolder) as `start` says and logs the outcome: "Execution of <name> succeed." or
// "Execution of <name> failed.", a restart line after the succeed line when Windows
// Installer asks for a restart, and "File not found:" + path for a missing package.
// novaFolder ends with "\".
PackageResult RunPrinterPackage(const std::string& novaFolder, const std::string& baseName,
                                bool wow64, const PackageStart& start);

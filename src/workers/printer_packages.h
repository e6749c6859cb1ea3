#pragma once
// Running one printer driver package of the staging folder's "files\partner\nova\" through
// Windows Installer and reading its answer.
#include <string>

enum class PackageResult {
  Missing,          // no such package file
  Succeeded,        // exit code 0
  RestartRequired,  // installed; Windows Installer asks for a restart (3010 or 1641)
  Failed,           // any other exit code, or the package could not be started
};

// The package's base name for this machine: baseName + "(x64)" or "(x86)".
std::string PackageName(const std::string& baseName, bool wow64);

// Runs novaFolder + PackageName(baseName, wow64) + ".msi" with RunAndWait (working folder
// novaFolder, no parameters) and logs the outcome: "Execution of <name> succeed." or
// "Execution of <name> failed.", a restart line after the succeed line when Windows
// Installer asks for a restart, and "File not found:" + path for a missing package.
// novaFolder ends with "\".
PackageResult RunPrinterPackage(const std::string& novaFolder, const std::string& baseName,
                                bool wow64);

#pragma once
// The command of the Windows uninstall entry ("UninstallString") and the install root read
// back from it.
#include <string>
#include <string_view>

// The uninstaller's path in double quotes (so that Windows cannot take a blank-cut prefix
// such as "C:\Program.exe" for the program), then " -uninstall " and the product's uninstall
// key path in double quotes: "<uninstaller>" -uninstall "<product key>\uninstall".
std::string UninstallCommand(const std::string& uninstallerPath, const std::string& productKeyPath);

// The folder of the uninstaller an uninstall command starts: the install root. Reads the
// quoted form written now and the unquoted form of entries written before (everything in
// front of the first "-uninstall"). Empty when the command names no folder.
std::string InstallRootOfUninstallCommand(std::string_view command);

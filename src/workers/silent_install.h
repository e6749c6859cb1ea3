#pragma once
// The silent install ("-silent"): the whole installation without a page, driven by the
// command line's parameters, ending with a request to end the program and an exit code.

// Completes and checks the silent parameters (branding, install root, language, users).
// False means the install must not start; the exit code is then 1603.
bool CheckSilentParameters();

// The sequence: release download, partner package, installation of the "Orfeda"
// component, Windows uninstall entry, links, the product's uninstall key. Every outcome
// ends with a request to end the program; ExitCode tells how it went (0 done, 3010 done
// with a restart required, 1603 failed).
void RunSilentInstall();

// The environment variable and the printer driver packages. False when a package ran and
// failed; restartRequired is set when a package asked for a restart.
bool InstallPrinterPackages(bool& restartRequired);

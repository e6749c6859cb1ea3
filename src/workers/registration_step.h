#pragma once
// Registering an installation: the Windows uninstall entry, the links for "me" or "all",
// and the product's uninstall key with the links that were made.

void RegisterInstallation();

// The Windows uninstall entry of InstallRec's installation: for the current user when Users
// is "me", else for all users, with InstallRec.Version as the displayed version. False when
// the entry could not be written.
bool WriteUninstallEntry();

#pragma once
// After a login: is the application installed already? Looks for its Windows uninstall
// entry for the current user and for all users, and for an installation switches the setup
// into update mode with the install root and the newer version the update server offers.

// Returns true when an installation exists. Writes InstallRec.Users ("me" for a per-user
// entry, "all" for a machine-wide one, which wins), InstallRec.Update, and for an
// installation InstallRec.InstPath (from the machine-wide entry when both exist) and,
// when "Orfeda.exe" is in the install root and the server offers a newer version,
// InstallRec.Version. Logs the install root as a line of its own.
bool CheckExistingInstallation();

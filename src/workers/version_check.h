#pragma once
// The check for a newer release of an installed application.
#include <string>

// Whether the update server offers a newer version of the application on the branch than
// the one installed in InstallRec.InstPath; `latest` is then that version.
bool checkNewVersion(std::string& latest);

#pragma once
// The parameters of a silent run: completed and checked before it starts.
#include <functional>
#include <string>

// Completes and checks the silent parameters in InstallRec (branding folders, install
// root, language, users). False means the install must not start; the reason is logged.
bool CheckSilentParameters();
// The same with a given folder test (creates the folder with its parents; true when it
// exists afterwards).
bool CheckSilentParameters(const std::function<bool(const std::string&)>& canCreateFolder);

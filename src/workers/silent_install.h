#pragma once
// The silent install: started by the main window's creation when "-silent" was given.
#include <functional>
#include <string>

class StatusSink;

// Completes and checks the silent parameters in InstallRec (branding folders, install
// root, language, users). False means the install must not start; the reason is logged.
bool CheckSilentParameters();
// The same with a given folder test (creates the folder with its parents; true when it
// exists afterwards).
bool CheckSilentParameters(const std::function<bool(const std::string&)>& canCreateFolder);

// Runs the whole silent installation on the UI thread and requests the end of the program
// when it is done, whatever the outcome, with the exit code that tells how it went (0 done,
// 3010 done with a restart required, 1603 failed). Messages go to the sink.
void RunSilentInstall(StatusSink& sink);

#pragma once
// The application object: its title, and the end request that every part uses to end
// the program. An end request never interrupts anything: the UI message loop ends the
// next time it gets control (a request made before the loop starts ends it at once).
#include <string>

// The application's title: first derived from the program file's name, "Setup" once
// start-up has set it. Message boxes show it as their caption.
std::string ApplicationTitle();
void SetApplicationTitle(const std::string& title);
// "setup.exe" -> "setup": the name up to its first ".", every character after the first
// in lower case.
std::string DefaultTitleFromFileName(const std::string& fileName);

// Requests the end of the program. A non-zero exit code is kept unless an earlier request
// already recorded one (the first reason to end wins); 0 leaves ExitCode as it is.
void RequestProgramEnd(int exitCode = 0);
bool EndRequested();
// Forgets a request (tests only).
void ResetEndRequest();

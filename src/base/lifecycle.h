#pragma once
// The program's lifecycle: its title, the one end request and the exit code.
//
// An end request never interrupts anything: whoever waits (the UI message loop, a process
// started by RunAndWait, a worker between its steps) sees it the next time it looks, and
// the UI message loop ends then (a request made before the loop starts ends it at once).
#include <string>

// The application's title: first derived from the program file's name, "Setup" once
// start-up has set it. Message boxes show it as their caption.
std::string ApplicationTitle();
void SetApplicationTitle(const std::string& title);
// "setup.exe" -> "setup": the name up to its first ".", every character after the first
// in lower case.
std::string DefaultTitleFromFileName(const std::string& fileName);

// Requests the end of the program. A non-zero exit code is kept unless an earlier request
// already recorded one (the first reason to end wins); 0 leaves the exit code as it is.
void RequestProgramEnd(int exitCode = 0);
bool EndRequested();
// The exit code the process ends with (0 until a request set another).
int ProgramExitCode();
// Forgets a request and its exit code (tests only).
void ResetEndRequest();

// Marks the calling thread as the one that runs the UI message loop (start-up calls it
// first thing); until then the first thread that asks counts as the UI thread.
void MarkUIThread();
bool IsUIThread();

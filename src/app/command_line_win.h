#pragma once
// The process's own command line, read by the rules of app/command_line.h with message
// boxes and the debug password dialog.

// Sets Unattended and its boxes' time-out from the command line ("-silent"); start-up runs
// it before anything can show a box.
void DetectUnattendedRun();
// Reads the command line into the setup state (ParseArguments).
void ParseCommandLine();
// Reads it again for "-shutdown" and "-appversion" (HandleInstanceArguments).
void HandleInstanceOptions();

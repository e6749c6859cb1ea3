#pragma once
// The silent install: started by the main window's creation when "-silent" was given.

class StatusSink;

// Runs the whole silent installation on the UI thread and requests the end of the program
// when it is done, whatever the outcome, with the exit code that tells how it went (0 done,
// 3010 done with a restart required, 1603 failed). Messages go to the sink.
void RunSilentInstall(StatusSink& sink);

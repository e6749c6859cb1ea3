#pragma once
// The UI message loop of the program.

// Marks this thread as the UI thread and takes the default title from the program file's
// name; run once, first thing, on the thread that will run the loop.
void InitApplication();
// Runs the UI message loop until the end is requested (returns at once when it already is).
void RunMessageLoop();

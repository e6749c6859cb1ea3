#pragma once
// The Windows side of the application object: the UI message loop and message boxes.
#include <string>

// Takes the default title from the program file's name; run once on the UI thread.
void InitApplication();
// Runs the UI message loop until the end is requested (returns at once when it already is).
void RunMessageLoop();
// A message box with the application's title as its caption and an OK button.
void ShowMessage(const std::string& text);
// The application's standard error box for an error that ended an operation.
void ShowErrorMessage(const std::string& text);

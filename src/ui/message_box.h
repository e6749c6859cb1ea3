#pragma once
// Message boxes of the program, with the application's title as their caption.
#include <string>

// An OK box with the text. In an unattended run (see Unattended) it closes itself after
// UnattendedBoxTimeoutMs and the log records that.
void ShowMessage(const std::string& text);
// The application's standard error box for an error that ended an operation; closes itself
// in an unattended run like ShowMessage.
void ShowErrorMessage(const std::string& text);

// An OK error box that closes itself, for runs without anyone at the screen (a deployment
// tool would otherwise wait on it for ever). Returns when the user closed it or, when
// timeoutMs > 0, after that many milliseconds at the latest. True when it was closed by
// the time-out.
bool ShowTimedMessageBox(const std::string& text, const std::string& caption, unsigned timeoutMs);

#pragma once
// A message box that closes itself after a time-out, for runs without anyone at the screen
// (a deployment tool would otherwise wait on it for ever).
#include <string>

// Shows an OK message box with `text`; returns when the user closed it or, when
// timeoutMs > 0, after that many milliseconds at the latest. True when it was closed by
// the time-out.
bool ShowTimedMessageBox(const std::string& text, const std::string& caption, unsigned timeoutMs);

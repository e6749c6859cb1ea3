#pragma once
// The log window as the log sees it: opened, fed with lines, freed. The window itself is
// Windows-only; the host build has none.
#include <functional>
#include <string>

class TLogForm;

// Creates and shows a window with the given caption that shows the file's lines; onClosed
// runs when the user closes it (the window frees itself then).
TLogForm* OpenLogForm(const std::string& caption, const std::string& path,
                      std::function<void()> onClosed);
// Appends one line; safe from any thread (the window updates itself on its own thread).
void LogFormAppend(TLogForm* form, const std::string& line);
// Closes and frees an open window without calling its close callback.
void FreeLogForm(TLogForm* form);

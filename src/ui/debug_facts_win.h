#pragma once
// What the debug window asks the system: the Windows version the program is told, the
// answers of its process token and the two desktop folders.
#include "ui/debug_texts.h"

struct WindowsVersionNumbers {
  unsigned major = 0;
  unsigned minor = 0;
};
// The version numbers the system reports to this program (its manifest decides whether
// newer systems tell their own numbers).
WindowsVersionNumbers ReportedWindowsVersion();

// The elevation type and elevation of the current process's token.
TokenAnswers QueryProcessToken();

// The rights text of the running process.
std::string ProcessRightsText();

// The folders of the "Environment" tab, from the setup state and the known folders.
EnvironmentValues CurrentEnvironmentValues();

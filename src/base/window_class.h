#pragma once
// The window classes of the program's own windows: a plain class with the arrow cursor and
// the dialog background, registered the first time it is asked for.
#include <windows.h>

// Registers the class unless this module already has it. False when it could not be
// registered (GetLastError tells why).
bool RegisterPlainWindowClass(const wchar_t* name, WNDPROC proc);

#pragma once
// A picture of one top-level window as it is on the screen, saved as a 24-bit BMP.
#include <windows.h>

#include <string>

// Brings the window to the top, lets it repaint, and copies its rectangle (the whole
// window, or only its client area) from the screen. False with a reason on failure.
bool SaveWindowPicture(HWND top, bool clientOnly, const std::wstring& bmpPath, std::wstring& why);

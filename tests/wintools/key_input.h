#pragma once
// Keys for another program: "Enter", "Escape", "Tab", "Shift+Tab", "Alt+N", "Space", "Down",
// "F4", a letter or digit; modifiers "Shift+", "Ctrl+", "Alt+" in any order.
#include <windows.h>

#include <string>
#include <vector>

struct KeyCombo {
  std::vector<WORD> modifiers;  // VK_SHIFT, VK_CONTROL, VK_MENU
  WORD vk = 0;
};

// False when the name is not a known key.
bool ParseKey(const std::wstring& name, KeyCombo& key);

enum class KeyRoute {
  Input,  // the window made foreground, the key sent as hardware input (SendInput)
  Post,   // WM_KEYDOWN/WM_KEYUP (WM_SYSKEY* with Alt) posted to the focused control
};

// Sends the key to the top-level window's focused control, or to `control` (given the
// focus first). Returns false with a reason when the route cannot be used.
bool SendKey(HWND top, HWND control, const KeyCombo& key, KeyRoute route, std::wstring& why);

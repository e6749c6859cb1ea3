#pragma once
// Reading a top-level window and its controls as a user sees them, written as JSON.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class JsonOut;

enum class ButtonKind { Push, DefaultPush, CheckBox, Radio, GroupBox, Other };
ButtonKind ButtonKindOf(HWND button);

// The item texts of a list box, combo box, list view or tab control (other controls: none).
// A list view's or tab's items need the tool of the program's bitness: nullopt otherwise.
std::optional<std::vector<std::wstring>> ItemTexts(HWND control);

bool ListViewHasCheckBoxes(HWND lv);
bool ListViewChecked(HWND lv, int index);
// LVM_SETITEMSTATE in the list view's own process (index -1: every item).
bool ListViewSetState(HWND lv, int index, UINT state, UINT mask);

// { hwnd, pid, exe, class, caption, visible, enabled, foreground, dpi, system_dpi, rect,
//   client, focus, controls: [...] } (see the usage text in wintool.cpp).
void WriteWindow(JsonOut& out, HWND top);

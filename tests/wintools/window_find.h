#pragma once
// Finding top-level windows of other programs and the controls inside them.
#include <windows.h>

#include <string>
#include <vector>

// Text of any window, also of another process (WM_GETTEXT; empty when the owner hangs).
std::wstring WindowText(HWND h);
// The window's class name without an activation-context version prefix ("6.0.0.0!Button").
std::wstring ClassOf(HWND h);
bool ClassIs(HWND h, const wchar_t* name);
// The file name of the program that owns the window ("setup.exe"), empty when unknown.
std::wstring ExeOf(HWND h);

// A message whose answer is a number; -1 when the window does not answer within 2 s.
LRESULT Ask(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0);

std::vector<HWND> TopLevelWindows();
// Every descendant, parents before their children.
std::vector<HWND> Descendants(HWND parent);

// Which top-level windows a command is about.
struct Selector {
  std::wstring cls, caption, captionHas, textHas, exe;
  bool hasCaption = false;
  DWORD pid = 0;
  HWND hwnd = nullptr;
  bool all = false;  // hidden windows too

  bool Matches(HWND h) const;
};

std::vector<HWND> MatchingWindows(const Selector& sel);

// Which control inside a top-level window: by handle, control id, or text (mnemonic "&"
// ignored), optionally narrowed by class; the first match in creation order.
struct ControlSpec {
  HWND hwnd = nullptr;
  int id = 0;
  bool hasId = false;
  std::wstring text, cls;
  bool hasText = false;

  bool Given() const { return hwnd || hasId || hasText || !cls.empty(); }
  bool Matches(HWND c) const;
};

HWND FindControl(HWND top, const ControlSpec& wanted);

// Polls every 50 ms until found() returns true or the time-out passes.
template <typename F>
bool PollUntil(DWORD timeoutMs, F found) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (found()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
}

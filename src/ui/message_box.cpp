#include "ui/message_box.h"

#include <windows.h>

#include "base/lifecycle.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "log/log.h"
#include "state/state.h"

namespace {

// The box runs its own modal loop on this thread; a thread timer fires inside that loop.
// Only one timed box is open per thread at a time, so the thread's state is enough.
thread_local bool g_timedOut = false;

BOOL CALLBACK CloseMessageBoxes(HWND window, LPARAM) {
  wchar_t cls[16] = {};
  if (GetClassNameW(window, cls, 16) && lstrcmpW(cls, L"#32770") == 0) {
    g_timedOut = true;
    // IDOK is the box's only button; pressing it ends MessageBoxW as the user would.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
  return TRUE;
}

void CALLBACK OnTimeout(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  EnumThreadWindows(GetCurrentThreadId(), CloseMessageBoxes, 0);
}

// An OK box with the given style that closes itself after timeoutMs when that is > 0. True
// when the time-out closed it. `shown` tells whether the box could be shown at all.
bool ShowBox(const std::string& text, const std::string& caption, UINT style, unsigned timeoutMs,
             bool* shown = nullptr) {
  g_timedOut = false;
  UINT_PTR timer = 0;
  if (timeoutMs > 0) timer = SetTimer(nullptr, 0, timeoutMs, OnTimeout);
  const int answer = MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), MB_OK | style);
  const DWORD error = GetLastError();
  if (shown) *shown = answer != 0;
  if (timer) {
    KillTimer(nullptr, timer);
    // A WM_TIMER for the killed timer may still wait in the queue; drop it so it cannot
    // close a later box.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
  }
  SetLastError(error);
  return g_timedOut;
}

// A box is often shown because something failed, the log perhaps: a failing log line must
// not end the box's caller.
void TryLog(const std::string& text) {
  try {
    WriteLog(text);
  } catch (...) {
  }
}

// In an unattended run nobody may be there to close the box: it closes itself, and the log
// (once it exists) says so.
void ShowProgramBox(const std::string& text, UINT style) {
  if (!Unattended) {
    ShowBox(text, ApplicationTitle(), style, 0);
    return;
  }
  const unsigned ms = UnattendedBoxTimeoutMs;
  bool shown = true;
  const bool timedOut = ShowBox(text, ApplicationTitle(), style | MB_SETFOREGROUND, ms, &shown);
  if (!shown) {
    // No desktop to show it on (a service's session, say): the run goes on to its end.
    TryLog("message box could not be shown (" + SystemErrorText(GetLastError()) + "): " + text);
    return;
  }
  if (timedOut) {
    std::string seconds = std::to_string(ms / 1000);
    if (ms % 1000) seconds.append(1, '.').append(std::to_string(ms % 1000 / 100));
    TryLog("message box closed after " + seconds + " s without an answer: " + text);
  }
}

}  // namespace

bool ShowTimedMessageBox(const std::string& text, const std::string& caption, unsigned timeoutMs) {
  return ShowBox(text, caption, MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL, timeoutMs);
}

void ShowMessage(const std::string& text) { ShowProgramBox(text, MB_TASKMODAL); }

void ShowErrorMessage(const std::string& text) { ShowProgramBox(text, MB_ICONERROR | MB_TASKMODAL); }

#include <windows.h>

#include "app/application.h"
#include "app/application_win.h"
#include "base/handles.h"
#include "base/win_text.h"

namespace {
// Manual-reset event set by an end request, so the loop wakes even when the request comes
// from another thread or from inside a modal loop that swallowed other wake-ups.
HANDLE g_endEvent = nullptr;
}  // namespace

void WakeMessageLoop() {
  if (g_endEvent) SetEvent(g_endEvent);
}

void InitApplication() {
  if (!g_endEvent) g_endEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  wchar_t path[MAX_PATH * 2] = {0};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  SetApplicationTitle(DefaultTitleFromFileName(Narrow(path)));
  if (EndRequested()) WakeMessageLoop();
}

void RunMessageLoop() {
  for (;;) {
    if (EndRequested()) return;
    const DWORD r = MsgWaitForMultipleObjectsEx(g_endEvent ? 1 : 0, &g_endEvent, INFINITE,
                                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (r == WAIT_FAILED) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return;
      HWND active = GetActiveWindow();
      if (!(active && IsDialogMessageW(active, &msg))) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      if (EndRequested()) return;
    }
  }
}

void ShowMessage(const std::string& text) {
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(ApplicationTitle()).c_str(),
              MB_OK | MB_TASKMODAL);
}

void ShowErrorMessage(const std::string& text) {
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(ApplicationTitle()).c_str(),
              MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

#include "app/message_loop.h"

#include <windows.h>

#include "base/lifecycle.h"
#include "base/lifecycle_win.h"
#include "base/win_text.h"

void InitApplication() {
  MarkUIThread();
  wchar_t path[MAX_PATH * 2] = {0};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  SetApplicationTitle(DefaultTitleFromFileName(Narrow(path)));
}

void RunMessageLoop() {
  // The end event wakes the loop even when the request comes from another thread or from
  // inside a modal loop that swallowed other wake-ups.
  HANDLE endEvent = EndRequestEvent();
  for (;;) {
    if (EndRequested()) return;
    const DWORD r = MsgWaitForMultipleObjectsEx(1, &endEvent, INFINITE, QS_ALLINPUT,
                                                MWMO_INPUTAVAILABLE);
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

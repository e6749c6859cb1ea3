#include "base/lifecycle_win.h"

#include <mutex>

#include "base/lifecycle.h"
#include "base/lifecycle_signal.h"

namespace {
std::once_flag g_eventOnce;
HANDLE g_endEvent = nullptr;
}  // namespace

HANDLE EndRequestEvent() {
  std::call_once(g_eventOnce, [] {
    g_endEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  });
  // A request made before the event existed must still be seen by the first wait.
  if (EndRequested()) SetEvent(g_endEvent);
  return g_endEvent;
}

void SignalEndRequest() { SetEvent(EndRequestEvent()); }
void ClearEndSignal() { ResetEvent(EndRequestEvent()); }

#include "responsiveness.h"

#include <algorithm>
#include <vector>

namespace {
constexpr UINT kGiveUpMs = 10000;

double Now(const LARGE_INTEGER& freq) {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}
}  // namespace

ResponseFigures MeasureResponse(HWND top, DWORD durationMs, DWORD everyMs, bool getText) {
  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  ResponseFigures fig;
  std::vector<double> trips;
  const double start = Now(freq);
  wchar_t buf[512];
  for (;;) {
    const double sent = Now(freq);
    if (durationMs && sent - start >= durationMs) break;
    DWORD_PTR result = 0;
    SetLastError(0);
    const LRESULT ok = getText ? SendMessageTimeoutW(top, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf),
                                                     SMTO_NORMAL, kGiveUpMs, &result)
                               : SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_NORMAL, kGiveUpMs, &result);
    const double ms = Now(freq) - sent;
    if (!ok) {
      if (!IsWindow(top)) {
        fig.windowGone = true;
        break;
      }
      ++fig.timeouts;
    }
    trips.push_back(ms);
    if (ms > fig.maxMs) {
      fig.maxMs = ms;
      fig.maxAtS = (sent - start) / 1000.0;
    }
    if (ms > 100.0) ++fig.over100Ms;
    Sleep(everyMs);
  }
  fig.samples = static_cast<int>(trips.size());
  if (trips.empty()) return fig;
  double sum = 0;
  for (double t : trips) sum += t;
  fig.meanMs = sum / static_cast<double>(trips.size());
  std::sort(trips.begin(), trips.end());
  fig.p50Ms = trips[trips.size() / 2];
  fig.p99Ms = trips[std::min(trips.size() - 1, trips.size() * 99 / 100)];
  return fig;
}

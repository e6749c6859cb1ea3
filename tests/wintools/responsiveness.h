#pragma once
// How quickly a window's thread answers: round trips of a sent message, sampled over time.
#include <windows.h>

#include <string>

struct ResponseFigures {
  int samples = 0;
  double maxMs = 0, meanMs = 0, p50Ms = 0, p99Ms = 0;
  double maxAtS = 0;   // when the longest round trip started, seconds into the run
  int over100Ms = 0;   // round trips longer than 100 ms
  int timeouts = 0;    // no answer within 10 s
  bool windowGone = false;
};

// Sends WM_NULL (or WM_GETTEXT, which also needs the window's own procedure) every
// `everyMs` for `durationMs`, or until the window is gone when durationMs is 0.
ResponseFigures MeasureResponse(HWND top, DWORD durationMs, DWORD everyMs, bool getText);

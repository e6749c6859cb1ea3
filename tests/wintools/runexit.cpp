// runexit.exe [--env NAME=VALUE]... PROGRAM [ARGS...]: starts the program with the rest of
// its own command line exactly as given (each --env sets a variable of its environment: Wine
// sets TEMP itself, whatever the Unix environment says), waits for it and prints its peak memory ("peakworkingset=N",
// "peakprivate=N", bytes) and then "exitcode=N" with the full exit code from
// GetExitCodeProcess. Its own exit status is that code (Wine keeps only the low byte).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

int wmain() {
  const wchar_t* cmd = GetCommandLineW();
  // Skip our own program name (quoted or not), then the blanks after it.
  if (*cmd == L'"') {
    ++cmd;
    while (*cmd && *cmd != L'"') ++cmd;
    if (*cmd) ++cmd;
  } else {
    while (*cmd && *cmd != L' ' && *cmd != L'\t') ++cmd;
  }
  while (*cmd == L' ' || *cmd == L'\t') ++cmd;
  // "--env NAME=VALUE" (no blanks inside NAME=VALUE), as often as needed.
  while (wcsncmp(cmd, L"--env ", 6) == 0) {
    cmd += 6;
    while (*cmd == L' ') ++cmd;
    const wchar_t* end = cmd;
    while (*end && *end != L' ' && *end != L'\t') ++end;
    std::wstring pair(cmd, end);
    const size_t eq = pair.find(L'=');
    if (eq == std::wstring::npos || eq == 0) {
      std::fprintf(stderr, "runexit: --env needs NAME=VALUE\n");
      return 2;
    }
    SetEnvironmentVariableW(pair.substr(0, eq).c_str(), pair.substr(eq + 1).c_str());
    cmd = end;
    while (*cmd == L' ' || *cmd == L'\t') ++cmd;
  }
  if (!*cmd) {
    std::fprintf(stderr, "usage: runexit [--env NAME=VALUE]... PROGRAM [ARGS...]\n");
    return 2;
  }
  wchar_t* line = _wcsdup(cmd);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "runexit: cannot start (error %lu)\n", GetLastError());
    std::printf("exitcode=-1\n");
    return 255;
  }
  free(line);
  // The counters vanish with the process, so they are sampled while it runs.
  SIZE_T peakWorkingSet = 0, peakPrivate = 0;
  for (;;) {
    PROCESS_MEMORY_COUNTERS mem{};
    mem.cb = sizeof mem;
    if (GetProcessMemoryInfo(pi.hProcess, &mem, sizeof mem)) {
      peakWorkingSet = std::max({peakWorkingSet, mem.PeakWorkingSetSize, mem.WorkingSetSize});
      peakPrivate = std::max({peakPrivate, mem.PeakPagefileUsage, mem.PagefileUsage});
    }
    if (WaitForSingleObject(pi.hProcess, 50) != WAIT_TIMEOUT) break;
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::printf("peakworkingset=%lu\npeakprivate=%lu\n", static_cast<unsigned long>(peakWorkingSet),
              static_cast<unsigned long>(peakPrivate));
  std::printf("exitcode=%lu\n", code);
  std::fflush(stdout);
  return static_cast<int>(code);
}

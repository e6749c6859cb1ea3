// Child process for the process tests: child_helper.exe EXITCODE [SLEEP_MS [CWD_FILE]]
// Sleeps, writes its working folder into CWD_FILE when given, and exits with EXITCODE.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  unsigned long code = argc > 1 ? std::wcstoul(argv[1], nullptr, 10) : 0;
  unsigned long sleep = argc > 2 ? std::wcstoul(argv[2], nullptr, 10) : 0;
  if (argc > 3) {
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    if (FILE* f = _wfopen(argv[3], L"w")) {
      char utf8[4 * MAX_PATH] = {};
      WideCharToMultiByte(CP_UTF8, 0, cwd, -1, utf8, sizeof(utf8), nullptr, nullptr);
      std::fputs(utf8, f);
      std::fclose(f);
    }
  }
  if (sleep) Sleep(sleep);
  return static_cast<int>(code);
}

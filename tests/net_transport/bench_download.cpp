// Downloads one URL to a file through THTTP and prints the time and the process's memory.
// Usage: bench_download <url> <file>. Output lines: "seconds=..", "bytes=..",
// "peak_working_set_mb=..", "peak_private_mb=..", "private_before_mb=..".
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "base/errors.h"
#include "base/win_text.h"
#include "net/http.h"

static double Mb(SIZE_T n) { return static_cast<double>(n) / (1024.0 * 1024.0); }

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_download <url> <file>\n");
    return 2;
  }
  PROCESS_MEMORY_COUNTERS_EX before{};
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&before),
                       sizeof(before));
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  try {
    THTTP http;
    http.setTimeout(15);
    QueryPerformanceCounter(&t0);
    std::string text = http.get(Narrow(argv[1]), Narrow(argv[2]));
    QueryPerformanceCounter(&t1);
    if (!text.empty()) {
      std::fprintf(stderr, "bench_download: the server answered with text: %.200s\n", text.c_str());
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_download: %s\n", DescribeError(e).c_str());
    return 1;
  }
  PROCESS_MEMORY_COUNTERS_EX after{};
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&after),
                       sizeof(after));
  WIN32_FILE_ATTRIBUTE_DATA fa{};
  GetFileAttributesExW(argv[2], GetFileExInfoStandard, &fa);
  unsigned long long bytes = (static_cast<unsigned long long>(fa.nFileSizeHigh) << 32) | fa.nFileSizeLow;
  std::printf("seconds=%.3f\n", double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart));
  std::printf("bytes=%llu\n", bytes);
  std::printf("peak_working_set_mb=%.1f\n", Mb(after.PeakWorkingSetSize));
  std::printf("peak_private_mb=%.1f\n", Mb(after.PeakPagefileUsage));
  std::printf("private_before_mb=%.1f\n", Mb(before.PrivateUsage));
  return 0;
}

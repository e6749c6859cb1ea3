// Times FileMD5 on one file: bench-md5.exe FILE [RUNS]
// Prints the digest and, per run, the seconds and MB/s (1 MB = 1,000,000 bytes).
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/win_text.h"
#include "install/files.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: bench-md5.exe FILE [RUNS]\n", stderr);
    return 2;
  }
  std::string path = Narrow(argv[1]);
  int runs = argc > 2 ? _wtoi(argv[2]) : 1;
  LARGE_INTEGER freq, a, b;
  QueryPerformanceFrequency(&freq);
  double size = 0;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(argv[1], GetFileExInfoStandard, &data))
    size = static_cast<double>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  for (int i = 0; i < runs; ++i) {
    QueryPerformanceCounter(&a);
    std::string digest = FileMD5(path);
    QueryPerformanceCounter(&b);
    double seconds = static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(freq.QuadPart);
    std::printf("FileMD5 %s %.3f s %.1f MB/s\n", digest.c_str(), seconds, size / seconds / 1e6);
    std::fflush(stdout);
  }
  return 0;
}

// Downloads one URL to a file through THTTP and prints the time and the process's memory.
// Usage: bench_download <url> <file> [--plain]. With --plain the download runs through bare
// WinHTTP calls instead (the floor that the platform's HTTP stack sets). Output lines: "seconds=..", "bytes=..",
// "peak_working_set_mb=..", "peak_private_mb=..", "private_before_mb=..".
#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <vector>

#include <cstdio>
#include <string>

#include "base/errors.h"
#include "base/win_text.h"
#include "net/http.h"

// GET url into file with plain WinHTTP calls and 1 MB reads; false on any failure.
static bool PlainDownload(const wchar_t* url, const wchar_t* file) {
  URL_COMPONENTS uc{};
  uc.dwStructSize = sizeof(uc);
  uc.dwHostNameLength = uc.dwUrlPathLength = uc.dwExtraInfoLength = DWORD(-1);
  if (!WinHttpCrackUrl(url, 0, 0, &uc)) return false;
  std::wstring host(uc.lpszHostName, uc.dwHostNameLength);
  std::wstring path = std::wstring(uc.lpszUrlPath, uc.dwUrlPathLength) +
                      std::wstring(uc.lpszExtraInfo, uc.dwExtraInfoLength);
  HINTERNET s = WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
  HINTERNET c = WinHttpConnect(s, host.c_str(), uc.nPort, 0);
  HINTERNET r = WinHttpOpenRequest(c, L"GET", path.c_str(), nullptr, nullptr, nullptr, WINHTTP_FLAG_SECURE);
  bool ok = r && WinHttpSendRequest(r, nullptr, 0, nullptr, 0, 0, 0) && WinHttpReceiveResponse(r, nullptr);
  HANDLE out = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  std::vector<char> buffer(1024 * 1024);
  DWORD got = 0, written = 0;
  while (ok && out != INVALID_HANDLE_VALUE) {
    if (!WinHttpReadData(r, buffer.data(), DWORD(buffer.size()), &got)) ok = false;
    if (!ok || got == 0) break;
    WriteFile(out, buffer.data(), got, &written, nullptr);
  }
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  WinHttpCloseHandle(r);
  WinHttpCloseHandle(c);
  WinHttpCloseHandle(s);
  return ok;
}

static double Mb(SIZE_T n) { return static_cast<double>(n) / (1024.0 * 1024.0); }

int wmain(int argc, wchar_t** argv) {
  const bool plain = argc == 4 && std::wstring(argv[3]) == L"--plain";
  if (argc != 3 && !plain) {
    std::fprintf(stderr, "usage: bench_download <url> <file> [--plain]\n");
    return 2;
  }
  PROCESS_MEMORY_COUNTERS_EX before{};
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&before),
                       sizeof(before));
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  if (plain) {
    QueryPerformanceCounter(&t0);
    bool ok = PlainDownload(argv[1], argv[2]);
    QueryPerformanceCounter(&t1);
    if (!ok) {
      std::fprintf(stderr, "bench_download: the plain WinHTTP download failed (%lu)\n", GetLastError());
      return 1;
    }
  } else try {
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

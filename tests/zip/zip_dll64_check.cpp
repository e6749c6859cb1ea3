// A 64-bit program that loads DelZip192x64.dll, writes an archive of a folder with a
// non-ASCII name and extracts it again. Exit code 0 when everything matched.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
  w.resize(static_cast<std::size_t>(n - 1));
  return w;
}

std::string Narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  s.resize(static_cast<std::size_t>(n - 1));
  return s;
}

int Fail(const char* what) {
  std::printf("FAILED: %s\n", what);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return Fail("usage: zip_dll64_check DLL");
  HMODULE dll = LoadLibraryW(argv[1]);
  if (!dll) return Fail("LoadLibrary");
  using AddFn = int (*)(const char*, const char*, const char*, const char*, unsigned, int, char*, int);
  using ExtractFn = int (*)(const char*, const char*, const char*, unsigned, char*, int);
  auto add = reinterpret_cast<AddFn>(reinterpret_cast<void*>(GetProcAddress(dll, "OrfZipAdd")));
  auto extract = reinterpret_cast<ExtractFn>(reinterpret_cast<void*>(GetProcAddress(dll, "OrfZipExtract")));
  if (!add || !extract) return Fail("exports");

  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const std::string base = Narrow(tmp) + "orfzip64-" + std::to_string(GetCurrentProcessId());
  const std::string src = base + "\\Qu\xC3\xA4lle";  // "Quälle"
  CreateDirectoryW(Wide(base).c_str(), nullptr);
  CreateDirectoryW(Wide(src).c_str(), nullptr);
  HANDLE h = CreateFileW(Wide(src + "\\\xC3\xBC.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail("create source file");
  DWORD written = 0;
  WriteFile(h, "sixty-four", 10, &written, nullptr);
  CloseHandle(h);

  char msg[512] = "";
  if (add((base + "\\a.zip").c_str(), src.c_str(), "*", "", 0x0100 | 0x0200 | 0x0800, 6, msg, sizeof msg) != 0) {
    std::printf("%s\n", msg);
    return Fail("OrfZipAdd");
  }
  if (extract((base + "\\a.zip").c_str(), (base + "\\out").c_str(), nullptr, 0x0001 | 0x0002, msg, sizeof msg) != 0) {
    std::printf("%s\n", msg);
    return Fail("OrfZipExtract");
  }
  h = CreateFileW(Wide(base + "\\out\\\xC3\xBC.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail("extracted file missing");
  char buf[32] = {};
  DWORD got = 0;
  ReadFile(h, buf, sizeof buf, &got, nullptr);
  CloseHandle(h);
  DeleteFileW(Wide(base + "\\out\\\xC3\xBC.txt").c_str());
  RemoveDirectoryW(Wide(base + "\\out").c_str());
  DeleteFileW(Wide(base + "\\a.zip").c_str());
  DeleteFileW(Wide(src + "\\\xC3\xBC.txt").c_str());
  RemoveDirectoryW(Wide(src).c_str());
  RemoveDirectoryW(Wide(base).c_str());
  if (got != 10 || std::memcmp(buf, "sixty-four", 10) != 0) return Fail("content differs");
  std::printf("DelZip192x64.dll: add and extract passed\n");
  return 0;
}

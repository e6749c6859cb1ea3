// A command-line front of the ZIP engine for the tests that run it on archives made by
// other tools (host build and, under Wine, the Windows build):
//   zip_cli extract ARCHIVE DEST   unpacks with folder names, created folders, NTFS times
//   zip_cli list ARCHIVE           prints each entry's name, one per line
//   zip_cli test ARCHIVE           checks every entry's data
// Prints "result=N" (0 on success) and, on a failure, "message=..." (UTF-8). Exit code 0
// when the engine answered, whatever its result; 2 on bad usage.
#include <cstdio>
#include <string>
#include <vector>

#include "zip/zip.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

int Run(const std::vector<std::string>& args) {
  if (args.size() < 3) {
    std::fprintf(stderr, "usage: zip_cli extract ARCHIVE DEST | list ARCHIVE | test ARCHIVE\n");
    return 2;
  }
  orfzip::TZipEngine zip;
  zip.ZipFileName = args[2];
  int rc;
  if (args[1] == "extract" && args.size() == 4) {
    zip.ExtrBaseDir = args[3];
    zip.ExtrOptions = {true, true, false, true};
    rc = zip.Extract();
  } else if (args[1] == "list") {
    std::vector<orfzip::TZipEntryInfo> entries;
    rc = zip.List(entries);
    for (const auto& e : entries) std::printf("%s\n", e.Name.c_str());
  } else if (args[1] == "test") {
    rc = zip.Test();
  } else {
    std::fprintf(stderr, "zip_cli: unknown command\n");
    return 2;
  }
  std::printf("result=%d\n", rc);
  if (rc != 0) std::printf("message=%s\n", zip.ErrMessage().c_str());
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, s.data(), n, nullptr, nullptr);
    args.push_back(s);
  }
  return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv, argv + argc)); }
#endif

// Our side of tools/bench-zip: runs one engine job and prints its time and peak memory.
//   zip_bench add ROOT ARCHIVE        writes ARCHIVE from every file below ROOT (level 6)
//   zip_bench extract ARCHIVE DEST    unpacks ARCHIVE into DEST (folder names, overwrite)
//   zip_bench run CMD ARGS...         runs another program and prints its peak memory
// Peak memory is the high-water mark of resident memory: for our jobs VmHWM of this
// process; for "run" the child's ru_maxrss (a forked child starts with this small
// process's pages, so the figure is exact to about 1 MB).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "zip/zip.h"

namespace {

long PeakKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

int RunChild(char** argv) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  if (pid < 0 || wait4(pid, &status, 0, &ru) < 0) return 2;
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "zip_bench: %s failed\n", argv[0]);
    return 1;
  }
  std::printf("seconds=%.3f maxrss_kb=%ld\n", secs, ru.ru_maxrss);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "run") == 0) return RunChild(argv + 2);
  if (argc != 4 || (std::strcmp(argv[1], "add") != 0 && std::strcmp(argv[1], "extract") != 0)) {
    std::fprintf(stderr, "usage: zip_bench add ROOT ARCHIVE | extract ARCHIVE DEST\n");
    return 2;
  }
  orfzip::TZipEngine zip;
  const auto start = std::chrono::steady_clock::now();
  int rc;
  if (std::strcmp(argv[1], "add") == 0) {
    zip.RootDir = argv[2];
    zip.ZipFileName = argv[3];
    zip.IncludeSpecs = {"*"};
    zip.AddOptions = {true, true, true, true};
    zip.WriteOptions.ZwoForceDest = true;
    rc = zip.Add();
  } else {
    zip.ZipFileName = argv[2];
    zip.ExtrBaseDir = argv[3];
    zip.ExtrOptions = {true, true, true, false};
    rc = zip.Extract();
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (rc != 0) {
    std::fprintf(stderr, "zip_bench: error %d: %s\n", rc, zip.ErrMessage().c_str());
    return 1;
  }
  std::printf("seconds=%.3f maxrss_kb=%ld files=%d\n", secs, PeakKb(), zip.SuccessCnt());
  return 0;
}

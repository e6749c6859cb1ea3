// Our side of tools/bench-zip: runs one engine job and prints its time and peak memory.
//   zip_bench add ROOT ARCHIVE        writes ARCHIVE from every file below ROOT (level 6)
//   zip_bench extract ARCHIVE DEST    unpacks ARCHIVE into DEST (folder names, overwrite)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "zip/zip.h"

int main(int argc, char** argv) {
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
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  if (rc != 0) {
    std::fprintf(stderr, "zip_bench: error %d: %s\n", rc, zip.ErrMessage().c_str());
    return 1;
  }
  std::printf("seconds=%.3f maxrss_kb=%ld files=%d\n", secs, ru.ru_maxrss, zip.SuccessCnt());
  return 0;
}

// The exported C functions of the engine's native library files.
#include "zip/zip_dll.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "zip/zip.h"

namespace {

std::vector<std::string> SplitMasks(const char* masks) {
  std::vector<std::string> out;
  if (!masks) return out;
  std::string cur;
  for (const char* p = masks;; ++p) {
    if (*p == ';' || *p == '\0') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
      if (*p == '\0') break;
    } else {
      cur += *p;
    }
  }
  return out;
}

int Finish(const orfzip::TZipEngine& zip, int rc, char* message, int messageSize) {
  if (message && messageSize > 0) {
    const std::string& text = zip.ErrMessage();
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(messageSize - 1));
    std::memcpy(message, text.data(), n);
    message[n] = '\0';
  }
  return rc;
}

}  // namespace

extern "C" {

ORFZIP_API const char* OrfZipVersion(void) { return "1.0.0"; }

ORFZIP_API int OrfZipExtract(const char* archive, const char* destination, const char* includeMasks,
                             unsigned options, char* message, int messageSize) {
  try {
    orfzip::TZipEngine zip;
    zip.ZipFileName = archive ? archive : "";
    zip.ExtrBaseDir = destination ? destination : "";
    zip.IncludeSpecs = SplitMasks(includeMasks);
    zip.ExtrOptions.ExtrDirNames = options & ORFZIP_EXTR_DIRNAMES;
    zip.ExtrOptions.ExtrForceDirs = options & ORFZIP_EXTR_FORCEDIRS;
    zip.ExtrOptions.ExtrOverWrite = options & ORFZIP_EXTR_OVERWRITE;
    zip.ExtrOptions.ExtrNTFS = options & ORFZIP_EXTR_NTFS;
    return Finish(zip, zip.Extract(), message, messageSize);
  } catch (...) {
    return orfzip::kZipInternal;
  }
}

ORFZIP_API int OrfZipAdd(const char* archive, const char* root, const char* includeMasks,
                         const char* excludeMasks, unsigned options, int level, char* message,
                         int messageSize) {
  try {
    orfzip::TZipEngine zip;
    zip.ZipFileName = archive ? archive : "";
    zip.RootDir = root ? root : "";
    zip.IncludeSpecs = SplitMasks(includeMasks);
    zip.ExcludeSpecs = SplitMasks(excludeMasks);
    zip.CompressionLevel = level;
    zip.AddOptions.AddDirNames = options & ORFZIP_ADD_DIRNAMES;
    zip.AddOptions.AddRecurseDirs = options & ORFZIP_ADD_RECURSE;
    zip.AddOptions.AddHiddenFiles = options & ORFZIP_ADD_HIDDEN;
    zip.AddOptions.AddNTFS = options & ORFZIP_ADD_NTFS;
    zip.WriteOptions.ZwoForceDest = options & ORFZIP_ADD_FORCEDEST;
    return Finish(zip, zip.Add(), message, messageSize);
  } catch (...) {
    return orfzip::kZipInternal;
  }
}

ORFZIP_API int OrfZipTest(const char* archive, char* message, int messageSize) {
  try {
    orfzip::TZipEngine zip;
    zip.ZipFileName = archive ? archive : "";
    return Finish(zip, zip.Test(), message, messageSize);
  } catch (...) {
    return orfzip::kZipInternal;
  }
}

}  // extern "C"

#include "install/archive_jobs.h"

#include <memory>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/text.h"
#include "install/files.h"
#include "log/log.h"
#include "zip/zip_fs.h"

namespace {

void PrepareExtract(orfzip::TZipEngine& zip, const std::string& archive, const std::string& folder,
                    bool overwrite, bool ntfs) {
  zip.ZipFileName = archive;
  zip.ExtrBaseDir = folder;
  zip.IncludeSpecs.clear();
  zip.ExcludeSpecs.clear();
  zip.ExtrOptions = {};
  zip.ExtrOptions.ExtrDirNames = true;
  zip.ExtrOptions.ExtrForceDirs = true;
  zip.ExtrOptions.ExtrOverWrite = overwrite;
  zip.ExtrOptions.ExtrNTFS = ntfs;
}

}  // namespace

bool UnzipArchive(const std::string& archive, const std::string& destination) {
  return UnzipArchive(archive, INVALID_HANDLE_VALUE, destination);
}

bool UnzipArchive(const std::string& archive, HANDLE openArchive, const std::string& destination) {
  orfzip::TZipEngine zip;
  std::unique_ptr<orfzip::fs::File> borrowed;
  try {
    zip.RaiseErrors = true;
    PrepareExtract(zip, archive, destination, /*overwrite=*/false, /*ntfs=*/true);
    if (openArchive != INVALID_HANDLE_VALUE && openArchive != nullptr) {
      borrowed = orfzip::fs::BorrowHandle(openArchive);
      zip.ArchiveFile = borrowed.get();
    }
    // Whatever an earlier run left in the destination goes first, unless the destination
    // holds the archive itself (a name without extension, say).
    if (!destination.empty()) {
      std::string dest = text::ToLower(text::IncludeTrailingBackslash(destination));
      if (text::StartsWith(text::ToLower(archive), dest) || text::ToLower(archive) + "\\" == dest) {
        WriteLog("Cannot unpack " + archive + " into " + destination + ": the folder holds the archive");
        return false;
      }
      DeleteTree(destination);
      if (PathExists(destination)) {
        WriteLog("Cannot empty the folder " + destination);
        return false;
      }
    }
    return zip.Extract() == 0;
  } catch (const std::exception& e) {
    WriteLog(std::string("Extract Exception: ") + e.what());
    WriteLog("Ziperror : " + std::to_string(zip.ErrCode()) + " " + zip.ErrMessage());
    return false;
  }
}

int UnzipArchiveQuietly(const std::string& archive, orfzip::fs::File& input, const std::string& destination) {
  orfzip::TZipEngine zip;
  PrepareExtract(zip, archive, destination, /*overwrite=*/false, /*ntfs=*/true);
  zip.ArchiveFile = &input;
  if (PathExists(destination)) return orfzip::kZipBadParameter;
  return zip.Extract();
}

int RunBackupJob(orfzip::TZipEngine& zip, const std::string& archive, const std::string& installRoot,
                 int compressionLevel) {
  zip.ZipFileName = archive;
  zip.CompressionLevel = compressionLevel;
  zip.RootDir = installRoot;
  zip.IncludeSpecs = {"*"};
  zip.ExcludeSpecs = {"*.lock"};
  zip.AddOptions = {};
  zip.AddOptions.AddDirNames = true;
  zip.AddOptions.AddRecurseDirs = true;
  zip.AddOptions.AddHiddenFiles = true;
  zip.AddOptions.AddNTFS = true;
  zip.WriteOptions = {};
  zip.WriteOptions.ZwoForceDest = true;
  zip.RaiseErrors = false;
  return zip.Add();
}

// This engine has no non-fatal outcomes besides success.
bool BackupSucceeded(int result) { return result == 0; }

int RunRestoreJob(orfzip::TZipEngine& zip, const std::string& archive, const std::string& folder) {
  PrepareExtract(zip, archive, folder, /*overwrite=*/true, /*ntfs=*/true);
  zip.RaiseErrors = true;
  return zip.Extract();
}

int RunRollbackJob(orfzip::TZipEngine& zip, const std::string& archive, const std::string& installRoot) {
  PrepareExtract(zip, archive, installRoot, /*overwrite=*/true, /*ntfs=*/false);
  zip.RaiseErrors = true;
  return zip.Extract();
}

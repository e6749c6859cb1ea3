#pragma once
// The archive jobs: unpacking a download, and the backup, restore and rollback of an update.
#include <windows.h>

#include <string>

#include "zip/zip.h"

// Unpacks every entry of `archive` below `destination`, keeping folder names and NTFS times.
// The destination is emptied first, so that it holds exactly the archive's content (never
// files left there by an earlier, perhaps interrupted, run). Never raises: a failure is
// logged ("Extract Exception: " and "Ziperror : " lines) and reported as false.
bool UnzipArchive(const std::string& archive, const std::string& destination);
// The same, read through `openArchive`, the archive already open with read access (as it was
// when its sum was checked), so that what is unpacked is what was checked; `archive` names it
// in messages.
bool UnzipArchive(const std::string& archive, HANDLE openArchive, const std::string& destination);
// Unpacks every entry of the archive read through `input` (named `archive` in messages) into
// `destination`, which is created and must not exist yet, with the options of UnzipArchive.
// Nothing is logged: returns the engine's result (0 when every entry was unpacked).
int UnzipArchiveQuietly(const std::string& archive, orfzip::fs::File& input, const std::string& destination);

// Writes the backup of an install root to `archive` with `zip`: every file below the root
// (hidden and system files included, folder names and NTFS times kept) except "*.lock";
// the archive's folder is created when missing. Returns the engine's result; failures are
// returned, not raised. BackupSucceeded tells which results count as success.
// `compressionLevel` is the deflate level (0 stores): the backup is a temporary file, so it is
// written at the level that makes it fastest (see kBackupCompressionLevel).
int RunBackupJob(orfzip::TZipEngine& zip, const std::string& archive, const std::string& installRoot,
                 int compressionLevel);
// The update's backup level, chosen by measurement (tools/bench-update): stored. The backup is
// a temporary file; deflating it (even at level 1) made it five times slower on program-like
// files, longer than the whole rest of the update.
inline constexpr int kBackupCompressionLevel = 0;
bool BackupSucceeded(int result);

// Unpacks the whole backup into `folder` (created when missing), overwriting files and
// restoring NTFS times. Returns the engine's result (0); a failure raises EZipError.
int RunRestoreJob(orfzip::TZipEngine& zip, const std::string& archive, const std::string& folder);

// Unpacks the whole backup over the install root, overwriting files. Returns the engine's
// result (0); a failure raises EZipError.
int RunRollbackJob(orfzip::TZipEngine& zip, const std::string& archive, const std::string& installRoot);

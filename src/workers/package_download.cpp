#include "workers/package_download.h"

#include <map>
#include <memory>
#include <utility>

#include "base/file_system.h"
#include "base/text.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "install/archive_jobs.h"
#include "install/files.h"
#include "install/folder_security.h"
#include "lang/language.h"
#include "log/log.h"
#include "net/qdapi_client.h"
#include "state/state.h"
#include "workers/download_file.h"
#include "workers/download_names.h"
#include "workers/unpack_ahead.h"
#include "workers/status_sink.h"
#include "workers/step_failure.h"

namespace {

TFileListArray ListFiles(TQDAPIClient& client, const DownloadRun& run) {
  TFileListArray files = client.update_listFiles();
  if (files.empty()) {
    WriteLog("update_listfiles, OuMessage: " + client.lastErrorMsg());
    FailStep();
  }
  // Names come from the server and become paths in the download area: a name that is
  // not a plain file name there ends the run before anything is written.
  for (const auto& f : files) {
    if (!silent::IsSafeDownloadName(f.name)) FailDownload(run, "refused file name from the server: " + f.name);
  }
  return files;
}

// A listed file downloaded in this run whose sum matched, held open with nobody else allowed
// to write, delete or rename it, and its unpacking begun while it downloaded (if any). The
// unpacking reads through the file, so it goes first.
struct CheckedArchive {
  std::unique_ptr<DownloadFile> file;
  std::unique_ptr<UnpackAhead> unpack;
};

// Downloads the `index`th listed file into a file of its own, made by the download and held
// from then on, unpacks it aside as its bytes arrive, and checks its MD5 sum, computed as the
// bytes arrived; a refused or broken download is passed over and leaves nothing behind (its
// file and what was unpacked of it are deleted). Returns the checked archive, or one without
// a file when the download failed. A mismatch deletes both and fails the step.
CheckedArchive DownloadAndCheck(TQDAPIClient& client, const DownloadRun& run, const TFileList& entry, size_t index,
                                const PackageSteps& steps, StatusSink& sink) {
  const std::string path = run.area + "\\" + entry.name;
  std::unique_ptr<DownloadFile> file;
  try {
    file = std::make_unique<DownloadFile>(path);
  } catch (const std::exception& e) {
    WriteLog(e.what());
    return {};
  }
  // Declared after the file, so that it ends (and stops reading) before the file is closed.
  std::unique_ptr<UnpackAhead> unpack;
  const std::string aside = UnpackAhead::FolderFor(run.area, index);
  if (!PathExists(aside)) unpack = std::make_unique<UnpackAhead>(*file, path, aside);
  uint64_t size = 0;
  if (!client.update_downloadFile(entry.name, *file, size)) return {};
  try {
    file->Complete(size);
  } catch (const std::exception& e) {
    WriteLog(e.what());
    return {};
  }
  WriteLog("| " + steps.checkMD5Text);
  sink.Status(kDownloadLabel, steps.checkMD5Text, false);
  sink.Status(kDownloadProgress, "75", false);
  std::string sum;
  try {
    sum = file->Md5();
  } catch (const std::exception& e) {
    FailDownload(run, "Cannot check " + path + ": " + e.what());
  }
  if (sum == text::ToLower(entry.checksum)) {
    file->Keep();
    return {std::move(file), std::move(unpack)};
  }
  WriteLog("| " + steps.checksumIncorrectText);
  if (FileExists(path)) {
    WriteLog("File exists " + path);
    WriteLog("FileSize " + std::to_string(FileSizeOf(path)));
  }
  // Nothing that failed its check stays, neither under the archive's name nor unpacked.
  unpack.reset();
  file->Discard();
  if (run.mode == DownloadMode::Silent) WriteLog(steps.checksumIncorrectText + entry.name);
  sink.Status(kDownloadLabel, steps.checksumIncorrectText + entry.name, false);
  FailStep();
}

// Puts the checked archive's content into `folder`: the tree unpacked while it downloaded
// when that ended well and the folder is free, otherwise the archive unpacked now through
// the handle it was checked through (UnzipArchive empties the folder first). An archive that
// fails to unpack leaves no part of its content there.
bool PlaceUnpacked(CheckedArchive& archive, const std::string& path, const std::string& folder) {
  if (archive.unpack && !PathExists(folder) && archive.unpack->Finish() && archive.unpack->MoveTo(folder)) return true;
  archive.unpack.reset();
  if (UnzipArchive(path, archive.file->Handle(), folder)) return true;
  if (DirectoryExists(folder)) DeleteTree(folder);
  return false;
}

}  // namespace

std::string DownloadAreaIn(const std::string& tempDir) { return tempDir + "\\Orfeda"; }

std::string DownloadArea() { return DownloadAreaIn(TempDir); }

void FailDownload(const DownloadRun& run, const std::string& line) {
  WriteLog(line);
  if (run.mode == DownloadMode::Silent) WriteLog("exit");
  FailStep();
}

UniqueFile PrepareDownloadArea(const DownloadRun& run) {
  try {
    return CreateFreshProtectedFolder(run.area, kStagingSddl);
  } catch (const std::exception& e) {
    FailDownload(run, "Cannot prepare the download folder " + run.area + ": " + e.what());
  }
}

void Authenticate(TQDAPIClient& client, const DownloadRun& run, const std::string& validateLog,
                  const std::string& validateLabel, StatusSink& sink) {
  if (!client.auth_Key()) FailDownload(run, "auth_key failed, OuMessage: " + client.lastErrorMsg());
  sink.Status(kDownloadProgress, "15", false);
  WriteLog("| " + validateLog);
  sink.Status(kDownloadLabel, validateLabel, false);
  if (!client.auth_validate()) FailDownload(run, "auth_validate failed, OuMessage: " + client.lastErrorMsg());
  sink.Status(kDownloadProgress, "30", false);
}

void SettleVersion(TQDAPIClient& client, const DownloadRun& run, std::string& version, StatusSink& sink) {
  WriteLog("| " + txtGetDefinedVersion);
  sink.Status(kDownloadLabel, txtGetDefinedVersion, false);
  if (!version.empty()) {
    client.setVersion(version);
    if (client.update_validateVersion()) return;
    WriteLog("validate of " + version + " failed");
    // Unattended, a version the administrator named is not replaced by another.
    if (run.mode == DownloadMode::Silent) FailStep();
    WriteLog("get latest version...");
    WriteLog("| " + txtGetDefinedVersion);
    sink.Status(kDownloadLabel, txtGetDefinedVersion, false);
  }
  std::string latest = client.update_getLatestVersion();
  if (latest.empty()) {
    sink.Message(txtNoData);
    WriteLog("update_getLatestVersion, OuMessage: " + client.lastErrorMsg());
    FailStep();
  }
  version = latest;
  client.setVersion(version);
}

void DownloadPackage(TQDAPIClient& client, const DownloadRun& run, const PackageSteps& steps,
                     StatusSink& sink) {
  WriteLog("| " + steps.listFilesText);
  sink.Status(kDownloadLabel, steps.listFilesText, false);
  const TFileListArray files = ListFiles(client, run);
  sink.Status(kDownloadProgress, "60", false);

  WriteLog("| " + steps.downloadingLog);
  sink.Status(kDownloadLabel, steps.downloadingLabel, false);
  // The checked files, each held open from its check to its unpacking.
  std::map<std::string, CheckedArchive> verified;
  for (size_t i = 0; i < files.size(); ++i) {
    const TFileList& entry = files[i];
    steps.logFile(entry);
    sink.Status(kDownloadLabel, steps.downloadFileLabel + entry.name, false);
    // A name listed twice: the later download takes the place of the earlier one.
    if (verified.erase(entry.name)) DeleteFileW(Widen(run.area + "\\" + entry.name).c_str());
    CheckedArchive checked = DownloadAndCheck(client, run, entry, i, steps, sink);
    if (checked.file) verified[entry.name] = std::move(checked);
  }

  WriteLog("| " + steps.extractingLog);
  sink.Status(kDownloadLabel, steps.extractingLabel, false);
  sink.Status(kDownloadProgress, "90", false);
  for (const auto& entry : files) {
    const std::string folder = run.area + "\\" + silent::ArchiveFolderName(entry.name);
    // Only files checked in this run are unpacked, from the bytes that were checked.
    const auto checked = verified.find(entry.name);
    if (checked == verified.end() || !PlaceUnpacked(checked->second, run.area + "\\" + entry.name, folder)) {
      WriteLog("| " + steps.extractErrorText);
      if (steps.exitLineOnExtractError) WriteLog("exit");
      sink.Status(kDownloadLabel, steps.extractErrorText, false);
      FailStep();
    }
    steps.afterUnpack(folder);
  }
}

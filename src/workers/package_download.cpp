#include "workers/package_download.h"

#include <map>
#include <utility>

#include "base/file_system.h"
#include "base/text.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "install/archive_jobs.h"
#include "install/files.h"
#include "install/folder_security.h"
#include "install/manifest.h"
#include "lang/language.h"
#include "log/log.h"
#include "net/qdapi_client.h"
#include "state/state.h"
#include "workers/download_names.h"
#include "workers/status_sink.h"
#include "workers/step_failure.h"

namespace {

[[noreturn]] void LogExitAndFail(const std::string& line) {
  WriteLog(line);
  WriteLog("exit");
  FailStep();
}

TFileListArray ListFiles(TQDAPIClient& client) {
  TFileListArray files = client.update_listFiles();
  if (files.empty()) {
    WriteLog("update_listfiles, OuMessage: " + client.lastErrorMsg());
    FailStep();
  }
  // Names come from the server and become paths in the download area: a name that is
  // not a plain file name there ends the run before anything is written.
  for (const auto& f : files) {
    if (!silent::IsSafeDownloadName(f.name))
      LogExitAndFail("refused file name from the server: " + f.name);
  }
  return files;
}

// Downloads one listed file and checks its MD5 sum; a refused download is passed over.
// Returns the file, open for reading with nobody else allowed to write, delete or rename it,
// when it was downloaded in this run and its sum matched; empty when the download failed.
UniqueFile DownloadAndCheck(TQDAPIClient& client, const TFileList& entry, const PackageSteps& steps) {
  if (!client.update_downloadFile(entry.name, DownloadArea() + "\\")) return UniqueFile();
  WriteLog("| " + steps.checkMD5Text);
  const std::string path = DownloadArea() + "\\" + entry.name;
  UniqueFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    LogExitAndFail("Cannot open " + path + " for its check: " + SystemErrorText(error));
  }
  if (text::ToLower(FileMD5(file.get())) == text::ToLower(entry.checksum)) return file;
  WriteLog("| " + steps.checksumIncorrectText);
  if (FileExists(path)) {
    WriteLog("File exists " + path);
    WriteLog("FileSize " + std::to_string(FileSizeOf(path)));
  }
  WriteLog(steps.checksumIncorrectText + entry.name);
  FailStep();
}

}  // namespace

std::string DownloadArea() { return TempDir + "\\Orfeda"; }

UniqueFile PrepareDownloadArea() {
  try {
    return CreateFreshProtectedFolder(DownloadArea(), kStagingSddl);
  } catch (const std::exception& e) {
    LogExitAndFail("Cannot prepare the download folder " + DownloadArea() + ": " + e.what());
  }
}

void Authenticate(TQDAPIClient& client, const std::string& validateText) {
  if (!client.auth_Key()) LogExitAndFail("auth_key failed, OuMessage: " + client.lastErrorMsg());
  WriteLog("| " + validateText);
  if (!client.auth_validate())
    LogExitAndFail("auth_validate failed, OuMessage: " + client.lastErrorMsg());
}

void SettleVersion(TQDAPIClient& client, std::string& version, StatusSink& sink) {
  WriteLog("| " + txtGetDefinedVersion);
  if (!version.empty()) {
    client.setVersion(version);
    if (!client.update_validateVersion()) {
      WriteLog("validate of " + version + " failed");
      FailStep();
    }
    return;
  }
  std::string latest = client.update_getLatestVersion();
  if (latest.empty()) {
    sink.Message(txtNoData);
    WriteLog("update_getLatestVersion, OuMessage: " + client.lastErrorMsg());
    FailStep();
  }
  version = latest;
}

void DownloadPackage(TQDAPIClient& client, std::string& version, const PackageSteps& steps,
                     StatusSink& sink) {
  SettleVersion(client, version, sink);
  steps.logVersion(version);

  WriteLog("| " + steps.listFilesText);
  const TFileListArray files = ListFiles(client);

  WriteLog("| " + steps.downloadingText);
  // The checked files, each held open from its check to its unpacking.
  std::map<std::string, UniqueFile> verified;
  for (const auto& entry : files) {
    steps.logFile(entry);
    if (UniqueFile file = DownloadAndCheck(client, entry, steps)) verified[entry.name] = std::move(file);
  }

  WriteLog("| " + steps.extractingText);
  for (const auto& entry : files) {
    const std::string folder = DownloadArea() + "\\" + silent::ArchiveFolderName(entry.name);
    // Only files checked in this run are unpacked, through the handle they were checked
    // through. UnzipArchive empties the folder first.
    const auto checked = verified.find(entry.name);
    if (checked == verified.end() ||
        !UnzipArchive(DownloadArea() + "\\" + entry.name, checked->second.get(), folder)) {
      if (steps.exitLineOnExtractError) LogExitAndFail("| " + steps.extractErrorText);
      WriteLog("| " + steps.extractErrorText);
      FailStep();
    }
    steps.afterUnpack(folder);
  }
  WriteLog("| " + steps.doneText);
}

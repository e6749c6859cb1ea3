#include "workers/silent_install.h"

#include <windows.h>

#include <memory>
#include <set>
#include <string>

#include "install/zip_dlls.h"
#include "state/state.h"
#include "build_config.h"
#include "base/errors.h"
#include "base/file_system.h"
#include "base/lifecycle.h"
#include "base/text.h"
#include "install/archive_jobs.h"
#include "install/config_files.h"
#include "install/files.h"
#include "install/manifest.h"
#include "install/registry_records.h"
#include "install/shell_links.h"
#include "lang/language.h"
#include "log/log.h"
#include "net/http.h"
#include "net/qdapi_client.h"
#include "workers/printer_packages.h"
#include "workers/download_names.h"
#include "workers/silent_outcome.h"
#include "workers/status_sink.h"

namespace {

const GUID kFolderDesktop = {0xB4BFCC3A, 0xDB2C, 0x424C, {0xB0, 0x29, 0x7F, 0xE9, 0x9A, 0x87, 0xC6, 0x41}};
const GUID kFolderPublicDesktop = {0xC4AA340D, 0xF20F, 0x4863, {0xAF, 0xEF, 0xF8, 0x7E, 0xF2, 0xE6, 0xBA, 0x25}};

// Ends the sequence early: the run failed. Everything worth telling is logged by then.
struct SilentAbort {};

[[noreturn]] void Fail() { throw SilentAbort{}; }

void LogAndExit(const std::string& line) {
  WriteLog(line);
  WriteLog("exit");
  Fail();
}

std::string DownloadArea() { return TempDir + "\\Orfeda"; }

// The texts that differ between the release and the partner package download.
struct PhaseTexts {
  const std::string& downloading;
  const std::string& checkMD5;
  const std::string& checksumIncorrect;
  const std::string& extracting;
  const std::string& extractError;
  const std::string& done;
};

// Settles the version: a defined one must be known to the server, otherwise the latest.
// `version` is the defined version on entry and the version to install on return.
void SettleVersion(TQDAPIClient& client, std::string& version, StatusSink& sink) {
  WriteLog("| " + txtGetDefinedVersion);
  if (!version.empty()) {
    client.setVersion(version);
    if (!client.update_validateVersion()) {
      WriteLog("validate of " + version + " failed");
      Fail();
    }
    return;
  }
  std::string latest = client.update_getLatestVersion();
  if (latest.empty()) {
    sink.Message(txtNoData);
    WriteLog("update_getLatestVersion, OuMessage: " + client.lastErrorMsg());
    Fail();
  }
  version = latest;
}

void Authenticate(TQDAPIClient& client, const std::string& validateText) {
  if (!client.auth_Key()) LogAndExit("auth_key failed, OuMessage: " + client.lastErrorMsg());
  WriteLog("| " + validateText);
  if (!client.auth_validate())
    LogAndExit("auth_validate failed, OuMessage: " + client.lastErrorMsg());
}

TFileListArray ListFiles(TQDAPIClient& client) {
  TFileListArray files = client.update_listFiles();
  if (files.empty()) {
    WriteLog("update_listfiles, OuMessage: " + client.lastErrorMsg());
    Fail();
  }
  // Names come from the server and become paths in the download area: a name that is
  // not a plain file name there ends the run before anything is written.
  for (const auto& f : files) {
    if (!silent::IsSafeDownloadName(f.name)) {
      WriteLog("refused file name from the server: " + f.name);
      WriteLog("exit");
      Fail();
    }
  }
  return files;
}

// Downloads one listed file and checks its MD5 sum; a refused download is passed over.
// True when the file was downloaded in this run and its sum matched.
bool DownloadAndCheck(TQDAPIClient& client, const TFileList& entry, const PhaseTexts& t) {
  if (!ForceDirectories(DownloadArea())) {
    // Without the download area nothing can be stored; the download below then fails and
    // the unpack step reports it.
  }
  if (!client.update_downloadFile(entry.name, DownloadArea() + "\\")) return false;
  WriteLog("| " + t.checkMD5);
  const std::string path = DownloadArea() + "\\" + entry.name;
  if (text::ToLower(FileMD5(path)) == text::ToLower(entry.checksum)) return true;
  WriteLog("| " + t.checksumIncorrect);
  if (FileExists(path)) {
    WriteLog("File exists " + path);
    WriteLog("FileSize " + std::to_string(FileSizeOf(path)));
  }
  WriteLog(t.checksumIncorrect + entry.name);
  Fail();
}

// Unpacks a downloaded archive into its folder; UnzipArchive empties the folder first, so
// nothing an earlier run unpacked there stays in place of the new files.
bool Unpack(const std::string& name, const std::string& folder) {
  return UnzipArchive(DownloadArea() + "\\" + name, folder);
}

void ReleaseDownload(TQDAPIClient& client, StatusSink& sink) {
  Authenticate(client, txtAuthValidate);
  SettleVersion(client, InstallRec.Version, sink);
  WriteLog(txtVersion + " " + InstallRec.Version);

  WriteLog("| " + txtListFiles);
  const TFileListArray files = ListFiles(client);
  std::set<std::string> verified;

  const PhaseTexts t{txtDownloading, txtCheckMD5,     txtChecksumIncorrect,
                     txtExtracting,  txtExtractError, txtDone};
  WriteLog("| " + t.downloading);
  for (const auto& entry : files) {
    WriteLog("| " + txtDownloadFile);
    WriteLog(txtDownloadFile + entry.name);
    if (DownloadAndCheck(client, entry, t)) verified.insert(entry.name);
  }

  WriteLog("| " + t.extracting);
  for (const auto& entry : files) {
    const std::string folder = DownloadArea() + "\\" + silent::ArchiveFolderName(entry.name);
    // A file whose download failed may be a stale one of an earlier run: only files
    // checked in this run are unpacked.
    if (!verified.count(entry.name) || !Unpack(entry.name, folder)) LogAndExit("| " + t.extractError);
    if (FileExists(folder + "\\setup.json")) {
      if (ReadComponents(folder + "\\setup.json")) WriteLog("| " + txtComponentsOk);
    }
    InstallRec.FromDir = folder;
  }
  WriteLog("| " + t.done);
}

void PartnerDownload(TQDAPIClient& client, StatusSink& sink) {
  const std::string appname = std::string(kQDAPIAppName) + "_" + InstallRec.Partner;
  client.setAppname(appname);
  Authenticate(client, txtPartnerAuthValidate);
  WriteLog("| " + txtPartnerGetLatestVersion);
  WriteLog("| Server: " + std::string(build_config::kUpdateServerUrl));
  WriteLog("| Branch: " + Branch);
  WriteLog("| Appname: " + appname);
  SettleVersion(client, InstallRec.PartnerVersion, sink);
  WriteLog(txtPartnerVersion + InstallRec.PartnerVersion);

  WriteLog("| " + txtPartnerListFiles);
  const TFileListArray files = ListFiles(client);
  std::set<std::string> verified;

  const PhaseTexts t{txtPartnerDownloading,  txtPartnerCheckMD5,     txtPartnerChecksumIncorrect,
                     txtPartnerExtracting,   txtPartnerExtractError, txtPartnerDone};
  WriteLog("| " + t.downloading);
  for (const auto& entry : files) {
    WriteLog("| " + txtPartnerDownloadFile + entry.name);
    if (DownloadAndCheck(client, entry, t)) verified.insert(entry.name);
  }

  WriteLog("| " + t.extracting);
  const std::string partnerFolder = InstallRec.FromDir + "\\files\\partner";
  for (const auto& entry : files) {
    const std::string folder = DownloadArea() + "\\" + silent::ArchiveFolderName(entry.name);
    if (!verified.count(entry.name) || !Unpack(entry.name, folder)) {
      WriteLog("| " + t.extractError);
      Fail();
    }
    try {
      CopyFolderTree(folder + "\\files", partnerFolder);
    } catch (const std::exception& e) {
      WriteLog(std::string("copy of files failed with error: ") + e.what());
    }
    bool written = false;
    try {
      written = WriteVersionFile(InstallRec.PartnerVersion, partnerFolder);
    } catch (const std::exception&) {
      written = false;
    }
    WriteLog(written ? "| CreateVersiontxt ok" : "| CreateVersiontxt failed");
  }
  WriteLog("| " + t.done);
}

// Installs the "Orfeda" component. False when a step the installation depends on failed
// (the files could not be copied or a driver package failed).
bool InstallComponents(bool& restartRequired) {
  bool ok = true;
  if (!RunPreExec()) WriteLog("preexecute failed");
  WriteLog("start components");
  for (const auto& component : ComponentList) {
    if (component.name != "Orfeda") continue;
    WriteLog("component : " + component.name);
    WriteLog("ForceDirectories " + InstallRec.InstPath +
             (ForceDirectories(InstallRec.InstPath) ? " ok" : " error"));
    WriteLog(CreateProductIni() ? "CreateOrfedaini ok" : "CreateOrfedaini error");
    WriteLog(WriteUpdaterCfg() ? "Createupdatercfg ok" : "Createupdatercfg error");
    WriteOptionsKey();
    try {
      CopyFolderTree(InstallRec.FromDir + "\\files\\", InstallRec.InstPath);
    } catch (const std::exception& e) {
      WriteLog(std::string("copy of files failed with error: ") + e.what());
      ok = false;
    }
    if (InstallPrinterPackages(restartRequired)) {
      WriteLog("Install Printer ok");
    } else {
      WriteLog("InstallPrinter failed");
      ok = false;
    }
  }
  WriteLog("end components");
  if (!RunPostExec()) WriteLog("postexecute failed");
  return ok;
}

// The Windows uninstall entry, the links for "me" or "all", and the product's uninstall
// key with the links that were made.
void RegisterInstallation() {
  WriteLog("Add program information...");
  const std::string uninstaller = InstallRec.InstPath + "\\uninstall.exe";
  const bool me = InstallRec.Users == "me";
  if (me) {
    CreateSoftwareEntryUser(InstallRec.ApplicationName, "no Comment", "", uninstaller,
                            InstallRec.Provider, InstallRec.Version, "", "",
                            InstallRec.ApplicationName);
  } else {
    CreateSoftwareEntryAll(InstallRec.ApplicationName, "no Comment", "", uninstaller,
                           InstallRec.Provider, InstallRec.Version, "", "",
                           InstallRec.ApplicationName);
  }

  // "-1" for each kind of link made below, "0" for the others.
  UninstallRec = TUninstallRec{"0", "0", "0"};
  const std::string target = InstallRec.InstPath + "\\Orfeda.exe";
  const std::string& name = InstallRec.ApplicationName;
  const std::string prefix = "Error: User: " + InstallRec.Users;
  if (me || InstallRec.Users == "all") {
    const std::string desktop = KnownFolderPath(me ? kFolderDesktop : kFolderPublicDesktop);
    if (CreateLink(target, desktop + "\\" + name + ".lnk")) UninstallRec.ShortCut = "-1";
    else WriteLog(prefix + " CreateLink");
    if (me ? CreateAutoStartUser(target, name) : CreateAutoStartAll(target, name))
      UninstallRec.AutoStart = "-1";
    else WriteLog(prefix + (me ? " CreateAutoStartUser" : " CreateAutoStartAll"));
    if (me ? CreateStartMenuUser(InstallRec.Provider, target, name)
           : CreateStartMenuAll(InstallRec.Provider, target, name))
      UninstallRec.StartMenu = "-1";
    else WriteLog(prefix + (me ? " CreateStartMenuUser" : " CreateStartMenuAll"));
  }
  // The uninstaller reads the install root, the printer and the links from this key.
  WriteLog(WriteUninstallKey() ? "RegWriteUninstall ok" : "RegWriteUninstall error");
}

silent::Outcome RunSequence(StatusSink& sink) {
  WriteLog("silent install started...");
  auto client = std::make_unique<TQDAPIClient>(MakeHttpsTransport(),
                                               build_config::kUpdateServerUrl, "", "");
  client->setKey(kQDAPIKey);
  client->setBranch(Branch);
  client->setAppname(kQDAPIAppName);
  client->setVersion(InstallRec.Version);

  InstallRec.Provider = "Palvoro Fax";
  InstallRec.Producer = "Palvoro";
  InstallRec.PrinterName = "Palvoro Fax";
  InstallRec.ApplicationName = "Palvoro Fax";
  InstallRec.Partner = "kqx";
  WriteLog("InstallRec.Provider :=" + InstallRec.Provider);
  WriteLog("InstallRec.Producer := " + InstallRec.Producer);
  WriteLog("InstallRec.PrinterName := " + InstallRec.PrinterName);
  WriteLog("InstallRec.ApplicationName := " + InstallRec.ApplicationName);
  WriteLog("InstallRec.Partner := " + InstallRec.Partner);

  ReleaseDownload(*client, sink);
  PartnerDownload(*client, sink);

  bool restartRequired = false;
  const bool installed = InstallComponents(restartRequired);
  RegisterInstallation();

  RemoveZipDlls();
  WriteLog("setup finished...");
  if (!installed) return silent::Outcome::Failed;
  return restartRequired ? silent::Outcome::RestartRequired : silent::Outcome::Done;
}

}  // namespace

bool InstallPrinterPackages(bool& restartRequired) {
  const std::string exe = InstallRec.InstPath + "\\Orfeda.exe";
  WriteLog("ORFEDAINSTALLPATH : " + exe);
  SetMachineEnvironment("ORFEDAINSTALLPATH", exe);
  const std::string nova = InstallRec.FromDir + "\\files\\partner\\nova\\";
  const bool wow64 = IsWow64();
  bool ok = true;
  for (const char* base : {"novaPDF8PrinterDriver", "novaPDF8OEM"}) {
    switch (RunPrinterPackage(nova, base, wow64)) {
      case PackageResult::Failed: ok = false; break;
      case PackageResult::RestartRequired: restartRequired = true; break;
      case PackageResult::Succeeded:
      case PackageResult::Missing: break;
    }
  }
  return ok;
}

void RunSilentInstall(StatusSink& sink) {
  silent::Outcome outcome = silent::Outcome::Failed;
  try {
    outcome = RunSequence(sink);
  } catch (const SilentAbort&) {
    // Logged where it happened.
  } catch (const std::exception& e) {
    // Without a window nobody could answer an error box: log the error and end the run.
    WriteLog("Exception Error in: silent install");
    WriteLog(DescribeError(e));
    WriteLog("exit");
  }
  RequestProgramEnd(silent::ExitCodeFor(outcome));
}

#include "workers/download_phases.h"

#include <exception>

#include "base/file_system.h"
#include "install/config_files.h"
#include "install/files.h"
#include "install/manifest.h"
#include "lang/language.h"
#include "log/log.h"
#include "net/qdapi_client.h"
#include "workers/status_sink.h"

namespace {

constexpr const char kGroupCaption[] = "gbPackageDownload.Caption";
constexpr const char kVersionLabel[] = "lbVersion.Caption";

bool InWizard(const DownloadRun& run) { return run.mode == DownloadMode::Wizard; }

// The end of a phase: "finished" in the log and on the label, the bar full.
void PhaseDone(const std::string& doneText, bool ready, StatusSink& sink) {
  WriteLog("| " + doneText);
  sink.Status(kDownloadProgress, "100", false);
  sink.Status(kDownloadLabel, doneText, ready);
}

}  // namespace

void ReleaseDownload(TQDAPIClient& client, const DownloadRun& run, std::string& version,
                     std::string& fromDir, StatusSink& sink) {
  if (InWizard(run)) WriteLog("| " + txtAuthUser);
  sink.Status(kDownloadLabel, txtAuthUser, false);
  sink.Status(kGroupCaption, txtGetMainData, false);
  Authenticate(client, run, txtAuthValidate, txtAuthValidate, sink);

  SettleVersion(client, run, version, sink);
  sink.Status(kDownloadProgress, "45", false);
  sink.Status(kVersionLabel, txtVersion + version, false);
  if (!InWizard(run)) WriteLog(txtVersion + " " + version);

  const PackageSteps steps{
      txtListFiles, txtDownloading, txtDownloading, txtDownloadFile, txtCheckMD5,
      txtChecksumIncorrect, txtExtracting, txtExtracting, txtExtractError,
      [&run](const TFileList& file) {
        WriteLog("| " + txtDownloadFile);
        if (!InWizard(run)) WriteLog(txtDownloadFile + file.name);
      },
      [&fromDir](const std::string& folder) {
        if (FileExists(folder + "\\setup.json") && ReadComponents(folder + "\\setup.json"))
          WriteLog("| " + txtComponentsOk);
        fromDir = folder;
      },
      !InWizard(run)};
  DownloadPackage(client, run, steps, sink);
  PhaseDone(txtDone, false, sink);
}

bool PartnerDownload(TQDAPIClient& client, const DownloadRun& run, const std::string& partner,
                     std::string& partnerVersion, const std::string& fromDir, StatusSink& sink) {
  const bool wizard = InWizard(run);
  if (wizard) WriteLog("| " + txtPartnerDone);
  sink.Status(kDownloadProgress, "0", false);
  sink.Status(kDownloadLabel, txtPartnerDone, false);
  sink.Status(kGroupCaption, txtGetPartnerData, false);

  const std::string appname = std::string(kQDAPIAppName) + "_" + partner;
  client.setAppname(appname);
  // The wizard logs some of the partner steps with the release's texts.
  Authenticate(client, run, wizard ? txtAuthValidate : txtPartnerAuthValidate, txtPartnerAuthValidate, sink);
  WriteLog("| " + (wizard ? txtGetLatestVersion : txtPartnerGetLatestVersion));
  sink.Status(kDownloadLabel, txtPartnerGetLatestVersion, false);
  WriteLog("| Server: " + run.serverUrl);
  WriteLog("| Branch: " + run.branch);
  WriteLog("| Appname: " + appname);

  SettleVersion(client, run, partnerVersion, sink);
  sink.Status(kDownloadProgress, "45", false);
  sink.Status(kVersionLabel, txtPartnerVersion + partnerVersion, false);
  if (!wizard) WriteLog(txtPartnerVersion + partnerVersion);

  bool copied = true;
  const std::string partnerFolder = fromDir + "\\files\\partner";
  const PackageSteps steps{
      txtPartnerListFiles, wizard ? txtDownloading : txtPartnerDownloading, txtPartnerDownloading,
      txtPartnerDownloadFile, txtPartnerCheckMD5, txtPartnerChecksumIncorrect,
      wizard ? txtExtracting : txtPartnerExtracting, txtPartnerExtracting, txtPartnerExtractError,
      [wizard](const TFileList& file) {
        WriteLog("| " + txtPartnerDownloadFile + (wizard ? std::string() : file.name));
      },
      [&](const std::string& folder) {
        // Moved, not copied: the staging folder is used once, and the package's files are
        // not read twice.
        try {
          MoveFolderTree(folder + "\\files", partnerFolder);
        } catch (const std::exception& e) {
          WriteLog(std::string("copy of files failed with error: ") + e.what());
          copied = false;
        }
        bool written = false;
        try {
          // The version file is written even when the package brought no files.
          ForceDirectories(partnerFolder);
          written = WriteVersionFile(partnerVersion, partnerFolder);
        } catch (const std::exception&) {
          written = false;
        }
        WriteLog(written ? "| CreateVersiontxt ok" : "| CreateVersiontxt failed");
      },
      false};
  DownloadPackage(client, run, steps, sink);
  PhaseDone(txtPartnerDone, true, sink);
  return copied;
}

#include "workers/silent_install.h"

#include <exception>
#include <memory>
#include <string>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/lifecycle.h"
#include "build_config.h"
#include "install/zip_dlls.h"
#include "log/log.h"
#include "net/http.h"
#include "net/qdapi_client.h"
#include "state/state.h"
#include "workers/download_phases.h"
#include "workers/install_step.h"
#include "workers/package_download.h"
#include "workers/registration_step.h"
#include "workers/silent_outcome.h"
#include "workers/status_sink.h"
#include "workers/step_failure.h"

namespace {

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

  const DownloadRun run{DownloadMode::Silent, DownloadArea(), Branch, build_config::kUpdateServerUrl};
  // Held open until the run ends: what is checked, unpacked and run there stays ours.
  const UniqueFile downloadArea = PrepareDownloadArea(run);
  ReleaseDownload(*client, run, InstallRec.Version, InstallRec.FromDir, sink);
  // Files of the partner package that could not be added fail the run at its end.
  const bool partnerComplete =
      PartnerDownload(*client, run, InstallRec.Partner, InstallRec.PartnerVersion, InstallRec.FromDir, sink);

  bool restartRequired = false;
  const bool installed = InstallComponents(restartRequired) && partnerComplete;
  RegisterInstallation();

  RemoveZipDlls();
  WriteLog("setup finished...");
  if (!installed) return silent::Outcome::Failed;
  return restartRequired ? silent::Outcome::RestartRequired : silent::Outcome::Done;
}

}  // namespace

void RunSilentInstall(StatusSink& sink) {
  silent::Outcome outcome = silent::Outcome::Failed;
  try {
    outcome = RunSequence(sink);
  } catch (const StepFailed&) {
    // Logged where it happened.
  } catch (const std::exception& e) {
    // Without a window nobody could answer an error box: log the error and end the run.
    WriteLog("Exception Error in: silent install");
    WriteLog(DescribeError(e));
    WriteLog("exit");
  }
  RequestProgramEnd(silent::ExitCodeFor(outcome));
}

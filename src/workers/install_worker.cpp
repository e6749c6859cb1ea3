#include "workers/install_worker.h"

#include <exception>
#include <string>

#include "base/errors.h"
#include "log/log.h"
#include "workers/install_step.h"
#include "workers/registration_step.h"
#include "workers/status_sink.h"

namespace {

void Install(const ComponentChoices& choices, StatusSink& sink, InstallResult& published) {
  const InstallProgress progress{&sink};
  WriteLog(std::string(59, '-'));
  WriteLog("start install");
  progress.Position("10");
  InstallResult result;
  const bool installed = InstallComponents(choices, progress, result.restartRequired);

  progress.Position("90");
  progress.Caption("Add program information...");
  WriteLog("Add program information...");
  // Also after a failure: what was installed can be removed through the entry.
  WriteUninstallEntry();
  result.failed = !installed;
  published = result;
  if (!installed) {
    WriteLog("install failed");
    sink.Status("exit", "exit", false);
    return;
  }
  progress.Position("100");
  sink.Status("finish", "finish", true);
  WriteLog("install finished");
}

}  // namespace

void RunInstallWorker(const ComponentChoices& choices, StatusSink& sink, InstallResult& result) {
  try {
    Install(choices, sink, result);
    return;
  } catch (const std::exception& e) {
    try {
      WriteLog("Exception Error in: TInstallData");
      WriteLog(DescribeError(e));
    } catch (...) {
    }
  } catch (...) {
    try {
      WriteLog("Exception Error in: TInstallData");
    } catch (...) {
    }
  }
  // An error escaped a step: the run ends here, and the page learns it.
  result.failed = true;
  try {
    sink.Status("exit", "exit", false);
  } catch (...) {
  }
}

#include "workers/install_data_worker.h"

#include <exception>
#include <utility>

#include "base/errors.h"
#include "build_config.h"
#include "log/log.h"
#include "net/qdapi_client.h"
#include "state/state.h"
#include "workers/download_phases.h"
#include "workers/package_download.h"
#include "workers/proxy_settings_apply.h"
#include "workers/status_sink.h"
#include "workers/step_failure.h"

namespace {

DownloadRun WizardRun(const DownloadInput& input) {
  return DownloadRun{DownloadMode::Wizard, DownloadAreaIn(input.TempDir), input.Branch, input.ServerUrl};
}

// A client of its own for each worker, with the built-in key, the branch, the application
// name, the version defined beforehand and the proxy settings.
std::unique_ptr<TQDAPIClient> MakeClient(const DownloadInput& input, const TransportFactory& transport,
                                         const std::string& appname, const std::string& version) {
  auto client = std::make_unique<TQDAPIClient>(transport(), input.ServerUrl, "", "");
  client->setKey(kQDAPIKey);
  client->setBranch(input.Branch);
  client->setAppname(appname);
  client->setVersion(version);
  // A port that is no port fails the step: the download would otherwise go elsewhere than
  // the administrator said.
  if (!ApplyProxySettings(*client, input.Proxy)) {
    WriteLog("| invalid proxy port: " + input.Proxy.ProxyPort);
    FailStep();
  }
  return client;
}

// Runs one worker's steps. Whatever stops them (a failed step, logged where it happened, or
// an error raised inside a step) ends the run with the "exit" status, so the page never
// waits for a status that does not come.
template <class Body>
bool RunSteps(const char* worker, StatusSink& sink, Body body) noexcept {
  try {
    body();
    return true;
  } catch (const StepFailed&) {
  } catch (const std::exception& e) {
    try {
      WriteLog(std::string("Exception Error in: ") + worker);
      WriteLog(DescribeError(e));
    } catch (...) {
    }
  } catch (...) {
    try {
      WriteLog(std::string("Exception Error in: ") + worker);
    } catch (...) {
    }
  }
  try {
    sink.Status("exit", "exit", false);
  } catch (...) {
  }
  return false;
}

// Hands statuses on, and writes the run's result into the setup state just before the ready
// status lets the page read it.
class PublishBeforeReady : public StatusSink {
 public:
  PublishBeforeReady(StatusSink& inner, std::function<void()> publish)
      : inner_(inner), publish_(std::move(publish)) {}
  void Status(const std::string& field, const std::string& value, bool ready) override {
    if (ready) publish_();
    inner_.Status(field, value, ready);
  }
  void Message(const std::string& text) override { inner_.Message(text); }

 private:
  StatusSink& inner_;
  std::function<void()> publish_;
};

}  // namespace

DownloadInput MakeDownloadInput() {
  DownloadInput in;
  in.Branch = Branch;
  in.Version = InstallRec.Version;
  in.PartnerVersion = InstallRec.PartnerVersion;
  in.Partner = InstallRec.Partner;
  in.Proxy = ProxyRecord;
  in.TempDir = TempDir;
  in.ServerUrl = build_config::kUpdateServerUrl;
  return in;
}

void DownloadAreaHold::Keep(UniqueFile folder) {
  std::lock_guard<std::mutex> g(lock_);
  folder_ = std::move(folder);
}

void DownloadAreaHold::Release() {
  std::lock_guard<std::mutex> g(lock_);
  folder_.reset();
}

bool DownloadAreaHold::Held() const {
  std::lock_guard<std::mutex> g(lock_);
  return static_cast<bool>(folder_);
}

bool RunInstallDataWorker(const DownloadInput& input, const TransportFactory& transport,
                          DownloadAreaHold& area, StatusSink& sink) {
  return RunSteps("TGetInstallData", sink, [&] {
    const DownloadRun run = WizardRun(input);
    auto client = MakeClient(input, transport, kQDAPIAppName, input.Version);
    area.Keep(PrepareDownloadArea(run));
    std::string version = input.Version;
    std::string fromDir;
    ReleaseDownload(*client, run, version, fromDir, sink);
    InstallRec.Version = version;
    InstallRec.FromDir = fromDir;
  });
}

bool RunPartnerDataWorker(const DownloadInput& input, const TransportFactory& transport, StatusSink& sink) {
  return RunSteps("TGetPartnerData", sink, [&] {
    const DownloadRun run = WizardRun(input);
    const std::string fromDir = InstallRec.FromDir;
    auto client = MakeClient(input, transport, std::string(kQDAPIAppName) + "_" + input.Partner,
                             input.PartnerVersion);
    std::string partnerVersion = input.PartnerVersion;
    PublishBeforeReady publishing(sink, [&] { InstallRec.PartnerVersion = partnerVersion; });
    PartnerDownload(*client, run, input.Partner, partnerVersion, fromDir, publishing);
  });
}

bool RunDownloadWorkers(const DownloadInput& input, const TransportFactory& transport,
                        DownloadAreaHold& area, StatusSink& sink) {
  return RunInstallDataWorker(input, transport, area, sink) && RunPartnerDataWorker(input, transport, sink);
}

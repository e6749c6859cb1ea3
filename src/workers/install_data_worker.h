#pragma once
// The download page's two workers. The install-data worker fetches the release from the
// update server (the version defined beforehand when the server confirms it, otherwise the
// latest of the branch), checks and unpacks it and reads its component list; the
// partner-data worker then fetches the partner package of the signed-in user's partner and
// adds its files to the release's staging folder. Both report every step to the download
// page ("gbPackageDownload.Caption", "lbDownload.Caption", "lbVersion.Caption",
// "pbDownload.Position"); a failure ends the run with ("exit", "exit"), and the partner-data
// worker's last status comes with ready = true.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "base/handles.h"
#include "net/transport.h"
#include "state/records.h"

class StatusSink;

// Everything the workers need, copied when they start.
struct DownloadInput {
  std::string Branch;
  std::string Version;         // the release version defined beforehand; empty: the latest
  std::string PartnerVersion;  // the partner package version defined beforehand; empty: the latest
  std::string Partner;         // the signed-in user's partner ("kqx")
  TProxyRecord Proxy;
  std::string TempDir;
  std::string ServerUrl;  // the update server's base URL
};

// The input from the setup state and the build's update server URL.
DownloadInput MakeDownloadInput();

// The download area, held open from the moment the worker has made it fresh until it is
// released: neither the folder nor a folder above it can be removed or renamed meanwhile,
// so what was checked there is what the installation later takes. Shared by the worker that
// makes it and the page that keeps it; Release closes it at once, whoever else still refers
// to the holder.
class DownloadAreaHold {
 public:
  void Keep(UniqueFile folder);
  void Release();
  bool Held() const;

 private:
  mutable std::mutex lock_;
  UniqueFile folder_;
};

using TransportFactory = std::function<std::unique_ptr<IHttpTransport>()>;

// The install-data worker's run: makes the download area fresh (kept in `area`), downloads,
// checks and unpacks the release. Writes InstallRec.Version, InstallRec.FromDir and
// ComponentList. Returns false after a failure, for which it has sent the "exit" status.
// Never raises.
bool RunInstallDataWorker(const DownloadInput& input, const TransportFactory& transport,
                          DownloadAreaHold& area, StatusSink& sink);

// The partner-data worker's run, after the install-data worker's: the partner package into
// InstallRec.FromDir + "\files\partner". Writes InstallRec.PartnerVersion before its last
// status, which comes with ready = true. Returns false after a failure, for which it has
// sent the "exit" status. Files of the package that could not be added are logged and do
// not stop the run. Never raises.
bool RunPartnerDataWorker(const DownloadInput& input, const TransportFactory& transport, StatusSink& sink);

// Both in a row, as the download page runs them on its worker thread.
bool RunDownloadWorkers(const DownloadInput& input, const TransportFactory& transport,
                        DownloadAreaHold& area, StatusSink& sink);

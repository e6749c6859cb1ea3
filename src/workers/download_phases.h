#pragma once
// The two download phases an installation starts with, shared by the silent install and the
// wizard's download workers: the release (unpacked into the staging folder, its manifest
// read into the component list) and the partner package (its files added to the staging
// folder's "files\partner" with a version file). Both runs do the same steps; they differ
// only in what they report (see DownloadMode): the wizard's download page gets a status for
// every step, the silent run logs a few lines more.
#include <string>

#include "workers/package_download.h"

class StatusSink;
class TQDAPIClient;

// The release phase. `version` is the defined version (empty: the latest) and the version
// downloaded on return; `fromDir` is the staging folder (the last archive's folder). Reads
// the manifest into ComponentList. Fails the step (logged) at the first fatal failure.
void ReleaseDownload(TQDAPIClient& client, const DownloadRun& run, std::string& version,
                     std::string& fromDir, StatusSink& sink);

// The partner package phase for `partner` (the client's application name is set to the
// partner's here). `partnerVersion` as `version` above; the package's files go to
// `fromDir` + "\files\partner". Its last status comes with ready = true. Returns false when
// some of the package's files could not be added there (logged; the run goes on). Fails the
// step (logged) at the first fatal failure.
bool PartnerDownload(TQDAPIClient& client, const DownloadRun& run, const std::string& partner,
                     std::string& partnerVersion, const std::string& fromDir, StatusSink& sink);

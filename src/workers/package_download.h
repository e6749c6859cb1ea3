#pragma once
// Downloading one package from the update server: authentication, the version to take,
// the file list, every file downloaded and checked against its MD5 sum, every archive
// unpacked into a folder of its own. The release and the partner package run the same
// steps, and so do the silent install and the wizard's download workers; what differs
// (texts, log lines, what follows each unpacked archive) is described by a PackageSteps and
// the DownloadRun. Every step also reports to the sink as the download page shows it
// ("lbDownload.Caption", "pbDownload.Position", "lbVersion.Caption"); the silent run's sink
// drops those statuses.
#include <functional>
#include <string>

#include "base/handles.h"
#include "net/qdapi_client.h"

class StatusSink;

// Who runs the steps. The silent install logs a few lines more (the version, each file's
// name, "exit" after most failures) and ends at a defined version the server does not
// confirm; the wizard's workers take the latest version instead.
enum class DownloadMode { Silent, Wizard };

// What a download run works with, fixed when it starts.
struct DownloadRun {
  DownloadMode mode = DownloadMode::Silent;
  std::string area;       // the download area (DownloadAreaIn(TEMP))
  std::string branch;     // the release branch
  std::string serverUrl;  // the update server's base URL
};

// The step label's field and the progress bar's field of the download page.
inline constexpr const char kDownloadLabel[] = "lbDownload.Caption";
inline constexpr const char kDownloadProgress[] = "pbDownload.Position";

// The texts and hooks of one package's steps from the file list on. A step is logged as
// "| " + its log text and shown as its label text.
struct PackageSteps {
  const std::string& listFilesText;  // logged and shown
  const std::string& downloadingLog;
  const std::string& downloadingLabel;
  const std::string& downloadFileLabel;  // shown followed by the file's name
  const std::string& checkMD5Text;        // logged and shown
  const std::string& checksumIncorrectText;  // logged; shown followed by the file's name
  const std::string& extractingLog;
  const std::string& extractingLabel;
  const std::string& extractErrorText;  // logged and shown
  // Logged before each file's download.
  std::function<void(const TFileList& file)> logFile;
  // Runs after each archive was unpacked into `folder`.
  std::function<void(const std::string& folder)> afterUnpack;
  // Whether a failed unpacking also logs "exit" (silent run only).
  bool exitLineOnExtractError = false;
};

// The download area below a TEMP folder where packages are downloaded and unpacked.
std::string DownloadAreaIn(const std::string& tempDir);
// The download area below the setup state's TempDir.
std::string DownloadArea();

// Logs `line` (and, in a silent run, "exit") and fails the step.
[[noreturn]] void FailDownload(const DownloadRun& run, const std::string& line);

// Makes the download area fresh for this run: whatever an earlier run or anyone else left
// there (folder, file, link) is removed, never used; a link on its path is refused; the
// folder is created open to administrators and SYSTEM only. Returns the folder held open:
// whoever installs from it keeps it until then, so that the folder can be neither removed
// nor renamed meanwhile. Fails the step (logged) when the area cannot be made.
UniqueFile PrepareDownloadArea(const DownloadRun& run);

// Authenticates with the client's key and checks the session (progress 15, then 30).
// Fails the step (logged) when either is refused.
void Authenticate(TQDAPIClient& client, const DownloadRun& run, const std::string& validateLog,
                  const std::string& validateLabel, StatusSink& sink);

// Settles the version to install: a defined one (`version` not empty) must be known to the
// server, otherwise the latest of the branch is taken (no latest version: the sink shows
// txtNoData). `version` is the version to install on return; the client's version is set to
// it. Fails the step (logged).
void SettleVersion(TQDAPIClient& client, const DownloadRun& run, std::string& version, StatusSink& sink);

// Lists, downloads, checks and unpacks the client's version (its key, branch, application
// name and version are set) into the download area made by PrepareDownloadArea. Each
// archive is created by its download and held from then on without write or delete sharing
// (DownloadFile): its sum is computed as it arrives and it is unpacked through that one
// handle, so nobody can change it in between; only files downloaded and checked in this run
// are unpacked, and a failed download or a mismatch leaves nothing under the file's name.
// Fails the step at the first fatal failure.
void DownloadPackage(TQDAPIClient& client, const DownloadRun& run, const PackageSteps& steps,
                     StatusSink& sink);

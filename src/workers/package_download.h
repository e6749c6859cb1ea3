#pragma once
// Downloading one package from the update server: authentication, the version to take,
// the file list, every file downloaded and checked against its MD5 sum, every archive
// unpacked into a folder of its own. The release and the partner package run the same
// steps; what differs between them (texts, log lines, what follows each unpacked archive)
// is described by a PackageSteps.
#include <functional>
#include <string>

#include "base/handles.h"
#include "net/qdapi_client.h"

class StatusSink;

struct PackageSteps {
  const std::string& listFilesText;
  const std::string& checkMD5Text;
  const std::string& checksumIncorrectText;
  const std::string& downloadingText;
  const std::string& extractingText;
  const std::string& extractErrorText;
  const std::string& doneText;
  // Logged after the version was settled (e.g. "Version:  2.5.0.0").
  std::function<void(const std::string& version)> logVersion;
  // Logged before each file's download.
  std::function<void(const TFileList& file)> logFile;
  // Runs after each archive was unpacked into `folder`.
  std::function<void(const std::string& folder)> afterUnpack;
  // Whether a failed unpacking also logs "exit".
  bool exitLineOnExtractError = true;
};

// The download area below TEMP where packages are downloaded and unpacked.
std::string DownloadArea();

// Makes the download area fresh for this run: whatever an earlier run or anyone else left
// there (folder, file, link) is removed, never used; a link on its path is refused; the
// folder is created open to administrators and SYSTEM only. Returns the folder held open:
// the run keeps it until it ends, so that the folder can be neither removed nor renamed
// meanwhile. Fails the step (logged) when the area cannot be made.
UniqueFile PrepareDownloadArea();

// Authenticates with the client's key and checks the session. Fails the step (logged)
// when either is refused.
void Authenticate(TQDAPIClient& client, const std::string& validateText);

// Settles the version to install: a defined one (`version` not empty) must be known to the
// server, otherwise the latest of the branch is taken (no latest version: the sink shows
// txtNoData). `version` is the version to install on return. Fails the step (logged).
void SettleVersion(TQDAPIClient& client, std::string& version, StatusSink& sink);

// Runs every step for the client's version (the client's key, branch and application name
// are set): settles `version`, lists, downloads, checks and unpacks into the download area
// (made by PrepareDownloadArea). Each archive is opened once, without write or delete sharing,
// as soon as it has arrived: its sum is checked and it is unpacked through that one handle,
// so nobody can change it in between. Fails the step at the first fatal failure.
void DownloadPackage(TQDAPIClient& client, std::string& version, const PackageSteps& steps,
                     StatusSink& sink);

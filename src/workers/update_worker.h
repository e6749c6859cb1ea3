#pragma once
// Updating an installation in place with the release unpacked in the staging folder
// (InstallRec.FromDir): a lock file in the install root, a backup of the whole root, the
// release's files in place of the old ones, the folders and files the release's
// "update.json" keeps from the old installation, the version file, "updater.cfg" and the
// uninstall entry with the new version.
//
// What the run guarantees: once the backup is written, a failure at any later step puts the
// install root back as the backup holds it; before the root is cleared every entry is
// checked to be deletable, so a file another program holds open stops the update with
// nothing changed. Without a usable backup the root is left as it stands.
#include "install/archive_jobs.h"

class StatusSink;

enum class UpdateOutcome {
  Completed,           // the last status came with ready = true
  Failed,              // logged; the install root is as it was, where a backup allowed
  ApplicationRunning,  // the user was told (txtAppRunning) and the "exit" status was sent
};

struct UpdateOptions {
  unsigned cleanupPauseMs = 5000;  // the wait before the lock and temporary folder go
  int backupCompressionLevel = kBackupCompressionLevel;  // deflate level of the backup (0 stores)
};

// Runs the whole update on the calling (worker) thread, reporting to `sink`.
UpdateOutcome RunUpdate(StatusSink& sink, const UpdateOptions& options = {});

// The program's exit code after an update: 0 when it completed, 1603 otherwise.
int UpdateExitCode(UpdateOutcome outcome);

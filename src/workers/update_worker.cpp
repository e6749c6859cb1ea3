#include "workers/update_worker.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/handles.h"
#include "base/text.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "install/archive_jobs.h"
#include "install/config_files.h"
#include "install/files.h"
#include "install/manifest.h"
#include "lang/language.h"
#include "log/log.h"
#include "state/state.h"
#include "workers/registration_step.h"
#include "workers/restore_rules.h"
#include "workers/status_sink.h"
#include "zip/zip.h"

namespace {

constexpr char kLockName[] = "updater.lock";

class UpdateRun {
 public:
  UpdateRun(StatusSink& sink, const UpdateOptions& options)
      : sink_(sink), options_(options), root_(InstallRec.InstPath), staging_(InstallRec.FromDir) {}

  UpdateOutcome Run();
  // An error escaped a step: the root goes back to the backup when there is one.
  UpdateOutcome Abort(const std::string& reason);

 private:
  void Progress(const char* position, const char* caption = nullptr) {
    sink_.Status("pbInstall.Position", position, false);
    if (caption) sink_.Status("lbInstall.Caption", caption, false);
  }
  std::string Lock() const { return root_ + "\\" + kLockName; }
  std::string Backup() const { return tmpDir_ + "\\backup.zip"; }
  bool LockStep();
  bool BackupStep();
  bool ProcessFiles();
  bool ClearRoot();
  bool RestoreStep(const RestoreRules& rules, const std::string& rulesFile);
  bool RestoreFolder(const std::string& backupDir, const std::string& name);
  bool RestoreFile(const std::string& backupDir, const std::string& name);
  bool WriteVersion();
  bool BackupIsUsable();
  void Rollback();
  void Cleanup();
  // Rollback and cleanup after a failure past the backup; the cleanup alone before it.
  UpdateOutcome Fail() {
    if (backupWritten_) Rollback();
    Cleanup();
    return UpdateOutcome::Failed;
  }

  StatusSink& sink_;
  const UpdateOptions options_;
  const std::string root_;
  const std::string staging_;
  std::string tmpDir_;
  RestoreRules rules_;
  bool useUpdateJson_ = false;
  std::unique_ptr<orfzip::TZipEngine> zip_;  // the engine that wrote the backup
  bool lockTaken_ = false;
  bool backupWritten_ = false;
  bool rollingBack_ = false;
  bool rollbackIncomplete_ = false;
  bool exeMoveTried_ = false;
};

UpdateOutcome UpdateRun::Run() {
  WriteLog(std::string(59, '-'));
  WriteLog("start update");
  Progress("10", "check paths...");
  WriteLog("check if repo path exists: " + root_);
  if (root_.empty() || !DirectoryExists(root_)) {
    WriteLog("local path does not exist");
    return UpdateOutcome::Failed;
  }

  Progress("20", "check LOCK...");
  if (!LockStep()) {
    WriteLog("LOCK not OK");
    Cleanup();
    return UpdateOutcome::Failed;
  }

  Progress("30", "create TEMP...");
  tmpDir_ = TempDir + "\\orfeda_2018";
  WriteLog("create tmpDir: " + tmpDir_);
  if (!ForceDirectories(tmpDir_)) {
    WriteLog("could not create tmpDir: " + tmpDir_);
    Cleanup();
    return UpdateOutcome::Failed;
  }

  Progress("40", "create backup...");
  WriteLog("start backup...");
  if (!BackupStep()) {
    Cleanup();
    return UpdateOutcome::Failed;
  }
  WriteLog("backup created");
  backupWritten_ = true;

  Progress("50", "process files...");
  if (IsAppRunning()) {
    // Nothing was changed yet; lock and backup stay for the next attempt.
    sink_.Message(txtAppRunning);
    WriteLog("Found running process!");
    sink_.Status("exit", "exit", false);
    return UpdateOutcome::ApplicationRunning;
  }

  WriteLog("processing downloaded files");
  if (!ProcessFiles()) {
    Cleanup();
    return UpdateOutcome::Failed;
  }

  Progress("90", "create version file...");
  WriteLog("create local version file");
  if (!WriteVersion()) {
    WriteLog("error creating local version file");
    return Fail();
  }

  Progress("95", "Update program information...");
  WriteLog("Update program information...");
  bool written = false;
  try {
    written = WriteUpdaterCfg();
  } catch (const std::exception& e) {
    WriteLog(e.what());
  }
  if (!written) {
    WriteLog("Createupdatercfg error");
    return Fail();
  }
  WriteLog("Createupdatercfg ok");
  if (!WriteUninstallEntry()) WriteLog("the uninstall entry could not be updated");

  sink_.Status("pbInstall.Position", "100", true);
  WriteLog("Execute End");
  return UpdateOutcome::Completed;
}

UpdateOutcome UpdateRun::Abort(const std::string& reason) {
  WriteLog("update failed: " + reason);
  try {
    return Fail();
  } catch (const std::exception& e) {
    WriteLog("update failed: " + std::string(e.what()));
    return UpdateOutcome::Failed;
  }
}

bool UpdateRun::LockStep() {
  WriteLog("check if lock exists: " + Lock());
  if (FileExists(Lock())) WriteLog("lock already exists");
  WriteLog("create lock");
  UniqueFile lock(CreateFileW(Widen(Lock()).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!lock) {
    WriteLog("lock could not be created");
    return false;
  }
  lockTaken_ = true;
  return true;
}

bool UpdateRun::BackupStep() {
  WriteLog("create backup at " + Backup());
  zip_ = std::make_unique<orfzip::TZipEngine>();
  try {
    const int result = RunBackupJob(*zip_, Backup(), root_, options_.backupCompressionLevel);
    if (BackupSucceeded(result)) return true;
    WriteLog("zip fails with result: " + std::to_string(zip_->ErrCode()));
  } catch (const std::exception& e) {
    WriteLog(std::string("Error creating Backup with message: ") + e.what());
  }
  Cleanup();
  return false;
}

bool UpdateRun::ProcessFiles() {
  const std::string rulesFile = staging_ + "\\update.json";
  useUpdateJson_ = FileExists(rulesFile);
  WriteLog("useUpdatejson:  " + rulesFile);
  // Read before anything changes: an unreadable or invalid file stops the update with the
  // installation as it was.
  if (useUpdateJson_) rules_ = ReadRestoreRules(ReadManifestText(rulesFile));

  Progress("58", "preexec...");
  if (useUpdateJson_ && !RunPreExec()) WriteLog("preexecute failed");

  Progress("66", "clear local contents...");
  WriteLog("clear directory: " + root_);
  if (!ClearRoot()) return false;
  WriteLog("directory cleared");

  Progress("74", "copy new files...");
  WriteLog("copy new files");
  WriteLog("from: " + staging_ + "\\files");
  WriteLog("to: " + root_);
  try {
    MoveFolderTree(staging_ + "\\files", root_);
  } catch (const std::exception& e) {
    // An installation missing some of the release's files does not work: back to the old one.
    WriteLog(std::string("copy of files failed with error: ") + e.what());
    Rollback();
    return false;
  }
  WriteLog("finished copy");

  Progress("82", "restore files...");
  WriteLog("restore files");
  if (useUpdateJson_ && !RestoreStep(rules_, rulesFile)) {
    WriteLog("Restore failed.");
    Rollback();
    return false;
  }
  WriteLog("end restore files");
  Progress("90");

  if (useUpdateJson_ && !RunPostExec()) WriteLog("postexecute failed");
  WriteLog("end processing file: 0");
  return true;
}

bool UpdateRun::ClearRoot() {
  // A file another program holds open would stop the clearing halfway: look at every entry
  // first, while nothing has been deleted.
  const std::vector<std::string> inUse = EntriesThatCannotBeDeleted(root_, {kLockName});
  if (!inUse.empty()) {
    for (const auto& entry : inUse) WriteLog("cannot be deleted: " + entry);
    WriteLog("the installation is in use; nothing was changed");
    return false;
  }
  try {
    ClearFolderExcept(root_, {kLockName});
    return true;
  } catch (const std::exception& e) {
    WriteLog(std::string("clearing failed: ") + e.what());
    Rollback();
    return false;
  }
}

bool UpdateRun::RestoreStep(const RestoreRules& rules, const std::string& rulesFile) {
  WriteLog("reading file: " + rulesFile);
  const std::string backupDir = tmpDir_ + "\\backup";
  WriteLog("About to extract backup.zip to " + backupDir);
  if (!rules.present) {
    WriteLog("Nothing to restore");
    return true;
  }
  for (const auto& path : rules.refused) WriteLog("restore rule refused, it leaves the install root: " + path);
  if (!FileExists(Backup())) {
    // Without the backup nothing the rules name can come back.
    WriteLog("Seems that there is no backup.");
    return false;
  }
  try {
    // What an earlier update unpacked here describes an older installation.
    if (PathExists(backupDir)) DeleteTree(backupDir);
    orfzip::TZipEngine unzip;
    WriteLog("extracting: " + Backup());
    WriteLog("basedir: " + backupDir);
    WriteLog(std::to_string(RunRestoreJob(unzip, Backup(), backupDir)));
    WriteLog("Successful unzipped backup.zip to " + backupDir);
  } catch (const std::exception& e) {
    WriteLog("Failed to unzip backup.zip to " + backupDir);
    WriteLog(e.what());
    return false;
  }
  WriteLog("restoring folder");
  for (const auto& name : rules.folders)
    if (!RestoreFolder(backupDir, name)) return false;
  WriteLog("folder restored");
  WriteLog("restoring files");
  for (const auto& name : rules.files)
    if (!RestoreFile(backupDir, name)) return false;
  WriteLog("files restored");
  return true;
}

bool UpdateRun::RestoreFolder(const std::string& backupDir, const std::string& name) {
  const std::string from = backupDir + "\\" + name;
  const std::string to = root_ + "\\" + name;
  WriteLog("Restoring folder: " + name);
  WriteLog("restoring folder: " + from);
  try {
    if (!DirectoryExists(from)) {
      WriteLog("Folder does not exist in backup: " + name);
      return true;
    }
    WriteLog("from: " + from);
    WriteLog("to: " + to);
    if (PathExists(to)) {
      try {
        DeleteTree(to);
      } catch (const std::exception& e) {
        WriteLog("Error deleting " + to + " with message: " + e.what());
      }
    }
    MoveFolderTree(from, to);
    WriteLog("Succeed to restore folder: " + name);
    return true;
  } catch (const std::exception& e) {
    WriteLog("Failed to restore folder: " + name);
    WriteLog(e.what());
    return false;
  }
}

bool UpdateRun::RestoreFile(const std::string& backupDir, const std::string& name) {
  const std::string from = backupDir + "\\" + name;
  const std::string to = root_ + "\\" + name;
  WriteLog("Restoring file: " + name);
  WriteLog("restoring file: " + from);
  try {
    if (!FileExists(from)) {
      WriteLog("File does not exist in backup: " + name);
      return true;
    }
    WriteLog("from: " + from);
    WriteLog("to: " + to);
    DeleteFileW(Widen(to).c_str());
    // The release may no longer have the file's folder.
    ForceDirectories(text::ExtractFileDir(to));
    if (!CopyFileW(Widen(from).c_str(), Widen(to).c_str(), TRUE)) RaiseLastOSError();
    WriteLog("Succeed to restore file: " + name);
    return true;
  } catch (const std::exception& e) {
    WriteLog("Failed to restore file: " + name);
    WriteLog(e.what());
    return false;
  }
}

bool UpdateRun::WriteVersion() {
  UniqueFile file(CreateFileW(Widen(root_ + "\\version.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const std::string bytes = ToAnsi(InstallRec.Version);
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    WriteLog("version.txt: " + SystemErrorText(GetLastError()));
  return true;
}

bool UpdateRun::BackupIsUsable() {
  if (tmpDir_.empty() || !FileExists(Backup())) return false;
  if (!zip_) zip_ = std::make_unique<orfzip::TZipEngine>();
  zip_->ZipFileName = Backup();
  zip_->IncludeSpecs.clear();
  zip_->ExcludeSpecs.clear();
  zip_->RaiseErrors = false;
  const int result = zip_->Test();
  if (result != 0) WriteLog("the backup cannot be read back: " + zip_->ErrMessage());
  return result == 0;
}

void UpdateRun::Rollback() {
  if (rollingBack_) return;
  rollingBack_ = true;
  WriteLog("Starting rollback");
  // The root is cleared only for a backup that is there and reads back whole.
  if (!BackupIsUsable()) {
    WriteLog("No Backup found.");
    WriteLog("the install root is left as it stands: " + root_);
    rollbackIncomplete_ = true;
    rollingBack_ = false;
    return;
  }
  WriteLog("clear local repo");
  try {
    ClearFolderExcept(root_, {kLockName});
  } catch (const std::exception& e) {
    WriteLog(std::string("clearing failed: ") + e.what());
  }
  WriteLog("Extract backup");
  // Unpacked beside the root, then moved in entry by entry: an entry that cannot be replaced
  // does not keep the others from coming back.
  const std::string unpacked = tmpDir_ + "\\rollback";
  try {
    if (PathExists(unpacked)) DeleteTree(unpacked);
    RunRollbackJob(*zip_, Backup(), unpacked);
    MoveFolderTree(unpacked, root_);
    WriteLog("Finished Rollback");
  } catch (const std::exception& e) {
    WriteLog("failed to rollback");
    WriteLog(e.what());
    rollbackIncomplete_ = true;
  }
  Cleanup();
  rollingBack_ = false;
}

void UpdateRun::Cleanup() {
  WriteLog("waiting 5 sec before cleanup");
  Sleep(options_.cleanupPauseMs);
  zip_.reset();
  const std::string exe = ProgramFilePath();
  // Moved back once per update: a failed move starts a rollback, whose cleanup must not
  // start another.
  if (!exeMoveTried_ && !FileExists(exe)) {
    exeMoveTried_ = true;
    WriteLog("moving updateservice back");
    std::string used;
    if (MoveFileTo(tmpDir_ + "\\" + text::ExtractFileName(exe), exe, used)) {
      WriteLog("updateservice moved back");
    } else {
      WriteLog("Error moving updateservice back");
      Rollback();
      return;
    }
  }
  WriteLog("cleaning up");
  WriteLog("deleting lock");
  if (lockTaken_) DeleteFileW(Widen(Lock()).c_str());
  if (rollbackIncomplete_ && !tmpDir_.empty() && FileExists(Backup())) {
    // The old installation is not back in place: its backup is all that is left of it.
    WriteLog("the backup of the installation stays at " + Backup());
    return;
  }
  WriteLog("deleting tmpdir: " + tmpDir_);
  try {
    DeleteTree(tmpDir_);
  } catch (const std::exception& e) {
    WriteLog("Error deleting " + tmpDir_ + " with message: " + e.what());
  }
}

}  // namespace

UpdateOutcome RunUpdate(StatusSink& sink, const UpdateOptions& options) {
  UpdateRun run(sink, options);
  try {
    return run.Run();
  } catch (const std::exception& e) {
    return run.Abort(e.what());
  }
}

int UpdateExitCode(UpdateOutcome outcome) { return outcome == UpdateOutcome::Completed ? 0 : 1603; }

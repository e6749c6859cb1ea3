#pragma once
// The setup state: the process-wide values through which all parts of the program hand
// data to each other. Plain values without behaviour; they live for the whole run.
// Workers run one at a time and pages read what a worker wrote only after its final
// status report, so no lock guards them.
#include <string>

#include "state/records.h"

class TLog;

extern TInstallRec InstallRec;
extern TUninstallRec UninstallRec;
extern TProxyRecord ProxyRecord;

extern std::string Branch;        // "stable" unless "-branch" or "/branch" says otherwise
extern std::string LanguageName;  // English name of the interface language
extern const std::string PartnerTag;  // fixed for a build: "lumora"
extern bool DebugMode;
extern bool SilentMode;
// Set first thing at start-up when "-silent" is anywhere on the command line: nobody may be
// there to answer, so no dialog is shown and every message box closes itself after
// UnattendedBoxTimeoutMs.
extern bool Unattended;
extern unsigned UnattendedBoxTimeoutMs;  // 60 s
// Why "-debug" left debug mode off in an unattended run (no dialog or box may ask or tell
// there); logged once the log exists. Empty otherwise.
extern std::string DebugModeRefusal;
extern std::string LogFilePath;
extern TLog* SetupLog;  // owned; exists from start-up's log creation to the end
extern std::string TempDir;
extern std::string AppDataDir;
extern std::string AllUsersProfileDir;
extern std::string ProgramFilesDir;
extern std::string ExeDir;  // with trailing "\"
extern TComponentListArray ComponentList;
extern int SavedTop;
extern int SavedLeft;

// Puts every value back to its initial value (for tests; the program starts from them).
void ResetSetupState();

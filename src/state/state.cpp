#include "state/state.h"

TInstallRec InstallRec;
TUninstallRec UninstallRec;
TProxyRecord ProxyRecord;

std::string Branch = "stable";
std::string LanguageName = "English";
const std::string PartnerTag = "lumora";
bool DebugMode = false;
bool SilentMode = false;
bool Unattended = false;
unsigned UnattendedBoxTimeoutMs = 60000;
std::string DebugModeRefusal;
std::string LogFilePath;
TLog* SetupLog = nullptr;
std::string TempDir;
std::string AppDataDir;
std::string AllUsersProfileDir;
std::string ProgramFilesDir;
std::string ExeDir;
TComponentListArray ComponentList;
int SavedTop = 0;
int SavedLeft = 0;

void ResetSetupState() {
  InstallRec = {};
  UninstallRec = {};
  ProxyRecord = {};
  Branch = "stable";
  LanguageName = "English";
  DebugMode = false;
  SilentMode = false;
  Unattended = false;
  UnattendedBoxTimeoutMs = 60000;
  DebugModeRefusal.clear();
  LogFilePath.clear();
  TempDir.clear();
  AppDataDir.clear();
  AllUsersProfileDir.clear();
  ProgramFilesDir.clear();
  ExeDir.clear();
  ComponentList.clear();
  SavedTop = SavedLeft = 0;
}

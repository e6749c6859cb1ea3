#pragma once
// What the debug window shows, as texts of the setup state: the labels of both tabs, the
// Windows name of a version pair and the rights rule over the answers of the process token.
#include <optional>
#include <string>
#include <vector>

#include "state/records.h"

// One label of the debug window: the control's name and its text.
struct DebugLabel {
  const char* control;
  std::string text;
};

// The thirteen install-record labels of the "InstallRec Values" tab, in the tab's order.
std::vector<DebugLabel> InstallRecLabels(const TInstallRec& rec);

// The folders the "Environment" tab shows.
struct EnvironmentValues {
  std::string appData;
  std::string allUsersProfile;
  std::string programFiles;
  std::string exeDir;
  std::string temp;
  std::string desktop;
  std::string publicDesktop;
};
// The seven folder labels of the "Environment" tab, in the tab's order.
std::vector<DebugLabel> EnvironmentLabels(const EnvironmentValues& env);

// "true" or "false": whether the run is a silent one.
std::string SilentModeText(bool silent);

// The name of a Windows version from the major and minor numbers the system reports.
std::string WindowsName(unsigned major, unsigned minor);
// "OS type: " and the name, as the version label shows it.
std::string WindowsVersionText(unsigned major, unsigned minor);

// What the process token answered: whether it could be opened, its elevation type
// (1 default, 2 full, 3 limited) and whether it is elevated; an empty answer is a question
// the system could not answer.
struct TokenAnswers {
  bool opened = false;
  std::optional<unsigned> elevationType;
  std::optional<bool> elevated;
};
// Whether the process runs with administrator rights. Where the token cannot say, only the
// old systems without elevation count as administrator.
bool IsAdministrator(const TokenAnswers& token, const std::string& windowsName);
// "(Administrator)" or "(NOT Administrator)".
std::string RightsText(bool admin);

#pragma once
// The command line: options, the sub-options of "-silent", the debug password and the
// help text. The rules live here, portable; what they show goes through TCommandLineUi.
#include <string>
#include <vector>

inline constexpr const char* kDebugPassword = "zorqin";
// Exit code after the help text for an unknown argument.
inline constexpr int kExitUnknownArgument = 1639;

// What reading the command line may do besides writing the setup state.
class TCommandLineUi {
 public:
  virtual ~TCommandLineUi() = default;
  // Lower case by the user's locale rules.
  virtual std::string Lower(const std::string& s) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  // Shows the debug password dialog; empty when it was closed with Escape.
  virtual std::string AskDebugPassword() = 0;
  virtual void RequestProgramEnd(int exitCode) = 0;
  // The application's title at this moment (for the help text).
  virtual std::string Title() = 0;
  // The program's file version (for "-appversion").
  virtual std::string AppVersion() = 0;
};

// The help text shown for an unknown argument (quoted as given).
std::string HelpText(const std::string& argument, const std::string& title);

// Reads the arguments (args[0] is the program and is never read) into the setup state.
void ParseArguments(const std::vector<std::string>& args, TCommandLineUi& ui);
// Whether the arguments ask for a silent run: "-silent" anywhere (letter case ignored), also
// where the parser would take it as another option's value. Such a run is unattended.
bool AsksForSilentRun(const std::vector<std::string>& args, TCommandLineUi& ui);
// The time-out of an unattended run's message boxes: 60 s. Tests may shorten it through the
// environment variable ORFEDA_SILENT_BOX_TIMEOUT_MS (1 to 60000 ms, read at start-up); any
// other value is ignored, so it can neither lengthen nor switch off the time-out.
unsigned UnattendedBoxTimeout(const std::string& overrideText);

// Reads the arguments again for "-shutdown" and "-appversion".
void HandleInstanceArguments(const std::vector<std::string>& args, TCommandLineUi& ui);

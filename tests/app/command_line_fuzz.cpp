// libFuzzer target: the command-line rules on arbitrary arguments (the input split at NUL
// bytes). Besides never crashing or hanging, the rules must agree with each other: a run the
// parser takes as silent is one the unattended check saw, and an unattended run never asks
// for the debug password nor shows anything but the help text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "base/text.h"
#include "state/state.h"

namespace {

class FuzzUi : public TCommandLineUi {
 public:
  std::string Lower(const std::string& s) override { return text::ToLower(s); }
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::string AskDebugPassword() override {
    ++asked;
    return "zorqin";
  }
  void RequestProgramEnd(int exitCode) override { codes.push_back(exitCode); }
  std::string Title() override { return "Setup"; }
  std::string AppVersion() override { return "1.1.2.0"; }

  std::vector<std::string> shown;
  std::vector<int> codes;
  int asked = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args{"setup.exe"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  args.push_back(current);

  ResetSetupState();
  FuzzUi ui;
  Unattended = AsksForSilentRun(args, ui);
  ParseArguments(args, ui);
  if (SilentMode && !Unattended) std::abort();
  if (Unattended && ui.asked != 0) std::abort();
  // Every message is the help text of one unknown argument, which ends the run with 1639, or
  // (only when somebody may be there) the refused debug password.
  std::size_t helpTexts = 0;
  for (const auto& message : ui.shown) {
    if (text::StartsWith(message, "Parameter \"")) ++helpTexts;
    else if (Unattended || message != "Wrong Debug Password. Debugging disabled.") std::abort();
  }
  if (ui.codes.size() != helpTexts) std::abort();
  for (int code : ui.codes)
    if (code != kExitUnknownArgument) std::abort();
  if (ui.shown.size() > args.size()) std::abort();

  FuzzUi instance;
  HandleInstanceArguments(args, instance);
  (void)UnattendedBoxTimeout(current);
  if (UnattendedBoxTimeout(current) < 1 || UnattendedBoxTimeout(current) > 60000) std::abort();
  return 0;
}

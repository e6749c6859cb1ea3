// The command line of the running process, with message boxes and the password dialog.
#include "app/command_line_win.h"

#include <windows.h>
#include <shellapi.h>

#include "app/command_line.h"
#include "app/startup.h"
#include "base/lifecycle.h"
#include "base/win_text.h"
#include "ui/message_box.h"
#include "state/state.h"
#include "ui/password_form.h"

namespace {

std::vector<std::string> ProcessArguments() {
  std::vector<std::string> args;
  int n = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!argv) return args;
  for (int i = 0; i < n; ++i) args.push_back(Narrow(argv[i]));
  LocalFree(argv);
  return args;
}

class WindowsCommandLineUi : public TCommandLineUi {
 public:
  std::string Lower(const std::string& s) override {
    std::wstring w = Widen(s);
    if (!w.empty()) CharLowerBuffW(w.data(), static_cast<DWORD>(w.size()));
    return Narrow(w);
  }
  void ShowMessage(const std::string& text) override { ::ShowMessage(text); }
  std::string AskDebugPassword() override {
    TPasswordForm form(nullptr, "Debug Password");
    form.ShowModal();
    return form.password;
  }
  void RequestProgramEnd(int exitCode) override { ::RequestProgramEnd(exitCode); }
  std::string Title() override { return ApplicationTitle(); }
  std::string AppVersion() override { return GetAppVersion(); }
};

}  // namespace

void DetectUnattendedRun() {
  WindowsCommandLineUi ui;
  Unattended = AsksForSilentRun(ProcessArguments(), ui);
  wchar_t value[16] = {};
  const DWORD n = GetEnvironmentVariableW(L"ORFEDA_SILENT_BOX_TIMEOUT_MS", value, 16);
  UnattendedBoxTimeoutMs = UnattendedBoxTimeout(n > 0 && n < 16 ? Narrow(value) : std::string());
}

void ParseCommandLine() {
  WindowsCommandLineUi ui;
  ParseArguments(ProcessArguments(), ui);
}

void HandleInstanceOptions() {
  WindowsCommandLineUi ui;
  HandleInstanceArguments(ProcessArguments(), ui);
}

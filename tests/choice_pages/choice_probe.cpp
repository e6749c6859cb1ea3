// choice_probe.exe: the wizard from the component page on, with the setup state as a login
// and a download leave it: the texts in English, the install record branded as the login
// sets it, the component list read from the manifest named by the first argument. The log
// goes to the file named by the second argument. A hidden main window owns the wizard,
// whose login page stays hidden behind the component page. The exit code is the program's.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "app/message_loop.h"
#include "app/startup.h"
#include "base/lifecycle.h"
#include "base/win_text.h"
#include "install/manifest.h"
#include "lang/language.h"
#include "log/log.h"
#include "state/state.h"
#include "ui/credentials_page.h"
#include "ui/wizard.h"

namespace {

std::string Argument(int index) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string value = args && index < count ? Narrow(args[index]) : std::string();
  LocalFree(args);
  return value;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  InitApplication();
  SetApplicationTitle("Setup");
  LanguageName = "English";
  LoadLanguageTexts();
  ReadEnvironmentPaths();
  LogFilePath = Argument(2);
  if (!LogFilePath.empty()) SetupLog = TLog::CreateClean(LogFilePath);

  // As the login leaves it.
  InstallRec.ApplicationName = "Brixaro Fax";
  InstallRec.Provider = "Brixaro";
  InstallRec.Producer = "Fax";
  InstallRec.PrinterName = "Brixaro Fax Printer";
  InstallRec.Partner = "lumora";
  // As the download leaves it.
  ReadComponents(Argument(1));

  HWND main = CreateWindowExW(WS_EX_APPWINDOW, L"STATIC", L"ChoiceProbe", WS_OVERLAPPEDWINDOW, 0, 0,
                              200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  {
    Wizard wizard(main);
    wizard.Start();
    wizard.OpenComponents(*wizard.CredentialsForm());
    RunMessageLoop();
  }
  DestroyWindow(main);
  return ProgramExitCode();
}

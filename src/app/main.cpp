// Program entry: one copy at a time, the start-up checks, the command line, then the hidden
// main window and the UI message loop until the end is requested.
#include <windows.h>

#include <string>

#include "base/lifecycle.h"
#include "app/message_loop.h"
#include "ui/message_box.h"
#include "app/command_line_win.h"
#include "app/end_report.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "install/zip_dlls.h"
#include "state/state.h"
#include "base/errors.h"
#include "base/handles.h"
#include "base/win_error.h"
#include "lang/language.h"
#include "log/log.h"

namespace {

constexpr wchar_t kInstanceSemaphore[] = L"{3C81B7E2-5D04-4A6F-9E1B-72D4C0A9F315}";
constexpr int kExitFailed = 1603;
constexpr int kExitAlreadyRunning = 1618;

// A start-up check that ends the run before the log exists: its reason is recorded first
// (where the log cannot take it, in the fallback), then the box tells whoever is there.
int RefuseStart(const std::string& reason, const std::string& boxText) {
  LogEndReason({reason, boxText, "exit code " + std::to_string(kExitFailed)});
  ShowMessage(boxText);
  return kExitFailed;
}

int RunProgram() {
  InitApplication();
  UniqueHandle semaphore;
  try {
    // Every box from here on knows whether anyone may be there to close it.
    DetectUnattendedRun();
    semaphore.reset(CreateSemaphoreW(nullptr, 1, 1, kInstanceSemaphore));
    const DWORD created = GetLastError();
    if (!semaphore) RaiseLastOSError();
    if (created == ERROR_ALREADY_EXISTS) {
      // The running copy's log stays untouched; the event log says why this one ended.
      ReportToEventLog({"Another copy of setup is running; this one ends with exit code " +
                        std::to_string(kExitAlreadyRunning) + "."}, false);
      HandleInstanceOptions();
      return kExitAlreadyRunning;
    }

    LanguageName = SystemLanguageName();
    LoadLanguageTexts();
    if (!HasAdminRights()) return RefuseStart("start-up check failed: no administrator rights", txtNeedAdmin);
    if (!HasDotNet4()) return RefuseStart("start-up check failed: .NET Framework 4 missing", txtNeedDotNet);
    if (!ExportZipDlls())
      return RefuseStart("start-up check failed: the ZIP library files are missing", "DLL Export fehlgeschlagen!");
    ProxyRecord.ProxyAutoDetect = true;
    ParseCommandLine();

    SetApplicationTitle("Setup");
    TQDSetupForm mainForm;
    mainForm.Create();
    RunMessageLoop();
  } catch (const std::exception& e) {
    RequestProgramEnd(kExitFailed);
    LogEndReason({"Exception Error in: Orfeda DPR", DescribeError(e),
                  "exit code " + std::to_string(ProgramExitCode())});
  } catch (...) {
    RequestProgramEnd(kExitFailed);
    LogEndReason({"Exception Error in: Orfeda DPR", "Exception : unknown error",
                  "exit code " + std::to_string(ProgramExitCode())});
  }
  return ProgramExitCode();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // setup.exe usually runs elevated from a downloads folder: never load a DLL from there.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  return RunProgram();
}

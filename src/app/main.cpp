// Program entry: one copy at a time, the start-up checks, the command line, then the hidden
// main window and the UI message loop until the end is requested.
#include <windows.h>

#include "base/lifecycle.h"
#include "app/message_loop.h"
#include "ui/message_box.h"
#include "app/command_line_win.h"
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

void LogEntryError(const std::string& description) {
  try {
    WriteLog("Exception Error in: Orfeda DPR");
    WriteLog(description);
  } catch (...) {
    // The log itself failed: nothing more can be reported.
  }
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
      HandleInstanceOptions();
      return kExitAlreadyRunning;
    }

    LanguageName = SystemLanguageName();
    LoadLanguageTexts();
    if (!HasAdminRights()) {
      ShowMessage(txtNeedAdmin);
      return kExitFailed;
    }
    if (!HasDotNet4()) {
      ShowMessage(txtNeedDotNet);
      return kExitFailed;
    }
    if (!ExportZipDlls()) {
      ShowMessage("DLL Export fehlgeschlagen!");
      return kExitFailed;
    }
    ProxyRecord.ProxyAutoDetect = true;
    ParseCommandLine();

    SetApplicationTitle("Setup");
    TQDSetupForm mainForm;
    mainForm.Create();
    RunMessageLoop();
  } catch (const std::exception& e) {
    LogEntryError(DescribeError(e));
    RequestProgramEnd(kExitFailed);
  } catch (...) {
    LogEntryError("Exception : unknown error");
    RequestProgramEnd(kExitFailed);
  }
  return ProgramExitCode();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // setup.exe usually runs elevated from a downloads folder: never load a DLL from there.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  return RunProgram();
}

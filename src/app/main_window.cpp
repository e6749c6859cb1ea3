#include "app/main_window.h"

#include "app/command_line_win.h"
#include "app/end_report.h"
#include "app/startup.h"
#include "base/errors.h"
#include "base/lifecycle.h"
#include "base/win_text.h"
#include "base/window_class.h"
#include "log/log.h"
#include "state/state.h"
#include "ui/debug_form.h"
#include "ui/message_box.h"
#include "ui/silent_status.h"
#include "ui/wizard.h"
#include "workers/silent_install.h"
#include "workers/silent_parameters.h"

namespace {
const std::string kBannerRule(59, '-');
}

TQDSetupForm::TQDSetupForm() = default;

TQDSetupForm::~TQDSetupForm() {
  // The pages and the debug window first: they are owned by this window.
  wizard_.reset();
  debugForm_.reset();
  if (hwnd_) DestroyWindow(hwnd_);
}

void TQDSetupForm::Create() {
  if (!RegisterPlainWindowClass(kClassName, &TQDSetupForm::WndProc))
    throw EOSError("Cannot register the main window class");
  // WS_EX_APPWINDOW: the main window owns the task-bar entry; it is never shown itself.
  hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, kClassName, Widen(ApplicationTitle()).c_str(),
                          WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr,
                          nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd_) throw EOSError("Cannot create the main window");
  FormCreate();
}

void TQDSetupForm::FormCreate() {
  try {
    SetWindowTextW(hwnd_, Widen(ApplicationTitle() + " " + GetAppVersion()).c_str());
    ReadEnvironmentPaths();
    LogFilePath = TempDir + "\\" + ApplicationTitle() + "_" + TimeStampText() + ".log";
    SetupLog = TLog::CreateClean(LogFilePath);
    HandleInstanceOptions();
    if (DebugMode) {
      debugForm_ = std::make_unique<DebugForm>(hwnd_);
      debugForm_->Show();
    }
    WriteLog(kBannerRule);
    WriteLog(kBannerRule);
    WriteLog("| " + ApplicationTitle());
    WriteLog("| " + TimeStampText());
    WriteLog(kBannerRule);
    WriteLog(kBannerRule);
    if (!DebugModeRefusal.empty()) WriteLog(DebugModeRefusal);
    if (SilentMode) {
      WriteLog("start silent install");
      WriteLog("check parameter...");
      // A command line already ended (help text, "-appversion") starts no installation.
      if (!EndRequested() && CheckSilentParameters()) {
        SilentStatusSink sink;
        RunSilentInstall(sink);
      } else {
        WriteLog("exit");
        RequestProgramEnd(1603);
      }
    } else if (!EndRequested()) {
      // The wizard: the login page, then the message loop until a page ends the program.
      wizard_ = std::make_unique<Wizard>(hwnd_);
      wizard_->Start();
    }
  } catch (const std::exception& e) {
    // The remaining steps are skipped; with no page open the program must still end. The
    // reason is recorded before the box, which may wait or not show at all.
    RequestProgramEnd(1603);
    LogEndReason({"Exception Error in: FormCreate", DescribeError(e),
                  "exit code " + std::to_string(ProgramExitCode())});
    ShowErrorMessage(e.what());
  }
}

LRESULT CALLBACK TQDSetupForm::WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    RequestProgramEnd();
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

#include "ui/finish_page.h"

#include "base/errors.h"
#include "base/lifecycle.h"
#include "base/win_text.h"
#include "lang/language.h"
#include "log/log.h"
#include "ui/status_channel.h"
#include "ui/wizard.h"
#include "workers/finish_worker.h"
#include "workers/worker_thread.h"

namespace {

using F = TFinishForm;
constexpr int kGbX = 272, kGbY = 164;  // controls of the group box sit inside it
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kCheck = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr int kExitFailed = 1603;

// In tab order: the check boxes, then Finish. The group box last, so it paints below the
// controls inside it. The restart note stays hidden unless a restart is required.
constexpr ControlSpec kControls[] = {
    {F::kLbFinishText, L"STATIC", kLabel, 0, 272, 40, 385, 100, &txtFinishIntro},
    {F::kCbShortcut, L"BUTTON", kCheck, 0, kGbX + 16, kGbY + 25, 345, 17, &txtCreateShortcut},
    {F::kCbStartMenu, L"BUTTON", kCheck, 0, kGbX + 16, kGbY + 50, 345, 17, &txtCreateStartMenu},
    {F::kCbAutostart, L"BUTTON", kCheck, 0, kGbX + 16, kGbY + 75, 345, 17, &txtAddAutoStart},
    {F::kBtnClose, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 582, 424, 75, 25, &txtClose},
    {F::kLbRestart, L"STATIC", SS_LEFT | SS_NOPREFIX, 0, 272, 290, 385, 60, &txtRestartRequired},
    {F::kGbFinish, L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0, kGbX, kGbY, 385, 109, &txtAdvanced},
};

}  // namespace

TFinishForm::TFinishForm(Wizard& wizard, HWND owner, bool restartRequired)
    : PageBase(owner, Look{kClassName, WS_EX_APPWINDOW, 694, 471, false, PartnerPageLogo()}, kControls),
      wizard_(wizard),
      restartRequired_(restartRequired) {
  Build();
  for (int id : {kCbShortcut, kCbStartMenu, kCbAutostart}) SendMessageW(Control(id), BM_SETCHECK, BST_CHECKED, 0);
  if (restartRequired_) {
    ShowWindow(Control(kLbRestart), SW_SHOWNA);
    WriteLog("Windows must be restarted to complete the installation");
  }
}

void TFinishForm::OnCommand(int id, int code, HWND) {
  if (id == kBtnClose && code == BN_CLICKED) btnCloseClick();
}

void TFinishForm::OnCloseRequest() {
  // Once Finish was pressed the setup is ending anyway.
  if (!started_) CancelSetup();
}

bool TFinishForm::Ticked(int id) const {
  return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TFinishForm::btnCloseClick() {
  // The worker runs once: a second press would make the links and write the key again.
  if (started_) return;
  started_ = true;
  EnableWindow(Control(kBtnClose), FALSE);
  const LinkChoices choices{Ticked(kCbShortcut), Ticked(kCbAutostart), Ticked(kCbStartMenu)};
  Wizard* wizard = &wizard_;
  UiStatusSink sink(
      wizard_.StatusWindowHandle(),
      [wizard](const std::string& f, const std::string& v, bool ready) {
        if (TFinishForm* page = wizard->FinishForm()) page->updateStatus(f, v, ready);
      },
      [this] { WorkerEnded(); });
  try {
    StartWorkerThread("TFinishThread", [choices, sink]() mutable {
      struct EndNotice {
        UiStatusSink& s;
        ~EndNotice() { s.Ended(); }
      } notice{sink};
      RunFinishWorker(choices, sink);
    });
  } catch (const std::exception& e) {
    WriteLog("Exception Error in: TFinishThread");
    WriteLog(DescribeError(e));
    Fail();
  }
}

void TFinishForm::updateStatus(const std::string& field, const std::string&, bool ready) {
  if (field == "exit") {
    Fail();
    return;
  }
  if (!ready || finished_ || EndRequested()) return;
  finished_ = true;
  RequestProgramEnd(restartRequired_ ? kExitRestartRequired : 0);
}

void TFinishForm::WorkerEnded() {
  if (finished_ || EndRequested()) return;
  WriteLog("the finishing steps ended without a result");
  Fail();
}

void TFinishForm::Fail() {
  if (finished_) return;
  finished_ = true;
  MessageBoxW(hwnd(), Widen(txtErrorRetry).c_str(), Widen(ApplicationTitle()).c_str(), MB_OK | MB_ICONERROR);
  RequestProgramEnd(kExitFailed);
}

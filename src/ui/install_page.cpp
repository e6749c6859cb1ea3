#include "ui/install_page.h"

#include <commctrl.h>

#include <charconv>

#include "base/errors.h"
#include "base/lifecycle.h"
#include "base/win_text.h"
#include "lang/language.h"
#include "log/log.h"
#include "state/state.h"
#include "ui/status_channel.h"
#include "ui/wizard.h"
#include "workers/install_worker.h"
#include "workers/update_worker.h"
#include "workers/worker_thread.h"

namespace {

using I = TInstallForm;
constexpr int kGbX = 272, kGbY = 164;  // controls of the group box sit inside it
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr int kExitFailed = 1603;

// The group box last, so it paints below the controls inside it.
constexpr ControlSpec kControls[] = {
    {I::kLbInstallText, L"STATIC", kLabel, 0, 272, 40, 385, 60, &txtInstallIntro},
    {I::kLbInstall, L"STATIC", kLabel | SS_ENDELLIPSIS, 0, kGbX + 16, kGbY + 40, 353, 40, nullptr},
    {I::kPbInstall, PROGRESS_CLASSW, WS_VISIBLE, 0, kGbX + 16, kGbY + 96, 353, 17, nullptr},
    {I::kGbInstall, L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0, kGbX, kGbY, 385, 133,
     &txtInstalling},
};

}  // namespace

TInstallForm::TInstallForm(Wizard& wizard, HWND owner)
    : PageBase(owner, Look{kClassName, WS_EX_APPWINDOW, 694, 471, false, PartnerPageLogo()}, kControls),
      wizard_(wizard),
      result_(std::make_shared<InstallResult>()) {
  Build();
  SendMessageW(Control(kPbInstall), PBM_SETRANGE32, 0, 100);
}

TInstallForm::~TInstallForm() = default;

void TInstallForm::StartWorker(ComponentChoices choices) {
  update_ = InstallRec.Update;
  // The statuses go to the newest install page, hidden or not; the end of the run to this one.
  Wizard* wizard = &wizard_;
  UiStatusSink sink(
      wizard_.StatusWindowHandle(),
      [wizard](const std::string& f, const std::string& v, bool ready) {
        if (TInstallForm* page = wizard->InstallForm()) page->updateStatus(f, v, ready);
      },
      [this] { WorkerEnded(); });
  try {
    if (update_) {
      int* exitCode = &updateExitCode_;
      StartWorkerThread("TUpdateData", [sink, exitCode]() mutable {
        struct EndNotice {
          UiStatusSink& s;
          ~EndNotice() { s.Ended(); }
        } notice{sink};
        // Read by the page only in the end notice, which the thread sends after this.
        *exitCode = UpdateExitCode(RunUpdate(sink));
      });
    } else {
      std::shared_ptr<InstallResult> result = result_;
      StartWorkerThread("TInstallData", [choices = std::move(choices), sink, result]() mutable {
        struct EndNotice {
          UiStatusSink& s;
          ~EndNotice() { s.Ended(); }
        } notice{sink};
        RunInstallWorker(choices, sink, *result);
      });
    }
  } catch (const std::exception& e) {
    WriteLog(update_ ? "Exception Error in: TUpdateData" : "Exception Error in: TInstallData");
    WriteLog(DescribeError(e));
    Fail(kExitFailed);
  }
}

void TInstallForm::updateStatus(const std::string& field, const std::string& value, bool ready) {
  if (field == "lbInstall.Caption") SetText(kLbInstall, value);
  if (field == "pbInstall.Position") {
    int n = 0;
    const auto r = std::from_chars(value.data(), value.data() + value.size(), n);
    if (r.ec == std::errc()) SendMessageW(Control(kPbInstall), PBM_SETPOS, static_cast<WPARAM>(n), 0);
  }
  if (field == "exit") {
    if (update_) {
      // The update worker sends "exit" only after telling the user itself (the application
      // is running): the program ends without a second message.
      finished_ = true;
      RequestProgramEnd(kExitFailed);
      return;
    }
    Fail(kExitFailed);
    return;
  }
  // Once the program is ending no page opens.
  if (!ready || finished_ || EndRequested()) return;
  finished_ = true;
  SavePosition();
  wizard_.OpenFinish(*this, !update_ && result_->restartRequired);
}

void TInstallForm::WorkerEnded() {
  // A run that ended without its ready or "exit" status must not leave the page waiting.
  if (finished_ || EndRequested()) return;
  WriteLog(update_ ? "the update ended without a result" : "the installation ended without a result");
  Fail(update_ && updateExitCode_ != 0 ? updateExitCode_ : kExitFailed);
}

void TInstallForm::OnCloseRequest() {
  // The work goes on to its end, so nothing is left half installed; its result follows.
  if (ConfirmCancel()) HidePage();
}

void TInstallForm::Fail(int exitCode) {
  if (finished_) return;
  finished_ = true;
  // Owned by the page, so the page cannot be closed meanwhile.
  MessageBoxW(hwnd(), Widen(txtErrorRetry).c_str(), Widen(ApplicationTitle()).c_str(), MB_OK | MB_ICONERROR);
  RequestProgramEnd(exitCode);
}

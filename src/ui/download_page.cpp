#include "ui/download_page.h"

#include <commctrl.h>

#include <charconv>

#include "base/errors.h"
#include "base/lifecycle.h"
#include "base/win_text.h"
#include "lang/language.h"
#include "log/log.h"
#include "net/http.h"
#include "state/state.h"
#include "ui/status_channel.h"
#include "ui/wizard.h"
#include "workers/install_data_worker.h"
#include "workers/worker_thread.h"

namespace {

using D = TDownloadForm;
constexpr int kGbX = 272, kGbY = 164;  // controls of the group box sit inside it
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr int kExitFailed = 1603;

// The group box last, so it paints below the controls inside it.
constexpr ControlSpec kControls[] = {
    {D::kLbText2, L"STATIC", kLabel, 0, 272, 104, 400, 40, &txtDownloadIntro},
    {D::kLbVersion, L"STATIC", kLabel | SS_ENDELLIPSIS, 0, kGbX + 232, kGbY + 16, 145, 16, &txtVersion},
    {D::kLbDownload, L"STATIC", kLabel, 0, kGbX + 16, kGbY + 40, 353, 40, nullptr},
    {D::kPbDownload, PROGRESS_CLASSW, WS_VISIBLE, 0, kGbX + 16, kGbY + 96, 353, 17, nullptr},
    {D::kGbPackageDownload, L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0, kGbX, kGbY, 385, 133,
     nullptr},
};

}  // namespace

TDownloadForm::TDownloadForm(Wizard& wizard, HWND owner)
    : PageBase(owner, Look{kClassName, WS_EX_APPWINDOW, 694, 471, false, PartnerPageLogo()}, kControls),
      wizard_(wizard),
      area_(std::make_shared<DownloadAreaHold>()) {
  Build();
  SendMessageW(Control(kPbDownload), PBM_SETRANGE32, 0, 100);
}

TDownloadForm::~TDownloadForm() = default;

void TDownloadForm::StartWorkers() {
  const DownloadInput input = MakeDownloadInput();
  // The statuses go to the newest download page, hidden or not; the end of the run to this one.
  Wizard* wizard = &wizard_;
  UiStatusSink sink(
      wizard_.StatusWindowHandle(),
      [wizard](const std::string& f, const std::string& v, bool ready) {
        if (TDownloadForm* page = wizard->DownloadForm()) page->updateStatus(f, v, ready);
      },
      [this] { WorkersEnded(); });
  std::shared_ptr<DownloadAreaHold> area = area_;
  try {
    StartWorkerThread("TGetInstallData", [input, sink, area]() mutable {
      struct EndNotice {
        UiStatusSink& s;
        ~EndNotice() { s.Ended(); }
      } notice{sink};
      RunDownloadWorkers(input, [] { return MakeHttpsTransport(); }, *area, sink);
    });
  } catch (const std::exception& e) {
    WriteLog("Exception Error in: TGetInstallData");
    WriteLog(DescribeError(e));
    Fail();
  }
}

void TDownloadForm::updateStatus(const std::string& field, const std::string& value, bool ready) {
  if (field == "lbDownload.Caption") SetText(kLbDownload, value);
  if (field == "pbDownload.Position") {
    int n = 0;
    const auto r = std::from_chars(value.data(), value.data() + value.size(), n);
    if (r.ec == std::errc()) SendMessageW(Control(kPbDownload), PBM_SETPOS, static_cast<WPARAM>(n), 0);
  }
  if (field == "lbVersion.Caption") SetText(kLbVersion, value);
  if (field == "gbPackageDownload.Caption") SetText(kGbPackageDownload, value);
  if (field == "exit") {
    Fail();
    return;
  }
  // Once the program is ending (the user confirmed the cancel question) no page opens.
  if (!ready || finished_ || EndRequested()) return;
  finished_ = true;
  SavePosition();
  wizard_.AfterDownload(*this);
}

void TDownloadForm::WorkersEnded() {
  // A run that ended without its ready or "exit" status must not leave the page waiting.
  if (finished_ || EndRequested()) return;
  WriteLog("the download ended without a result");
  Fail();
}

void TDownloadForm::ReleaseDownloadArea() { area_->Release(); }

void TDownloadForm::Fail() {
  if (finished_) return;
  finished_ = true;
  // Owned by the page, so the page cannot be closed (and the run cancelled) meanwhile.
  MessageBoxW(hwnd(), Widen(txtErrorRetry).c_str(), Widen(ApplicationTitle()).c_str(), MB_OK | MB_ICONERROR);
  RequestProgramEnd(kExitFailed);
}

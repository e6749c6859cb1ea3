#include "ui/pending_page.h"

#include "base/lifecycle.h"
#include "lang/language.h"
#include "state/state.h"
#include "ui/wizard.h"

namespace {

using P = TPendingForm;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

constexpr ControlSpec kControls[] = {
    {P::kLbIntro, L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 272, 40, 400, 40, &txtWelcome},
    {P::kLbNextStep, L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 272, 104, 400, 80, nullptr},
    {P::kBtnBack, L"BUTTON", kButton | BS_DEFPUSHBUTTON, 0, 488, 424, 75, 25, &txtBack},
    {P::kBtnCancel, L"BUTTON", kButton, 0, 392, 424, 75, 25, &txtCancel},
};

}  // namespace

TPendingForm::TPendingForm(Wizard& wizard, HWND owner, const std::string& nextStep)
    : PageBase(owner, Look{kClassName, WS_EX_APPWINDOW, 694, 471, false, PartnerPageLogo()}, kControls),
      wizard_(wizard) {
  Build();
  SetText(kLbNextStep, nextStep);
}

void TPendingForm::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  if (id == kBtnBack) {
    wizard_.BackToLogin(*this);
  } else if (id == kBtnCancel) {
    CancelSetup();
  }
}


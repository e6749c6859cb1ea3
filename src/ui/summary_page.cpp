#include "ui/summary_page.h"

#include "base/lifecycle.h"
#include "base/win_text.h"
#include "lang/language.h"
#include "log/log.h"
#include "state/state.h"
#include "ui/location_page.h"
#include "ui/wizard.h"

namespace {

using S = TSummaryForm;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

// In tab order: the buttons first, so the page opens with Install focused and Enter installs.
constexpr ControlSpec kControls[] = {
    {S::kLbReadyText, L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 272, 40, 385, 60, &txtSummaryIntro},
    {S::kBtnInstall, L"BUTTON", kButton | BS_DEFPUSHBUTTON, 0, 582, 424, 75, 25, &txtInstall},
    {S::kBtnBack, L"BUTTON", kButton, 0, 488, 424, 75, 25, &txtBack},
    {S::kBtnCancel, L"BUTTON", kButton, 0, 392, 424, 75, 25, &txtCancel},
    {S::kMemo, L"EDIT",
     WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
     WS_EX_CLIENTEDGE, 272, 164, 385, 197, nullptr},
};

const std::string& UserText() { return InstallRec.Users == "me" ? txtJustMe : txtForAnyone; }

}  // namespace

TSummaryForm::TSummaryForm(Wizard& wizard, HWND owner, ComponentChoices choices)
    : PageBase(owner, Look{kClassName, WS_EX_APPWINDOW, 694, 471, false, PartnerPageLogo()}, kControls),
      wizard_(wizard),
      choices_(std::move(choices)) {
  Build();
  FillMemo();
}

void TSummaryForm::FillMemo() {
  std::string memo = txtSummaryDestination + "\r\n  " + InstallRec.InstPath + "\r\n\r\n" +
                     txtSummaryComponents + "\r\n";
  for (const ComponentChoice& choice : choices_)
    if (choice.ticked) memo += "  " + choice.name + "\r\n";
  memo += "\r\n" + txtSummaryUser + "\r\n  " + UserText();
  SetText(kMemo, memo);
}

void TSummaryForm::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kBtnInstall: btnInstallClick(); break;
    case kBtnBack:
      if (TLocationForm* location = wizard_.LocationForm()) wizard_.ShowBack(*this, *location);
      break;
    case kBtnCancel: btnCancelClick(); break;
  }
}

void TSummaryForm::btnInstallClick() {
  SavePosition();
  WriteLog("| Summary");
  WriteLog("|  " + txtSummaryDestination);
  WriteLog("|    " + InstallRec.InstPath);
  WriteLog("|  " + txtSummaryComponents);
  for (const ComponentChoice& choice : choices_)
    if (choice.ticked) WriteLog("|    " + choice.name);
  WriteLog("|  " + txtSummaryUser);
  WriteLog("|   " + UserText());
  WriteLog("| Summary end");
  wizard_.OpenInstall(*this, choices_);
}

void TSummaryForm::btnCancelClick() { CancelSetup(); }


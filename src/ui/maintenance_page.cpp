#include "ui/maintenance_page.h"

#include <shellapi.h>

#include "base/file_system.h"
#include "base/lifecycle.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "lang/language.h"
#include "log/log.h"
#include "state/state.h"
#include "ui/wizard.h"

namespace {

using U = TUpdateForm;
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kLargeButton = kButton | BS_MULTILINE;
constexpr int kExitFailed = 1603;

// The re-install button and its hint exist as the page was designed, hidden and disabled.
constexpr ControlSpec kControls[] = {
    {U::kLbText, L"STATIC", kLabel, 0, 272, 104, 400, 40, &txtMaintenanceIntro},
    {U::kBbtnInstall, L"BUTTON", WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON | BS_MULTILINE, 0, 272, 147, 153, 57,
     &txtReInstall},
    {U::kLbInfo1, L"STATIC", SS_LEFT | SS_NOPREFIX, 0, 448, 168, 230, 40, &txtReInstallHint},
    {U::kBbtnUpdate, L"BUTTON", kLargeButton | BS_DEFPUSHBUTTON, 0, 272, 225, 153, 57, &txtUpdate},
    {U::kLbInfo2, L"STATIC", kLabel, 0, 448, 246, 230, 40, &txtUpdateHint},
    {U::kBbtnDeinstall, L"BUTTON", kLargeButton, 0, 272, 303, 153, 57, &txtUninstall},
    {U::kLbInfo3, L"STATIC", kLabel, 0, 448, 324, 230, 40, &txtUninstallHint},
    {U::kBtnCancel, L"BUTTON", kButton, 0, 582, 424, 75, 25, &txtCancel},
};

}  // namespace

std::string UninstallerParameter(const std::string& provider, const std::string& producer) {
  return "-uninstall \"\\Software\\" + provider + "\\" + producer + "\\uninstall\"";
}

TUpdateForm::TUpdateForm(Wizard& wizard, HWND owner)
    : PageBase(owner, Look{kClassName, WS_EX_APPWINDOW, 684, 461, false, PartnerPageLogo(), true}, kControls),
      wizard_(wizard) {
  Build();
}

void TUpdateForm::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kBbtnUpdate: bbtnUpdateClick(); break;
    case kBbtnDeinstall: bbtnDeinstallClick(); break;
    case kBtnCancel: btnCancelClick(); break;
  }
}

void TUpdateForm::bbtnUpdateClick() {
  WriteLog("start update...");
  InstallRec.Update = true;
  InstallRec.ReInstall = false;
  OpenDownloadForm();
}

void TUpdateForm::OpenDownloadForm() { wizard_.OpenDownload(*this); }

void TUpdateForm::bbtnDeinstallClick() {
  WriteLog("start Uninstall.exe");
  const std::string param = UninstallerParameter(InstallRec.Provider, InstallRec.Producer);
  const std::string file = InstallRec.InstPath + "\\Uninstall.exe";
  WriteLog("InstPath: " + InstallRec.InstPath);
  WriteLog("s: " + InstallRec.InstPath);
  WriteLog("Filename: " + file);
  WriteLog("param: " + param);
  // The setup does not wait for the uninstaller; it only ends as failed when it could not
  // start it, so that nobody takes a missing uninstaller for a started one.
  DWORD error = ERROR_SUCCESS;
  if (!FileExists(file)) {
    error = ERROR_FILE_NOT_FOUND;
  } else {
    const std::wstring wfile = Widen(file), wparam = Widen(param);
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    sei.lpFile = wfile.c_str();
    sei.lpParameters = wparam.c_str();
    sei.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&sei)) error = GetLastError();
  }
  HidePage();
  if (error != ERROR_SUCCESS) {
    WriteLog("Cannot start the uninstaller " + file + ": " + SystemErrorText(error));
    RequestProgramEnd(kExitFailed);
    return;
  }
  RequestProgramEnd();
}

void TUpdateForm::btnCancelClick() { CancelSetup(); }


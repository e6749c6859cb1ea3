#include "ui/credentials_page.h"

#include <commctrl.h>

#include <charconv>

#include "base/lifecycle.h"
#include "base/win_text.h"
#include "lang/language.h"
#include "lang/partners.h"
#include "log/log.h"
#include "net/http.h"
#include "state/state.h"
#include "ui/wizard.h"
#include "workers/existing_installation.h"
#include "workers/login_worker.h"
#include "workers/worker_thread.h"

namespace {

using C = TCredentialsForm;
constexpr int kGbCredX = 272, kGbCredY = 164;  // controls of the credentials box sit inside it
constexpr int kGbLangX = 272, kGbLangY = 320;
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

// In tab order; the group boxes last, so they paint below the controls inside them.
constexpr ControlSpec kControls[] = {
    {C::kWelcome, L"STATIC", kLabel, 0, 272, 40, 400, 56, &txtWelcome},
    {C::kText1, L"STATIC", kLabel, 0, 272, 104, 400, 40, &txtSetupGuide},
    {C::kLbUsername, L"STATIC", kLabel, 0, kGbCredX + 16, kGbCredY + 40, 140, 16, &txtUsername},
    {C::kEdUsername, L"EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
     kGbCredX + 160, kGbCredY + 36, 193, 21, nullptr},
    {C::kLbPassword, L"STATIC", kLabel, 0, kGbCredX + 16, kGbCredY + 80, 140, 16, &txtPassword},
    {C::kEdPassword, L"EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE,
     kGbCredX + 160, kGbCredY + 79, 193, 21, nullptr},
    {C::kLbLoginError, L"STATIC", kLabel | SS_ENDELLIPSIS, 0, kGbCredX + 16, kGbCredY + 112, 353, 16, nullptr},
    {C::kPbLogin, PROGRESS_CLASSW, 0, 0, kGbCredX + 160, kGbCredY + 106, 193, 17, nullptr},
    {C::kCbLanguage, L"COMBOBOX", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
     kGbLangX + 160, kGbLangY + 24, 193, 120, nullptr},
    {C::kBtnNext, L"BUTTON", kButton | BS_DEFPUSHBUTTON, 0, 582, 424, 75, 25, &txtNext},
    {C::kBtnCancel, L"BUTTON", kButton, 0, 488, 424, 75, 25, &txtCancel},
    {C::kBtnSettings, L"BUTTON", kButton, 0, 40, 424, 75, 25, &txtSettings},
    {C::kGbCredentials, L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0, kGbCredX, kGbCredY, 385, 133,
     &txtCredentialsCaption},
    {C::kGbLanguage, L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0, kGbLangX, kGbLangY, 385, 57,
     &txtSelectLanguage},
};

std::string LoginLogo() {
  const TPartnerRow* row = FindPartnerRow(PartnerTag);
  return row ? row->LoginLogo : std::string();
}

}  // namespace

TCredentialsForm::TCredentialsForm(Wizard& wizard, HWND owner)
    : PageBase(owner, Look{kClassName, WS_EX_APPWINDOW, 694, 471, true, LoginLogo()}, kControls),
      wizard_(wizard) {
  Build();
  InstallRec.Update = false;
  InstallRec.ReInstall = false;
  SendMessageW(Control(kEdPassword), EM_SETPASSWORDCHAR, L'*', 0);
  for (int id : {kEdUsername, kEdPassword}) SetWindowSubclass(Control(id), &EditProc, id, reinterpret_cast<DWORD_PTR>(this));
  FillLanguages(LanguageName == "English" ? 0 : 1);
}

void TCredentialsForm::ApplyFonts(UINT dpi) {
  welcomeFont_ = UiFont(16, dpi, true);
  SendMessageW(Control(kWelcome), WM_SETFONT, reinterpret_cast<WPARAM>(welcomeFont_.get()), TRUE);
}

void TCredentialsForm::FillLanguages(int selected) {
  HWND cb = Control(kCbLanguage);
  SendMessageW(cb, CB_RESETCONTENT, 0, 0);
  for (const std::string* t : {&txtEnglish, &txtGerman})
    SendMessageW(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(*t).c_str()));
  SendMessageW(cb, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void TCredentialsForm::OnCommand(int id, int code, HWND) {
  switch (id) {
    case kBtnNext:
      if (code == BN_CLICKED) btnNextClick();
      break;
    case kBtnCancel:
      if (code == BN_CLICKED) btnCancelClick();
      break;
    case kBtnSettings:
      if (code == BN_CLICKED) btnSettingsClick();
      break;
    case kCbLanguage:
      if (code == CBN_SELCHANGE) cbLanguageChange();
      break;
  }
}

void TCredentialsForm::btnNextClick() {
  // One login at a time: Next stays disabled until the running worker has finished.
  if (loginRunning_ || !IsWindowEnabled(Control(kBtnNext))) return;
  const std::string username = WindowText(Control(kEdUsername));
  const std::string password = WindowText(Control(kEdPassword));
  if (username.empty() || password.empty()) {
    SetText(kLbLoginError, txtEnterCredentials);
    WriteLog("| No credentials entered");
    return;
  }
  SetText(kLbLoginError, "");
  const LoginInput input =
      MakeLoginInput(username, password, WindowText(Control(kCbLanguage)));
  loginRunning_ = true;
  EnableWindow(Control(kBtnNext), FALSE);
  // The statuses go to the newest login page, hidden or not; the end of the run to this one.
  Wizard* wizard = &wizard_;
  UiStatusSink sink(
      wizard_.StatusWindowHandle(),
      [wizard](const std::string& f, const std::string& v, bool ready) {
        if (TCredentialsForm* page = wizard->CredentialsForm()) page->updateStatus(f, v, ready);
      },
      [wizard] {
        if (TCredentialsForm* page = wizard->CredentialsForm()) page->LoginEnded();
      });
  try {
    StartWorkerThread("TLoginThread", [input, sink]() mutable {
      struct EndNotice {
        UiStatusSink& s;
        ~EndNotice() { s.Ended(); }
      } notice{sink};
      RunLoginWorker(input, MakeHttpsTransport(), sink);
    });
  } catch (const std::exception& e) {
    WriteLog("Exception Error in: TLoginThread");
    WriteLog(e.what());
    LoginEnded();
  }
}

void TCredentialsForm::LoginEnded() {
  loginRunning_ = false;
  EnableWindow(Control(kBtnNext), TRUE);
}

void TCredentialsForm::btnCancelClick() { CancelSetup(); }


void TCredentialsForm::btnSettingsClick() { wizard_.ShowSettings(); }

void TCredentialsForm::cbLanguageChange() {
  const int selected = static_cast<int>(SendMessageW(Control(kCbLanguage), CB_GETCURSEL, 0, 0));
  if (selected < 0) return;
  LanguageName = selected == 0 ? "English" : "German";
  LoadLanguageTexts();
  SetWindowTextW(hwnd(), Widen(txtWindowTitle).c_str());
  SetControlTexts(hwnd(), kControls);
  FillLanguages(selected);
}

void TCredentialsForm::updateStatus(const std::string& field, const std::string& value, bool ready) {
  if (field == "lbLoginError.Caption") SetText(kLbLoginError, value);
  if (field == "pbLogin.Position") {
    int n = 0;
    const auto r = std::from_chars(value.data(), value.data() + value.size(), n);
    if (r.ec == std::errc()) {
      HWND bar = Control(kPbLogin);
      ShowWindow(bar, n > 0 && n < 100 ? SW_SHOW : SW_HIDE);
      SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(n), 0);
    }
  }
  if (!ready) return;
  SavePosition();
  const bool installed = CheckExistingInstallation();
  wizard_.AfterLogin(installed);
}

void TCredentialsForm::EditEnter(int id) {
  if (id == kEdUsername && WindowText(Control(kEdPassword)).empty()) {
    SetFocus(Control(kEdPassword));
    return;
  }
  if (id == kEdPassword) SetFocus(Control(kBtnNext));
  btnNextClick();
}

LRESULT CALLBACK TCredentialsForm::EditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  auto* page = reinterpret_cast<TCredentialsForm*>(ref);
  switch (msg) {
    case WM_GETDLGCODE:
      // Enter belongs to the field itself, not to the page's default button.
      if (lp && reinterpret_cast<const MSG*>(lp)->message == WM_KEYDOWN && wp == VK_RETURN)
        return DefSubclassProc(h, msg, wp, lp) | DLGC_WANTALLKEYS;
      break;
    case WM_KEYDOWN:
      if (wp == VK_RETURN) return 0;
      break;
    case WM_CHAR:
      if (wp == L'\r' || wp == L'\n') return 0;  // no beep
      break;
    case WM_KEYUP:
      if (wp == VK_RETURN) {
        page->EditEnter(static_cast<int>(id));
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(h, &EditProc, id);
      break;
  }
  return DefSubclassProc(h, msg, wp, lp);
}

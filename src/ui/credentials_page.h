#pragma once
// The login page: user name and password of the partner platform account, the language
// choice and the proxy settings; Next starts the login worker, whose progress and outcome
// the page shows. After a successful login it looks for an existing installation and hands
// over to the next page.
#include <string>

#include "ui/page_base.h"

class Wizard;

class TCredentialsForm : public PageBase {
 public:
  TCredentialsForm(Wizard& wizard, HWND owner);

  // One status of the login worker (on the UI thread).
  void updateStatus(const std::string& field, const std::string& value, bool ready);
  // The login worker's run is over: Next may start another.
  void LoginEnded();

  enum ControlId : int {
    kWelcome = 1001, kText1, kLbUsername, kEdUsername, kLbPassword, kEdPassword, kLbLoginError,
    kPbLogin, kCbLanguage, kBtnNext, kBtnCancel, kBtnSettings, kGbCredentials, kGbLanguage,
  };
  static constexpr const wchar_t* kClassName = L"TCredentialsForm";

 protected:
  void ApplyFonts(UINT dpi) override;
  void OnCommand(int id, int code, HWND control) override;
  int DefaultButtonId() const override { return kBtnNext; }
  int CancelButtonId() const override { return kBtnCancel; }

 private:
  void FillLanguages(int selected);
  void btnNextClick();
  void btnCancelClick();
  void btnSettingsClick();
  void cbLanguageChange();
  // Enter in the user-name field: to the password when it is empty, else Next; Enter in
  // the password field: Next.
  void EditEnter(int id);
  static LRESULT CALLBACK EditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);

  Wizard& wizard_;
  UiFont welcomeFont_;
  bool loginRunning_ = false;
};

#pragma once
// The page shown after a login that found an installation: Update leads through the
// download page to the install page with the update worker; Uninstall starts the
// installation's own uninstaller and ends the setup; Cancel (and the window's close
// button) ask the cancel question. The re-install choice is never offered.
#include <string>

#include "ui/page_base.h"

class Wizard;

class TUpdateForm : public PageBase {
 public:
  TUpdateForm(Wizard& wizard, HWND owner);

  // The download page, as a forward step from this page.
  void OpenDownloadForm();

  enum ControlId : int {
    kLbText = 1301, kBbtnInstall, kLbInfo1, kBbtnUpdate, kLbInfo2, kBbtnDeinstall, kLbInfo3,
    kBtnCancel,
  };
  static constexpr const wchar_t* kClassName = L"TUpdateForm";

 protected:
  void OnCommand(int id, int code, HWND control) override;
  int DefaultButtonId() const override { return kBbtnUpdate; }
  int CancelButtonId() const override { return kBtnCancel; }

 private:
  void bbtnUpdateClick();
  void bbtnDeinstallClick();
  void btnCancelClick();

  Wizard& wizard_;
};

// The parameter the uninstaller is started with: -uninstall and the quoted registry path
// of the product's uninstall data.
std::string UninstallerParameter(const std::string& provider, const std::string& producer);

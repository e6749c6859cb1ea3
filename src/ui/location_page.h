#pragma once
// The location page: the destination folder, by default under Program Files, changed by
// typing or with the folder browser (folders of the system drive only). Next creates the
// folder and goes on to the summary page only when that works; Back returns to the
// component page.
#include "ui/page_base.h"

class Wizard;

class TLocationForm : public PageBase {
 public:
  TLocationForm(Wizard& wizard, HWND owner);

  enum ControlId : int { kEdInstPath = 1301, kBtnBrowse, kBtnNext, kBtnBack, kBtnCancel, kGbInstPath };
  static constexpr const wchar_t* kClassName = L"TLocationForm";

 protected:
  void OnCommand(int id, int code, HWND control) override;
  int DefaultButtonId() const override { return kBtnNext; }
  int CancelButtonId() const override { return kBtnCancel; }

 private:
  void btnBrowseClick();
  void btnNextClick();
  void btnCancelClick();

  Wizard& wizard_;
};

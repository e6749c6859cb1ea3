#pragma once
// The page after the login until the download and maintenance pages exist: it says which
// page comes next (and for an installation its install root) and offers Back and Cancel.
#include <string>

#include "ui/page_base.h"

class Wizard;

class TPendingForm : public PageBase {
 public:
  TPendingForm(Wizard& wizard, HWND owner, const std::string& nextStep);

  enum ControlId : int { kLbIntro = 1101, kLbNextStep, kBtnBack, kBtnCancel };
  static constexpr const wchar_t* kClassName = L"TPendingForm";

 protected:
  void OnCommand(int id, int code, HWND control) override;
  int DefaultButtonId() const override { return kBtnBack; }
  int CancelButtonId() const override { return kBtnCancel; }

 private:
  Wizard& wizard_;
};

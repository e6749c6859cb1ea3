#pragma once
// The summary page: the destination, the chosen components and the user scope, for a last
// look before Install; Install writes the summary into the log and goes on to the install
// page with the component choice. Back returns to the location page.
#include "ui/page_base.h"
#include "workers/component_choice.h"

class Wizard;

class TSummaryForm : public PageBase {
 public:
  // `choices`: the component page's list as it stands when this page is opened.
  TSummaryForm(Wizard& wizard, HWND owner, ComponentChoices choices);

  enum ControlId : int { kLbReadyText = 1401, kMemo, kBtnInstall, kBtnBack, kBtnCancel };
  static constexpr const wchar_t* kClassName = L"TSummaryForm";

 protected:
  void OnCommand(int id, int code, HWND control) override;
  int DefaultButtonId() const override { return kBtnInstall; }
  int CancelButtonId() const override { return kBtnCancel; }

 private:
  void FillMemo();
  void btnInstallClick();
  void btnCancelClick();

  Wizard& wizard_;
  ComponentChoices choices_;
};

#pragma once
// The component page: which components of the release to install (the application itself
// always) and for whom (everyone or the current user). Next goes on to the location page,
// Back returns to the login page. The ticks stay in the page's list; Choices() hands them on.
#include <vector>

#include "ui/page_base.h"
#include "workers/component_choice.h"

class Wizard;

class TComponentForm : public PageBase {
 public:
  TComponentForm(Wizard& wizard, HWND owner);

  // Every component of the list, in list order, with its tick.
  ComponentChoices Choices() const;

  enum ControlId : int {
    kLbText3 = 1201, kClbComponentListBox, kCbAnyone, kCbJustme, kBtnNext, kBtnBack, kBtnCancel,
    kGbComponents, kGbInstallFor,
  };
  static constexpr const wchar_t* kClassName = L"TComponentForm";

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void OnCommand(int id, int code, HWND control) override;
  int DefaultButtonId() const override { return kBtnNext; }
  int CancelButtonId() const override { return kBtnCancel; }

 private:
  void FillComponents();
  // The list's notifications: a locked item keeps its tick and is drawn greyed.
  LRESULT OnListNotify(const NMHDR& hdr);
  void btnNextClick();
  void btnCancelClick();
  // For Anyone / Just me act as a pair: the clicked one is ticked, the other not.
  void cbAnyoneClick();
  void cbJustmeClick();

  Wizard& wizard_;
  std::vector<bool> locked_;  // per item: the application itself, always installed
  bool filled_ = false;
};

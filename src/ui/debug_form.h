#pragma once
// The debug window: the values of the setup state (install record, Windows folders, proxy
// settings), the Windows version and the process's rights, on two tabs. A diagnostic aid
// that changes nothing: the install-record tab shows the values of its creation until
// "refresh" is pressed; the environment tab is filled once. Closing it hides it.
#include <windows.h>

#include <memory>

#include "ui/control_layout.h"
#include "ui/tab_sheet.h"
#include "ui/window_base.h"

class DebugForm : public WindowBase {
 public:
  // Creates the hidden window owned by `owner` and fills every label.
  explicit DebugForm(HWND owner);
  ~DebugForm() override;

  void Show();

  static constexpr int kPageControl1 = 200;
  static constexpr int kTabSheet1 = 201;
  static constexpr int kTabSheet2 = 202;
  static constexpr int kButton1 = 330;

  static constexpr const wchar_t* kClassName = L"TDebugForm";

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FormCreate();
  void Button1Click();
  void FillEnvironment();
  void ShowSelectedTab();
  void Layout(UINT dpi);

  UiFont font_;
  std::unique_ptr<TabSheet> tabSheet1_;
  std::unique_ptr<TabSheet> tabSheet2_;
};

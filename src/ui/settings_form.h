#pragma once
// The proxy settings dialog: whether the HTTP clients detect the proxy themselves and the
// user name and password they give a detected proxy. Not modal and without owner: the page
// that opens it stays usable. Created once with the proxy record it edits, then shown again
// on every request; its controls keep what was typed in them, also after Cancel.
#include <windows.h>

#include <memory>

#include "state/records.h"
#include "ui/control_layout.h"
#include "ui/tab_sheet.h"
#include "ui/window_base.h"

class SettingsForm : public WindowBase {
 public:
  // Creates the hidden dialog with the current texts and the record's values.
  explicit SettingsForm(TProxyRecord& record);
  ~SettingsForm() override;

  // Shows the dialog with the texts of the current language; the values stay as they are.
  void Show();

  // Control ids (the buttons answer Enter and Escape).
  static constexpr int kPCOptions = 100;
  static constexpr int kTSProxy = 101;
  static constexpr int kGbProxyAutoDetect = 110;
  static constexpr int kCbProxyAutoDetect = 111;
  static constexpr int kLblUsername = 112;
  static constexpr int kLeProxyAutoDetectUsername = 113;
  static constexpr int kLblPassword = 114;
  static constexpr int kLeProxyAutoDetectPassword = 115;
  static constexpr int kBtnSave = IDOK;
  static constexpr int kBtnCancel = IDCANCEL;

  static constexpr const wchar_t* kClassName = L"TSettingsForm";

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void SetTexts();
  void LoadValues();
  void BtnSaveClick();
  void BtnCancelClick();
  void Layout(UINT dpi);
  HWND Sheet(int id) const;

  TProxyRecord& record_;
  UiFont font_;
  std::unique_ptr<TabSheet> sheet_;
};

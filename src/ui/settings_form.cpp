#include "ui/settings_form.h"

#include <commctrl.h>

#include <array>
#include <utility>

#include "base/win_text.h"
#include "lang/language.h"
#include "ui/proxy_settings.h"

namespace {

constexpr int kClientWidth = 494;
constexpr int kClientHeight = 187;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

// The tab, fixed in every language.
const std::string kProxyTab = "Proxy";

// The form's own controls, in 96-DPI pixels of its client area. The tab control is wider
// than the client area, as designed: its right edge is cut off.
const std::array<ControlSpec, 3> kFormControls{{
    {SettingsForm::kPCOptions, WC_TABCONTROLW, WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 0,
     0, 0, 500, 145, nullptr},
    {SettingsForm::kBtnSave, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
     314, 154, 75, 25, &txtSave},
    {SettingsForm::kBtnCancel, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
     395, 154, 75, 25, &txtCancel},
}};

// The controls of the "Proxy" tab, in 96-DPI pixels of the tab's page. The group sits at
// (15, 3) of the page; the check box and the edits at their places inside the group, each
// edit with its label just above it. The group comes last, below its contents.
constexpr int kGroupX = 15, kGroupY = 3;
const std::array<ControlSpec, 6> kProxyControls{{
    {SettingsForm::kCbProxyAutoDetect, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0,
     kGroupX + 32, kGroupY + 26, 312, 17, &txtEnableAutoDetection},
    {SettingsForm::kLblUsername, L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0,
     kGroupX + 32, kGroupY + 54, 153, 13, &txtUsername},
    {SettingsForm::kLeProxyAutoDetectUsername, L"EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
     WS_EX_CLIENTEDGE, kGroupX + 32, kGroupY + 70, 153, 21, nullptr},
    {SettingsForm::kLblPassword, L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0,
     kGroupX + 191, kGroupY + 54, 153, 13, &txtPassword},
    {SettingsForm::kLeProxyAutoDetectPassword, L"EDIT",
     WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE,
     kGroupX + 191, kGroupY + 70, 153, 21, nullptr},
    {SettingsForm::kGbProxyAutoDetect, L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0,
     kGroupX, kGroupY, 370, 102, &txtProxyAutoDetection},
}};

// Centred in the work area of the monitor that shows the active window (the page that asked
// for the dialog), or of the primary monitor.
POINT CentredOrigin(SIZE size) {
  HMONITOR monitor = MonitorFromWindow(GetForegroundWindow(), MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (GetMonitorInfoW(monitor, &info)) work = info.rcWork;
  return POINT{work.left + (work.right - work.left - size.cx) / 2,
               work.top + (work.bottom - work.top - size.cy) / 2};
}

}  // namespace

SettingsForm::SettingsForm(TProxyRecord& record) : record_(record) {
  RegisterTabControlClass();
  CreateWindowFor(kClassName, kExStyle, txtWindowTitle, kStyle, 0, 0, 0, 0, nullptr);
  const UINT dpi = WindowDpi(hwnd());
  font_ = UiFont(8, dpi);
  CreateControls(hwnd(), kFormControls, font_.get());
  HWND tab = GetDlgItem(hwnd(), kPCOptions);
  AddTab(tab, kProxyTab);
  sheet_ = std::make_unique<TabSheet>(tab, kTSProxy);
  CreateControls(sheet_->hwnd(), kProxyControls, font_.get());
  SendMessageW(Sheet(kLeProxyAutoDetectPassword), EM_SETPASSWORDCHAR, L'*', 0);
  sheet_->SetVisible(true);

  const SIZE size = WindowSizeForClient(kClientWidth, kClientHeight, kStyle, kExStyle, dpi);
  const POINT at = CentredOrigin(size);
  SetWindowPos(hwnd(), nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  Layout(dpi);
  SetTexts();
  LoadValues();
}

SettingsForm::~SettingsForm() {
  // The page is a child of this window: it goes first, while the window still exists.
  sheet_.reset();
}

HWND SettingsForm::Sheet(int id) const { return GetDlgItem(sheet_->hwnd(), id); }

void SettingsForm::SetTexts() {
  SetWindowTextW(hwnd(), Widen(txtWindowTitle).c_str());
  SetControlTexts(hwnd(), kFormControls);
  SetControlTexts(sheet_->hwnd(), kProxyControls);
}

void SettingsForm::LoadValues() {
  const ProxyDialogValues v = ProxyDialogValuesOf(record_);
  SendMessageW(Sheet(kCbProxyAutoDetect), BM_SETCHECK, v.autoDetect ? BST_CHECKED : BST_UNCHECKED, 0);
  SetWindowTextW(Sheet(kLeProxyAutoDetectUsername), Widen(v.username).c_str());
  SetWindowTextW(Sheet(kLeProxyAutoDetectPassword), Widen(v.password).c_str());
}

void SettingsForm::Show() {
  SetTexts();
  const bool wasVisible = IsWindowVisible(hwnd());
  ShowWindow(hwnd(), SW_SHOW);
  if (IsIconic(hwnd())) ShowWindow(hwnd(), SW_RESTORE);
  SetForegroundWindow(hwnd());
  if (!wasVisible) SetFocus(Sheet(kCbProxyAutoDetect));
}

void SettingsForm::BtnSaveClick() {
  ProxyDialogValues v;
  v.autoDetect = SendMessageW(Sheet(kCbProxyAutoDetect), BM_GETCHECK, 0, 0) == BST_CHECKED;
  v.username = WindowText(Sheet(kLeProxyAutoDetectUsername));
  v.password = WindowText(Sheet(kLeProxyAutoDetectPassword));
  StoreProxyDialogValues(v, record_);
  ShowWindow(hwnd(), SW_HIDE);
}

void SettingsForm::BtnCancelClick() { ShowWindow(hwnd(), SW_HIDE); }

void SettingsForm::Layout(UINT dpi) {
  PlaceControls(hwnd(), kFormControls, dpi);
  sheet_->PlaceOverTab();
  PlaceControls(sheet_->hwnd(), kProxyControls, dpi);
}

LRESULT SettingsForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      // Enter and Escape arrive as IDOK and IDCANCEL, the ids of Save and Cancel.
      if (HIWORD(wp) == BN_CLICKED || lp == 0) {
        if (LOWORD(wp) == kBtnSave) {
          BtnSaveClick();
          return 0;
        }
        if (LOWORD(wp) == kBtnCancel) {
          BtnCancelClick();
          return 0;
        }
      }
      break;
    case WM_CLOSE:
      // The close box is Cancel: nothing is stored.
      BtnCancelClick();
      return 0;
    case WM_DPICHANGED: {
      const UINT dpi = HIWORD(wp);
      // The controls take the new font before the old one is deleted.
      UiFont font(8, dpi);
      SetControlFont(hwnd(), kFormControls, font.get());
      SetControlFont(sheet_->hwnd(), kProxyControls, font.get());
      font_ = std::move(font);
      MoveToSuggestedRect(hwnd(), reinterpret_cast<const RECT*>(lp));
      Layout(dpi);
      return 0;
    }
  }
  return WindowBase::HandleMessage(msg, wp, lp);
}

#include "ui/debug_form.h"

#include <commctrl.h>

#include <array>
#include <utility>

#include "base/win_text.h"
#include "state/state.h"
#include "ui/debug_facts_win.h"
#include "ui/debug_texts.h"

namespace {

constexpr int kClientWidth = 723;
constexpr int kClientHeight = 430;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

// Control ids of the two tabs.
enum : int {
  kLabel1 = 301, kLabel2 = 302, kLabel3 = 303, kLabel4 = 304, kLabel10 = 310, kLabel11 = 311,
  kLabel12 = 312, kLabel13 = 313, kLabel14 = 314, kLabel15 = 315, kLabel16 = 316,
  kLabel19 = 319, kLabel20 = 320,
  kGbProxySettings = 340, kPanel1 = 341, kCbProxyAutoDetect = 342,
  kLblProxyAutoDetectUsername = 343, kLeProxyAutoDetectUsername = 344,
  kLblProxyAutoDetectPassword = 345, kLeProxyAutoDetectPassword = 346,
  kLblProxyServer = 347, kLeProxyServer = 348, kLblProxyPort = 349, kLeProxyPort = 350,
  kLblProxyUsername = 351, kLeProxyUsername = 352, kLblProxyPassword = 353,
  kLeProxyPassword = 354,
  kGroupBox1 = 401, kGroupBox2 = 402, kGroupBox3 = 403,
  kLabel5 = 405, kLabel6 = 406, kLabel7 = 407, kLabel8 = 408, kLabel9 = 409, kLabel17 = 417,
  kLabel18 = 418, kLblWinVersion = 420, kLblRights = 421, kLabel21 = 422,
};

// The window's own texts: fixed, in every language.
const std::string kInstallRecTab = "InstallRec Values";
const std::string kEnvironmentTab = "Environment";
const std::string kRefresh = "refresh";
const std::string kProxySettings = "Proxy Settings";
const std::string kProxyAutoDetect = "Proxy auto. detect";
const std::string kProxyUsername = "Proxy Username";
const std::string kProxyPassword = "Proxy Password";
const std::string kProxyServer = "Proxy Server";
const std::string kProxyPort = "Proxy Port";
const std::string kWindowsVersionAndRights = "Windows Version and Rights";
const std::string kSilentinstall = "Silentinstall";
const std::string kNoText;

constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kEdit = WS_VISIBLE | ES_AUTOHSCROLL | ES_READONLY;
constexpr DWORD kGroup = WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS;

const std::array<ControlSpec, 1> kFormControls{{
    {DebugForm::kPageControl1, WC_TABCONTROLW, WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 0,
     0, 0, kClientWidth, kClientHeight, nullptr},
}};

// "InstallRec Values", in 96-DPI pixels of the page: the install record in two columns,
// each label its name on one line and the value below; the proxy settings on the right,
// read only; "refresh" below. Frames come after what they hold.
constexpr int kRow = 46, kLabelH = 42;
const std::array<ControlSpec, 29> kInstallRecControls{{
    {kLabel1, L"STATIC", kLabel, 0, 8, 8 + 0 * kRow, 228, kLabelH, nullptr},
    {kLabel2, L"STATIC", kLabel, 0, 8, 8 + 1 * kRow, 228, kLabelH, nullptr},
    {kLabel3, L"STATIC", kLabel, 0, 8, 8 + 2 * kRow, 228, kLabelH, nullptr},
    {kLabel4, L"STATIC", kLabel, 0, 8, 8 + 3 * kRow, 228, kLabelH, nullptr},
    {kLabel10, L"STATIC", kLabel, 0, 8, 8 + 4 * kRow, 228, kLabelH, nullptr},
    {kLabel11, L"STATIC", kLabel, 0, 8, 8 + 5 * kRow, 228, kLabelH, nullptr},
    {kLabel12, L"STATIC", kLabel, 0, 8, 8 + 6 * kRow, 228, kLabelH, nullptr},
    {kLabel13, L"STATIC", kLabel, 0, 244, 8 + 0 * kRow, 228, kLabelH, nullptr},
    {kLabel14, L"STATIC", kLabel, 0, 244, 8 + 1 * kRow, 228, kLabelH, nullptr},
    {kLabel15, L"STATIC", kLabel, 0, 244, 8 + 2 * kRow, 228, kLabelH, nullptr},
    {kLabel16, L"STATIC", kLabel, 0, 244, 8 + 3 * kRow, 228, kLabelH, nullptr},
    {kLabel19, L"STATIC", kLabel, 0, 244, 8 + 4 * kRow, 228, kLabelH, nullptr},
    {kLabel20, L"STATIC", kLabel, 0, 244, 8 + 5 * kRow, 228, kLabelH, nullptr},
    {DebugForm::kButton1, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
     8, 360, 75, 25, &kRefresh},
    {kCbProxyAutoDetect, L"BUTTON", WS_VISIBLE | BS_AUTOCHECKBOX, 0, 496, 34, 190, 17,
     &kProxyAutoDetect},
    {kLblProxyAutoDetectUsername, L"STATIC", kLabel, 0, 496, 56, 190, 13, &kProxyUsername},
    {kLeProxyAutoDetectUsername, L"EDIT", kEdit, WS_EX_CLIENTEDGE, 496, 72, 190, 21, nullptr},
    {kLblProxyAutoDetectPassword, L"STATIC", kLabel, 0, 496, 98, 190, 13, &kProxyPassword},
    {kLeProxyAutoDetectPassword, L"EDIT", kEdit | ES_PASSWORD, WS_EX_CLIENTEDGE,
     496, 114, 190, 21, nullptr},
    {kLblProxyServer, L"STATIC", kLabel, 0, 496, 158, 190, 13, &kProxyServer},
    {kLeProxyServer, L"EDIT", kEdit, WS_EX_CLIENTEDGE, 496, 174, 190, 21, nullptr},
    {kLblProxyPort, L"STATIC", kLabel, 0, 496, 200, 190, 13, &kProxyPort},
    {kLeProxyPort, L"EDIT", kEdit, WS_EX_CLIENTEDGE, 496, 216, 190, 21, nullptr},
    {kLblProxyUsername, L"STATIC", kLabel, 0, 496, 242, 190, 13, &kProxyUsername},
    {kLeProxyUsername, L"EDIT", kEdit, WS_EX_CLIENTEDGE, 496, 258, 190, 21, nullptr},
    {kLblProxyPassword, L"STATIC", kLabel, 0, 496, 284, 190, 13, &kProxyPassword},
    {kLeProxyPassword, L"EDIT", kEdit | ES_PASSWORD, WS_EX_CLIENTEDGE, 496, 300, 190, 21,
     nullptr},
    {kPanel1, L"STATIC", WS_VISIBLE | SS_ETCHEDFRAME | WS_CLIPSIBLINGS, 0, 488, 26, 209, 120,
     nullptr},
    {kGbProxySettings, L"BUTTON", kGroup, 0, 480, 8, 225, 322, &kProxySettings},
}};
// Every control of the proxy group: shown, never edited.
constexpr int kProxyGroup[] = {kGbProxySettings, kPanel1, kCbProxyAutoDetect,
                               kLblProxyAutoDetectUsername, kLeProxyAutoDetectUsername,
                               kLblProxyAutoDetectPassword, kLeProxyAutoDetectPassword,
                               kLblProxyServer, kLeProxyServer, kLblProxyPort, kLeProxyPort,
                               kLblProxyUsername, kLeProxyUsername, kLblProxyPassword,
                               kLeProxyPassword};

// "Environment": the folders in a frame, the Windows version and rights, the silent flag.
const std::array<ControlSpec, 13> kEnvironmentControls{{
    {kLabel5, L"STATIC", kLabel, 0, 16, 26, 336, 40, nullptr},
    {kLabel6, L"STATIC", kLabel, 0, 16, 72, 336, 40, nullptr},
    {kLabel7, L"STATIC", kLabel, 0, 16, 118, 336, 40, nullptr},
    {kLabel8, L"STATIC", kLabel, 0, 16, 164, 336, 40, nullptr},
    {kLabel9, L"STATIC", kLabel, 0, 360, 26, 336, 40, nullptr},
    {kLabel17, L"STATIC", kLabel, 0, 360, 72, 336, 40, nullptr},
    {kLabel18, L"STATIC", kLabel, 0, 360, 118, 336, 40, nullptr},
    {kLblWinVersion, L"STATIC", kLabel, 0, 16, 256, 250, 13, nullptr},
    {kLblRights, L"STATIC", kLabel, 0, 272, 256, 168, 13, nullptr},
    {kLabel21, L"STATIC", kLabel, 0, 464, 256, 235, 13, nullptr},
    {kGroupBox1, L"BUTTON", kGroup, 0, 8, 8, 699, 214, &kNoText},
    {kGroupBox2, L"BUTTON", kGroup, 0, 8, 232, 440, 64, &kWindowsVersionAndRights},
    {kGroupBox3, L"BUTTON", kGroup, 0, 456, 232, 251, 64, &kSilentinstall},
}};

int IdOf(const char* control) {
  static const std::pair<std::string, int> kIds[] = {
      {"Label1", kLabel1},   {"Label2", kLabel2},   {"Label3", kLabel3},   {"Label4", kLabel4},
      {"Label5", kLabel5},   {"Label6", kLabel6},   {"Label7", kLabel7},   {"Label8", kLabel8},
      {"Label9", kLabel9},   {"Label10", kLabel10}, {"Label11", kLabel11}, {"Label12", kLabel12},
      {"Label13", kLabel13}, {"Label14", kLabel14}, {"Label15", kLabel15}, {"Label16", kLabel16},
      {"Label17", kLabel17}, {"Label18", kLabel18}, {"Label19", kLabel19}, {"Label20", kLabel20},
  };
  for (const auto& [name, id] : kIds)
    if (name == control) return id;
  return 0;
}

void SetText(HWND parent, int id, const std::string& text) {
  SetWindowTextW(GetDlgItem(parent, id), Widen(text).c_str());
}

}  // namespace

DebugForm::DebugForm(HWND owner) {
  RegisterTabControlClass();
  CreateWindowFor(kClassName, kExStyle, "DebugForm", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, owner);
  const UINT dpi = WindowDpi(hwnd());
  font_ = UiFont(8, dpi);
  CreateControls(hwnd(), kFormControls, font_.get());
  HWND tab = GetDlgItem(hwnd(), kPageControl1);
  AddTab(tab, kInstallRecTab);
  AddTab(tab, kEnvironmentTab);
  tabSheet1_ = std::make_unique<TabSheet>(tab, kTabSheet1);
  tabSheet2_ = std::make_unique<TabSheet>(tab, kTabSheet2);
  CreateControls(tabSheet1_->hwnd(), kInstallRecControls, font_.get());
  CreateControls(tabSheet2_->hwnd(), kEnvironmentControls, font_.get());
  for (int id : kProxyGroup) EnableWindow(GetDlgItem(tabSheet1_->hwnd(), id), FALSE);

  const SIZE size = WindowSizeForClient(kClientWidth, kClientHeight, kStyle, kExStyle, dpi);
  SetWindowPos(hwnd(), nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  Layout(dpi);
  ShowSelectedTab();
  FormCreate();
}

DebugForm::~DebugForm() {
  tabSheet1_.reset();
  tabSheet2_.reset();
}

void DebugForm::Show() {
  ShowWindow(hwnd(), SW_SHOWNORMAL);
}

void DebugForm::FormCreate() {
  Button1Click();
  FillEnvironment();
}

void DebugForm::Button1Click() {
  HWND page = tabSheet1_->hwnd();
  for (const DebugLabel& l : InstallRecLabels(InstallRec)) SetText(page, IdOf(l.control), l.text);
  SetText(tabSheet2_->hwnd(), kLabel21, SilentModeText(SilentMode));
  SendMessageW(GetDlgItem(page, kCbProxyAutoDetect), BM_SETCHECK,
               ProxyRecord.ProxyAutoDetect ? BST_CHECKED : BST_UNCHECKED, 0);
  SetText(page, kLeProxyAutoDetectUsername, ProxyRecord.ProxyAutoDetectUsername);
  SetText(page, kLeProxyAutoDetectPassword, ProxyRecord.ProxyAutoDetectPassword);
  SetText(page, kLeProxyServer, ProxyRecord.ProxyServer);
  SetText(page, kLeProxyPort, ProxyRecord.ProxyPort);
  SetText(page, kLeProxyUsername, ProxyRecord.ProxyUsername);
  SetText(page, kLeProxyPassword, ProxyRecord.ProxyPassword);
}

void DebugForm::FillEnvironment() {
  HWND page = tabSheet2_->hwnd();
  for (const DebugLabel& l : EnvironmentLabels(CurrentEnvironmentValues()))
    SetText(page, IdOf(l.control), l.text);
  const WindowsVersionNumbers v = ReportedWindowsVersion();
  SetText(page, kLblWinVersion, WindowsVersionText(v.major, v.minor));
  SetText(page, kLblRights, ProcessRightsText());
}

void DebugForm::ShowSelectedTab() {
  const int selected = SelectedTab(GetDlgItem(hwnd(), kPageControl1));
  tabSheet1_->SetVisible(selected != 1);
  tabSheet2_->SetVisible(selected == 1);
}

void DebugForm::Layout(UINT dpi) {
  PlaceControls(hwnd(), kFormControls, dpi);
  tabSheet1_->PlaceOverTab();
  tabSheet2_->PlaceOverTab();
  PlaceControls(tabSheet1_->hwnd(), kInstallRecControls, dpi);
  PlaceControls(tabSheet2_->hwnd(), kEnvironmentControls, dpi);
}

LRESULT DebugForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == kButton1 && HIWORD(wp) == BN_CLICKED) {
        Button1Click();
        return 0;
      }
      break;
    case WM_NOTIFY: {
      const auto* n = reinterpret_cast<const NMHDR*>(lp);
      if (n->idFrom == kPageControl1 && n->code == TCN_SELCHANGE) {
        ShowSelectedTab();
        return 0;
      }
      break;
    }
    case WM_CLOSE:
      // Closing hides the window; it lives until the program ends.
      ShowWindow(hwnd(), SW_HIDE);
      return 0;
    case WM_DPICHANGED: {
      const UINT dpi = HIWORD(wp);
      UiFont font(8, dpi);
      SetControlFont(hwnd(), kFormControls, font.get());
      SetControlFont(tabSheet1_->hwnd(), kInstallRecControls, font.get());
      SetControlFont(tabSheet2_->hwnd(), kEnvironmentControls, font.get());
      font_ = std::move(font);
      MoveToSuggestedRect(hwnd(), reinterpret_cast<const RECT*>(lp));
      Layout(dpi);
      return 0;
    }
  }
  return WindowBase::HandleMessage(msg, wp, lp);
}

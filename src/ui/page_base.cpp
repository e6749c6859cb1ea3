#include "ui/page_base.h"

#include <commctrl.h>

#include "base/lifecycle.h"
#include "base/win_text.h"
#include "install/zip_dlls.h"
#include "lang/language.h"
#include "lang/partners.h"
#include "state/state.h"

namespace {

// Without WS_CLIPCHILDREN: the panel is painted below the group boxes, which draw only their frames.
constexpr DWORD kPageStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kPanelWidth = 697, kPanelHeight = 400;
constexpr RECT kLogoFrame{40, 40, 40 + 190, 40 + 320};

void InitCommonControlsOnce() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)done;
}

// The work area of the monitor the window is on (the primary one before it is placed).
RECT WorkArea(HWND hwnd) {
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  HMONITOR m = MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY);
  if (m && GetMonitorInfoW(m, &mi)) return mi.rcWork;
  RECT r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

}  // namespace

std::string PartnerPageLogo() {
  const TPartnerRow* row = FindPartnerRow(PartnerTag);
  return row ? row->PageLogo : std::string();
}

PageBase::PageBase(HWND owner, Look look, std::span<const ControlSpec> controls)
    : owner_(owner), look_(std::move(look)), controls_(controls) {}

PageBase::~PageBase() {
  if (logo_) DeleteObject(logo_);
}

void PageBase::Build() {
  InitCommonControlsOnce();
  // Placed at SavedLeft / SavedTop from the start; sized for its DPI once it exists.
  const DWORD style = kPageStyle | (look_.sizeable ? WS_THICKFRAME | WS_MAXIMIZEBOX : 0);
  CreateWindowFor(look_.className, look_.exStyle | WS_EX_CONTROLPARENT, txtWindowTitle, style,
                  SavedLeft, SavedTop, look_.clientWidth, look_.clientHeight, owner_);
  const UINT dpi = WindowDpi(hwnd());
  const SIZE size = WindowSizeForClient(look_.clientWidth, look_.clientHeight, style,
                                        look_.exStyle | WS_EX_CONTROLPARENT, dpi);
  SetWindowPos(hwnd(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!look_.logo.empty())
    logo_ = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), Widen(look_.logo).c_str(),
                                            IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  font_ = UiFont(8, dpi);
  CreateControls(hwnd(), controls_, font_.get());
  ApplyFonts(dpi);
}

void PageBase::ShowPage() {
  RECT r{};
  GetWindowRect(hwnd(), &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  int x = SavedLeft, y = SavedTop;
  if (look_.centreOnFirstShow && !shownBefore_) {
    const RECT work = WorkArea(hwnd());
    x = work.left + ((work.right - work.left) - w) / 2;
    y = work.top + ((work.bottom - work.top) - h) / 2;
  }
  shownBefore_ = true;
  SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
}

void PageBase::HidePage() { ShowWindow(hwnd(), SW_HIDE); }

void PageBase::SavePosition() const {
  RECT r{};
  if (!GetWindowRect(hwnd(), &r)) return;
  SavedTop = r.top;
  SavedLeft = r.left;
}

bool PageBase::ConfirmCancel() {
  return MessageBoxW(hwnd(), Widen(txtConfirmCancel).c_str(), Widen(ApplicationTitle()).c_str(),
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void PageBase::CancelSetup() {
  if (!ConfirmCancel()) return;
  HidePage();
  RemoveZipDlls();
  RequestProgramEnd(kExitCancelled);
}

void PageBase::SetText(int id, const std::string& text) {
  if (HWND h = Control(id)) SetWindowTextW(h, Widen(text).c_str());
}

RECT PageBase::PanelRect() const {
  const UINT dpi = WindowDpi(hwnd());
  return RECT{0, 0, ScaleToDpi(kPanelWidth, dpi), ScaleToDpi(kPanelHeight, dpi)};
}

void PageBase::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd(), &ps);
  const RECT panel = PanelRect();
  FillRect(dc, &panel, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
  BITMAP bm{};
  if (logo_ && GetObjectW(logo_, sizeof bm, &bm) && bm.bmWidth > 0 && bm.bmHeight > 0) {
    // Stretched to the frame, keeping its proportions, centred.
    const UINT dpi = WindowDpi(hwnd());
    const int fx = ScaleToDpi(kLogoFrame.left, dpi), fy = ScaleToDpi(kLogoFrame.top, dpi);
    const int fw = ScaleToDpi(kLogoFrame.right, dpi) - fx, fh = ScaleToDpi(kLogoFrame.bottom, dpi) - fy;
    int w = fw, h = MulDiv(bm.bmHeight, fw, bm.bmWidth);
    if (h > fh) {
      h = fh;
      w = MulDiv(bm.bmWidth, fh, bm.bmHeight);
    }
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, logo_);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, fx + (fw - w) / 2, fy + (fh - h) / 2, w, h, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  EndPaint(hwnd(), &ps);
}

void PageBase::OnDpiChanged(UINT dpi, const RECT* suggested) {
  MoveToSuggestedRect(hwnd(), suggested);
  font_ = UiFont(8, dpi);
  SetControlFont(hwnd(), controls_, font_.get());
  PlaceControls(hwnd(), controls_, dpi);
  ApplyFonts(dpi);
  InvalidateRect(hwnd(), nullptr, TRUE);
}

LRESULT PageBase::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CTLCOLORSTATIC: {
      // Labels and group boxes on the panel share its white.
      HWND control = reinterpret_cast<HWND>(lp);
      RECT r{};
      GetWindowRect(control, &r);
      MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
      if (r.top < PanelRect().bottom) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNHIGHLIGHT));
      }
      break;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id == IDCANCEL && lp == 0) {
        // Escape: the Cancel button, where the page has one.
        if (const int cancel = CancelButtonId()) {
          HWND b = Control(cancel);
          if (b && IsWindowEnabled(b) && IsWindowVisible(b)) OnCommand(cancel, BN_CLICKED, b);
        }
        return 0;
      }
      OnCommand(id, HIWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    }
    case DM_GETDEFID:
      if (const int id = DefaultButtonId()) return MAKELRESULT(id, DC_HASDEFID);
      return 0;
    case WM_CLOSE:
      OnCloseRequest();
      return 0;
    case WM_ACTIVATE:
      // Focus comes back to the control that had it, at first to the first tab stop.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND f = GetFocus();
        if (f && IsChild(hwnd(), f)) lastFocus_ = f;
      } else {
        HWND f = lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)
                     ? lastFocus_ : GetNextDlgTabItem(hwnd(), nullptr, FALSE);
        if (f) SetFocus(f);
      }
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
  }
  return WindowBase::HandleMessage(msg, wp, lp);
}

#include "ui/tab_sheet.h"

#include <commctrl.h>

#include "base/win_text.h"

TabSheet::TabSheet(HWND tab, int id) : tab_(tab) {
  HWND parent = GetParent(tab);
  CreateWindowFor(kClassName, WS_EX_CONTROLPARENT, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                  parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
  // Above the tab control, which clips it out of its own painting.
  SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  PlaceOverTab();
}

void TabSheet::PlaceOverTab() {
  RECT r{};
  GetClientRect(tab_, &r);
  TabCtrl_AdjustRect(tab_, FALSE, &r);
  MapWindowPoints(tab_, GetParent(tab_), reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(hwnd(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TabSheet::SetVisible(bool visible) { ShowWindow(hwnd(), visible ? SW_SHOW : SW_HIDE); }

LRESULT TabSheet::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      return SendMessageW(GetParent(hwnd()), msg, wp, lp);
  }
  return WindowBase::HandleMessage(msg, wp, lp);
}

void RegisterTabControlClass() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
}

void AddTab(HWND tab, const std::string& text) {
  std::wstring w = Widen(text);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = w.data();
  const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
  SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&item));
}

int SelectedTab(HWND tab) { return static_cast<int>(SendMessageW(tab, TCM_GETCURSEL, 0, 0)); }

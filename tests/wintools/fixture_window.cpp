// fixture_window.exe: a small window with one control of each kind the wizard uses, for
// the window tool's own test (never shipped). It lays itself out in 96-DPI pixels scaled by
// its window's DPI, runs its keys through IsDialogMessage as the wizard's pages do, and
// lists every notification it gets in its "events" list box, which the test reads back:
//   "EN_CHANGE <text>", "CBN_SELCHANGE <index>", "LBN_SELCHANGE <index>",
//   "BN_CLICKED <id> <check state>", "LVN_ITEMCHANGED <item> <checked>", "IDOK", "IDCANCEL",
//   "KEYUP <virtual key>" (keys released in the edit), "BLOCK" (the Block button keeps the
//   window busy for 400 ms), "BROWSED <folder>" or "BROWSED nothing" (Browse opens the
//   folder browser rooted at C:\, as the location page does).
// Next (the default button) sets the status text to "done" and enables the "Later" button
// 300 ms later. The first component "Orfeda" cannot be unticked.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <string>

namespace {

enum : int {
  kLabel = 100, kEdit = 101, kCombo = 102, kCheck = 103, kRadioAll = 104, kRadioMe = 105,
  kList = 106, kComponents = 107, kProgress = 108, kLater = 109, kEvents = 110, kStatus = 111,
  kBlock = 112, kBrowse = 113,
};
constexpr UINT_PTR kDoneTimer = 1;
constexpr int kClientWidth = 480, kClientHeight = 360;

struct ControlDef {
  const wchar_t* cls;
  const wchar_t* text;
  int id;
  DWORD style, exStyle;
  int x, y, w, h;  // 96-DPI pixels in the client area
};

constexpr ControlDef kControls[] = {
    {L"Static", L"&User name:", kLabel, SS_LEFT, 0, 10, 14, 90, 16},
    {L"Edit", L"", kEdit, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 110, 10, 200, 22},
    {L"ComboBox", L"", kCombo, WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 110, 40, 200, 120},
    {L"Button", L"&Remember me", kCheck, WS_TABSTOP | BS_AUTOCHECKBOX, 0, 10, 70, 150, 20},
    {L"Button", L"For &anyone", kRadioAll, WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0, 170, 70, 110, 20},
    {L"Button", L"&Just me", kRadioMe, BS_AUTORADIOBUTTON, 0, 290, 70, 100, 20},
    {L"ListBox", L"", kList, WS_TABSTOP | WS_GROUP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL,
     WS_EX_CLIENTEDGE, 10, 100, 140, 70},
    {WC_LISTVIEWW, L"", kComponents,
     WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
     WS_EX_CLIENTEDGE, 160, 100, 150, 70},
    {PROGRESS_CLASSW, L"", kProgress, 0, 0, 320, 100, 150, 17},
    {L"Static", L"ready", kStatus, SS_LEFT, 0, 320, 130, 150, 16},
    {L"ListBox", L"", kEvents, LBS_NOINTEGRALHEIGHT | WS_VSCROLL, WS_EX_CLIENTEDGE, 10, 180, 460, 130},
    {L"Button", L"Br&owse...", kBrowse, WS_TABSTOP | BS_PUSHBUTTON, 0, 55, 325, 75, 25},
    {L"Button", L"Later", kLater, WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 0, 140, 325, 75, 25},
    {L"Button", L"&Block", kBlock, WS_TABSTOP | BS_PUSHBUTTON, 0, 225, 325, 75, 25},
    {L"Button", L"Cancel", IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 0, 310, 325, 75, 25},
    {L"Button", L"&Next", IDOK, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 395, 325, 75, 25},
};

// The window's state, owned by wWinMain and reached through GWLP_USERDATA.
struct Fixture {
  HWND window = nullptr;
  HFONT font = nullptr;
  bool filled = false;  // list view notifications count only after it was filled
  ~Fixture() {
    if (font) DeleteObject(font);
  }
};

Fixture* FixtureOf(HWND h) { return reinterpret_cast<Fixture*>(GetWindowLongPtrW(h, GWLP_USERDATA)); }

void Log(HWND window, const std::wstring& line) {
  const HWND events = GetDlgItem(window, kEvents);
  const LRESULT i = SendMessageW(events, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  SendMessageW(events, LB_SETTOPINDEX, static_cast<WPARAM>(i), 0);
}

int Scale(int v, UINT dpi) { return MulDiv(v, static_cast<int>(dpi), 96); }

// Places every control and the window's size for the window's current DPI.
void Layout(Fixture& f) {
  const UINT dpi = GetDpiForWindow(f.window);
  if (f.font) DeleteObject(f.font);
  f.font = CreateFontW(-MulDiv(8, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Tahoma");
  for (const ControlDef& d : kControls) {
    const HWND c = GetDlgItem(f.window, d.id);
    SetWindowPos(c, nullptr, Scale(d.x, dpi), Scale(d.y, dpi), Scale(d.w, dpi), Scale(d.h, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(f.font), TRUE);
  }
  const HWND lv = GetDlgItem(f.window, kComponents);
  SendMessageW(lv, LVM_SETCOLUMNWIDTH, 0, Scale(120, dpi));
  RECT r{0, 0, Scale(kClientWidth, dpi), Scale(kClientHeight, dpi)};
  AdjustWindowRectExForDpi(&r, GetWindowLongW(f.window, GWL_STYLE), FALSE,
                           GetWindowLongW(f.window, GWL_EXSTYLE), dpi);
  SetWindowPos(f.window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK EditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == WM_KEYUP) Log(GetParent(h), L"KEYUP " + std::to_wstring(wp));
  return DefSubclassProc(h, msg, wp, lp);
}

void Create(Fixture& f) {
  const HINSTANCE inst = GetModuleHandleW(nullptr);
  for (const ControlDef& d : kControls)
    CreateWindowExW(d.exStyle, d.cls, d.text, WS_CHILD | WS_VISIBLE | d.style, 0, 0, 10, 10,
                    f.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(d.id)), inst, nullptr);
  SetWindowSubclass(GetDlgItem(f.window, kEdit), EditProc, 0, 0);

  const HWND combo = GetDlgItem(f.window, kCombo);
  for (const wchar_t* t : {L"English", L"German"})
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  const HWND list = GetDlgItem(f.window, kList);
  for (const wchar_t* t : {L"alpha", L"beta", L"gamma"})
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  CheckRadioButton(f.window, kRadioAll, kRadioMe, kRadioAll);

  const HWND lv = GetDlgItem(f.window, kComponents);
  SendMessageW(lv, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  LVCOLUMNW col{};
  col.mask = LVCF_WIDTH;
  col.cx = 120;
  SendMessageW(lv, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
  int index = 0;
  for (const wchar_t* t : {L"Orfeda", L"Manual"}) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index++;
    item.pszText = const_cast<wchar_t*>(t);
    SendMessageW(lv, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  ListView_SetCheckState(lv, 0, TRUE);
  const HWND progress = GetDlgItem(f.window, kProgress);
  SendMessageW(progress, PBM_SETRANGE32, 0, 200);
  SendMessageW(progress, PBM_SETPOS, 50, 0);
  f.filled = true;
  Layout(f);
  SetFocus(GetDlgItem(f.window, kEdit));
}

LRESULT OnNotify(Fixture& f, const NMHDR& hdr) {
  if (hdr.idFrom != kComponents || !f.filled) return 0;
  const auto& lv = reinterpret_cast<const NMLISTVIEW&>(hdr);
  if (!(lv.uChanged & LVIF_STATE) || !((lv.uOldState ^ lv.uNewState) & LVIS_STATEIMAGEMASK)) return 0;
  const bool checked = ((lv.uNewState & LVIS_STATEIMAGEMASK) >> 12) == 2;
  // The application itself is always installed: its box cannot be unticked.
  if (hdr.code == LVN_ITEMCHANGING) return lv.iItem == 0 && !checked ? TRUE : FALSE;
  if (hdr.code == LVN_ITEMCHANGED)
    Log(f.window, L"LVN_ITEMCHANGED " + std::to_wstring(lv.iItem) + L" " + (checked ? L"1" : L"0"));
  return 0;
}

void Browse(HWND owner) {
  PIDLIST_ABSOLUTE root = ILCreateFromPathW(L"C:\\");
  BROWSEINFOW bi{};
  bi.hwndOwner = owner;
  bi.pidlRoot = root;
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  wchar_t path[MAX_PATH] = L"nothing";
  if (chosen) SHGetPathFromIDListW(chosen, path);
  Log(owner, std::wstring(L"BROWSED ") + path);
  CoTaskMemFree(chosen);
  CoTaskMemFree(root);
}

void OnCommand(Fixture& f, int id, int code, HWND control) {
  const HWND w = f.window;
  if (id == kEdit && code == EN_CHANGE) {
    wchar_t text[256] = {};
    GetWindowTextW(control, text, 256);
    Log(w, std::wstring(L"EN_CHANGE ") + text);
  } else if (id == kCombo && code == CBN_SELCHANGE) {
    Log(w, L"CBN_SELCHANGE " + std::to_wstring(SendMessageW(control, CB_GETCURSEL, 0, 0)));
  } else if (id == kList && code == LBN_SELCHANGE) {
    Log(w, L"LBN_SELCHANGE " + std::to_wstring(SendMessageW(control, LB_GETCURSEL, 0, 0)));
  } else if ((id == kCheck || id == kRadioAll || id == kRadioMe) && code == BN_CLICKED) {
    Log(w, L"BN_CLICKED " + std::to_wstring(id) + L" " +
               std::to_wstring(SendMessageW(control, BM_GETCHECK, 0, 0)));
  } else if (id == IDOK) {
    Log(w, L"IDOK");
    SetTimer(w, kDoneTimer, 300, nullptr);
  } else if (id == IDCANCEL) {
    Log(w, L"IDCANCEL");
  } else if (id == kBrowse && code == BN_CLICKED) {
    Browse(w);
  } else if (id == kBlock && code == BN_CLICKED) {
    Log(w, L"BLOCK");
    Sleep(400);
  }
}

LRESULT CALLBACK WindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Fixture* f = FixtureOf(h);
  switch (msg) {
    case WM_NCCREATE:
      f = static_cast<Fixture*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      f->window = h;
      SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(f));
      break;
    case WM_CREATE:
      Create(*f);
      return 0;
    case WM_DPICHANGED:
      Layout(*f);
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_COMMAND:
      OnCommand(*f, LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*f, *reinterpret_cast<NMHDR*>(lp));
    case WM_TIMER:
      if (wp == kDoneTimer) {
        KillTimer(h, kDoneTimer);
        SetDlgItemTextW(h, kStatus, L"done");
        EnableWindow(GetDlgItem(h, kLater), TRUE);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
  OleInitialize(nullptr);  // the folder browser's new style needs OLE
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"WintoolFixture";
  RegisterClassExW(&wc);
  Fixture fixture;
  const HWND w = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, wc.lpszClassName,
                                 L"Wintool fixture", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 40, 40,
                                 kClientWidth, kClientHeight, nullptr, nullptr, inst, &fixture);
  if (!w) return 1;
  ShowWindow(w, SW_SHOW);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(w, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  OleUninitialize();
  return 0;
}

#include "ui/password_form.h"

#include "base/win_text.h"
#include "base/window_class.h"

namespace {
const wchar_t kClassName[] = L"TPasswordForm";

HFONT CreateTahoma8() {
  HDC dc = GetDC(nullptr);
  const int height = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(nullptr, dc);
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                     L"Tahoma");
}
}  // namespace

TPasswordForm::TPasswordForm(HWND owner, const std::string& caption)
    : owner_(owner), caption_(caption) {
  RegisterPlainWindowClass(kClassName, &TPasswordForm::WndProc);
  font_ = CreateTahoma8();
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_POPUP | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;
  RECT rc{0, 0, 296, 37};
  AdjustWindowRectEx(&rc, style, FALSE, exStyle);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  hwnd_ = CreateWindowExW(exStyle, kClassName, Widen(caption_).c_str(), style, x, y, w, h,
                          owner_, nullptr, GetModuleHandleW(nullptr), this);
  Edpassword = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL,
                               8, 8, 197, 21, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
                               GetModuleHandleW(nullptr), nullptr);
  SendMessageW(Edpassword, EM_SETPASSWORDCHAR, L'*', 0);
  BtnOK = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                          213, 7, 75, 23, hwnd_, reinterpret_cast<HMENU>(IDOK),
                          GetModuleHandleW(nullptr), nullptr);
  for (HWND c : {Edpassword, BtnOK}) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
}

TPasswordForm::~TPasswordForm() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (font_) DeleteObject(font_);
}

void TPasswordForm::ShowModal() {
  if (!hwnd_) return;
  if (owner_) EnableWindow(owner_, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(Edpassword);
  MSG msg;
  while (!closed_) {
    const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (r < 0) break;
    // Enter presses the default OK button and Escape cancels, as in any dialog.
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (owner_) EnableWindow(owner_, TRUE);
  ShowWindow(hwnd_, SW_HIDE);
}

void TPasswordForm::BtnOKClick() {
  const int n = GetWindowTextLengthW(Edpassword);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(Edpassword, w.data(), n + 1);
  w.resize(static_cast<size_t>(n));
  password = Narrow(w);
  Close();
}

void TPasswordForm::Close() { closed_ = true; }

LRESULT CALLBACK TPasswordForm::WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TPasswordForm*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<TPasswordForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self) {
    switch (msg) {
      case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
          self->BtnOKClick();
          return 0;
        }
        if (LOWORD(wp) == IDCANCEL) {
          self->Close();
          return 0;
        }
        break;
      case WM_CLOSE:
        self->Close();
        return 0;
      case WM_NCDESTROY:
        SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        break;
    }
  }
  return DefWindowProcW(h, msg, wp, lp);
}

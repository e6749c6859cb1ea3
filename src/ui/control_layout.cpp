#include "ui/control_layout.h"

#include <utility>

#include "base/errors.h"
#include "base/win_error.h"
#include "base/win_text.h"

namespace {

// GetDpiForWindow and AdjustWindowRectExForDpi exist from Windows 10 1607 on; older systems
// get the system DPI and the plain adjustment.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

FARPROC User32Proc(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? GetProcAddress(user32, name) : nullptr;
}

RECT ScaledRect(const ControlSpec& c, UINT dpi) {
  const int x = ScaleToDpi(c.x, dpi), y = ScaleToDpi(c.y, dpi);
  // Right and bottom edges are scaled too, so neighbouring controls keep their gaps.
  return RECT{x, y, ScaleToDpi(c.x + c.width, dpi), ScaleToDpi(c.y + c.height, dpi)};
}

}  // namespace

UINT WindowDpi(HWND hwnd) {
  static const auto getDpiForWindow =
      reinterpret_cast<GetDpiForWindowFn>(User32Proc("GetDpiForWindow"));
  if (getDpiForWindow && hwnd) {
    const UINT dpi = getDpiForWindow(hwnd);
    if (dpi) return dpi;
  }
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int ScaleToDpi(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

UiFont::UiFont(int points, UINT dpi, bool bold) {
  font_ = CreateFontW(-MulDiv(points, static_cast<int>(dpi), 72), 0, 0, 0,
                      bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                      DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

UiFont::UiFont(UiFont&& other) noexcept : font_(std::exchange(other.font_, nullptr)) {}

UiFont& UiFont::operator=(UiFont&& other) noexcept {
  if (this != &other) {
    if (font_) DeleteObject(font_);
    font_ = std::exchange(other.font_, nullptr);
  }
  return *this;
}

UiFont::~UiFont() {
  if (font_) DeleteObject(font_);
}

void CreateControls(HWND parent, std::span<const ControlSpec> controls, HFONT font) {
  const UINT dpi = WindowDpi(parent);
  for (const ControlSpec& c : controls) {
    const RECT r = ScaledRect(c, dpi);
    const std::wstring text = c.text ? Widen(*c.text) : std::wstring();
    HWND h = CreateWindowExW(c.exStyle, c.windowClass, text.c_str(), c.style | WS_CHILD, r.left,
                             r.top, r.right - r.left, r.bottom - r.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                             GetModuleHandleW(nullptr), nullptr);
    if (!h) throw EOSError("Cannot create control " + std::to_string(c.id) + ": " +
                           SystemErrorText(GetLastError()));
    if (font) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

void PlaceControls(HWND parent, std::span<const ControlSpec> controls, UINT dpi) {
  HDWP batch = BeginDeferWindowPos(static_cast<int>(controls.size()));
  for (const ControlSpec& c : controls) {
    HWND h = GetDlgItem(parent, c.id);
    if (!h) continue;
    const RECT r = ScaledRect(c, dpi);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (batch) batch = DeferWindowPos(batch, h, nullptr, r.left, r.top, r.right - r.left,
                                      r.bottom - r.top, flags);
    else SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
  }
  if (batch) EndDeferWindowPos(batch);
}

void SetControlTexts(HWND parent, std::span<const ControlSpec> controls) {
  for (const ControlSpec& c : controls) {
    if (!c.text) continue;
    if (HWND h = GetDlgItem(parent, c.id)) SetWindowTextW(h, Widen(*c.text).c_str());
  }
}

void SetControlFont(HWND parent, std::span<const ControlSpec> controls, HFONT font) {
  for (const ControlSpec& c : controls) {
    if (HWND h = GetDlgItem(parent, c.id))
      SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

SIZE WindowSizeForClient(int width, int height, DWORD style, DWORD exStyle, UINT dpi) {
  static const auto adjustForDpi =
      reinterpret_cast<AdjustForDpiFn>(User32Proc("AdjustWindowRectExForDpi"));
  RECT r{0, 0, ScaleToDpi(width, dpi), ScaleToDpi(height, dpi)};
  if (!(adjustForDpi && adjustForDpi(&r, style, FALSE, exStyle, dpi)))
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void MoveToSuggestedRect(HWND hwnd, const RECT* suggested) {
  if (!suggested) return;
  SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, w.data(), n + 1);
  w.resize(static_cast<size_t>(got > 0 ? got : 0));
  return Narrow(w);
}

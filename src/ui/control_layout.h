#pragma once
// Windows laid out from a table of controls in 96-DPI pixels, scaled by the DPI of the
// window they sit in; and the program's font, Tahoma, at a size scaled the same way.
#include <windows.h>

#include <span>
#include <string>

// One child control of a window. Positions and sizes are pixels at 96 DPI in the parent's
// client area. `text` names the language entry the control shows (read when the controls
// are created and again by SetControlTexts), or nullptr for none.
struct ControlSpec {
  int id;
  const wchar_t* windowClass;
  DWORD style;  // WS_CHILD is always added
  DWORD exStyle;
  int x, y, width, height;
  const std::string* text;
};

// The DPI of the window (the system's when the window does not tell), 96 at 100 %.
UINT WindowDpi(HWND hwnd);
// A length in 96-DPI pixels at the given DPI.
int ScaleToDpi(int pixels, UINT dpi);

// The program's font: Tahoma of a point size at a DPI. Owns the GDI font.
class UiFont {
 public:
  UiFont() = default;
  UiFont(int points, UINT dpi, bool bold = false);
  UiFont(const UiFont&) = delete;
  UiFont& operator=(const UiFont&) = delete;
  UiFont(UiFont&& other) noexcept;
  UiFont& operator=(UiFont&& other) noexcept;
  ~UiFont();

  HFONT get() const { return font_; }

 private:
  HFONT font_ = nullptr;
};

// Creates every control of the table as a child of `parent`, at its place scaled by the
// parent's DPI, with its text and the font. Raises EOSError when a control cannot be made.
void CreateControls(HWND parent, std::span<const ControlSpec> controls, HFONT font);
// Moves every control of the table to its place at `dpi` (after a DPI change).
void PlaceControls(HWND parent, std::span<const ControlSpec> controls, UINT dpi);
// Gives every control of the table that names a text its current text again (after the
// language changed).
void SetControlTexts(HWND parent, std::span<const ControlSpec> controls);
// Gives every control of the table the font.
void SetControlFont(HWND parent, std::span<const ControlSpec> controls, HFONT font);

// The outer size of a window whose client area is width x height pixels at 96 DPI, for its
// styles at `dpi`.
SIZE WindowSizeForClient(int width, int height, DWORD style, DWORD exStyle, UINT dpi);
// Moves a window to the place and size Windows suggests with WM_DPICHANGED (nothing for none).
void MoveToSuggestedRect(HWND hwnd, const RECT* suggested);
// The text of a window or control.
std::string WindowText(HWND hwnd);

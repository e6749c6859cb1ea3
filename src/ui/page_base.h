#pragma once
// What every wizard page shares: a top-level window with its own taskbar button, owned by
// the window that created it, with a fixed single border and the given client area; the
// white panel across the top with the partner's logo centred in its frame; Tahoma 8 pt;
// controls from a table in 96-DPI pixels, laid out again when the DPI changes; the
// default button for Enter, Escape for Cancel; the position handed from page to page; and
// the cancel question.
#include <windows.h>

#include <span>
#include <string>

#include "ui/control_layout.h"
#include "ui/window_base.h"

// The exit code of a cancel the user confirmed.
inline constexpr int kExitCancelled = 1602;

// The logo the pages after the login show for the setup's partner (empty: the designed one).
std::string PartnerPageLogo();

class PageBase : public WindowBase {
 public:
  ~PageBase() override;

  // Shows the page. The first showing of a page placed by its design is centred in the
  // work area; every other showing puts it at SavedLeft / SavedTop.
  void ShowPage();
  void HidePage();
  // SavedTop / SavedLeft := this page's top left corner on the screen.
  void SavePosition() const;

  HWND Control(int id) const { return GetDlgItem(hwnd(), id); }

 protected:
  struct Look {
    const wchar_t* className;
    DWORD exStyle = WS_EX_APPWINDOW;
    int clientWidth = 694;
    int clientHeight = 471;
    bool centreOnFirstShow = false;
    std::string logo;  // bitmap resource; empty: none
    bool sizeable = false;  // a sizeable border instead of the fixed single one
  };

  PageBase(HWND owner, Look look, std::span<const ControlSpec> controls);
  // Creates the window and its controls; the derived page calls it from its constructor.
  void Build();

  // Called after the controls exist and whenever the DPI changed (fonts are new then).
  virtual void ApplyFonts(UINT /*dpi*/) {}
  virtual void OnCommand(int /*id*/, int /*code*/, HWND /*control*/) {}
  // The window's close button (WM_CLOSE). The default treats it like Cancel.
  virtual void OnCloseRequest() { CancelSetup(); }
  // The button Enter presses; 0 for none.
  virtual int DefaultButtonId() const { return 0; }
  // The button Escape presses; 0 for none.
  virtual int CancelButtonId() const { return 0; }

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

  // The question txtConfirmCancel with Yes and No; true on Yes.
  bool ConfirmCancel();
  // Cancel of the setup: the question; on Yes the page is hidden, the ZIP engine's DLLs are
  // removed and the program ends with kExitCancelled.
  void CancelSetup();
  HFONT Font() const { return font_.get(); }
  void SetText(int id, const std::string& text);

 private:
  void Paint();
  void OnDpiChanged(UINT dpi, const RECT* suggested);
  RECT PanelRect() const;

  HWND owner_;
  Look look_;
  std::span<const ControlSpec> controls_;
  UiFont font_;
  HBITMAP logo_ = nullptr;
  bool shownBefore_ = false;
  HWND lastFocus_ = nullptr;
};

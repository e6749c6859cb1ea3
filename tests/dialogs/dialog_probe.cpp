// dialog_probe.exe: a stand-in for the page that opens the proxy settings dialog and for
// the main window that owns the debug window, so the tests can drive both real windows
// through the program's own message loop. Its buttons do what the pages do: "Settings"
// creates the dialog on the first press with the setup state's proxy record and shows it
// on every press, "German"/"English" switch the texts, "Brand" fills the install record
// as a login would, "Debug" opens the debug window. The label "record" always shows the
// proxy record as "auto=<0|1>|user=<...>|password=<...>".
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/message_loop.h"
#include "base/lifecycle.h"
#include "base/win_text.h"
#include "lang/language.h"
#include "state/state.h"
#include "ui/debug_form.h"
#include "ui/settings_form.h"
#include "ui/window_base.h"

namespace {

enum : int { kSettings = 10, kGerman, kEnglish, kBrand, kDebug, kRecord = 20 };

std::string RecordText() {
  return std::string("auto=") + (ProxyRecord.ProxyAutoDetect ? "1" : "0") +
         "|user=" + ProxyRecord.ProxyAutoDetectUsername +
         "|password=" + ProxyRecord.ProxyAutoDetectPassword;
}

class Probe : public WindowBase {
 public:
  Probe() {
    CreateWindowFor(L"DialogProbe", 0, "DialogProbe", WS_OVERLAPPEDWINDOW, 10, 10, 420, 160,
                    nullptr);
    const struct {
      int id;
      const wchar_t* text;
      int x;
    } buttons[] = {{kSettings, L"Settings", 8}, {kGerman, L"German", 88}, {kEnglish, L"English", 168},
                   {kBrand, L"Brand", 248}, {kDebug, L"Debug", 328}};
    for (const auto& b : buttons)
      CreateWindowExW(0, L"BUTTON", b.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, b.x, 8, 75, 25,
                      hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), nullptr, nullptr);
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 8, 48, 400, 20, hwnd(),
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kRecord)), nullptr, nullptr);
    ShowRecord();
    SetTimer(hwnd(), 1, 50, nullptr);
    ShowWindow(hwnd(), SW_SHOW);
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_COMMAND:
        switch (LOWORD(wp)) {
          case kSettings:
            if (!settings_) settings_ = std::make_unique<SettingsForm>(ProxyRecord);
            settings_->Show();
            return 0;
          case kGerman:
          case kEnglish:
            LanguageName = LOWORD(wp) == kGerman ? "German" : "English";
            LoadLanguageTexts();
            return 0;
          case kBrand:
            InstallRec.ApplicationName = "Brixaro Fax";
            InstallRec.Provider = "Brixaro";
            InstallRec.Producer = "Fax";
            InstallRec.PrinterName = "Brixaro Fax Printer";
            InstallRec.Partner = "lumora";
            ProxyRecord.ProxyServer = "proxy.example";
            ProxyRecord.ProxyPort = "3128";
            return 0;
          case kDebug:
            if (!debug_) debug_ = std::make_unique<DebugForm>(hwnd());
            debug_->Show();
            return 0;
        }
        break;
      case WM_TIMER:
        ShowRecord();
        return 0;
      case WM_CLOSE:
        RequestProgramEnd();
        return 0;
    }
    return WindowBase::HandleMessage(msg, wp, lp);
  }

 private:
  void ShowRecord() {
    const std::string text = RecordText();
    if (text != shown_) {
      shown_ = text;
      SetWindowTextW(GetDlgItem(hwnd(), kRecord), Widen(text).c_str());
    }
  }

  std::unique_ptr<SettingsForm> settings_;
  std::unique_ptr<DebugForm> debug_;
  std::string shown_ = "-";
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  InitApplication();
  LanguageName = "English";
  LoadLanguageTexts();
  ProxyRecord.ProxyAutoDetect = true;  // as start-up sets it
  {
    Probe probe;
    RunMessageLoop();
  }
  return 0;
}

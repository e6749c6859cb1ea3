#pragma once
// The hidden main window: never shown; its creation opens the log and starts the run mode.
#include <windows.h>

#include <memory>

class Wizard;
class DebugForm;

class TQDSetupForm {
 public:
  TQDSetupForm();
  ~TQDSetupForm();
  TQDSetupForm(const TQDSetupForm&) = delete;
  TQDSetupForm& operator=(const TQDSetupForm&) = delete;

  // Creates the hidden window, which runs FormCreate.
  void Create();
  HWND Handle() const { return hwnd_; }

  static constexpr const wchar_t* kClassName = L"TQDSetupForm";

 private:
  void FormCreate();
  static LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  std::unique_ptr<Wizard> wizard_;  // the pages, when not silent
  std::unique_ptr<DebugForm> debugForm_;  // with DebugMode; owned by this window
};

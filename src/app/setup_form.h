#pragma once
// The main window: never shown; its creation opens the log and starts the run mode.
#include <windows.h>

#include <memory>

class TLumoraAPIClient;
class TQDAPIClient;

class TQDSetupForm {
 public:
  TQDSetupForm() = default;
  ~TQDSetupForm();
  TQDSetupForm(const TQDSetupForm&) = delete;
  TQDSetupForm& operator=(const TQDSetupForm&) = delete;

  // Creates the hidden window, which runs FormCreate.
  void Create();
  HWND Handle() const { return hwnd_; }

  TLumoraAPIClient* _lumoraapiClient = nullptr;  // not used by any operation
  std::shared_ptr<TQDAPIClient> _qdapiClient;    // kept by the silent install

  static constexpr const wchar_t* kClassName = L"TQDSetupForm";

 private:
  void FormCreate();
  static LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
};

#pragma once
// The finish page: the last choices (desktop link, start menu entries, autostart, all ticked
// at first) and Finish, which hands them to the finish worker once. When a printer driver
// package asked for a restart, the page tells the user that Windows must be restarted and
// the program ends with 3010; otherwise with 0 once the worker is done.
#include <string>

#include "ui/page_base.h"

class Wizard;

// The exit code of a setup that is done but needs Windows restarted.
inline constexpr int kExitRestartRequired = 3010;

class TFinishForm : public PageBase {
 public:
  TFinishForm(Wizard& wizard, HWND owner, bool restartRequired);

  // The finish worker's status (on the UI thread): ready ends the program.
  void updateStatus(const std::string& field, const std::string& value, bool ready);
  // The worker's thread has sent its last status.
  void WorkerEnded();

  enum ControlId : int {
    kLbFinishText = 1601, kLbRestart, kCbShortcut, kCbStartMenu, kCbAutostart, kBtnClose, kGbFinish,
  };
  static constexpr const wchar_t* kClassName = L"TFinishForm";

 protected:
  void OnCommand(int id, int code, HWND control) override;
  // Before Finish: the cancel question, as on every page; after it, nothing.
  void OnCloseRequest() override;
  int DefaultButtonId() const override { return kBtnClose; }

 private:
  void btnCloseClick();
  bool Ticked(int id) const;
  void Fail();

  Wizard& wizard_;
  const bool restartRequired_;
  bool started_ = false;   // Finish was pressed: the worker runs once
  bool finished_ = false;  // the ready or the "exit" status was handled
};

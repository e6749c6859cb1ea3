#pragma once
// The install page: shows what its worker reports while it installs the release (the install
// worker with the component choice) or, when updating, updates the installation in place
// (the update worker). It has no buttons. The worker's ready status opens the finish page; a
// failure tells the user (txtErrorRetry) and ends the program with 1603. Closing the window
// asks the cancel question; on Yes the page is hidden and the work goes on to its end, since
// an installation broken off halfway would leave the machine in a state nobody chose.
#include <memory>
#include <string>

#include "ui/page_base.h"
#include "workers/component_choice.h"

class Wizard;
struct InstallResult;

class TInstallForm : public PageBase {
 public:
  TInstallForm(Wizard& wizard, HWND owner);
  ~TInstallForm() override;

  // Starts the update worker when InstallRec.Update is set, else the install worker with
  // `choices`; called once, when the wizard has made this page its newest install page.
  void StartWorker(ComponentChoices choices);
  // One status of the worker (on the UI thread).
  void updateStatus(const std::string& field, const std::string& value, bool ready);
  // The worker's thread has sent its last status.
  void WorkerEnded();

  enum ControlId : int { kLbInstallText = 1501, kLbInstall, kPbInstall, kGbInstall };
  static constexpr const wchar_t* kClassName = L"TInstallForm";

 protected:
  void OnCloseRequest() override;

 private:
  // The run failed: the user is told, then the program ends with exitCode.
  void Fail(int exitCode);

  Wizard& wizard_;
  bool update_ = false;  // the update worker runs, not the install worker
  // Written by the install worker before its last status.
  std::shared_ptr<InstallResult> result_;
  int updateExitCode_ = 0;  // the update worker's exit code once it returned
  bool finished_ = false;   // the ready or the "exit" status was handled
};

#pragma once
// The download page: shows what the install-data and partner-data workers report while they
// fetch, check and unpack the release and the partner package. It has no buttons. Their
// ready status hands over to the next page; a failure tells the user and ends the program
// (1603). Closing the window asks the cancel question (Yes: 1602), as on every page. The page keeps the
// download area held open until the program ends (or a newer download makes it afresh),
// because the installation later takes its files from there.
#include <memory>
#include <string>

#include "ui/page_base.h"

class Wizard;
class DownloadAreaHold;

class TDownloadForm : public PageBase {
 public:
  TDownloadForm(Wizard& wizard, HWND owner);
  ~TDownloadForm() override;

  // Starts the two workers on a thread of their own; called once, when the wizard has made
  // this page its newest download page.
  void StartWorkers();
  // One status of either worker (on the UI thread).
  void updateStatus(const std::string& field, const std::string& value, bool ready);
  // The workers' thread has sent its last status.
  void WorkersEnded();
  // Lets the download area go (a newer download page makes it afresh).
  void ReleaseDownloadArea();

  enum ControlId : int { kLbText2 = 1201, kLbVersion, kLbDownload, kPbDownload, kGbPackageDownload };
  static constexpr const wchar_t* kClassName = L"TDownloadForm";

 private:
  // The run failed: the user is told, then the program ends with 1603.
  void Fail();

  Wizard& wizard_;
  std::shared_ptr<DownloadAreaHold> area_;
  bool finished_ = false;  // the ready or the "exit" status was handled
};

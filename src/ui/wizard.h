#pragma once
// The wizard: owns its pages (every instance lives until the program ends; a page that
// hands over is hidden) and the references to the newest instance of each page class,
// through which workers' statuses reach their page. Created by the hidden main window when
// the program does not run silently; lives on the UI thread.
#include <windows.h>

#include <memory>
#include <vector>

#include "ui/status_channel.h"
#include "workers/component_choice.h"

class PageBase;
class TCredentialsForm;
class SettingsForm;
class TComponentForm;
class TLocationForm;
class TSummaryForm;
class TDownloadForm;
class TInstallForm;
class TFinishForm;

class Wizard {
 public:
  explicit Wizard(HWND mainWindow);
  ~Wizard();
  Wizard(const Wizard&) = delete;
  Wizard& operator=(const Wizard&) = delete;

  // Creates the login page, owned by the main window, and shows it.
  void Start();

  // The newest login page (nullptr before Start).
  TCredentialsForm* CredentialsForm() const { return credentialsForm_; }
  // The window through which workers hand their statuses to the UI thread.
  HWND StatusWindowHandle() const { return status_ ? status_->hwnd() : nullptr; }

  // The proxy settings dialog of the login page.
  void ShowSettings();
  // The login page's ready status after the existing-installation check: opens the page
  // that follows (the login page saved its position and is hidden here).
  void AfterLogin(bool installed);
  // Back from the page after the login: the login page again, where that page was.
  void BackToLogin(PageBase& from);

 private:
  template <class Page, class... Args>
  Page& Add(Args&&... args);

  HWND main_;
  std::unique_ptr<StatusWindow> status_;
  std::vector<std::unique_ptr<PageBase>> pages_;  // in order of creation
  TCredentialsForm* credentialsForm_ = nullptr;
  std::unique_ptr<SettingsForm> settingsForm_;  // made on the first Settings press

  // The choice pages of a new installation. Each Open... is a forward step: a new page,
  // owned by `from`, shown where `from` was; `from` is hidden.
 public:
  void OpenComponents(PageBase& from);
  void OpenLocation(PageBase& from);
  // Hands the newest component page's choice to the summary page.
  void OpenSummary(PageBase& from);
  // Back: `to` shown again where `from` was; `from` hidden.
  void ShowBack(PageBase& from, PageBase& to);
  // The newest instance of each (nullptr before the first).
  TComponentForm* ComponentForm() const { return componentForm_; }
  TLocationForm* LocationForm() const { return locationForm_; }
  TSummaryForm* SummaryForm() const { return summaryForm_; }

 private:
  TComponentForm* componentForm_ = nullptr;
  TLocationForm* locationForm_ = nullptr;
  TSummaryForm* summaryForm_ = nullptr;

 public:
  // Forward step to a new download page, owned by `from`, shown where `from` was; `from`
  // (and the login page) hidden. The download starts at once.
  void OpenDownload(PageBase& from);
  // The newest download page (nullptr before the first download).
  TDownloadForm* DownloadForm() const { return downloadForm_; }
  // The download page's ready status: the install page when updating, otherwise the
  // component page.
  void AfterDownload(PageBase& from);

 private:
  TDownloadForm* downloadForm_ = nullptr;

 public:
  // Forward step to a new install page, which starts its worker at once: the update worker
  // when InstallRec.Update is set, else the install worker with `choices`.
  void OpenInstall(PageBase& from, ComponentChoices choices);
  // Forward step to a new finish page; restartRequired: a driver package asked for a restart.
  void OpenFinish(PageBase& from, bool restartRequired = false);
  // The newest instance of each (nullptr before the first).
  TInstallForm* InstallForm() const { return installForm_; }
  TFinishForm* FinishForm() const { return finishForm_; }

 private:
  TInstallForm* installForm_ = nullptr;
  TFinishForm* finishForm_ = nullptr;
};

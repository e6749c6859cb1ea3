#include "ui/wizard.h"

#include "state/state.h"
#include "ui/component_page.h"
#include "ui/credentials_page.h"
#include "ui/download_page.h"
#include "ui/finish_page.h"
#include "ui/install_page.h"
#include "ui/location_page.h"
#include "ui/maintenance_page.h"
#include "ui/settings_form.h"
#include "ui/summary_page.h"

Wizard::Wizard(HWND mainWindow) : main_(mainWindow), status_(std::make_unique<StatusWindow>()) {}

Wizard::~Wizard() {
  // No status reaches a page from here on: a worker still running finds no window.
  status_.reset();
  settingsForm_.reset();
  // Pages own the pages they created: the newest go first.
  while (!pages_.empty()) pages_.pop_back();
}

template <class Page, class... Args>
Page& Wizard::Add(Args&&... args) {
  auto page = std::make_unique<Page>(std::forward<Args>(args)...);
  Page& ref = *page;
  pages_.push_back(std::move(page));
  return ref;
}

void Wizard::Start() {
  credentialsForm_ = &Add<TCredentialsForm>(*this, main_);
  credentialsForm_->ShowPage();
}

void Wizard::ShowSettings() {
  // Made on the first press and kept: it keeps what was typed in it, also after Cancel.
  if (!settingsForm_) settingsForm_ = std::make_unique<SettingsForm>(ProxyRecord);
  settingsForm_->Show();
}

void Wizard::AfterLogin(bool installed) {
  TCredentialsForm* login = credentialsForm_;
  if (!installed) {
    OpenDownload(*login);
    return;
  }
  // A forward step: a new page, owned by the current one, where the current one was.
  TUpdateForm& page = Add<TUpdateForm>(*this, login->hwnd());
  page.ShowPage();
  login->HidePage();
}

void Wizard::BackToLogin(PageBase& from) {
  from.SavePosition();
  if (credentialsForm_) credentialsForm_->ShowPage();
  from.HidePage();
}

void Wizard::OpenDownload(PageBase& from) {
  from.SavePosition();
  // A new download makes the download area afresh: the older page (its workers have ended)
  // lets go of it.
  if (downloadForm_) downloadForm_->ReleaseDownloadArea();
  TDownloadForm& page = Add<TDownloadForm>(*this, from.hwnd());
  downloadForm_ = &page;
  page.StartWorkers();
  page.ShowPage();
  from.HidePage();
  if (credentialsForm_) credentialsForm_->HidePage();
}

void Wizard::AfterDownload(PageBase& from) {
  if (InstallRec.Update) {
    OpenInstall(from, {});
    return;
  }
  OpenComponents(from);
}

void Wizard::OpenComponents(PageBase& from) {
  from.SavePosition();
  componentForm_ = &Add<TComponentForm>(*this, from.hwnd());
  componentForm_->ShowPage();
  from.HidePage();
}

void Wizard::OpenLocation(PageBase& from) {
  from.SavePosition();
  locationForm_ = &Add<TLocationForm>(*this, from.hwnd());
  locationForm_->ShowPage();
  from.HidePage();
}

void Wizard::OpenSummary(PageBase& from) {
  from.SavePosition();
  ComponentChoices choices = componentForm_ ? componentForm_->Choices() : ComponentChoices{};
  summaryForm_ = &Add<TSummaryForm>(*this, from.hwnd(), std::move(choices));
  summaryForm_->ShowPage();
  from.HidePage();
}

void Wizard::ShowBack(PageBase& from, PageBase& to) {
  from.SavePosition();
  to.ShowPage();
  from.HidePage();
}

void Wizard::OpenInstall(PageBase& from, ComponentChoices choices) {
  from.SavePosition();
  TInstallForm& page = Add<TInstallForm>(*this, from.hwnd());
  installForm_ = &page;
  page.ShowPage();
  from.HidePage();
  page.StartWorker(std::move(choices));
}

void Wizard::OpenFinish(PageBase& from, bool restartRequired) {
  from.SavePosition();
  finishForm_ = &Add<TFinishForm>(*this, from.hwnd(), restartRequired);
  finishForm_->ShowPage();
  from.HidePage();
}

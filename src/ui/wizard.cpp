#include "ui/wizard.h"

#include "log/log.h"
#include "state/state.h"
#include "ui/credentials_page.h"
#include "ui/download_page.h"
#include "ui/pending_page.h"
#include "ui/settings_form.h"

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
  std::string next;
  if (installed) {
    next = "next page: maintenance, install root " + InstallRec.InstPath;
    if (!InstallRec.Version.empty()) next += ", version " + InstallRec.Version;
  } else {
    OpenDownload(*credentialsForm_);
    return;
  }
  WriteLog(next);
  TCredentialsForm* login = credentialsForm_;
  // A forward step: a new page, owned by the current one, where the current one was.
  TPendingForm& page = Add<TPendingForm>(*this, login->hwnd(), next);
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
  // Placeholder until the component and install pages: says which page follows.
  const std::string next = InstallRec.Update ? "next page: install (update)" : "next page: components";
  WriteLog(next);
  from.SavePosition();
  TPendingForm& page = Add<TPendingForm>(*this, from.hwnd(), next);
  page.ShowPage();
  from.HidePage();
}

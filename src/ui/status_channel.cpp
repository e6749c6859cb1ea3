#include "ui/status_channel.h"

#include "base/errors.h"
#include "log/log.h"
#include "ui/message_box.h"

StatusWindow::StatusWindow() {
  CreateWindowFor(L"OrfedaStatusWindow", 0, "", 0, 0, 0, 0, 0, HWND_MESSAGE);
}

LRESULT StatusWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != kRunMessage) return WindowBase::HandleMessage(msg, wp, lp);
  const auto* d = reinterpret_cast<const Delivery*>(lp);
  try {
    d->invoke(d->work);
  } catch (const std::exception& e) {
    // The page failed to handle it; the worker goes on with its next step.
    WriteLog("Exception Error in: updateStatus");
    WriteLog(DescribeError(e));
  }
  return kDone;
}

UiStatusSink::UiStatusSink(HWND statusWindow, StatusHandler onStatus, std::function<void()> onEnded)
    : window_(statusWindow), onStatus_(std::move(onStatus)), onEnded_(std::move(onEnded)) {}

void UiStatusSink::Status(const std::string& field, const std::string& value, bool ready) {
  auto work = [&] { onStatus_(field, value, ready); };
  StatusWindow::RunOn(window_, work);
}

void UiStatusSink::Message(const std::string& text) {
  auto work = [&] { ShowMessage(text); };
  StatusWindow::RunOn(window_, work);
}

void UiStatusSink::Ended() {
  if (!onEnded_) return;
  auto work = [&] { onEnded_(); };
  StatusWindow::RunOn(window_, work);
}

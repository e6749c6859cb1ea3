#pragma once
// The hand-over from a worker thread to the UI thread: a worker's status or message runs
// on the UI thread through SendMessageW to a message-only window. The worker is blocked
// until its page has handled the status, statuses arrive in the order sent, and they are
// served inside modal loops (a message box open on the UI thread does not hold them up).
// The UI thread never waits for a worker.
#include <windows.h>

#include <functional>
#include <string>

#include "ui/window_base.h"
#include "workers/status_sink.h"

// The message-only window that runs handed-over work on the UI thread. One per wizard,
// created and destroyed on the UI thread.
class StatusWindow : public WindowBase {
 public:
  StatusWindow();

  // Runs `work` on the thread of `window` and returns after it ran; from that thread itself
  // it runs at once. False when the window no longer exists (the program is ending): the
  // work did not run. Allocates nothing.
  template <class F>
  static bool RunOn(HWND window, F& work) {
    Delivery d{&Invoke<F>, &work};
    return SendMessageW(window, kRunMessage, 0, reinterpret_cast<LPARAM>(&d)) == kDone;
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  struct Delivery {
    void (*invoke)(void*);
    void* work;
  };
  template <class F>
  static void Invoke(void* f) {
    (*static_cast<F*>(f))();
  }
  static constexpr UINT kRunMessage = WM_APP + 1;
  static constexpr LRESULT kDone = 0x5D;
};

// The sink a page gives its worker: every status runs `onStatus` on the UI thread, every
// message is a message box there, and Ended() runs `onEnded` once the worker's run is over.
class UiStatusSink : public StatusSink {
 public:
  using StatusHandler = std::function<void(const std::string& field, const std::string& value, bool ready)>;

  UiStatusSink(HWND statusWindow, StatusHandler onStatus, std::function<void()> onEnded = {});

  void Status(const std::string& field, const std::string& value, bool ready) override;
  void Message(const std::string& text) override;
  // The worker's last act: tells its page that no status follows.
  void Ended();

 private:
  HWND window_;
  StatusHandler onStatus_;
  std::function<void()> onEnded_;
};

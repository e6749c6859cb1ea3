// The status hand-over under Wine: statuses of a worker thread run on the UI thread, in
// order, one at a time while the worker waits, also while a modal loop runs there; and
// nothing is delivered once the window is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ui/message_box.h"
#include "ui/status_channel.h"

namespace {

void PumpUntil(const std::atomic<bool>& done) {
  while (!done) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

TEST(StatusChannelTest, StatusesRunOnTheUiThreadInOrderWhileTheWorkerWaits) {
  StatusWindow window;
  const DWORD uiThread = GetCurrentThreadId();
  std::vector<std::string> got;
  std::atomic<int> sent{0};
  int handled = 0;
  bool offThread = false, workerRanAhead = false;
  std::atomic<bool> ended{false};
  UiStatusSink sink(
      window.hwnd(),
      [&](const std::string& f, const std::string& v, bool ready) {
        offThread |= GetCurrentThreadId() != uiThread;
        workerRanAhead |= sent != handled + 1;
        got.push_back(f + "=" + v + (ready ? "!" : ""));
        ++handled;
      },
      [&] { ended = true; });
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) {
      ++sent;
      sink.Status("pbLogin.Position", std::to_string(i), i == 99);
    }
    sink.Ended();
  });
  PumpUntil(ended);
  worker.join();
  EXPECT_FALSE(offThread);
  EXPECT_FALSE(workerRanAhead);
  ASSERT_EQ(got.size(), 100u);
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(got[i], "pbLogin.Position=" + std::to_string(i) + (i == 99 ? "!" : ""));
}

TEST(StatusChannelTest, ServedInsideAModalLoop) {
  StatusWindow window;
  std::atomic<int> handled{0};
  std::atomic<bool> ended{false};
  UiStatusSink sink(window.hwnd(), [&](const std::string&, const std::string&, bool) { ++handled; },
                    [&] { ended = true; });
  std::thread worker([&] {
    for (int i = 0; i < 5; ++i) sink.Status("lbLoginError.Caption", "x", false);
    sink.Ended();
  });
  // A message box holds the UI thread in its own loop; the statuses still arrive.
  const bool timedOut = ShowTimedMessageBox("waiting", "test", 1500);
  worker.join();
  EXPECT_TRUE(timedOut);
  EXPECT_EQ(handled, 5);
  EXPECT_TRUE(ended);
}

TEST(StatusChannelTest, NothingRunsOnceTheWindowIsGone) {
  HWND gone = nullptr;
  {
    StatusWindow window;
    gone = window.hwnd();
  }
  bool ran = false;
  UiStatusSink sink(gone, [&](const std::string&, const std::string&, bool) { ran = true; });
  std::thread worker([&] { sink.Status("f", "v", true); });
  worker.join();
  EXPECT_FALSE(ran);
}

}  // namespace

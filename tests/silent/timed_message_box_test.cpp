// Under Wine: the message box of a silent run closes itself when nobody answers it.
#include "ui/message_box.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(TimedMessageBox, ClosesItselfAfterTheTimeOut) {
  const DWORD start = GetTickCount();
  EXPECT_TRUE(ShowTimedMessageBox("No Data available. Close setup.", "Setup", 300));
  const DWORD took = GetTickCount() - start;
  EXPECT_GE(took, 250u);
  EXPECT_LT(took, 20000u);
}

TEST(TimedMessageBox, ASecondBoxGetsItsOwnTimeOut) {
  // The first box's timer must not close the second one early, nor leave it open.
  EXPECT_TRUE(ShowTimedMessageBox("first", "Setup", 200));
  const DWORD start = GetTickCount();
  EXPECT_TRUE(ShowTimedMessageBox("second", "Setup", 600));
  EXPECT_GE(GetTickCount() - start, 500u);
}

}  // namespace

// Under Wine: the message boxes of a silent run close themselves when nobody answers them.
#include "ui/message_box.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/lifecycle.h"
#include "base/win_text.h"
#include "log/log.h"
#include "log/log_platform.h"
#include "state/state.h"

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

TEST(UnattendedBoxes, TheProgramsBoxesCloseThemselvesAndTheLogSaysSo) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::string path = Narrow(temp) + "unattended_boxes_test.log";
  ResetSetupState();
  Unattended = true;
  UnattendedBoxTimeoutMs = 300;
  SetupLog = TLog::CreateClean(path);
  ShowMessage("Parameter \"-bogus\" unknown.");  // returns only once the box has closed
  ShowErrorMessage("Cannot create file");
  delete SetupLog;
  SetupLog = nullptr;
  ResetSetupState();

  std::stringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  DeleteFileW(Widen(path).c_str());
  for (const char* line : {": message box closed after 0.3 s without an answer: Parameter \"-bogus\" unknown.\r\n",
                           ": message box closed after 0.3 s without an answer: Cannot create file\r\n"})
    EXPECT_NE(content.str().find(line), std::string::npos) << line << "\n" << content.str();
}

TEST(UnattendedBoxes, ALogFolderThatCannotBeMadeEndsTheRunWithoutABox) {
  ResetSetupState();
  ResetEndRequest();
  Unattended = true;
  logsys::ReportDirectoryError("Error creating logfile directory for: Q:\\x\\Setup.log\r\nTerminating.");
  EXPECT_TRUE(EndRequested());
  EXPECT_EQ(ProgramExitCode(), 1603);
  ResetEndRequest();
  ResetSetupState();
}

}  // namespace

// The system's answers the debug window shows, asked under Wine for real.
#include "ui/debug_facts_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "state/state.h"

namespace {

TEST(DebugFacts, VersionAndRightsOfThisProcess) {
  const WindowsVersionNumbers v = ReportedWindowsVersion();
  EXPECT_GE(v.major, 5u);
  // The test binaries carry no compatibility manifest: newer systems tell them 6.2.
  const std::string name = WindowsName(v.major, v.minor);
  EXPECT_EQ(name.rfind("Windows ", 0), 0u) << name;

  const TokenAnswers token = QueryProcessToken();
  ASSERT_TRUE(token.opened);
  ASSERT_TRUE(token.elevationType.has_value());
  ASSERT_TRUE(token.elevated.has_value());
  // Whatever the system answers, the text follows the token's own elevation.
  EXPECT_EQ(ProcessRightsText(), RightsText(*token.elevated));
}

TEST(DebugFacts, EnvironmentTakesTheStateAndTheKnownDesktops) {
  ResetSetupState();
  TempDir = "C:\\t";
  ExeDir = "Z:\\x\\";
  const EnvironmentValues env = CurrentEnvironmentValues();
  EXPECT_EQ(env.temp, "C:\\t");
  EXPECT_EQ(env.exeDir, "Z:\\x\\");
  EXPECT_NE(env.desktop.find("Desktop"), std::string::npos) << env.desktop;
  EXPECT_NE(env.publicDesktop.find("Desktop"), std::string::npos) << env.publicDesktop;
  EXPECT_NE(env.desktop, env.publicDesktop);
  ResetSetupState();
}

}  // namespace

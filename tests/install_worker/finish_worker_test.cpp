// The finish page's worker with the real links, registry and files: the links the user left
// ticked for "me" and for "all", the product's uninstall key recording them, the ZIP
// engine's library files removed, and the ready status.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "base/file_system.h"
#include "base/win_text.h"
#include "install/files.h"
#include "state/state.h"
#include "test_support.h"
#include "worker_test_support.h"
#include "workers/finish_worker.h"

namespace {

class FinishWorker : public ::testing::Test {
 public:
  void SetUp() override {
    ResetSetupState();
    installation_ = std::make_unique<TestInstallation>(dir_.path());
    ForceDirectories(InstallRec.InstPath);
    WriteFileBytes(InstallRec.InstPath + "\\Orfeda.exe", "MZ");
    for (const char* dll : {"DelZip192.dll", "DelZip192x64.dll"}) WriteFileBytes(ProgramFolder() + dll, "MZ");
  }
  void TearDown() override {
    for (const std::string& path : Links()) DeleteFileW(Widen(path).c_str());
    for (const GUID& menu : {FOLDERID_StartMenu, FOLDERID_CommonStartMenu})
      RemoveDirectoryW(Widen(KnownFolderPath(menu) + "\\" + InstallRec.Provider).c_str());
    installation_.reset();
    ResetSetupState();
  }
  // Desktop, autostart and start-menu link of InstallRec.Users' scope.
  static std::vector<std::string> Links() {
    const bool me = InstallRec.Users == "me";
    const std::string name = "\\" + InstallRec.ApplicationName + ".lnk";
    return {KnownFolderPath(me ? FOLDERID_Desktop : FOLDERID_PublicDesktop) + name,
            KnownFolderPath(me ? FOLDERID_Startup : FOLDERID_CommonStartup) + name,
            KnownFolderPath(me ? FOLDERID_StartMenu : FOLDERID_CommonStartMenu) + "\\" + InstallRec.Provider + name};
  }
  std::string Uninstall(const char* value) const {
    return RegText(HKEY_LOCAL_MACHINE, MachineProductKey() + "\\uninstall", value);
  }

  ScratchFolder dir_;
  std::unique_ptr<TestInstallation> installation_;
  RecordingSink sink_;
};

TEST_F(FinishWorker, MakesTheTickedLinksRecordsThemAndRemovesTheZipLibraries) {
  struct Case {
    const char* users;
    LinkChoices choices;
    std::vector<bool> made;  // desktop, autostart, start menu
  };
  const Case cases[] = {
      {"all", {true, true, true}, {true, true, true}},
      {"me", {true, true, true}, {true, true, true}},
      {"me", {false, true, false}, {false, true, false}},
      {"all", {false, false, false}, {false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.users) + " " + std::to_string(c.choices.desktop) +
                 std::to_string(c.choices.autostart) + std::to_string(c.choices.startMenu));
    TearDown();
    SetUp();
    InstallRec.Users = c.users;
    LogCapture log;
    RunFinishWorker(c.choices, sink_);

    EXPECT_EQ(sink_.statuses, std::vector<std::string>{"finish=finish (ready)"});
    EXPECT_TRUE(sink_.messages.empty());
    const std::vector<std::string> links = Links();
    for (size_t i = 0; i < links.size(); ++i) EXPECT_EQ(FileExists(links[i]), c.made[i]) << links[i];
    EXPECT_EQ(Uninstall("ShortCut"), c.made[0] ? "-1" : "0");
    EXPECT_EQ(Uninstall("AutoStart"), c.made[1] ? "-1" : "0");
    EXPECT_EQ(Uninstall("StartMenu"), c.made[2] ? "-1" : "0");
    EXPECT_EQ(Uninstall("Users"), c.users);
    EXPECT_EQ(Uninstall("InstPath"), InstallRec.InstPath);
    EXPECT_TRUE(log.Has("RegWriteUninstall ok"));
    for (const char* dll : {"DelZip192.dll", "DelZip192x64.dll"}) EXPECT_FALSE(FileExists(ProgramFolder() + dll));
    sink_.statuses.clear();
  }
}

TEST_F(FinishWorker, ADesktopLinkThatCannotBeMadeIsToldAndTheRestGoesOn) {
  // A name no file may carry: the desktop link cannot be saved.
  InstallRec.ApplicationName += "|";
  InstallRec.Users = "me";
  LogCapture log;
  RunFinishWorker(LinkChoices{true, false, true}, sink_);
  EXPECT_EQ(sink_.messages, std::vector<std::string>{"Error: User: me CreateLink"});
  EXPECT_EQ(sink_.statuses, std::vector<std::string>{"finish=finish (ready)"});
  EXPECT_EQ(Uninstall("ShortCut"), "0");
  EXPECT_EQ(Uninstall("AutoStart"), "0");
  EXPECT_TRUE(log.Has("RegWriteUninstall ok"));
}

TEST_F(FinishWorker, AnyOtherUserScopeMakesNoLinkButWritesTheKey) {
  InstallRec.Users = "everyone";
  RunFinishWorker(LinkChoices{}, sink_);
  EXPECT_EQ(sink_.statuses, std::vector<std::string>{"finish=finish (ready)"});
  EXPECT_EQ(Uninstall("ShortCut"), "0");
  EXPECT_EQ(Uninstall("Users"), "everyone");
}

}  // namespace

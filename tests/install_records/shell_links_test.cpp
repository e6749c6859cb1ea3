// Shell links saved through the shell link object and read back with IShellLinkW.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <optional>
#include <thread>

#include "state/state.h"
#include "base/errors.h"
#include "base/file_system.h"
#include "base/handles.h"
#include "base/win_text.h"
#include "install/files.h"
#include "install/shell_links.h"
#include "install_records/win_fixture.h"

namespace {

struct LinkInfo {
  std::string path, workDir, icon;
  int iconIndex = -1;
};

std::optional<LinkInfo> ReadLink(const std::string& lnk) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.put_void())))
    return std::nullopt;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return std::nullopt;
  if (FAILED(file->Load(Widen(lnk).c_str(), STGM_READ))) return std::nullopt;
  wchar_t buf[MAX_PATH * 2] = {};
  LinkInfo info;
  link->GetPath(buf, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
  info.path = Narrow(buf);
  buf[0] = 0;
  link->GetWorkingDirectory(buf, MAX_PATH * 2);
  info.workDir = Narrow(buf);
  buf[0] = 0;
  link->GetIconLocation(buf, MAX_PATH * 2, &info.iconIndex);
  info.icon = Narrow(buf);
  return info;
}

class ShellLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    root_ = scratch_.path() + "\\Palvoro";
    CreateDirectoryW(Widen(root_).c_str(), nullptr);
    InstallRec.InstPath = root_;
    target_ = root_ + "\\Orfeda.exe";
    WriteBytes(target_, "MZ");
    name_ = "Palvoro Fax " + RunTag();
  }
  void TearDown() override {
    for (const auto& p : cleanup_) RemoveTree(p);
    CoUninitialize();
    ResetSetupState();
  }
  void ExpectLink(const std::string& lnk, const std::string& target) {
    SCOPED_TRACE(lnk);
    auto info = ReadLink(lnk);
    ASSERT_TRUE(info) << "no readable link";
    EXPECT_TRUE(text_EqualsNoCase(info->path, target)) << info->path;
    EXPECT_EQ(info->workDir, text_Dir(target) + "\\");
    // Always the install root's icon, whether or not the icon file exists yet.
    EXPECT_EQ(info->icon, root_ + "\\partner\\image\\ShortCut.ico");
    EXPECT_EQ(info->iconIndex, 0);
  }
  static bool text_EqualsNoCase(const std::string& a, const std::string& b) {
    return lstrcmpiW(Widen(a).c_str(), Widen(b).c_str()) == 0;
  }
  static std::string text_Dir(const std::string& p) { return p.substr(0, p.find_last_of('\\')); }

  ScratchDir scratch_;
  std::string root_, target_, name_;
  std::vector<std::string> cleanup_;
};

TEST_F(ShellLinks, CreateLinkWritesTargetWorkingFolderAndIconAndOverwrites) {
  const std::string lnk = scratch_.path() + "\\desk.lnk";
  EXPECT_TRUE(CreateLink(target_, lnk));
  ExpectLink(lnk, target_);

  // A second run overwrites the link.
  const std::string other = scratch_.path() + "\\Other\\Tool.exe";
  CreateDirectoryW(Widen(scratch_.path() + "\\Other").c_str(), nullptr);
  WriteBytes(other, "MZ");
  EXPECT_TRUE(CreateLink(other, lnk));
  ExpectLink(lnk, other);

  // A worker thread without COM of its own.
  const std::string fromThread = scratch_.path() + "\\thread.lnk";
  bool saved = false;
  std::thread([&] { saved = CreateLink(target_, fromThread); }).join();
  EXPECT_TRUE(saved);
  ExpectLink(fromThread, target_);
}

TEST_F(ShellLinks, LinkThatCannotBeSavedReportsFalse) {
  struct Case {
    const char* what;
    std::string lnk;
  };
  const Case cases[] = {
      {"missing folder", scratch_.path() + "\\missing\\x.lnk"},
      // An unresolved known folder leaves a path relative to the drive or folder.
      {"relative to the drive", "\\" + name_ + ".lnk"},
      {"relative", name_ + ".lnk"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(CreateLink(target_, c.lnk));
  }
  EXPECT_FALSE(PathExists("C:\\" + name_ + ".lnk"));
}

TEST_F(ShellLinks, StartMenuAndAutostartForBothScopes) {
  const std::string userMenu = KnownFolderPath(FOLDERID_StartMenu);
  const std::string commonMenu = KnownFolderPath(FOLDERID_CommonStartMenu);
  const std::string userStartup = KnownFolderPath(FOLDERID_Startup);
  const std::string commonStartup = KnownFolderPath(FOLDERID_CommonStartup);
  for (const auto& f : {userMenu, commonMenu, userStartup, commonStartup}) ASSERT_FALSE(f.empty());

  struct Case {
    const char* op;
    std::function<bool()> run;
    std::string expectedLink;
    std::string createdFolder;  // removed afterwards when not empty
  };
  const std::string sub = "Palvoro Fax " + RunTag();
  const Case cases[] = {
      {"CreateStartMenuUser", [&] { return CreateStartMenuUser(sub, target_, name_); },
       userMenu + "\\" + sub + "\\" + name_ + ".lnk", userMenu + "\\" + sub},
      {"CreateStartMenuAll", [&] { return CreateStartMenuAll(sub + "\\Tools", target_, name_); },
       commonMenu + "\\" + sub + "\\Tools\\" + name_ + ".lnk", commonMenu + "\\" + sub},
      {"CreateStartMenuAll", [&] { return CreateStartMenuAll("", target_, name_); },
       commonMenu + "\\" + name_ + ".lnk", ""},
      {"CreateAutoStartUser", [&] { return CreateAutoStartUser(target_, name_); },
       userStartup + "\\" + name_ + ".lnk", ""},
      {"CreateAutoStartAll", [&] { return CreateAutoStartAll(target_, name_); },
       commonStartup + "\\" + name_ + ".lnk", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expectedLink);
    cleanup_.push_back(c.createdFolder.empty() ? c.expectedLink : c.createdFolder);
    for (int run = 0; run < 2; ++run) {  // a second run overwrites without error
      LogCapture log;
      EXPECT_TRUE(c.run());
      const std::vector<std::string> expectedLog = {std::string("start ") + c.op,
                                                    std::string("end ") + c.op + " -1"};
      EXPECT_EQ(log.Lines(), expectedLog);
      ExpectLink(c.expectedLink, target_);
    }
  }
  // Links go into the start menu itself, not into its Programs folder.
  EXPECT_FALSE(PathExists(userMenu + "\\Programs\\" + sub));
}

TEST_F(ShellLinks, StartMenuStillEndsWithTrueWhenTheLinkFails) {
  // A link name with a character no file name may hold cannot be saved.
  LogCapture log;
  EXPECT_TRUE(CreateAutoStartUser(target_, "bad|name"));
  const std::vector<std::string> expectedLog = {"start CreateAutoStartUser", "end CreateAutoStartUser -1"};
  EXPECT_EQ(log.Lines(), expectedLog);
  EXPECT_FALSE(PathExists(KnownFolderPath(FOLDERID_Startup) + "\\bad|name.lnk"));
}

}  // namespace

// The two API clients end to end over THTTP against the local servers, under Wine. Started
// by test_clients_wine.py, which lays out the releases and passes in the environment:
//   ORFEDA_DEV_URL        https://localhost:PORT (update server and partner platform)
//   ORFEDA_INSTALLED_EXE  an executable with a version resource, as the installed application
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "state/state.h"
#include "base/file_system.h"
#include "base/win_text.h"
#include "install/files.h"
#include "net/http.h"
#include "net/lumora_client.h"
#include "net/qdapi_client.h"

namespace {

// Environment values as UTF-8 (the C runtime's getenv gives the ANSI code page).
std::string Env(const char* name) {
  wchar_t buffer[4096];
  DWORD n = GetEnvironmentVariableW(Widen(name).c_str(), buffer, 4096);
  return n && n < 4096 ? Narrow(std::wstring(buffer, n)) : std::string();
}

std::string Server() { return Env("ORFEDA_DEV_URL"); }

std::string TempFolder(const std::string& name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  std::string path = Narrow(dir) + "orfeda_clients_" + std::to_string(GetCurrentProcessId()) + "_" + name;
  CreateDirectoryW(Widen(path).c_str(), nullptr);
  return path;
}

class ClientsWine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Server().empty()) GTEST_SKIP() << "run by test_clients_wine.py";
  }
};

TEST_F(ClientsWine, UpdateServerReleaseSequenceWithMD5Check) {
  TQDAPIClient client(MakeHttpsTransport(), Server(), "", "");
  client.setKey(kQDAPIKey);
  client.setAppname(kQDAPIAppName);
  client.setBranch("stable");

  EXPECT_FALSE(client.auth_validate());  // no session yet
  ASSERT_TRUE(client.auth_Key()) << client.lastErrorMsg();
  EXPECT_FALSE(client.sid().empty());
  EXPECT_TRUE(client.auth_validate()) << client.lastErrorMsg();

  EXPECT_EQ(client.update_getLatestVersion(), "1.0.0.10");
  EXPECT_EQ(client.version(), "1.0.0.10");
  client.setVersion("1.0.0.9");
  EXPECT_TRUE(client.update_validateVersion()) << client.lastErrorMsg();
  client.setVersion("1.0.0");
  EXPECT_FALSE(client.update_validateVersion());
  EXPECT_EQ(client.lastErrorMsg(), "Version not found");

  client.setVersion("1.0.0.10");
  TFileListArray files = client.update_listFiles();
  ASSERT_EQ(files.size(), 2u) << client.lastErrorMsg();
  EXPECT_EQ(files[0].name, "app.zip");
  EXPECT_EQ(files[1].name, "b c&d.zip");  // a name with a blank and "&" travels intact

  std::string folder = TempFolder("release");
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    ASSERT_TRUE(client.update_downloadFile(f.name, folder)) << client.lastErrorMsg();
    EXPECT_EQ(FileMD5(folder + "\\" + f.name), f.checksum);
  }
  EXPECT_FALSE(client.activeTask());
}

TEST_F(ClientsWine, UpdateServerRefusalsLeaveNoFile) {
  TQDAPIClient client(MakeHttpsTransport(), Server(), "wrong key");
  client.setAppname(kQDAPIAppName);
  EXPECT_FALSE(client.auth_Key());
  EXPECT_EQ(client.lastErrorMsg(), "Invalid API key");

  TQDAPIClient good(MakeHttpsTransport(), Server(), kQDAPIKey);
  good.setAppname(kQDAPIAppName);
  ASSERT_TRUE(good.auth_Key());
  good.setVersion("1.0.0.10");
  std::string folder = TempFolder("refused");
  // A stale file of the same name from an earlier run must not survive a failed download.
  { std::ofstream(Widen(folder + "\\missing.zip").c_str()) << "stale"; }
  EXPECT_FALSE(good.update_downloadFile("missing.zip", folder));
  EXPECT_EQ(good.lastErrorMsg(), "File not found");
  EXPECT_FALSE(PathExists(folder + "\\missing.zip"));
}

TEST_F(ClientsWine, UserAuthenticationAtTheUpdateServer) {
  TQDAPIClient client(MakeHttpsTransport(), Server(), "alice", "secret");
  EXPECT_TRUE(client.auth_User()) << client.lastErrorMsg();
  TQDAPIClient wrong(MakeHttpsTransport(), Server(), "alice", "nope");
  EXPECT_FALSE(wrong.auth_User());
  EXPECT_EQ(wrong.lastErrorMsg(), "Invalid username or password");
}

TEST_F(ClientsWine, NewerVersionAgainstTheInstalledExecutable) {
  const std::string exe = Env("ORFEDA_INSTALLED_EXE");
  ASSERT_FALSE(exe.empty());
  std::string installed = GetFileVersionText(exe);
  ASSERT_EQ(installed, "1.1.2.0");
  struct Case {
    const char* branch;
    bool newer;
    const char* latest;
  } cases[] = {{"stable", false, ""}, {"beta", true, "1.2.0.0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.branch);
    TQDAPIClient client(MakeHttpsTransport(), Server(), kQDAPIKey);
    client.setAppname(kQDAPIAppName);
    client.setBranch(c.branch);
    std::string latest = "x";
    EXPECT_EQ(CheckNewVersionWith(client, [&] { return GetFileVersionText(exe); }, latest), c.newer);
    EXPECT_EQ(latest, c.latest);
  }
}

TEST_F(ClientsWine, PartnerLoginWithUserNameOrEmailAndPartnerTag) {
  struct Case {
    const char* user;
    const char* password;
    bool ok;
    const char* tag;
  } cases[] = {
      {"alice", "secret", true, "kqx"},
      {"alice@example.com", "secret", true, "kqx"},
      {"bob", "pa\"ss &w rd%", true, "dravin"},  // quote, ampersand, blank, percent
      {"alice", "wrong", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user);
    TLumoraAPIClient client(MakeHttpsTransport(), Server(), c.user, c.password);
    EXPECT_EQ(client.login(), c.ok) << client.lastErrorMsg();
    EXPECT_EQ(client.Getsessionserver(), Server());
    if (!c.ok) {
      EXPECT_EQ(client.lastErrorMsg(), "\"denied\"");
      EXPECT_FALSE(client.checklogin());
      continue;
    }
    EXPECT_EQ(client.lastErrorMsg(), "0");
    EXPECT_TRUE(client.checklogin());
    EXPECT_EQ(client.Getpartnertag(), c.tag);
    EXPECT_TRUE(client.logout());
    EXPECT_TRUE(client.sid().empty());
  }
}

TEST_F(ClientsWine, FaxOperationsOnASession) {
  TLumoraAPIClient client(MakeHttpsTransport(), Server(), "alice", "secret");
  ASSERT_TRUE(client.login());

  TFaxIdentifierArray phones = client.getfaxidentifiers();
  EXPECT_EQ(phones, (TFaxIdentifierArray{"4930111", "4930333"}));

  std::string folder = TempFolder("fax");
  std::string pdf = folder + "\\doc.pdf";
  { std::ofstream(Widen(pdf).c_str(), std::ios::binary) << "%PDF-1.4 test document"; }
  std::string uuid = client.createFax("Grüße");
  ASSERT_FALSE(uuid.empty()) << client.lastErrorMsg();
  EXPECT_TRUE(client.uploadFax(uuid, pdf, true)) << client.lastErrorMsg();
  EXPECT_FALSE(client.sendFax(uuid, "4930111", "4930999").empty());

  TFaxInfoRecord info = client.getfaxinfo(uuid);
  EXPECT_EQ(info.description, "Grüße");
  EXPECT_EQ(info.status, "ok");
  EXPECT_EQ(client.getfaxreportcount(uuid), 1);

  TFaxListRecArray list = client.getfaxlist();
  ASSERT_EQ(list.size(), 3u) << client.lastErrorMsg();  // two listed faxes and the new one
  EXPECT_EQ(list[0].UUID, "f-1001");
  EXPECT_EQ(list[1].PageCount, "0");
  EXPECT_EQ(list[2].UUID, uuid);

  std::string copy = folder + "\\copy.pdf";
  EXPECT_TRUE(client.getfaxdocument(uuid, copy));
  EXPECT_EQ(FileMD5(copy), FileMD5(pdf));
  EXPECT_TRUE(client.deleteFax(uuid));
}

}  // namespace

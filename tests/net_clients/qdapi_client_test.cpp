#include "net/qdapi_client.h"

#include <gtest/gtest.h>

#include "scripted_transport.h"

namespace {

const char* const kServer = "https://updates.test:8443";

class QDAPIClientTest : public ClientTestBase {
 protected:
  TQDAPIClient& Client() {
    if (!client_) client_ = std::make_unique<TQDAPIClient>(std::make_unique<ScriptedTransport>(script_), kServer, kQDAPIKey);
    return *client_;
  }
  void Answer(ScriptedAnswer a) { script_->answers.push_back(std::move(a)); }
  const RecordedRequest& Request(size_t i) const { return script_->requests.at(i); }

  std::unique_ptr<TQDAPIClient> client_;
};

// What every key authentication answer leads to.
TEST_F(QDAPIClientTest, AuthKeyAnswers) {
  struct Case {
    const char* name;
    ScriptedAnswer answer;
    bool result;
    const char* sid;
    const char* error;  // prefix of lastErrorMsg
  } cases[] = {
      {"accepted", Json(R"({"success":true,"sid":"s-123"})"), true, "s-123", ""},
      {"refused", Json(R"({"success":false,"message":"Invalid \"key\""})"), false, "", "Invalid key"},
      {"refused without message", Json(R"({"success":false})"), false, "", ""},
      {"passes without sid", Json(R"({"success":true})"), false, "", ""},
      {"success as string", Json(R"({"success":"true","sid":"x"})"), false, "", ""},
      {"success as number", Json(R"({"success":1,"sid":"x"})"), false, "", ""},
      {"not JSON", Json("<html>502 Bad Gateway</html>"), false, "", "Invalid JSON document: "},
      {"empty answer", Json(""), false, "", ""},
      {"transport error", Fails("The operation timed out (12002)"), false, "", "The operation timed out (12002)"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    client_.reset();
    script_ = std::make_shared<Script>();
    Answer(c.answer);
    EXPECT_EQ(Client().auth_Key(), c.result);
    EXPECT_EQ(Client().sid(), c.sid);
    EXPECT_EQ(Client().lastErrorMsg().rfind(c.error, 0), 0u) << Client().lastErrorMsg();
    if (std::string(c.error).empty()) {
      EXPECT_EQ(Client().lastErrorMsg(), "");
    }
    EXPECT_FALSE(Client().activeTask());
    ASSERT_EQ(script_->requests.size(), 1u);
    EXPECT_EQ(Request(0).method, "POST");
    EXPECT_EQ(Request(0).url, std::string(kServer) + "/qdapi/auth/");
    // The key's "!" and "*" are percent-encoded; the server decodes the same 25 characters.
    EXPECT_EQ(Request(0).body, "key=k8r2%21tWQ5jHMLPD7%2Ax.-~4039");
    EXPECT_EQ(script_->timeout, 15);
  }
  // Only transport errors are logged.
  EXPECT_TRUE(LoggedExactly("TQDAPIClient: http post exception in auth_Key: The operation timed out (12002)"));
}

// Every request, with values that would break a URL or form body if inserted raw.
TEST_F(QDAPIClientTest, RequestsCarryEncodedValues) {
  TQDAPIClient client(std::make_unique<ScriptedTransport>(script_), kServer, "jo&e", "p\"a&ss w=rd");
  client.setBranch("beta 1");
  client.setAppname("orfeda_2018_lumora");
  client.setVersion("2.0+1");
  for (int i = 0; i < 6; ++i) Answer(Json(R"({"success":true,"sid":"s/1&x","message":[{"version":"2.0+1"}]})"));
  Answer(Binary("PK"));
  EXPECT_TRUE(client.auth_User());
  EXPECT_TRUE(client.auth_validate());
  EXPECT_TRUE(client.update_validateVersion());
  EXPECT_EQ(client.update_getLatestVersion(), "2.0+1");
  EXPECT_EQ(client.update_listFiles().size(), 1u);
  EXPECT_TRUE(client.auth_logout());
  EXPECT_TRUE(client.update_downloadFile("my file&v=2.zip", Folder("dl")));

  const std::string s = kServer, q = "/qdapi/update/?branch=beta%201&appname=orfeda_2018_lumora";
  const RecordedRequest expected[] = {
      {"POST", s + "/qdapi/auth/", "username=jo%26e&password=p%22a%26ss%20w%3Drd", "", ""},
      {"POST", s + "/qdapi/auth/", "validate=&sid=s%2F1%26x", "", ""},
      {"GET", s + q + "&version=2.0%2B1&sid=s%2F1%26x", "", "", ""},
      {"GET", s + q + "&sid=s%2F1%26x", "", "", ""},
      {"GET", s + q + "&version=2.0%2B1&list=&sid=s%2F1%26x", "", "", ""},
      {"POST", s + "/qdapi/auth/", "logout=&sid=s%2F1%26x", "", ""},
      {"GET", s + q + "&version=2.0%2B1&filename=my%20file%26v%3D2.zip&sid=s%2F1%26x", "", "", ""},
  };
  ASSERT_EQ(script_->requests.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Request(i).method, expected[i].method);
    EXPECT_EQ(Request(i).url, expected[i].url);
    EXPECT_EQ(Request(i).body, expected[i].body);
  }
  EXPECT_EQ(client.sid(), "s/1&x");  // logout leaves the session id
  EXPECT_EQ(Log(), "");
}

TEST_F(QDAPIClientTest, TransportErrorsAreLoggedPerOperation) {
  struct Case {
    std::function<bool(TQDAPIClient&)> run;  // true when the result is the failure result
    const char* logText;
  } cases[] = {
      {[](TQDAPIClient& c) { return !c.auth_User(); }, "TQDAPIClient: http post exception in auth_User: "},
      {[](TQDAPIClient& c) { return !c.auth_Key(); }, "TQDAPIClient: http post exception in auth_Key: "},
      {[](TQDAPIClient& c) { return !c.auth_logout(); }, "TQDAPIClient: http post exception in auth_logout: "},
      {[](TQDAPIClient& c) { return !c.auth_validate(); }, "TQDAPIClient: http post exception in auth_validate: "},
      {[](TQDAPIClient& c) { return c.update_getLatestVersion().empty(); },
       "TQDAPIClient: http get exception in update_getLatestVersion: "},
      {[](TQDAPIClient& c) { return !c.update_validateVersion(); },
       "TQDAPIClient: http get exception in update_validateVersion: "},
      {[](TQDAPIClient& c) { return c.update_listFiles().empty(); },
       "TQDAPIClient: http get exception in update_listFiles: "},
      {[this](TQDAPIClient& c) { return !c.update_downloadFile("a.zip", Folder("dl")); },
       "TQDAPIClient: http get exception inupdate_downloadFile: "},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.logText);
    SetupLog->cleanFile(logFile_);
    Answer(Fails("Cannot connect (12029)"));
    EXPECT_TRUE(c.run(Client()));
    EXPECT_EQ(Client().lastErrorMsg(), "Cannot connect (12029)");
    EXPECT_TRUE(LoggedExactly(std::string(c.logText) + "Cannot connect (12029)"));
    EXPECT_FALSE(Client().activeTask());
  }
}

TEST_F(QDAPIClientTest, VersionAnswers) {
  struct Case {
    const char* name;
    const char* answer;
    const char* version;  // the client's version before the call
    const char* latest;   // update_getLatestVersion's result
    bool valid;           // update_validateVersion's result
    const char* error;
  } cases[] = {
      {"same", R"({"success":true,"message":[{"version":"2.0.0"},{"version":"1.0"}]})", "2.0.0", "2.0.0", true, ""},
      {"texts differ", R"({"success":true,"message":[{"version":"2.0.0"}]})", "2.0", "2.0.0", false, ""},
      {"letter case", R"({"success":true,"message":[{"version":"2.0.0-RC"}]})", "2.0.0-rc", "2.0.0-RC", false, ""},
      {"no version", R"({"success":true,"message":[]})", "2.0", "", false, ""},
      {"refused", R"({"success":false,"message":"Unknown branch"})", "2.0", "", false, "Unknown branch"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Client().setVersion(c.version);
    Answer(Json(c.answer));
    EXPECT_EQ(Client().update_validateVersion(), c.valid);
    EXPECT_EQ(Client().lastErrorMsg(), c.error);
    EXPECT_EQ(Client().version(), c.version);  // validating never changes it
    Answer(Json(c.answer));
    EXPECT_EQ(Client().update_getLatestVersion(), c.latest);
    EXPECT_EQ(Client().lastErrorMsg(), c.error);
    EXPECT_EQ(Client().version(), *c.latest ? c.latest : c.version);
  }
}

TEST_F(QDAPIClientTest, FileListAnswers) {
  Answer(Json(R"({"success":true,"message":[{"filename":"orfeda.zip","checksum":"0a1b"},)"
              R"({"checksum":"ffee","filename":"docs.zip","size":12},{"filename":"x.zip"}]})"));
  TFileListArray files = Client().update_listFiles();
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].name, "orfeda.zip");
  EXPECT_EQ(files[0].checksum, "0a1b");
  EXPECT_EQ(files[1].name, "docs.zip");
  EXPECT_EQ(files[1].checksum, "ffee");
  EXPECT_EQ(files[2].name, "x.zip");
  EXPECT_EQ(files[2].checksum, "");
  EXPECT_EQ(Client().lastErrorMsg(), "");

  for (const char* answer : {R"({"success":true,"message":[]})", R"({"success":true})"}) {
    Answer(Json(answer));
    EXPECT_TRUE(Client().update_listFiles().empty());
    EXPECT_EQ(Client().lastErrorMsg(), "");
  }
  Answer(Json(R"({"success":false,"message":"Version not found"})"));
  EXPECT_TRUE(Client().update_listFiles().empty());
  EXPECT_EQ(Client().lastErrorMsg(), "Version not found");
}

TEST_F(QDAPIClientTest, DownloadLeavesAFileOnlyWhenComplete) {
  const std::string local = Folder("dl") + "\\orfeda.zip";
  struct Case {
    const char* name;
    ScriptedAnswer answer;
    bool stale;  // a file of that name is there from an earlier run
    bool result;
    const char* error;
  } cases[] = {
      {"binary answer", Binary("PK\x03\x04 data"), false, true, ""},
      {"binary answer replaces an old file", Binary("PK\x03\x04 data", "application/octet-stream"), true, true, ""},
      {"refused as JSON", Json(R"({"success":false,"message":"No such file"})"), true, false, "No such file"},
      {"refused as text", Binary("Forbidden", "text/html"), false, false, ""},
      {"broken off", Fails("The connection was reset (12030)", "PK\x03\x04 da"), true, false,
       "The connection was reset (12030)"},
      {"no connection", Fails("Cannot connect (12029)"), true, false, "Cannot connect (12029)"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.stale) Write(local, "old release");
    Answer(c.answer);
    EXPECT_EQ(Client().update_downloadFile("orfeda.zip", Folder("dl")), c.result);
    EXPECT_EQ(Client().lastErrorMsg(), c.error);
    EXPECT_EQ(Exists(local), c.result);
    if (c.result) {
      EXPECT_EQ(Read(local), "PK\x03\x04 data");
    }
    EXPECT_FALSE(Exists(local + ".part"));
    std::filesystem::remove(local);
  }
}

TEST_F(QDAPIClientTest, DownloadRefusesNamesLeavingTheFolder) {
  for (const char* name : {"..\\evil.exe", "../evil.exe", "sub/x.zip", "C:x.zip", "..", "",
                           "CON", "nul.zip", "a*.zip", "a.zip."}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Client().update_downloadFile(name, Dir()));
    EXPECT_NE(Client().lastErrorMsg(), "");
  }
  EXPECT_TRUE(script_->requests.empty());
}

TEST_F(QDAPIClientTest, OneOperationAtATime) {
  bool innerResult = true;
  std::string innerError;
  bool activeDuring = false;
  ScriptedAnswer slow = Json(R"({"success":true,"sid":"s1"})");
  slow.during = [&] {
    activeDuring = Client().activeTask();
    innerResult = Client().auth_validate();
    innerError = Client().lastErrorMsg();
    activeDuring = activeDuring && Client().activeTask();
  };
  Answer(slow);
  EXPECT_TRUE(Client().auth_Key());
  EXPECT_FALSE(innerResult);
  EXPECT_EQ(innerError, "There is already an active Task");
  EXPECT_TRUE(activeDuring);
  EXPECT_FALSE(Client().activeTask());
  EXPECT_EQ(script_->requests.size(), 1u);  // the refused operation sent nothing

  // The next operation starts with an empty error text.
  Answer(Json(R"({"success":true})"));
  EXPECT_TRUE(Client().auth_validate());
  EXPECT_EQ(Client().lastErrorMsg(), "");
}

TEST_F(QDAPIClientTest, ProxySettingsReachTheTransport) {
  Client().setProxyServer("proxy.lan");
  Client().setProxyPort(3128);
  Client().setProxyUsername("u");
  Client().setProxyAutoDetectPassword("pw");
  Client().setProxyAutoDetect(true);
  EXPECT_EQ(script_->proxyServer, "proxy.lan");
  EXPECT_EQ(script_->proxyPort, 3128);
  EXPECT_EQ(script_->proxyUser, "u");
  EXPECT_EQ(script_->proxyPassword, "pw");
  EXPECT_TRUE(script_->proxyAuto);
  EXPECT_EQ(Client().proxyAutoDetectUsername(), "u");
  EXPECT_EQ(Client().proxyPassword(), "pw");
}

TEST_F(QDAPIClientTest, NewVersionCheck) {
  struct Case {
    const char* name;
    std::vector<ScriptedAnswer> answers;
    const char* installed;
    bool result;
    const char* latest;
    size_t requests;
    const char* log;  // nullptr: nothing logged
  } cases[] = {
      {"session valid, newer", {Json(R"({"success":true})"), Json(R"({"success":true,"message":[{"version":"2.0.0.1"}]})")},
       "1.9.0.0", true, "2.0.0.1", 2, nullptr},
      {"new key session, same",
       {Json(R"({"success":false})"), Json(R"({"success":true,"sid":"s"})"),
        Json(R"({"success":true,"message":[{"version":"2.0.0.1"}]})")},
       "2.0.0.1", false, "", 3, nullptr},
      {"texts compare, not numbers",
       {Json(R"({"success":true})"), Json(R"({"success":true,"message":[{"version":"10.0.0.1"}]})")}, "9.0.0.1",
       false, "", 2, nullptr},
      {"no session", {Json(R"({"success":false})"), Json(R"({"success":false,"message":"bad key"})")}, "1.0.0.0",
       false, "", 2, nullptr},
      {"no latest version", {Json(R"({"success":true})"), Json(R"({"success":false,"message":"Unknown app"})")},
       "1.0.0.0", false, "", 2, "msg: Unknown app"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetupLog->cleanFile(logFile_);
    client_.reset();
    script_ = std::make_shared<Script>();
    for (auto& a : c.answers) Answer(a);
    std::string latest = "stale";
    EXPECT_EQ(CheckNewVersionWith(Client(), [&] { return std::string(c.installed); }, latest), c.result);
    EXPECT_EQ(latest, c.latest);
    EXPECT_EQ(script_->requests.size(), c.requests);
    if (c.log) {
      EXPECT_TRUE(LoggedExactly(c.log));
    } else {
      EXPECT_EQ(Log(), "");
    }
  }
}

}  // namespace

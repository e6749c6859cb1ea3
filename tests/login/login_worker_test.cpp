// The login worker over the scripted platform: the whole status sequence, the log lines and
// the setup state it writes, for each outcome; and the proxy settings it hands the client.
#include "workers/login_worker.h"

#include <gtest/gtest.h>

#include <tuple>

#include "lang/language.h"
#include "net_clients/scripted_transport.h"
#include "workers/status_sink.h"
#include "workers/worker_thread.h"

namespace {

const char* const kPlatform = "https://api.platform.test";
const char* const kFirst = R"({"server":"https://s7.platform.test","sid":"abc/1"})";
const char* const kOk = R"({"status":"ok"})";

using Msg = std::tuple<std::string, std::string, bool>;

// Records every status, and the setup state as it stood when the ready status came.
class RecordingSink : public StatusSink {
 public:
  void Status(const std::string& field, const std::string& value, bool ready) override {
    messages.emplace_back(field, value, ready);
    if (ready) atReady = InstallRec;
  }
  void Message(const std::string& text) override { boxes.push_back(text); }
  std::vector<Msg> messages;
  std::vector<std::string> boxes;
  TInstallRec atReady;
};

TInstallRec Branded(const char* provider, const char* producer, const char* printer, const char* app) {
  TInstallRec r;
  r.Provider = provider;
  r.Producer = producer;
  r.PrinterName = printer;
  r.ApplicationName = app;
  return r;
}

class LoginWorkerTest : public ClientTestBase {
 protected:
  void SetUp() override {
    ClientTestBase::SetUp();
    ResetSetupState();
    LanguageName = "English";
    LoadLanguageTexts();
  }
  void TearDown() override {
    ClearLanguageTexts();
    ResetSetupState();
    ClientTestBase::TearDown();
  }
  LoginInput Input(const std::string& partnerTag = "lumora") {
    LoginInput in;
    in.Username = "joe";
    in.Password = "secret";
    in.Language = "English";
    in.PartnerTag = partnerTag;
    in.PlatformUrl = kPlatform;
    return in;
  }
  void Run(const LoginInput& in) {
    RunLoginWorker(in, std::make_unique<ScriptedTransport>(script_), sink_);
  }
  // The log lines without their time prefix.
  std::vector<std::string> Steps() const {
    std::vector<std::string> out;
    for (const auto& line : LogLines()) {
      const auto p = line.find(": ");
      out.push_back(p == std::string::npos ? line : line.substr(p + 2));
    }
    return out;
  }

  RecordingSink sink_;
};

TEST_F(LoginWorkerTest, EachOutcomeOfTheLogin) {
  const TInstallRec start = Branded("P0", "Q0", "R0", "A0");
  const TInstallRec palvoro = Branded("Palvoro Fax", "Palvoro", "Palvoro Fax", "Palvoro Fax");
  const TInstallRec perlune = Branded("Perlune GmbH", "Perlune", "Vantreo Cloudline Fax", "Vantreo Cloudline Fax");
  const TInstallRec dravin = Branded("dravin GmbH", "dravin", "dravin-Fax", "dravin-Fax");
  struct Case {
    const char* name;
    std::vector<ScriptedAnswer> answers;
    const char* partnerTag;
    std::vector<Msg> messages;
    std::vector<std::string> log;
    const char* partner;      // InstallRec.Partner afterwards; nullptr: nothing written
    const TInstallRec* brand;  // branding afterwards
  };
  const std::string user = R"({"status":"ok","user":{"partner":")";
  const Case cases[] = {
      {"refused", {Json(kFirst), Json(R"({"status":"denied"})")}, "lumora",
       {{"pbLogin.Position", "20", false}, {"lbLoginError.Caption", "Login incorrect Message: \"denied\"", false},
        {"pbLogin.Position", "100", false}},
       {"| Login startet", "| Login incorrect"}, nullptr, &start},
      {"no session server", {Json(R"({"sid":"abc/1"})")}, "lumora",
       {{"pbLogin.Position", "20", false}, {"lbLoginError.Caption", "Login incorrect Message: 0", false},
        {"pbLogin.Position", "100", false}},
       {"| Login startet", "| Login incorrect"}, nullptr, &start},
      {"unreachable", {Fails("connection refused")}, "lumora",
       {{"pbLogin.Position", "20", false}, {"lbLoginError.Caption", "Login incorrect Message: connection refused", false},
        {"pbLogin.Position", "100", false}},
       {"| Login startet", "TLumoraAPIClient: http get exception login: connection refused", "| Login incorrect"},
       nullptr, &start},
      {"no partner tag", {Json(kFirst), Json(kOk), Json(R"({"status":"ok","user":{}})")}, "lumora",
       {{"pbLogin.Position", "20", false}, {"pbLogin.Position", "40", false},
        {"lbLoginError.Caption", "Login incorrect", false}},
       {"| Login startet", "| Login incorrect - wrong partner"}, "quendal", &start},
      {"kqx for lumora", {Json(kFirst), Json(kOk), Json(user + R"(kqx"}})")}, "lumora",
       {{"pbLogin.Position", "20", false}, {"pbLogin.Position", "40", false}, {"pbLogin.Position", "60", false},
        {"lbLoginError.Caption", "Login successful", true}, {"pbLogin.Position", "100", false}},
       {"| Login startet", "| Partner = kqx", "| PartnerTag = lumora", "| Login successful"}, "kqx", &palvoro},
      {"solvik for solvik", {Json(kFirst), Json(kOk), Json(user + R"(solvik"}})")}, "solvik",
       {{"pbLogin.Position", "20", false}, {"pbLogin.Position", "40", false}, {"pbLogin.Position", "60", false},
        {"lbLoginError.Caption", "Login successful", true}, {"pbLogin.Position", "100", false}},
       {"| Login startet", "| Partner = solvik", "| PartnerTag = solvik", "| Login successful"}, "solvik", &palvoro},
      {"dravin for lumora: no row", {Json(kFirst), Json(kOk), Json(user + R"(dravin"}})")}, "lumora",
       {{"pbLogin.Position", "20", false}, {"pbLogin.Position", "40", false},
        {"lbLoginError.Caption", "Login successful", true}, {"pbLogin.Position", "100", false}},
       {"| Login startet", "| Partner = dravin", "| PartnerTag = lumora", "| Login successful"}, "dravin", &start},
      {"dravin for dravin", {Json(kFirst), Json(kOk), Json(user + R"(dravin"}})")}, "dravin",
       {{"pbLogin.Position", "20", false}, {"pbLogin.Position", "40", false}, {"pbLogin.Position", "60", false},
        {"lbLoginError.Caption", "Login successful", true}, {"pbLogin.Position", "100", false}},
       {"| Login startet", "| Partner = dravin", "| PartnerTag = dravin", "| Login successful"}, "dravin", &dravin},
      {"kelmo without pbx never matches", {Json(kFirst), Json(kOk), Json(user + R"(kelmo"}})")}, "kelmo",
       {{"pbLogin.Position", "20", false}, {"pbLogin.Position", "40", false},
        {"lbLoginError.Caption", "Login successful", true}, {"pbLogin.Position", "100", false}},
       {"| Login startet", "| Partner = kelmo", "| PartnerTag = kelmo", "| Login successful"}, "kelmo", &start},
      {"zembrapbx for perlune", {Json(kFirst), Json(kOk), Json(user + R"(zembrapbx"}})")}, "perlune",
       {{"pbLogin.Position", "20", false}, {"pbLogin.Position", "40", false}, {"pbLogin.Position", "60", false},
        {"lbLoginError.Caption", "Login successful", true}, {"pbLogin.Position", "100", false}},
       {"| Login startet", "| Partner = zembrapbx", "| PartnerTag = perlune", "| Login successful"}, "zembrapbx",
       &perlune},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetSetupState();
    InstallRec.Provider = start.Provider;
    InstallRec.Producer = start.Producer;
    InstallRec.PrinterName = start.PrinterName;
    InstallRec.ApplicationName = start.ApplicationName;
    script_ = std::make_shared<Script>();
    for (const auto& a : c.answers) script_->answers.push_back(a);
    SetupLog->cleanFile(logFile_);
    sink_ = RecordingSink{};

    Run(Input(c.partnerTag));

    EXPECT_EQ(sink_.messages, c.messages);
    EXPECT_EQ(Steps(), c.log);
    EXPECT_TRUE(sink_.boxes.empty());
    EXPECT_TRUE(script_->answers.empty()) << "not every scripted answer was asked for";
    EXPECT_EQ(InstallRec.Provider, c.brand->Provider);
    EXPECT_EQ(InstallRec.Producer, c.brand->Producer);
    EXPECT_EQ(InstallRec.PrinterName, c.brand->PrinterName);
    EXPECT_EQ(InstallRec.ApplicationName, c.brand->ApplicationName);
    if (!c.partner) {
      EXPECT_EQ(InstallRec.Username, "");
      EXPECT_EQ(InstallRec.Password, "");
      EXPECT_EQ(InstallRec.Language, "");
      EXPECT_EQ(InstallRec.Partner, "");
    } else {
      EXPECT_EQ(InstallRec.Username, "joe");
      EXPECT_EQ(InstallRec.Password, "secret");
      EXPECT_EQ(InstallRec.Language, "English");
      EXPECT_EQ(InstallRec.Partner, c.partner);
    }
    // Whatever the page reads on the ready status is already written.
    if (std::get<2>(c.messages[c.messages.size() > 1 ? c.messages.size() - 2 : 0])) {
      EXPECT_EQ(sink_.atReady.Partner, InstallRec.Partner);
      EXPECT_EQ(sink_.atReady.ApplicationName, InstallRec.ApplicationName);
      EXPECT_EQ(sink_.atReady.Username, "joe");
    }
  }
}

TEST_F(LoginWorkerTest, TheTextsFollowTheLanguageAndTheCredentialsGoToThePlatform) {
  LanguageName = "German";
  LoadLanguageTexts();
  script_->answers = {Json(kFirst), Json(R"({"status":"denied"})")};
  LoginInput in = Input();
  in.Username = "joe@example.org";
  in.Password = "pa ss&\"wörd";
  Run(in);
  ASSERT_EQ(sink_.messages.size(), 3u);
  EXPECT_EQ(std::get<1>(sink_.messages[1]), "Login Daten ungültig! Message: \"denied\"");
  ASSERT_EQ(script_->requests.size(), 2u);
  EXPECT_EQ(script_->requests[0].url, std::string(kPlatform) + "/api/session");
  EXPECT_EQ(script_->requests[1].body, R"({"email":"joe@example.org","password":"pa ss&\"wörd"})");
}

TEST_F(LoginWorkerTest, ProxySettingsReachTheTransport) {
  struct Case {
    const char* name;
    TProxyRecord proxy;
    bool autoDetect;
    const char* user;
    const char* password;
    const char* server;
    int port;  // 0: never set
    bool portIgnoredLine;
  } cases[] = {
      {"automatic", {true, "au", "ap", "mu", "mp", "proxy.test", "3128"}, true, "au", "ap", "", 0, false},
      {"manual", {false, "au", "ap", "mu", "mp", "proxy.test", "3128"}, false, "mu", "mp", "proxy.test", 3128, false},
      {"manual without port", {false, "", "", "mu", "mp", "proxy.test", ""}, false, "mu", "mp", "proxy.test", 0, false},
      {"port not a number", {false, "", "", "", "", "proxy.test", "31x"}, false, "", "", "proxy.test", 0, true},
      {"port out of range", {false, "", "", "", "", "proxy.test", "70000"}, false, "", "", "proxy.test", 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    script_ = std::make_shared<Script>();
    script_->answers = {Json(R"({"sid":"x"})")};
    SetupLog->cleanFile(logFile_);
    LoginInput in = Input();
    in.Proxy = c.proxy;
    Run(in);
    EXPECT_EQ(script_->proxyAuto, c.autoDetect);
    EXPECT_EQ(script_->proxyUser, c.user);
    EXPECT_EQ(script_->proxyPassword, c.password);
    EXPECT_EQ(script_->proxyServer, c.server);
    EXPECT_EQ(script_->proxyPort, c.port);
    EXPECT_EQ(Log().find("| Proxy port ignored: ") != std::string::npos, c.portIgnoredLine);
  }
}

}  // namespace

namespace {

// The thread around a worker logs what escapes it and goes no further.
TEST_F(LoginWorkerTest, AnErrorEscapingTheWorkerIsLogged) {
  RunWorker("TLoginThread", [] { throw EHTTPError("boom"); });
  RunWorker("TLoginThread", [] { throw std::runtime_error("plain"); });
  EXPECT_EQ(Steps(), (std::vector<std::string>{"Exception Error in: TLoginThread", "EHTTPError : boom",
                                               "Exception Error in: TLoginThread", "Exception : plain"}));
}

}  // namespace

#include "net/lumora_client.h"

#include <gtest/gtest.h>

#include "scripted_transport.h"

namespace {

const char* const kPlatform = "https://api.platform.test";
const char* const kSession = "https://s7.platform.test";
const char* const kFirst = R"({"server":"https://s7.platform.test","sid":"abc/1"})";
const char* const kOk = R"({"status":"ok"})";

class LumoraClientTest : public ClientTestBase {
 protected:
  TLumoraAPIClient& Client(const std::string& user = "joe", const std::string& password = "secret") {
    if (!client_)
      client_ = std::make_unique<TLumoraAPIClient>(std::make_unique<ScriptedTransport>(script_), kPlatform, user,
                                                   password);
    return *client_;
  }
  void Answer(ScriptedAnswer a) { script_->answers.push_back(std::move(a)); }
  const RecordedRequest& Request(size_t i) const { return script_->requests.at(i); }
  void Fresh() {
    client_.reset();
    script_ = std::make_shared<Script>();
    SetupLog->cleanFile(logFile_);
  }
  // A client signed in at session server kSession with sid "abc/1".
  TLumoraAPIClient& SignedIn() {
    Answer(Json(kFirst));
    Answer(Json(kOk));
    EXPECT_TRUE(Client().login());
    script_->requests.clear();
    return Client();
  }

  std::unique_ptr<TLumoraAPIClient> client_;
};

TEST_F(LumoraClientTest, LoginAnswersAndBodies) {
  struct Case {
    const char* name;
    const char* user;
    const char* password;
    const char* first;   // first answer
    const char* second;  // nullptr: no second request expected
    bool result;
    const char* error;
    const char* body;  // expected second body
  } cases[] = {
      {"user name", "joe", "secret", kFirst, kOk, true, "0", R"({"username":"joe","password":"secret"})"},
      {"e-mail", "joe@example.org", "secret", kFirst, kOk, true, "0",
       R"({"email":"joe@example.org","password":"secret"})"},
      {"password needing escapes", "joe", "a\"b\\c & d", kFirst, kOk, true, "0",
       R"({"username":"joe","password":"a\"b\\c & d"})"},
      {"refused", "joe", "bad", kFirst, R"({"status":"denied"})", false, "\"denied\"",
       R"({"username":"joe","password":"bad"})"},
      {"refused without status", "joe", "bad", kFirst, R"({"error":1})", false, "0",
       R"({"username":"joe","password":"bad"})"},
      {"status in capitals", "joe", "bad", kFirst, R"({"status":"OK"})", false, "\"OK\"",
       R"({"username":"joe","password":"bad"})"},
      {"no server named", "joe", "x", R"({"sid":"abc/1"})", nullptr, false, "0", nullptr},
      {"no session id", "joe", "x", R"({"server":"https://s7.platform.test"})", nullptr, false, "0", nullptr},
      {"first answer not JSON", "joe", "x", "Service Unavailable", nullptr, false, "Invalid JSON document: ", nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    Answer(Json(c.first));
    if (c.second) Answer(Json(c.second));
    EXPECT_EQ(Client(c.user, c.password).login(), c.result);
    EXPECT_EQ(Client().lastErrorMsg().rfind(c.error, 0), 0u) << Client().lastErrorMsg();
    EXPECT_FALSE(Client().activeTask());
    ASSERT_EQ(script_->requests.size(), c.second ? 2u : 1u);
    EXPECT_EQ(Request(0).method, "GET");
    EXPECT_EQ(Request(0).url, std::string(kPlatform) + "/api/session");
    if (c.second) {
      EXPECT_EQ(Request(1).method, "POST");
      EXPECT_EQ(Request(1).url, std::string(kSession) + "/api/session?sid=abc%2F1");
      EXPECT_EQ(Request(1).body, c.body);
      EXPECT_EQ(Client().Getsessionserver(), kSession);
      EXPECT_EQ(Client().sid(), "abc/1");
    }
    EXPECT_EQ(Log(), "");
  }
}

// The credentials go only to a session server of the platform's own domain.
TEST_F(LumoraClientTest, SessionServerOutsideThePlatformDomainIsRefused) {
  const struct {
    const char* server;
    bool allowed;
  } cases[] = {
      {"https://s7.platform.test", true},   {"https://platform.test:8443", true},
      {"https://S7.Platform.Test/x", true}, {"https://evil.test", false},
      {"https://platform.test.evil.test", false}, {"https://xplatform.test", false},
      {"http://s7.platform.test", false},  {"https://user@s7.platform.test", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server);
    Fresh();
    Answer(Json(std::string(R"({"server":")") + c.server + R"(","sid":"abc/1"})"));
    if (c.allowed) Answer(Json(kOk));
    EXPECT_EQ(Client().login(), c.allowed);
    ASSERT_EQ(script_->requests.size(), c.allowed ? 2u : 1u);  // no password sent elsewhere
    if (!c.allowed) {
      EXPECT_NE(Log().find("TLumoraAPIClient: refused session server"), std::string::npos);
      EXPECT_EQ(Client().lastErrorMsg().rfind("refused session server", 0), 0u);
    }
  }
  // A list given for the build or set on the client replaces the platform's domain.
  Fresh();
  Client().setSessionDomains("other.test, platform2.test");
  Answer(Json(kFirst));
  EXPECT_FALSE(Client().login());
  Fresh();
  Client().setSessionDomains("other.test;platform.test");
  Answer(Json(kFirst));
  Answer(Json(kOk));
  EXPECT_TRUE(Client().login());
}

TEST_F(LumoraClientTest, SessionAndPartnerTag) {
  // Before any login nothing is sent.
  EXPECT_FALSE(Client().checklogin());
  EXPECT_EQ(Client().lastErrorMsg(), "0");
  EXPECT_TRUE(script_->requests.empty());

  SignedIn();
  Answer(Json(R"({"status":"ok","auth":true})"));
  EXPECT_TRUE(Client().checklogin());
  Answer(Json(R"({"status":"ok","auth":"true"})"));
  EXPECT_FALSE(Client().checklogin());
  Answer(Json(R"({"status":"expired","auth":true})"));
  EXPECT_FALSE(Client().checklogin());
  EXPECT_EQ(Request(0).url, std::string(kSession) + "/api/session?sid=abc%2F1");

  // The tag is read once and then cached.
  script_->requests.clear();
  Answer(Json(R"({"status":"ok","user":{"partner":"lumora"}})"));
  EXPECT_EQ(Client().Getpartnertag(), "lumora");
  EXPECT_FALSE(Client().activeTask());
  EXPECT_EQ(Client().Getpartnertag(), "lumora");
  EXPECT_FALSE(Client().activeTask());
  ASSERT_EQ(script_->requests.size(), 1u);
  EXPECT_EQ(Request(0).url, std::string(kSession) + "/api/user?sid=abc%2F1");

  EXPECT_FALSE(Client().MigSetPartner(""));
  EXPECT_EQ(Client().Getpartnertag(), "lumora");
  EXPECT_TRUE(Client().MigSetPartner("other"));
  EXPECT_EQ(Client().Getpartnertag(), "other");

  // A refused logout clears nothing; an accepted one clears the session and the tag.
  Answer(Json(R"({"status":"error"})"));
  EXPECT_FALSE(Client().logout());
  EXPECT_EQ(Client().sid(), "abc/1");
  Answer(Json(kOk));
  EXPECT_TRUE(Client().logout());
  EXPECT_EQ(Request(2).method, "DELETE");
  EXPECT_EQ(Client().sid(), "");
  EXPECT_EQ(Client().Getsessionserver(), "");
  script_->requests.clear();
  Answer(Json(R"({"status":"ok","user":{}})"));
  EXPECT_EQ(Client().Getpartnertag(), "");
  EXPECT_EQ(Client().lastErrorMsg(), "0");
  EXPECT_EQ(script_->requests.size(), 1u);
}

TEST_F(LumoraClientTest, MigrationTest) {
  const std::pair<const char*, bool> cases[] = {
      {R"({"message":"user not found"})", true},
      {R"({"message":"User not found"})", false},
      {R"({"status":"ok"})", false},
      {"not json", false},
  };
  Client().Setpartnertag("x");
  for (auto& [answer, expected] : cases) EXPECT_EQ(Client().checkMigration(answer), expected) << answer;
  EXPECT_TRUE(script_->requests.empty());
}

TEST_F(LumoraClientTest, TransportErrorsAreLoggedPerOperation) {
  const std::string file = Dir() + "/doc.pdf";
  struct Case {
    std::function<bool(TLumoraAPIClient&)> run;  // true when the result is the failure result
    const char* logText;
  } cases[] = {
      {[](TLumoraAPIClient& c) { return !c.checklogin(); }, "TLumoraAPIClient: http get exception in checklogin: "},
      {[](TLumoraAPIClient& c) { return !c.logout(); }, "TLumoraAPIClient: http delete exception in logout: "},
      {[](TLumoraAPIClient& c) { return c.Getpartnertag().empty(); },
       "TLumoraAPIClient: http get exception in getpartner: "},
      {[](TLumoraAPIClient& c) { return c.createFax("d").empty(); }, "TLumoraAPIClient: http post exception createFax: "},
      {[](TLumoraAPIClient& c) { return !c.uploadFax("f1", "x.pdf", false); },
       "TLumoraAPIClient: http post exception in uploadFax: "},
      {[](TLumoraAPIClient& c) { return c.sendFax("f1", "1", "2").empty(); },
       "TLumoraAPIClient: http post exception in sendFax: "},
      {[](TLumoraAPIClient& c) { return !c.deleteFax("f1"); }, "TLumoraAPIClient: http delete exception in deleteFax: "},
      {[](TLumoraAPIClient& c) { return c.getfaxidentifiers().empty(); },
       "TLumoraAPIClient: http get exception in getfaxidentifiers: "},
      {[](TLumoraAPIClient& c) { return c.getfaxinfo("f1").owner.empty(); },
       "TLumoraAPIClient: http get exception in getfaxinfo: "},
      {[](TLumoraAPIClient& c) { return c.getfaxreportinfo("f1", "r1").status.empty(); },
       "TLumoraAPIClient: http get exception in getfaxreportinfo: "},
      {[](TLumoraAPIClient& c) { return c.getfaxlist().empty(); }, "TLumoraAPIClient: http get exception in getfaxlist: "},
      {[this](TLumoraAPIClient& c) { return !c.getfaxpreviewPNG("f1", Folder("fax")); },
       "TLumoraAPIClient: http get exception in getfaxpreviewPNG: "},
      {[&](TLumoraAPIClient& c) { return !c.getfaxdocument("f1", file); },
       "TLumoraAPIClient: http get exception in getfaxdocument: "},
      {[&](TLumoraAPIClient& c) { return !c.getfaxreport("f1", "r1", file); },
       "TLumoraAPIClient: http get exception in getfaxreport: "},
      {[](TLumoraAPIClient& c) { return c.getfaxreportcount("f1") == 0; },
       "TLumoraAPIClient: http get exception in getfaxreportcount: "},
      {[](TLumoraAPIClient& c) { return c.getfaxreportlist("f1").empty(); },
       "TLumoraAPIClient: http get exception in getfaxreportlist: "},
  };
  SignedIn();
  for (auto& c : cases) {
    SCOPED_TRACE(c.logText);
    SetupLog->cleanFile(logFile_);
    Answer(Fails("Cannot connect (12029)", "partial"));
    EXPECT_TRUE(c.run(Client()));
    EXPECT_EQ(Client().lastErrorMsg(), "Cannot connect (12029)");
    EXPECT_TRUE(LoggedExactly(std::string(c.logText) + "Cannot connect (12029)"));
    EXPECT_FALSE(Client().activeTask());
    EXPECT_FALSE(Exists(file));
  }
  // Both requests of login, and the second request of the fax list.
  const std::pair<std::vector<ScriptedAnswer>, const char*> multi[] = {
      {{Fails("Cannot connect (12029)")}, "TLumoraAPIClient: http get exception login: "},
      {{Json(kFirst), Fails("Cannot connect (12029)")}, "TLumoraAPIClient: http post exception login: "},
      {{Json(R"({"user":{"tag_all":"t1"}})"), Fails("Cannot connect (12029)")},
       "TLumoraAPIClient: json get exception in getfaxlist: "},
  };
  for (auto& [answers, logText] : multi) {
    SCOPED_TRACE(logText);
    SetupLog->cleanFile(logFile_);
    for (auto& a : answers) Answer(a);
    if (std::string(logText).find("getfaxlist") != std::string::npos) {
      EXPECT_TRUE(Client().getfaxlist().empty());
    } else {
      EXPECT_FALSE(Client().login());
    }
    EXPECT_EQ(Client().lastErrorMsg(), "Cannot connect (12029)");
    EXPECT_TRUE(LoggedExactly(std::string(logText) + "Cannot connect (12029)"));
  }
}

TEST_F(LumoraClientTest, FaxRequestsAndAnswers) {
  SignedIn();
  const std::string s = std::string(kSession) + "/api/fax/";

  Answer(Json(R"({"status":"ok","uuid":"f 1"})"));
  EXPECT_EQ(Client().createFax("Rechnung \"März\""), "f 1");
  Answer(Json(R"({"status":"ok"})"));
  EXPECT_EQ(Client().createFax("x"), "");
  Answer(Json(R"({"status":"ok"})"));
  EXPECT_TRUE(Client().uploadFax("f 1", "C:\\fax.pdf", false));
  Answer(Json(R"({"status":"failed"})"));
  EXPECT_FALSE(Client().uploadFax("f 1", "C:\\fax.pdf", true));
  Answer(Json(R"({"status":"ok","uuid":"job-9"})"));
  EXPECT_EQ(Client().sendFax("f 1", "+49 30 1", "+49&2"), "job-9");
  Answer(Json(R"({"status":"busy","reason":"line"})"));
  EXPECT_EQ(Client().sendFax("f 1", "1", "2"), R"({"status":"busy","reason":"line"})");
  EXPECT_EQ(Client().lastErrorMsg(), "0");
  Answer(Json(R"({"status":"ok"})"));
  EXPECT_TRUE(Client().deleteFax("f 1"));

  const RecordedRequest expected[] = {
      {"POST", std::string(kSession) + "/api/fax?sid=abc%2F1", "{\"description\":\"Rechnung \\\"März\\\"\"}", "", ""},
      {"POST", std::string(kSession) + "/api/fax?sid=abc%2F1", "{\"description\":\"x\"}", "", ""},
      {"POST", s + "f%201/ofax.pdf?sid=abc%2F1", "", "C:\\fax.pdf", ""},
      {"POST", s + "f%201/ofax.pdf?sid=abc%2F1&orientation=landscape", "", "C:\\fax.pdf", ""},
      // Sending goes to the platform itself, not to the session server.
      {"POST", std::string(kPlatform) + "/api/fax/f%201/send?sid=abc%2F1", R"({"from":"+49 30 1","to":"+49&2"})", "", ""},
      {"POST", std::string(kPlatform) + "/api/fax/f%201/send?sid=abc%2F1", R"({"from":"1","to":"2"})", "", ""},
      {"DELETE", s + "f%201?sid=abc%2F1", "", "", ""},
  };
  ASSERT_EQ(script_->requests.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Request(i).method, expected[i].method);
    EXPECT_EQ(Request(i).url, expected[i].url);
    EXPECT_EQ(Request(i).body, expected[i].body);
    EXPECT_EQ(Request(i).srcfile, expected[i].srcfile);
  }
}

TEST_F(LumoraClientTest, FaxReads) {
  SignedIn();
  Answer(Json(R"({"status":"ok","phone":{"p1":{"fax_enable":true},"p2":{"fax_enable":false},)"
              R"("p/3":{"fax_enable":true},"p4":{"fax_enable":"true"},"p5":{}}})"));
  EXPECT_EQ(Client().getfaxidentifiers(), (TFaxIdentifierArray{"p1", "p/3"}));
  EXPECT_EQ(Request(0).url, std::string(kSession) + "/api/phone?sid=abc%2F1");
  Answer(Json(R"({"status":"ok"})"));
  EXPECT_TRUE(Client().getfaxidentifiers().empty());

  const char* fax = R"({"fax":{"owner":"joe","time":"2026-12-01 10:00","description":"Gr\u00fc\u00dfe","page_count":3,)"
                    R"("x_res":204,"status":"ok","report":{"r1":{"incoming":false,"from":"+491","to":"+492",)"
                    R"("time_start":"t0","time_end":"t1","status":"sent","sip_status_code":200,"fax_error_code":0}},)"
                    R"("y_res":196}})";
  Answer(Json(fax));
  TFaxInfoRecord info = Client().getfaxinfo("f1");
  EXPECT_EQ(info.owner, "joe");
  EXPECT_EQ(info.time, "2026-12-01 10:00");
  EXPECT_EQ(info.description, "Grüße");
  EXPECT_EQ(info.page_count, "3");
  EXPECT_EQ(info.x_res, "204");
  EXPECT_EQ(info.y_res, "196");
  EXPECT_EQ(info.status, "ok");
  Answer(Json(fax));
  TFaxReportInfoRecord rep = Client().getfaxreportinfo("f1", "r1");
  EXPECT_EQ(rep.incoming, "false");
  EXPECT_EQ(rep.faxfrom, "+491");
  EXPECT_EQ(rep.faxto, "+492");
  EXPECT_EQ(rep.time_start, "t0");
  EXPECT_EQ(rep.time_end, "t1");
  EXPECT_EQ(rep.status, "sent");
  EXPECT_EQ(rep.sip_status_code, "200");
  EXPECT_EQ(rep.fax_status_code, "0");
  Answer(Json(fax));
  EXPECT_EQ(Client().getfaxreportinfo("f1", "r9").status, "");
  Answer(Json(fax));
  EXPECT_EQ(Client().getfaxreportcount("f1"), 1);
  Answer(Json(fax));
  EXPECT_EQ(Client().getfaxreportlist("f1"), (TFaxReportListArray{"r1"}));
  Answer(Json(R"({"fax":{"status":"ok"}})"));
  EXPECT_EQ(Client().getfaxreportcount("f1"), 0);
  Answer(Json(R"({"fax":{"report":{}}})"));
  EXPECT_TRUE(Client().getfaxreportlist("f1").empty());
  Answer(Json("<html>"));
  EXPECT_EQ(Client().getfaxinfo("f1").owner, "");
  EXPECT_EQ(Client().lastErrorMsg().rfind("Invalid JSON document: ", 0), 0u);
  EXPECT_EQ(Request(2).url, std::string(kSession) + "/api/fax/f1?sid=abc%2F1");
  EXPECT_EQ(Log(), "");
}

TEST_F(LumoraClientTest, FaxList) {
  SignedIn();
  Answer(Json(R"({"status":"ok","user":{"tag_all":"all faxes"}})"));
  Answer(Json(R"({"object":{)"
              R"("a1":{"type":"fax","description":"Angebot \u00c4","time":"t1","page_count":2},)"
              R"("v1":{"type":"voice","description":"call"},)"
              R"("a2":{"type":"fax","time":"t2"},)"
              R"("a3":{"description":"no type"},)"
              R"("a4":{"type":"fax","time":"t4"}}})"));
  TFaxListRecArray list = Client().getfaxlist();
  ASSERT_EQ(list.size(), 2u);  // the scan ends at the object without a type
  EXPECT_EQ(list[0].UUID, "a1");
  EXPECT_EQ(list[0].Description, "Angebot Ä");
  EXPECT_EQ(list[0].DateTime, "t1");
  EXPECT_EQ(list[0].PageCount, "2");
  EXPECT_EQ(list[1].UUID, "a2");
  EXPECT_EQ(list[1].Description, "");
  EXPECT_EQ(list[1].PageCount, "0");
  ASSERT_EQ(script_->requests.size(), 2u);
  EXPECT_EQ(Request(0).url, std::string(kSession) + "/api/user?sid=abc%2F1");
  EXPECT_EQ(Request(1).url, std::string(kSession) + "/api/tag/all%20faxes/object?sid=abc%2F1&count=500");

  struct Case {
    std::vector<ScriptedAnswer> answers;
    const char* error;
    size_t requests;
  } empties[] = {
      {{Json(R"({"user":{}})")}, "0", 1},
      {{Json(R"({"user":{"tag_all":"t"}})"), Json(R"({"objects":[]})")}, "0", 2},
      {{Json(R"({"user":{"tag_all":"t"}})"), Json("Bad gateway")}, "Invalid JSON document: ", 2},
  };
  for (auto& c : empties) {
    script_->requests.clear();
    for (auto& a : c.answers) Answer(a);
    EXPECT_TRUE(Client().getfaxlist().empty());
    EXPECT_EQ(Client().lastErrorMsg().rfind(c.error, 0), 0u) << Client().lastErrorMsg();
    EXPECT_EQ(script_->requests.size(), c.requests);
  }
}

TEST_F(LumoraClientTest, FaxFiles) {
  SignedIn();
  Folder("fax\\preview");
  const std::string preview = Folder("fax") + "\\preview\\f1.png";
  // Not ready yet: nothing is downloaded.
  Answer(Json(R"({"fax":{"status":"sending"}})"));
  EXPECT_FALSE(Client().getfaxpreviewPNG("f1", Folder("fax")));
  EXPECT_EQ(script_->requests.size(), 1u);
  Answer(Json(R"({"fax":{"status":"ok"}})"));
  Answer(Binary("\x89PNG", "image/png"));
  EXPECT_TRUE(Client().getfaxpreviewPNG("f1", Folder("fax")));
  EXPECT_EQ(Read(preview), "\x89PNG");
  EXPECT_EQ(Request(2).url, std::string(kSession) + "/api/fax/f1/1/f1.png?sid=abc%2F1");
  // Present already: no second download.
  Answer(Json(R"({"fax":{"status":"ok"}})"));
  EXPECT_TRUE(Client().getfaxpreviewPNG("f1", Folder("fax")));
  EXPECT_EQ(script_->requests.size(), 4u);

  const std::string pdf = Dir() + "/fax.pdf";
  struct Case {
    const char* name;
    ScriptedAnswer answer;
    bool result;
  } cases[] = {
      {"pdf", Binary("%PDF-1.4", "application/pdf"), true},
      {"error answer", Json(R"({"status":"not found"})"), false},
      {"broken off", Fails("The connection was reset (12030)", "%PDF"), false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (int op = 0; op < 2; ++op) {
      Answer(c.answer);
      bool result = op == 0 ? Client().getfaxdocument("f1", pdf) : Client().getfaxreport("f1", "r 2", pdf);
      EXPECT_EQ(result, c.result);
      EXPECT_EQ(Exists(pdf), c.result);
      EXPECT_FALSE(Exists(pdf + ".part"));
      std::filesystem::remove(pdf);
    }
  }
  EXPECT_EQ(Request(4).url, std::string(kSession) + "/api/fax/f1/f1.pdf?sid=abc%2F1");
  EXPECT_EQ(Request(5).url, std::string(kSession) + "/api/fax/f1/report/r%202/r%202.pdf?sid=abc%2F1");
}

TEST_F(LumoraClientTest, OneOperationAtATime) {
  SignedIn();
  bool inner = true;
  std::string innerError;
  ScriptedAnswer a = Json(R"({"status":"ok","auth":true})");
  a.during = [&] {
    inner = Client().logout();
    innerError = Client().lastErrorMsg();
  };
  Answer(a);
  EXPECT_TRUE(Client().checklogin());
  EXPECT_FALSE(inner);
  EXPECT_EQ(innerError, "There is already an active Task");
  EXPECT_FALSE(Client().activeTask());
  EXPECT_EQ(script_->requests.size(), 1u);
  EXPECT_EQ(Client().sid(), "abc/1");
}

}  // namespace

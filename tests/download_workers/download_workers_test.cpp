// The install-data and partner-data workers: every status and log line of a whole run, the
// defined versions, and a table of failures, each of which must end with the "exit" status,
// against an update server played inside the test (answers as the real server gives them)
// with the real download area, MD5 check and ZIP engine.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/win_text.h"
#include "install/files.h"
#include "lang/language.h"
#include "net/transport.h"
#include "state/state.h"
#include "test_support.h"
#include "workers/install_data_worker.h"
#include "workers/status_sink.h"
#include "zip/zip.h"

namespace {

const char* const kServer = "https://updates.test";
const char* const kRelease = "orfeda_2018";
const char* const kPartnerApp = "orfeda_2018_kqx";

class RecordingSink : public StatusSink {
 public:
  void Status(const std::string& field, const std::string& value, bool ready) override {
    statuses.push_back(field + "=" + value + (ready ? " (ready)" : ""));
    if (ready) versionAtReady = InstallRec.PartnerVersion;
  }
  void Message(const std::string& text) override {
    messages.push_back(text);
    statuses.push_back("message: " + text);
  }
  std::vector<std::string> statuses;
  std::vector<std::string> messages;
  std::string versionAtReady;
};

// The update server's answers over the files of `apps` (application -> version -> file ->
// content), with the server's faults.
struct FakeServer {
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> apps;
  std::set<std::string> faults;  // "refuse_key", "refuse_validate", "no_latest", "empty_list"
  std::map<std::string, std::string> badChecksum;      // file -> the checksum listed instead
  std::set<std::string> refusedDownloads;              // answered with a JSON failure
  std::map<std::string, std::string> brokenDownloads;  // file -> what arrives before the break
  std::vector<std::string> requests;                   // "GET <path and query>" / "POST <body>"

  static std::map<std::string, std::string> Query(const std::string& text) {
    std::map<std::string, std::string> q;
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('&', start);
      if (end == std::string::npos) end = text.size();
      const std::string part = text.substr(start, end - start);
      const size_t eq = part.find('=');
      if (!part.empty()) q[part.substr(0, eq)] = eq == std::string::npos ? "" : part.substr(eq + 1);
      start = end + 1;
    }
    return q;
  }
  static std::string Fail(const std::string& message) {
    return R"({"success":false,"message":")" + message + R"("})";
  }

  // The answer body and whether it is a file (not JSON).
  std::string Answer(const std::string& method, const std::string& url, const std::string& body,
                     bool& isFile) {
    isFile = false;
    const std::string path = url.substr(std::string(kServer).size());
    requests.push_back(method + " " + (method == "POST" ? body : path));
    if (method == "POST") {
      const auto q = Query(body);
      if (q.count("key")) return faults.count("refuse_key") ? Fail("Invalid key") : R"({"success":true,"sid":"s-1"})";
      if (q.count("validate"))
        return faults.count("refuse_validate") ? Fail("Session expired") : R"({"success":true})";
      return Fail("Invalid request");
    }
    const auto q = Query(path.substr(path.find('?') + 1));
    const auto app = apps.find(q.at("appname"));
    if (app == apps.end()) return Fail("Application not found");
    if (!q.count("version")) {
      if (faults.count("no_latest") || app->second.empty()) return Fail("No version available");
      return R"({"success":true,"message":[{"version":")" + app->second.rbegin()->first + R"("}]})";
    }
    const auto version = app->second.find(q.at("version"));
    if (version == app->second.end()) return Fail("Version not found");
    if (q.count("filename")) {
      const std::string& name = q.at("filename");
      if (refusedDownloads.count(name)) return Fail("Download not allowed");
      isFile = true;
      return version->second.at(name);
    }
    if (q.count("list")) {
      if (faults.count("empty_list")) return R"({"success":true,"message":[]})";
      std::string list;
      for (const auto& [name, content] : version->second) {
        const auto bad = badChecksum.find(name);
        list += std::string(list.empty() ? "" : ",") + R"({"filename":")" + name + R"(","checksum":")" +
                (bad != badChecksum.end() ? bad->second : Md5Of(content)) + R"("})";
      }
      return R"({"success":true,"message":[)" + list + "]}";
    }
    return R"({"success":true,"message":[{"version":")" + version->first + R"("}]})";
  }

  static std::string Md5Of(const std::string& content) {
    ScratchFolder dir;
    WriteFileBytes(dir / "f", content);
    return FileMD5(dir / "f");
  }
};

class FakeTransport : public IHttpTransport {
 public:
  explicit FakeTransport(FakeServer& s) : s_(s) {}
  std::string get(const std::string& url) override { return Play("GET", url, "", ""); }
  std::string get(const std::string& url, const std::string& dest) override { return Play("GET", url, "", dest); }
  std::string post(const std::string& url, const std::string& data) override { return Play("POST", url, data, ""); }
  std::string post(const std::string& url, const std::string& data, const std::string&,
                   const std::string& dest) override {
    return Play("POST", url, data, dest);
  }
  std::string del(const std::string& url) override { return Play("DELETE", url, "", ""); }
  void setTimeout(int) override {}
  void setProgressListener(ProgressListener) override {}
  std::string lastResponse() const override { return last_; }
  std::string contentType() const override { return type_; }
  std::string contentDisposition() const override { return {}; }
  void setProxyAutoDetect(bool) override {}
  void setProxyUsername(const std::string&) override {}
  void setProxyPassword(const std::string&) override {}
  void setProxyServer(const std::string&) override {}
  void setProxyPort(int) override {}

 private:
  std::string Play(const std::string& method, const std::string& url, const std::string& body,
                   const std::string& dest) {
    bool isFile = false;
    std::string answer = s_.Answer(method, url, body, isFile);
    const auto q = FakeServer::Query(url.substr(url.find('?') + 1));
    const auto broken = q.count("filename") ? s_.brokenDownloads.find(q.at("filename")) : s_.brokenDownloads.end();
    if (broken != s_.brokenDownloads.end()) {
      WriteFileBytes(dest, broken->second);
      throw EHTTPError("The connection was reset (12031)");
    }
    type_ = isFile ? "application/zip" : "application/json; charset=utf-8";
    last_ = isFile ? "" : answer;
    if (!dest.empty()) {
      WriteFileBytes(dest, answer);
      if (isFile) return {};
    }
    return answer;
  }

  FakeServer& s_;
  std::string last_, type_;
};

// A ZIP archive of the given files, as the engine writes it.
std::string ZipOf(const std::map<std::string, std::string>& files) {
  ScratchFolder dir;
  for (const auto& [name, content] : files) {
    const std::string path = dir / ("content\\" + name);
    ForceDirectories(path.substr(0, path.find_last_of('\\')));
    WriteFileBytes(path, content);
  }
  orfzip::TZipEngine zip;
  zip.ZipFileName = dir / "a.zip";
  zip.RootDir = dir / "content";
  zip.AddOptions.AddRecurseDirs = true;
  EXPECT_EQ(zip.Add(), 0) << zip.ErrMessage();
  return ReadFileBytes(dir / "a.zip");
}

const std::string kManifest =
    R"({"components":{"orfeda":{"Name":"Orfeda"},"manual":{"Name":"Manual","cmd":"manual.pdf"}}})";

// The log's lines that start with "| ", and the other lines of the workers.
bool IsWorkerLine(const std::string& line) {
  return line.rfind("| ", 0) == 0 || line.find("failed") != std::string::npos ||
         line.rfind("get latest version", 0) == 0 || line.rfind("File", 0) == 0 ||
         line.rfind("copy of", 0) == 0 || line.rfind("update_", 0) == 0 || line == "exit" ||
         line.rfind("Exception", 0) == 0 || line.rfind("Cannot", 0) == 0;
}

// One run of both workers: a fresh setup state and log, the fake server with a release of
// two versions and a partner package, a temporary TEMP folder.
struct Harness {
  Harness() {
    ResetSetupState();
    LoadLanguageTextsFor("English", "lumora");
    server_.apps[kRelease]["2.4.0.0"] = {{"orfeda_release.zip", ZipOf({{"setup.json", "{}"},
                                                                       {"files\\readme.txt", "2.4"}})}};
    server_.apps[kRelease]["2.5.0.0"] = {
        {"orfeda_release.zip", ZipOf({{"setup.json", kManifest}, {"files\\Orfeda.exe", "exe 2.5"},
                                      {"files\\readme.txt", "2.5"}})}};
    server_.apps[kPartnerApp]["1.0.3"] = {
        {"partner_kqx.zip", ZipOf({{"files\\nova\\driver.msi", "msi"}, {"files\\image\\ShortCut.ico", "ico"}})}};
    input_.Branch = "stable";
    input_.Partner = "kqx";
    input_.TempDir = dir_ / "temp";
    input_.ServerUrl = kServer;
    ForceDirectories(input_.TempDir);
    area_ = input_.TempDir + "\\Orfeda";
  }
  ~Harness() {
    hold_.Release();
    ResetSetupState();
  }

  bool Run() {
    TransportFactory transport = [this]() -> std::unique_ptr<IHttpTransport> {
      if (failTransportAt_ && ++transports_ == failTransportAt_) throw std::runtime_error("no transport");
      return std::make_unique<FakeTransport>(server_);
    };
    return RunDownloadWorkers(input_, transport, hold_, sink_);
  }
  std::vector<std::string> WorkerLines() const {
    std::vector<std::string> out;
    for (const auto& l : log_.Lines())
      if (IsWorkerLine(l)) out.push_back(l);
    return out;
  }

  ScratchFolder dir_;
  LogCapture log_;
  FakeServer server_;
  DownloadInput input_;
  DownloadAreaHold hold_;
  RecordingSink sink_;
  std::string area_;
  int failTransportAt_ = 0, transports_ = 0;
};

TEST(DownloadWorkers, AWholeRunReportsEveryStepAndLeavesTheStagingFolder) {
  Harness t;
  auto& area_ = t.area_;
  auto& sink_ = t.sink_;
  auto& hold_ = t.hold_;
  // What an earlier run left in the download area is not used.
  ForceDirectories(area_ + "\\orfeda_release\\files");
  WriteFileBytes(area_ + "\\orfeda_release\\files\\planted.dll", "planted");
  WriteFileBytes(area_ + "\\old.zip", "old");

  ASSERT_TRUE(t.Run()) << ::testing::PrintToString(t.log_.Lines());

  const std::vector<std::string> statuses = {
      "lbDownload.Caption=Auth User...", "gbPackageDownload.Caption=Get Maindata...",
      "pbDownload.Position=15", "lbDownload.Caption=Auth validate...", "pbDownload.Position=30",
      "lbDownload.Caption=get defined version...", "pbDownload.Position=45",
      "lbVersion.Caption=Version: 2.5.0.0", "lbDownload.Caption=Listfiles...", "pbDownload.Position=60",
      "lbDownload.Caption=Download File...", "lbDownload.Caption=Download File orfeda_release.zip",
      "lbDownload.Caption=Check MD5...", "pbDownload.Position=75", "lbDownload.Caption=Extracting Files...",
      "pbDownload.Position=90", "pbDownload.Position=100", "lbDownload.Caption=finished",
      // The partner package.
      "pbDownload.Position=0", "lbDownload.Caption=finished", "gbPackageDownload.Caption=Get Partnerdata...",
      "pbDownload.Position=15", "lbDownload.Caption=Auth validate...", "pbDownload.Position=30",
      "lbDownload.Caption=Get latest Version...", "lbDownload.Caption=get defined version...",
      "pbDownload.Position=45", "lbVersion.Caption=Partner Version: 1.0.3", "lbDownload.Caption=Listfiles...",
      "pbDownload.Position=60", "lbDownload.Caption=Download files...",
      "lbDownload.Caption=Download files partner_kqx.zip", "lbDownload.Caption=Check MD5...",
      "pbDownload.Position=75", "lbDownload.Caption=Extracting files...", "pbDownload.Position=90",
      "pbDownload.Position=100", "lbDownload.Caption=finished (ready)"};
  EXPECT_EQ(sink_.statuses, statuses);

  const std::vector<std::string> lines = {
      "| Auth User...", "| Auth validate...", "| get defined version...", "| Listfiles...",
      "| Download File...", "| Download File ", "| Check MD5...", "| Extracting Files...",
      "| FileExists ok " + area_ + "\\orfeda_release\\setup.json", "| get components ok", "| finished",
      "| finished", "| Auth validate...", "| Get latest Version...", std::string("| Server: ") + kServer,
      "| Branch: stable", "| Appname: orfeda_2018_kqx", "| get defined version...", "| Listfiles...",
      "| Download File...", "| Download files ", "| Check MD5...", "| Extracting Files...",
      "| CreateVersiontxt ok", "| finished"};
  EXPECT_EQ(t.WorkerLines(), lines);

  // The setup state, written before the ready status.
  const std::string staging = area_ + "\\orfeda_release";
  EXPECT_EQ(InstallRec.Version, "2.5.0.0");
  EXPECT_EQ(InstallRec.PartnerVersion, "1.0.3");
  EXPECT_EQ(sink_.versionAtReady, "1.0.3");
  EXPECT_EQ(InstallRec.FromDir, staging);
  ASSERT_EQ(ComponentList.size(), 2u);
  EXPECT_EQ(ComponentList[0].name, "Orfeda");
  EXPECT_EQ(ComponentList[1].cmd, "manual.pdf");

  // The staging folder: the release and the partner package below "files\partner".
  EXPECT_EQ(ReadFileBytes(staging + "\\files\\Orfeda.exe"), "exe 2.5");
  EXPECT_EQ(ReadFileBytes(staging + "\\files\\partner\\nova\\driver.msi"), "msi");
  EXPECT_EQ(ReadFileBytes(staging + "\\files\\partner\\image\\ShortCut.ico"), "ico");
  EXPECT_EQ(ReadFileBytes(staging + "\\files\\partner\\version.txt"), "1.0.3\r\n");
  EXPECT_FALSE(PathExists(staging + "\\files\\planted.dll"));
  EXPECT_FALSE(PathExists(area_ + "\\old.zip"));
  // The area is held: it can be neither removed nor renamed until the hold is released.
  EXPECT_TRUE(hold_.Held());
  EXPECT_FALSE(MoveFileW(Widen(area_).c_str(), Widen(area_ + "-moved").c_str()));
  hold_.Release();
  EXPECT_TRUE(MoveFileW(Widen(area_).c_str(), Widen(area_ + "-moved").c_str()));
}

TEST(DownloadWorkers, DefinedVersions) {
  Harness t;
  struct Case {
    const char* name;
    std::string version, partnerVersion;
    std::string installed, installedPartner;   // InstallRec afterwards
    std::vector<std::string> lines;            // in this order in the log
    bool asksLatest;
  } cases[] = {
      {"confirmed", "2.4.0.0", "1.0.3", "2.4.0.0", "1.0.3",
       {"| get defined version...", "| Listfiles..."}, false},
      {"release refused: the latest instead", "9.9.9.9", "", "2.5.0.0", "1.0.3",
       {"| get defined version...", "validate of 9.9.9.9 failed", "get latest version...",
        "| get defined version...", "| Listfiles..."}, true},
      {"partner refused: the latest instead", "", "0.0.1", "2.5.0.0", "1.0.3",
       {"| Appname: orfeda_2018_kqx", "| get defined version...", "validate of 0.0.1 failed",
        "get latest version...", "| get defined version...", "| Listfiles..."}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetSetupState();
    LogCapture log;
    RecordingSink sink;
    t.server_.requests.clear();
    t.input_.Version = c.version;
    t.input_.PartnerVersion = c.partnerVersion;
    TransportFactory transport = [&t] { return std::make_unique<FakeTransport>(t.server_); };
    ASSERT_TRUE(RunDownloadWorkers(t.input_, transport, t.hold_, sink)) << ::testing::PrintToString(log.Lines());
    EXPECT_EQ(InstallRec.Version, c.installed);
    EXPECT_EQ(InstallRec.PartnerVersion, c.installedPartner);
    // The version label shows what is downloaded.
    EXPECT_NE(std::find(sink.statuses.begin(), sink.statuses.end(), "lbVersion.Caption=Version: " + c.installed),
              sink.statuses.end());
    EXPECT_EQ(ReadFileBytes(InstallRec.FromDir + "\\files\\readme.txt"), c.installed.substr(0, 3));
    std::vector<std::string> lines = log.Lines();
    size_t at = 0;
    for (const auto& want : c.lines) {
      while (at < lines.size() && lines[at] != want) ++at;
      EXPECT_LT(at, lines.size()) << "missing or out of order: " << want;
      ++at;
    }
    bool askedLatest = false;
    for (const auto& r : t.server_.requests)
      askedLatest |= r.find("/qdapi/update/") != std::string::npos && r.find("version=") == std::string::npos;
    EXPECT_EQ(askedLatest, c.asksLatest);
    t.hold_.Release();
  }
}

// Every failure ends the run with the "exit" status and leaves nothing unchecked unpacked.
TEST(DownloadWorkers, FailuresEndWithTheExitStatus) {
  struct Case {
    const char* name;
    std::function<void(Harness&)> arrange;
    std::vector<std::string> lastStatuses;  // the run's last statuses, "exit" last
    std::vector<std::string> lastLines;     // the log's last worker lines
    bool releaseUnpacked;
    bool archiveLeft = true;  // a file under the release archive's name in the download area
  } cases[] = {
      {"key refused", [](Harness& t) { t.server_.faults.insert("refuse_key"); },
       {"gbPackageDownload.Caption=Get Maindata...", "exit=exit"},
       {"| Auth User...", "auth_key failed, OuMessage: Invalid key"}, false},
      {"session refused", [](Harness& t) { t.server_.faults.insert("refuse_validate"); },
       {"lbDownload.Caption=Auth validate...", "exit=exit"},
       {"| Auth validate...", "auth_validate failed, OuMessage: Session expired"}, false},
      {"no latest version", [](Harness& t) { t.server_.faults.insert("no_latest"); },
       {"lbDownload.Caption=get defined version...", "message: No Data available. Close setup.", "exit=exit"},
       {"| get defined version...", "update_getLatestVersion, OuMessage: No version available"}, false},
      {"empty file list", [](Harness& t) { t.server_.faults.insert("empty_list"); },
       {"lbDownload.Caption=Listfiles...", "exit=exit"}, {"| Listfiles...", "update_listfiles, OuMessage: "},
       false},
      {"checksum mismatch",
       [](Harness& t) { t.server_.badChecksum["orfeda_release.zip"] = "0123456789abcdef0123456789abcdef"; },
       {"pbDownload.Position=75", "lbDownload.Caption=Checksum incorrect...orfeda_release.zip", "exit=exit"},
       {"| Check MD5...", "| Checksum incorrect...", "File exists *",
        "FileSize *"},
       false},
      {"download refused, an older file of the name planted before the run",
       [](Harness& t) {
         t.server_.refusedDownloads.insert("orfeda_release.zip");
         ForceDirectories(t.area_);
         WriteFileBytes(t.area_ + "\\orfeda_release.zip", ZipOf({{"files\\planted.dll", "planted"}}));
       },
       {"lbDownload.Caption=Extracting Files...", "pbDownload.Position=90",
        "lbDownload.Caption=error extracting!", "exit=exit"},
       {"| Download File ", "| Extracting Files...", "| error extracting!"}, false, false},
      {"download broken halfway",
       [](Harness& t) { t.server_.brokenDownloads["orfeda_release.zip"] = "PK\x03\x04 half"; },
       {"lbDownload.Caption=error extracting!", "exit=exit"}, {"| Extracting Files...", "| error extracting!"},
       false, false},
      {"damaged archive (its sum matches)",
       [](Harness& t) {
         std::string& zip = t.server_.apps[kRelease]["2.5.0.0"]["orfeda_release.zip"];
         zip.resize(zip.size() - 30);
       },
       {"pbDownload.Position=90", "lbDownload.Caption=error extracting!", "exit=exit"},
       {"| Check MD5...", "| Extracting Files...", "| error extracting!"}, false},
      {"partner checksum mismatch",
       [](Harness& t) { t.server_.badChecksum["partner_kqx.zip"] = "x"; },
       {"lbDownload.Caption=Checksum incorrect...partner_kqx.zip", "exit=exit"},
       {"| Download files ", "| Check MD5...", "| Checksum incorrect...", "File exists *",
        "FileSize *"},
       true},
      {"damaged partner archive",
       [](Harness& t) { t.server_.apps[kPartnerApp]["1.0.3"]["partner_kqx.zip"] = "not a zip"; },
       {"lbDownload.Caption=error extracting!", "exit=exit"}, {"| Extracting Files...", "| error extracting!"},
       true},
      {"partner application unknown", [](Harness& t) { t.input_.Partner = "zzz"; },
       {"lbDownload.Caption=get defined version...", "message: No Data available. Close setup.", "exit=exit"},
       {"| Appname: orfeda_2018_zzz", "| get defined version...",
        "update_getLatestVersion, OuMessage: Application not found"},
       true},
      {"proxy port not a number", [](Harness& t) { t.input_.Proxy.ProxyPort = "80a"; },
       {"exit=exit"}, {"| invalid proxy port: 80a"}, false},
      {"download area cannot be made (a file on its path)",
       [](Harness& t) {
         t.input_.TempDir = t.dir_ / "afile";
         WriteFileBytes(t.input_.TempDir, "a file, not a folder");
       },
       {"exit=exit"}, {"Cannot prepare the download folder *"}, false},
      // An error raised inside a step: the partner worker's client cannot be made.
      {"error raised inside a step", [](Harness& t) { t.failTransportAt_ = 2; },
       {"lbDownload.Caption=finished", "exit=exit"},
       {"| finished", "Exception Error in: TGetPartnerData", "*no transport*"},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness t;
    c.arrange(t);
    EXPECT_FALSE(t.Run());
    const auto& st = t.sink_.statuses;
    ASSERT_GE(st.size(), c.lastStatuses.size());
    EXPECT_EQ(std::vector<std::string>(st.end() - c.lastStatuses.size(), st.end()), c.lastStatuses);
    for (const auto& s : st) EXPECT_EQ(s.find("(ready)"), std::string::npos) << s;
    std::vector<std::string> lines = t.WorkerLines();
    if (c.lastLines.back().front() == '*') lines = t.log_.Lines();  // an error's own text
    ASSERT_GE(lines.size(), c.lastLines.size()) << ::testing::PrintToString(lines);
    for (size_t i = 0; i < c.lastLines.size(); ++i) {
      const std::string& want = c.lastLines[i];
      const std::string& got = lines[lines.size() - c.lastLines.size() + i];
      if (want.size() > 1 && want.front() == '*' && want.back() == '*')
        EXPECT_NE(got.find(want.substr(1, want.size() - 2)), std::string::npos) << got;
      else if (want.back() == '*')
        EXPECT_EQ(got.rfind(want.substr(0, want.size() - 1), 0), 0u) << got;
      else
        EXPECT_EQ(got, want) << ::testing::PrintToString(lines);
    }
    // The wizard's log has no "exit" line; the page ends the program.
    for (const auto& l : t.log_.Lines()) EXPECT_NE(l, "exit");
    EXPECT_EQ(PathExists(t.area_ + "\\orfeda_release\\files"), c.releaseUnpacked);
    // A download that failed leaves no file under its name, whatever was there before.
    if (!c.archiveLeft) {
      EXPECT_FALSE(PathExists(t.area_ + "\\orfeda_release.zip"));
    }
    EXPECT_FALSE(PathExists(t.area_ + "\\orfeda_release\\files\\planted.dll"));
  }
}

TEST(DownloadWorkers, APartnerPackageWithoutFilesStillEndsReady) {
  Harness t;
  t.server_.apps[kPartnerApp]["1.0.3"] = {{"partner_kqx.zip", ZipOf({{"readme.txt", "no files folder"}})}};
  ASSERT_TRUE(t.Run());
  EXPECT_EQ(t.sink_.statuses.back(), "lbDownload.Caption=finished (ready)");
  const auto lines = t.WorkerLines();
  const auto copy = std::find_if(lines.begin(), lines.end(),
                                 [](const std::string& l) { return l.rfind("copy of files failed with error: ", 0) == 0; });
  ASSERT_NE(copy, lines.end()) << ::testing::PrintToString(lines);
  EXPECT_EQ(*(copy + 1), "| CreateVersiontxt ok");
  EXPECT_EQ(ReadFileBytes(InstallRec.FromDir + "\\files\\partner\\version.txt"), "1.0.3\r\n");
}

}  // namespace

#pragma once
// A transport that plays scripted answers and records the requests, and a capture of the
// setup log, for the API clients' unit tests.
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "state/state.h"
#include "base/errors.h"
#include "log/log.h"
#include "net/transport.h"

struct ScriptedAnswer {
  std::string body;
  std::string contentType = "application/json; charset=utf-8";
  std::string error;    // not empty: the request raises EHTTPError with this message
  std::string partial;  // with error: what reached the answer file before the failure
  std::function<void()> during;  // runs inside the request
};

struct RecordedRequest {
  std::string method, url, body, srcfile, destfile;
};

struct Script {
  std::deque<ScriptedAnswer> answers;
  std::vector<RecordedRequest> requests;
  int timeout = 0;
  std::string proxyUser, proxyPassword, proxyServer;
  int proxyPort = 0;
  bool proxyAuto = false;
};

class ScriptedTransport : public IHttpTransport {
 public:
  explicit ScriptedTransport(std::shared_ptr<Script> s) : s_(std::move(s)) {}

  std::string get(const std::string& url) override { return Play({"GET", url, "", "", ""}); }
  std::string get(const std::string& url, const std::string& dest) override {
    return Play({"GET", url, "", "", dest});
  }
  std::string post(const std::string& url, const std::string& data) override {
    return Play({"POST", url, data, "", ""});
  }
  std::string post(const std::string& url, const std::string& data, const std::string& src,
                   const std::string& dest) override {
    return Play({"POST", url, data, src, dest});
  }
  std::string del(const std::string& url) override { return Play({"DELETE", url, "", "", ""}); }
  void setTimeout(int seconds) override { s_->timeout = seconds; }
  void setProgressListener(ProgressListener) override {}
  std::string lastResponse() const override { return last_; }
  std::string contentType() const override { return type_; }
  std::string contentDisposition() const override { return {}; }
  void setProxyAutoDetect(bool on) override { s_->proxyAuto = on; }
  void setProxyUsername(const std::string& v) override { s_->proxyUser = v; }
  void setProxyPassword(const std::string& v) override { s_->proxyPassword = v; }
  void setProxyServer(const std::string& v) override { s_->proxyServer = v; }
  void setProxyPort(int port) override { s_->proxyPort = port; }

 private:
  std::string Play(RecordedRequest r) {
    last_.clear();
    type_.clear();
    s_->requests.push_back(r);
    if (s_->answers.empty()) throw EHTTPError("no scripted answer for " + r.url);
    ScriptedAnswer a = s_->answers.front();
    s_->answers.pop_front();
    if (a.during) a.during();
    if (!a.error.empty()) {
      if (!r.destfile.empty() && !a.partial.empty()) std::ofstream(r.destfile, std::ios::binary) << a.partial;
      throw EHTTPError(a.error);
    }
    type_ = a.contentType;
    last_ = a.body;
    if (!r.destfile.empty()) {
      std::ofstream(r.destfile, std::ios::binary) << a.body;
      if (type_.find("text") == std::string::npos && type_.find("json") == std::string::npos) return {};
    }
    return last_;
  }

  std::shared_ptr<Script> s_;
  std::string last_, type_;
};

// A fresh folder for the test's files and a setup log inside it; removed afterwards.
class ClientTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("net_clients_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    logFile_ = (dir_ / "setup.log").string();
    SetupLog = TLog::CreateClean(logFile_);
  }
  void TearDown() override {
    delete SetupLog;
    SetupLog = nullptr;
    std::filesystem::remove_all(dir_);
  }
  std::string Dir() const { return dir_.string(); }
  // A folder for the clients, which join names to it with "\". On Windows it is a real
  // folder; elsewhere "sub\name" is simply a file name inside Dir(), so all stays there.
  std::string Folder(const std::string& sub) const {
#ifdef _WIN32
    std::filesystem::create_directories(dir_ / sub);
#endif
    return (dir_ / sub).string();
  }
  std::string Log() const {
    std::ifstream in(logFile_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Each call of WriteLog is one line; the log adds its own prefix.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::stringstream ss(Log());
    for (std::string line; std::getline(ss, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }
  ::testing::AssertionResult LoggedExactly(const std::string& text) const {
    auto lines = LogLines();
    if (lines.size() == 1 && lines[0].size() >= text.size() &&
        lines[0].compare(lines[0].size() - text.size(), text.size(), text) == 0)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "log is \"" << Log() << "\", expected one line ending \"" << text << "\"";
  }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static void Write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }

  std::shared_ptr<Script> script_ = std::make_shared<Script>();
  std::filesystem::path dir_;
  std::string logFile_;
};

inline ScriptedAnswer Json(std::string body) {
  ScriptedAnswer a;
  a.body = std::move(body);
  return a;
}
inline ScriptedAnswer Fails(std::string message, std::string partial = {}) {
  ScriptedAnswer a;
  a.error = std::move(message);
  a.partial = std::move(partial);
  return a;
}
inline ScriptedAnswer Binary(std::string body, std::string type = "application/zip") {
  ScriptedAnswer a = Json(std::move(body));
  a.contentType = std::move(type);
  return a;
}

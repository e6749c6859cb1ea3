#include "net/qdapi_client.h"

#include "base/errors.h"
#include "log/log.h"
#include "net/file_ops.h"
#include "net/json_reader.h"
#include "net/url_encode.h"

const char* const kQDAPIKey = "k8r2!tWQ5jHMLPD7*x.-~4039";
const char* const kQDAPIAppName = "orfeda_2018";

namespace {

// Update-server answers pass when "success" is the literal true. Raises EJSONError when
// the answer is no JSON document.
bool IsSuccess(const std::string& answer) {
  TJSONReader r;
  r.Input(answer);
  std::string success;
  return ReadText(r, "/json/success", success) && success == "true";
}

}  // namespace

TQDAPIClient::TQDAPIClient(std::unique_ptr<IHttpTransport> http, const std::string& aServer,
                           const std::string& aUsername, const std::string& aPassword)
    : TAPIClientBase(std::move(http), std::string()), _server(aServer), _username(aUsername), _password(aPassword) {}

TQDAPIClient::TQDAPIClient(std::unique_ptr<IHttpTransport> http, const std::string& aServer,
                           const std::string& aKey)
    : TQDAPIClient(std::move(http), aServer, std::string(), std::string()) {
  _key = aKey;
}

TQDAPIClient::~TQDAPIClient() = default;

void TQDAPIClient::TakeFailureMessage(const std::string& answer) {
  TJSONReader r;
  r.Input(answer);
  std::string message;
  if (ReadStripped(r, "/json/message", message)) _lastErrorMsg = message;
}

std::string TQDAPIClient::UpdateUrl(bool withVersion) const {
  std::string url = _server + "/qdapi/update/?branch=" + UrlEncode(_branch) + "&appname=" + UrlEncode(_appname);
  if (withVersion) url += "&version=" + UrlEncode(_version);
  return url;
}

// Sends one request; true when the server answered with success, the reader then holding
// the answer. A refused answer leaves the server's message in lastErrorMsg.
bool TQDAPIClient::Request(const char* logText, const std::function<std::string()>& request, TJSONReader& r) {
  std::string answer;
  if (!Send(logText, request, answer)) return false;
  if (!IsSuccess(answer)) {
    TakeFailureMessage(answer);
    return false;
  }
  r.Input(answer);
  return true;
}

// Both sign-ins post a form to the auth resource and keep the session id of a success.
bool TQDAPIClient::PostForSid(const char* logText, const std::string& body) {
  return Run(false, [&] {
    TJSONReader r;
    return Request(logText, [&] { return _http->post(_server + "/qdapi/auth/", body); }, r) &&
           ReadStripped(r, "/json/sid", _sid);
  });
}

bool TQDAPIClient::auth_User() {
  return PostForSid("TQDAPIClient: http post exception in auth_User: ",
                    "username=" + UrlEncode(_username) + "&password=" + UrlEncode(_password));
}

bool TQDAPIClient::auth_Key() {
  return PostForSid("TQDAPIClient: http post exception in auth_Key: ", "key=" + UrlEncode(_key));
}

bool TQDAPIClient::auth_logout() {
  return Run(false, [&] {
    std::string answer;
    if (!Send("TQDAPIClient: http post exception in auth_logout: ",
              [&] { return _http->post(_server + "/qdapi/auth/", "logout=&sid=" + UrlEncode(_sid)); }, answer))
      return false;
    return IsSuccess(answer);
  });
}

bool TQDAPIClient::auth_validate() {
  return Run(false, [&] {
    std::string answer;
    if (!Send("TQDAPIClient: http post exception in auth_validate: ",
              [&] { return _http->post(_server + "/qdapi/auth/", "validate=&sid=" + UrlEncode(_sid)); }, answer))
      return false;
    if (IsSuccess(answer)) return true;
    TakeFailureMessage(answer);
    return false;
  });
}

std::string TQDAPIClient::update_getLatestVersion() {
  return Run(std::string(), [&]() -> std::string {
    TJSONReader r;
    if (!Request("TQDAPIClient: http get exception in update_getLatestVersion: ",
                 [&] { return _http->get(UpdateUrl(false) + "&sid=" + UrlEncode(_sid)); }, r))
      return {};
    std::string version;
    if (!ReadStripped(r, "/json/message/[1]/version", version)) return {};
    setVersion(version);
    return _version;
  });
}

bool TQDAPIClient::update_validateVersion() {
  return Run(false, [&] {
    TJSONReader r;
    if (!Request("TQDAPIClient: http get exception in update_validateVersion: ",
                 [&] { return _http->get(UpdateUrl(true) + "&sid=" + UrlEncode(_sid)); }, r))
      return false;
    std::string version;
    return ReadStripped(r, "/json/message/[1]/version", version) && version == _version;
  });
}

TFileListArray TQDAPIClient::update_listFiles() {
  return Run(TFileListArray(), [&]() -> TFileListArray {
    TJSONReader r;
    if (!Request("TQDAPIClient: http get exception in update_listFiles: ",
                 [&] { return _http->get(UpdateUrl(true) + "&list=&sid=" + UrlEncode(_sid)); }, r))
      return {};
    if (!r.HasXPath("/json/message")) return {};
    r.XPath("/json/message");
    int n = r.XChildrenCount();
    TFileListArray files(n);
    for (int i = 1; i <= n; ++i) {
      std::string entry = "/json/message/[" + std::to_string(i) + "]";
      ReadStripped(r, entry + "/filename", files[i - 1].name);
      ReadStripped(r, entry + "/checksum", files[i - 1].checksum);
    }
    return files;
  });
}

bool TQDAPIClient::update_downloadFile(const std::string& aFilename, const std::string& aLocalpath) {
  return Run(false, [&] {
    // The name comes from the server's list: it must not lead out of the folder.
    if (!netfiles::IsPlainFileName(aFilename)) {
      _lastErrorMsg = "Invalid file name \"" + aFilename + "\"";
      return false;
    }
    const std::string local = aLocalpath + "\\" + aFilename;
    // The body goes to a partial file that takes the file's name only once complete, so
    // neither a broken download nor an older file is ever taken for this one.
    const std::string partial = local + ".part";
    std::string error;
    if (!netfiles::RemoveFile(local, error)) {
      _lastErrorMsg = error;
      return false;
    }
    std::string answer;
    bool sent = Send("TQDAPIClient: http get exception inupdate_downloadFile: ", [&] {
      return _http->get(UpdateUrl(true) + "&filename=" + UrlEncode(aFilename) + "&sid=" + UrlEncode(_sid), partial);
    }, answer);
    if (!sent) {
      netfiles::RemoveFile(partial, error);
      return false;
    }
    if (!answer.empty()) {  // a text or JSON answer: the download was refused
      try {
        TakeFailureMessage(answer);
      } catch (const EJSONError&) {
      }
      netfiles::RemoveFile(partial, error);
      return false;
    }
    if (!netfiles::RenameFile(partial, local, error)) {
      _lastErrorMsg = error;
      netfiles::RemoveFile(partial, error);
      return false;
    }
    return true;
  });
}

bool TQDAPIClient::update_downloadFile(const std::string& aFilename, IDownloadTarget& target, uint64_t& size) {
  size = 0;
  return Run(false, [&] {
    if (!netfiles::IsPlainFileName(aFilename)) {
      _lastErrorMsg = "Invalid file name \"" + aFilename + "\"";
      return false;
    }
    RangedDownloadResult result;
    std::string unused;
    const bool sent = Send("TQDAPIClient: http get exception inupdate_downloadFile: ", [&] {
      result = DownloadRanged(*_http, UpdateUrl(true) + "&filename=" + UrlEncode(aFilename) + "&sid=" + UrlEncode(_sid),
                              target);
      return std::string();
    }, unused);
    if (!sent) return false;
    if (result.refused) {  // a text or JSON answer: the download was refused
      try {
        TakeFailureMessage(result.text);
      } catch (const EJSONError&) {
      }
      return false;
    }
    size = result.size;
    return true;
  });
}

bool TQDAPIClient::setVersion(const std::string& aVersion) {
  _version = aVersion;
  return true;
}

bool CheckNewVersionWith(TQDAPIClient& client, const std::function<std::string()>& installedVersion,
                         std::string& latest) {
  latest.clear();
  if (!client.auth_validate() && !client.auth_Key()) return false;
  std::string v = client.update_getLatestVersion();
  if (v.empty()) WriteLog("msg: " + client.lastErrorMsg());
  std::string installed = installedVersion();
  // An ordinal comparison of the texts; an empty v never counts as newer.
  if (installed.compare(v) < 0) {
    latest = v;
    return true;
  }
  return false;
}

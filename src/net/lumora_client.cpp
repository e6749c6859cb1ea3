#include "net/lumora_client.h"

#include "base/errors.h"
#include "base/file_system.h"
#include "log/log.h"
#include "build_config.h"
#include "net/file_ops.h"
#include "net/http_util.h"
#include "net/json_reader.h"
#include "net/url_encode.h"

namespace {

// Platform answers pass when "status" is the string ok. Raises EJSONError when the
// answer is no JSON document.
bool IsStatusOk(const std::string& answer) {
  TJSONReader r;
  r.Input(answer);
  std::string status;
  return ReadStripped(r, "/json/status", status) && status == "ok";
}

}  // namespace

TLumoraAPIClient::TLumoraAPIClient(std::unique_ptr<IHttpTransport> http, const std::string& aServer,
                                   const std::string& aUsername, const std::string& aPassword)
    : TAPIClientBase(std::move(http), "0"), _server(aServer), _username(aUsername), _password(aPassword) {}

TLumoraAPIClient::~TLumoraAPIClient() = default;

std::string TLumoraAPIClient::SessionDomains() const {
  if (!_sessionDomains.empty()) return _sessionDomains;
  if (*build_config::kPartnerSessionDomains) return build_config::kPartnerSessionDomains;
  return httputil::PlatformDomain(httputil::HttpsHost(_server));
}

std::string TLumoraAPIClient::SessionUrl(const std::string& path) const {
  return _sessionServer + path + "?sid=" + UrlEncode(_sid);
}

std::string TLumoraAPIClient::FaxUrl(const std::string& FaxUUID, const std::string& rest) const {
  return SessionUrl("/api/fax/" + UrlEncode(FaxUUID) + rest);
}

// Downloads url into path through a partial file that takes the name only when the
// answer is a complete file (not a text or JSON error answer); true when path exists.
bool TLumoraAPIClient::DownloadTo(const char* logText, const std::string& url, const std::string& path) {
  const std::string partial = path + ".part";
  std::string answer, error;
  bool sent = Send(logText, [&] { return _http->get(url, partial); }, answer);
  if (!sent || !answer.empty()) {
    netfiles::RemoveFile(partial, error);
    return false;
  }
  if (!netfiles::RenameFile(partial, path, error)) {
    _lastErrorMsg = error;
    netfiles::RemoveFile(partial, error);
    return false;
  }
  return FileExists(path);
}

// ---- Session -------------------------------------------------------------------------

bool TLumoraAPIClient::login() {
  return Run(false, [&] {
    std::string answer;
    if (!Send("TLumoraAPIClient: http get exception login: ", [&] { return _http->get(_server + "/api/session"); },
              answer))
      return false;
    TJSONReader r;
    r.Input(answer);
    std::string server, sid;
    if (!ReadStripped(r, "/json/server", server)) return false;
    // The user's e-mail and password go to the session server: only to a host of the
    // platform's own domains.
    const std::string host = httputil::HttpsHost(server);
    if (!httputil::HostInDomains(host, SessionDomains())) {
      WriteLog("TLumoraAPIClient: refused session server " + (host.empty() ? server : host));
      _lastErrorMsg = "refused session server " + (host.empty() ? server : host);
      return false;
    }
    _sessionServer = server;
    if (!ReadStripped(r, "/json/sid", sid)) return false;
    _sid = sid;

    const char* field = _username.find('@') != std::string::npos ? "email" : "username";
    std::string body = "{" + JsonString(field) + ":" + JsonString(_username) + "," + JsonString("password") + ":" +
                       JsonString(_password) + "}";
    if (!Send("TLumoraAPIClient: http post exception login: ",
              [&] { return _http->post(SessionUrl("/api/session"), body); }, answer))
      return false;
    if (IsStatusOk(answer)) return true;
    r.Input(answer);
    std::string status;
    if (ReadText(r, "/json/status", status)) _lastErrorMsg = status;
    return false;
  });
}

bool TLumoraAPIClient::checklogin() {
  return Run(false, [&] {
    if (_sessionServer.empty() || _sid.empty()) return false;
    std::string answer;
    if (!Send("TLumoraAPIClient: http get exception in checklogin: ",
              [&] { return _http->get(SessionUrl("/api/session")); }, answer))
      return false;
    if (!IsStatusOk(answer)) return false;
    TJSONReader r;
    r.Input(answer);
    std::string auth;
    return ReadText(r, "/json/auth", auth) && auth == "true";
  });
}

bool TLumoraAPIClient::logout() {
  return Run(false, [&] {
    std::string answer;
    if (!Send("TLumoraAPIClient: http delete exception in logout: ",
              [&] { return _http->del(SessionUrl("/api/session")); }, answer))
      return false;
    if (!IsStatusOk(answer)) return false;
    _sessionServer.clear();
    _sid.clear();
    _partnertag.clear();
    return true;
  });
}

std::string TLumoraAPIClient::Getpartnertag() {
  return Run(std::string(), [&]() -> std::string {
    if (!_partnertag.empty()) return _partnertag;
    std::string answer;
    if (!Send("TLumoraAPIClient: http get exception in getpartner: ",
              [&] { return _http->get(SessionUrl("/api/user")); }, answer))
      return {};
    if (!IsStatusOk(answer)) return {};
    TJSONReader r;
    r.Input(answer);
    std::string tag;
    if (!ReadStripped(r, "/json/user/partner", tag)) return {};
    _partnertag = tag;
    return _partnertag;
  });
}

void TLumoraAPIClient::Setpartnertag(const std::string& Value) { _partnertag = Value; }

bool TLumoraAPIClient::MigSetPartner(const std::string& input) {
  if (input.empty()) return false;
  Setpartnertag(input);
  return true;
}

bool TLumoraAPIClient::checkMigration(const std::string& input) {
  try {
    TJSONReader r;
    r.Input(input);
    std::string message;
    return ReadStripped(r, "/json/message", message) && message == "user not found";
  } catch (const EJSONError&) {
    return false;
  }
}

// ---- Faxes ---------------------------------------------------------------------------

std::string TLumoraAPIClient::createFax(const std::string& description) {
  return Run(std::string(), [&]() -> std::string {
    std::string answer;
    std::string body = "{" + JsonString("description") + ":" + JsonString(description) + "}";
    if (!Send("TLumoraAPIClient: http post exception createFax: ",
              [&] { return _http->post(SessionUrl("/api/fax"), body); }, answer))
      return {};
    if (!IsStatusOk(answer)) return {};
    TJSONReader r;
    r.Input(answer);
    std::string uuid;
    return ReadStripped(r, "/json/uuid", uuid) ? uuid : std::string();
  });
}

bool TLumoraAPIClient::uploadFax(const std::string& uuid, const std::string& filepath, bool landscape) {
  return Run(false, [&] {
    std::string url = FaxUrl(uuid, "/ofax.pdf");
    if (landscape) url += "&orientation=landscape";
    std::string answer;
    if (!Send("TLumoraAPIClient: http post exception in uploadFax: ",
              [&] { return _http->post(url, "", filepath, ""); }, answer))
      return false;
    return IsStatusOk(answer);
  });
}

std::string TLumoraAPIClient::sendFax(const std::string& uuid, const std::string& fromNr, const std::string& toNr) {
  return Run(std::string(), [&]() -> std::string {
    std::string url = _server + "/api/fax/" + UrlEncode(uuid) + "/send?sid=" + UrlEncode(_sid);
    std::string body =
        "{" + JsonString("from") + ":" + JsonString(fromNr) + "," + JsonString("to") + ":" + JsonString(toNr) + "}";
    std::string answer;
    if (!Send("TLumoraAPIClient: http post exception in sendFax: ", [&] { return _http->post(url, body); }, answer))
      return {};
    if (!IsStatusOk(answer)) return answer;
    TJSONReader r;
    r.Input(answer);
    std::string id;
    return ReadStripped(r, "/json/uuid", id) ? id : answer;
  });
}

bool TLumoraAPIClient::deleteFax(const std::string& uuid) {
  return Run(false, [&] {
    std::string answer;
    if (!Send("TLumoraAPIClient: http delete exception in deleteFax: ",
              [&] { return _http->del(FaxUrl(uuid, "")); }, answer))
      return false;
    return IsStatusOk(answer);
  });
}

TFaxIdentifierArray TLumoraAPIClient::getfaxidentifiers() {
  return Run(TFaxIdentifierArray(), [&]() -> TFaxIdentifierArray {
    std::string answer;
    if (!Send("TLumoraAPIClient: http get exception in getfaxidentifiers: ",
              [&] { return _http->get(SessionUrl("/api/phone")); }, answer))
      return {};
    TJSONReader r;
    r.Input(answer);
    if (!r.HasXPath("/json/phone")) return {};
    r.XPath("/json/phone");
    const int n = r.XChildrenCount();
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) names.push_back(r.XChildName(i));
    TFaxIdentifierArray result;
    for (int i = 0; i < n; ++i) {
      // Addressed by position, so that any member name works.
      std::string enabled;
      if (ReadText(r, "/json/phone/[" + std::to_string(i + 1) + "]/fax_enable", enabled) && enabled == "true")
        result.push_back(names[i]);
    }
    return result;
  });
}

TFaxInfoRecord TLumoraAPIClient::getfaxinfo(const std::string& FaxUUID) {
  return Run(TFaxInfoRecord(), [&]() -> TFaxInfoRecord {
    std::string answer;
    if (!Send("TLumoraAPIClient: http get exception in getfaxinfo: ", [&] { return _http->get(FaxUrl(FaxUUID, "")); },
              answer))
      return {};
    TJSONReader r;
    r.Input(answer);
    TFaxInfoRecord rec;
    ReadStripped(r, "/json/fax/owner", rec.owner);
    ReadStripped(r, "/json/fax/time", rec.time);
    ReadStripped(r, "/json/fax/description", rec.description);
    ReadStripped(r, "/json/fax/page_count", rec.page_count);
    ReadStripped(r, "/json/fax/x_res", rec.x_res);
    ReadStripped(r, "/json/fax/y_res", rec.y_res);
    ReadStripped(r, "/json/fax/status", rec.status);
    return rec;
  });
}

TFaxReportInfoRecord TLumoraAPIClient::getfaxreportinfo(const std::string& FaxUUID, const std::string& ReportUUID) {
  return Run(TFaxReportInfoRecord(), [&]() -> TFaxReportInfoRecord {
    std::string answer;
    if (!Send("TLumoraAPIClient: http get exception in getfaxreportinfo: ",
              [&] { return _http->get(FaxUrl(FaxUUID, "")); }, answer))
      return {};
    TJSONReader r;
    r.Input(answer);
    const std::string p = "/json/fax/report/" + ReportUUID;
    TFaxReportInfoRecord rec;
    ReadStripped(r, p + "/incoming", rec.incoming);
    ReadStripped(r, p + "/from", rec.faxfrom);
    ReadStripped(r, p + "/to", rec.faxto);
    ReadStripped(r, p + "/time_start", rec.time_start);
    ReadStripped(r, p + "/time_end", rec.time_end);
    ReadStripped(r, p + "/status", rec.status);
    ReadStripped(r, p + "/sip_status_code", rec.sip_status_code);
    ReadStripped(r, p + "/fax_error_code", rec.fax_status_code);
    return rec;
  });
}

TFaxListRecArray TLumoraAPIClient::getfaxlist() {
  return Run(TFaxListRecArray(), [&]() -> TFaxListRecArray {
    std::string answer;
    if (!Send("TLumoraAPIClient: http get exception in getfaxlist: ",
              [&] { return _http->get(SessionUrl("/api/user")); }, answer))
      return {};
    TJSONReader r;
    r.Input(answer);
    std::string tag;
    if (!ReadStripped(r, "/json/user/tag_all", tag)) return {};

    const std::string url = SessionUrl("/api/tag/" + UrlEncode(tag) + "/object") + "&count=500";
    bool fetched = Send("TLumoraAPIClient: json get exception in getfaxlist: ", [&] {
      std::string list = _http->get(url);
      r.Input(list);
      return list;
    }, answer);
    if (!fetched) return {};
    if (!r.HasXPath("/json/object")) return {};
    r.XPath("/json/object");
    const int n = r.XChildrenCount();
    TFaxListRecArray result;
    for (int i = 1; i <= n; ++i) {
      const std::string entry = "/json/object/[" + std::to_string(i) + "]";
      std::string type;
      if (!ReadStripped(r, entry + "/type", type)) break;
      if (type != "fax") continue;
      try {
        TFaxListRecord rec;
        r.XPath(entry + "/");
        rec.UUID = stripQuotes(r.XElement());
        ReadStripped(r, entry + "/description", rec.Description);
        ReadStripped(r, entry + "/time", rec.DateTime);
        if (!ReadStripped(r, entry + "/page_count", rec.PageCount)) rec.PageCount = "0";
        result.push_back(rec);
      } catch (const EJSONError&) {
        // An unreadable object is skipped.
      }
    }
    return result;
  });
}

bool TLumoraAPIClient::getfaxpreviewPNG(const std::string& FaxUUID, const std::string& Path) {
  return Run(false, [&] {
    const char* logText = "TLumoraAPIClient: http get exception in getfaxpreviewPNG: ";
    std::string answer;
    if (!Send(logText, [&] { return _http->get(FaxUrl(FaxUUID, "")); }, answer)) return false;
    TJSONReader r;
    r.Input(answer);
    // The id names a file of the preview folder.
    if (!netfiles::IsPlainFileName(FaxUUID + ".png")) return false;
    const std::string file = Path + "\\preview\\" + FaxUUID + ".png";
    std::string status;
    if (ReadStripped(r, "/json/fax/status", status) && status == "ok" && !FileExists(file))
      DownloadTo(logText, FaxUrl(FaxUUID, "/1/" + UrlEncode(FaxUUID) + ".png"), file);
    return FileExists(file);
  });
}

bool TLumoraAPIClient::getfaxdocument(const std::string& FaxUUID, const std::string& Path) {
  return Run(false, [&] {
    return DownloadTo("TLumoraAPIClient: http get exception in getfaxdocument: ",
                      FaxUrl(FaxUUID, "/" + UrlEncode(FaxUUID) + ".pdf"), Path);
  });
}

bool TLumoraAPIClient::getfaxreport(const std::string& FaxUUID, const std::string& ReportUUID,
                                    const std::string& Path) {
  return Run(false, [&] {
    return DownloadTo("TLumoraAPIClient: http get exception in getfaxreport: ",
                      FaxUrl(FaxUUID, "/report/" + UrlEncode(ReportUUID) + "/" + UrlEncode(ReportUUID) + ".pdf"),
                      Path);
  });
}

int TLumoraAPIClient::getfaxreportcount(const std::string& FaxUUID) {
  return Run(0, [&] {
    std::string answer;
    if (!Send("TLumoraAPIClient: http get exception in getfaxreportcount: ",
              [&] { return _http->get(FaxUrl(FaxUUID, "")); }, answer))
      return 0;
    TJSONReader r;
    r.Input(answer);
    if (!r.HasXPath("json/fax/report")) return 0;
    r.XPath("json/fax/report");
    return r.XChildrenCount();
  });
}

TFaxReportListArray TLumoraAPIClient::getfaxreportlist(const std::string& FaxUUID) {
  return Run(TFaxReportListArray(), [&]() -> TFaxReportListArray {
    std::string answer;
    if (!Send("TLumoraAPIClient: http get exception in getfaxreportlist: ",
              [&] { return _http->get(FaxUrl(FaxUUID, "")); }, answer))
      return {};
    TJSONReader r;
    r.Input(answer);
    if (!r.HasXPath("json/fax/report")) return {};
    r.XPath("json/fax/report");
    TFaxReportListArray ids;
    for (int i = 0; i < r.XChildrenCount(); ++i) ids.push_back(r.XChildName(i));
    return ids;
  });
}

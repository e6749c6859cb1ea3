#pragma once
// Client of the partner platform's HTTP API: the two-step login and the session, the
// user's partner tag, and the fax operations that run on the session.
//
// Synchronous, one transport per client. lastErrorMsg() is "0" after an operation that
// recorded no error, otherwise the reason; transport errors are also logged. Values are
// percent-encoded in URLs and JSON-escaped in JSON bodies.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/transport.h"

struct TFaxInfoRecord {
  std::string owner, time, description, page_count, x_res, y_res, status;
};

struct TFaxReportInfoRecord {
  std::string incoming, faxfrom, faxto, time_start, time_end, status, sip_status_code, fax_status_code;
};

struct TFaxListRecord {
  std::string UUID, Description, DateTime, PageCount;
};

using TFaxListRecArray = std::vector<TFaxListRecord>;
using TFaxIdentifierArray = std::vector<std::string>;
using TFaxReportListArray = std::vector<std::string>;

class TLumoraAPIClient {
 public:
  // With the given transport (its time-out is set to 15 seconds).
  TLumoraAPIClient(std::unique_ptr<IHttpTransport> http, const std::string& aServer,
                   const std::string& aUsername, const std::string& aPassword);
  // With the program's HTTPS transport (Windows only).
  TLumoraAPIClient(const std::string& aServer, const std::string& aUsername, const std::string& aPassword);
  virtual ~TLumoraAPIClient();
  TLumoraAPIClient(const TLumoraAPIClient&) = delete;
  TLumoraAPIClient& operator=(const TLumoraAPIClient&) = delete;

  // Session.
  bool login();
  bool checklogin();
  bool logout();
  // The user's partner tag; read from the platform once, then cached until logout.
  std::string Getpartnertag();
  void Setpartnertag(const std::string& Value);
  bool MigSetPartner(const std::string& input);
  // Whether a platform answer says "user not found".
  bool checkMigration(const std::string& input);
  const std::string& Getserver() const { return _server; }
  void Setserver(const std::string& Value) { _server = Value; }
  const std::string& Getsessionserver() const { return _sessionServer; }

  // Faxes.
  std::string createFax(const std::string& description);
  bool uploadFax(const std::string& uuid, const std::string& filepath, bool landscape);
  std::string sendFax(const std::string& uuid, const std::string& fromNr, const std::string& toNr);
  bool deleteFax(const std::string& uuid);
  TFaxIdentifierArray getfaxidentifiers();
  TFaxInfoRecord getfaxinfo(const std::string& FaxUUID);
  TFaxReportInfoRecord getfaxreportinfo(const std::string& FaxUUID, const std::string& ReportUUID);
  TFaxListRecArray getfaxlist();
  bool getfaxpreviewPNG(const std::string& FaxUUID, const std::string& Path);
  bool getfaxdocument(const std::string& FaxUUID, const std::string& Path);
  bool getfaxreport(const std::string& FaxUUID, const std::string& ReportUUID, const std::string& Path);
  int getfaxreportcount(const std::string& FaxUUID);
  TFaxReportListArray getfaxreportlist(const std::string& FaxUUID);

  const std::string& sid() const { return _sid; }
  const std::string& lastErrorMsg() const { return _lastErrorMsg; }
  bool activeTask() const { return _activeTask; }

  // Proxy settings, passed to the transport. The auto-detect credentials and the manual
  // ones are the same user and password of the transport.
  const std::string& proxyUsername() const { return _proxyUsername; }
  void setProxyUsername(const std::string& v);
  const std::string& proxyPassword() const { return _proxyPassword; }
  void setProxyPassword(const std::string& v);
  const std::string& proxyServer() const { return _proxyServer; }
  void setProxyServer(const std::string& v);
  int proxyPort() const { return _proxyPort; }
  void setProxyPort(int v);
  bool proxyAutoDetect() const { return _proxyAutoDetect; }
  void setProxyAutoDetect(bool v);
  const std::string& proxyAutoDetectUsername() const { return _proxyUsername; }
  void setProxyAutoDetectUsername(const std::string& v) { setProxyUsername(v); }
  const std::string& proxyAutoDetectPassword() const { return _proxyPassword; }
  void setProxyAutoDetectPassword(const std::string& v) { setProxyPassword(v); }

 private:
  template <class R, class Body>
  R Run(R failure, Body body);
  bool Send(const char* logText, const std::function<std::string()>& request, std::string& answer);
  std::string SessionUrl(const std::string& path) const;  // S + path + "?sid=" + sid
  std::string FaxUrl(const std::string& FaxUUID, const std::string& rest) const;
  bool DownloadTo(const char* logText, const std::string& url, const std::string& path);

  std::string _server;
  std::string _sessionServer;
  std::string _username;
  std::string _password;
  std::string _sid;
  std::string _lastErrorMsg;
  std::string _partnertag;
  bool _activeTask = false;
  std::unique_ptr<IHttpTransport> _http;
  std::string _proxyUsername, _proxyPassword, _proxyServer;
  int _proxyPort = 80;
  bool _proxyAutoDetect = false;
};

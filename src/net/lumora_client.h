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

#include "net/api_client_base.h"
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

class TLumoraAPIClient : public TAPIClientBase {
 public:
  // With the given transport (its time-out is set to 15 seconds); the program passes
  // MakeHttpsTransport() of net/http.h.
  TLumoraAPIClient(std::unique_ptr<IHttpTransport> http, const std::string& aServer,
                   const std::string& aUsername, const std::string& aPassword);
  virtual ~TLumoraAPIClient();

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
  // The domains whose hosts the platform may name as session server (",", ";" separated).
  // Unless set: the build's list, else the platform host's domain ("lumora.example" for
  // "https://api.lumora.example"). Any other session server ends the login.
  void setSessionDomains(const std::string& domains) { _sessionDomains = domains; }

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


 private:
  std::string SessionUrl(const std::string& path) const;  // S + path + "?sid=" + sid
  std::string SessionDomains() const;
  std::string FaxUrl(const std::string& FaxUUID, const std::string& rest) const;
  bool DownloadTo(const char* logText, const std::string& url, const std::string& path);

  std::string _server;
  std::string _sessionServer;
  std::string _sessionDomains;
  std::string _username;
  std::string _password;
  std::string _sid;
  std::string _partnertag;
};

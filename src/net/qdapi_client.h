#pragma once
// Client of the update server's HTTP API ("/qdapi/auth/", "/qdapi/update/").
//
// Synchronous: each operation sends one request through the client's own transport and
// returns a plain result. Failures never escape: an operation returns false, "" or an
// empty array and leaves the reason in lastErrorMsg(); transport errors are also logged.
// Request values are percent-encoded.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/api_client_base.h"
#include "net/ranged_download.h"
#include "net/transport.h"

class TJSONReader;

// One file of a version on the update server, with its MD5 sum.
struct TFileList {
  std::string name;
  std::string checksum;
};
using TFileListArray = std::vector<TFileList>;

// The update server's built-in API key and the application's name there.
extern const char* const kQDAPIKey;
extern const char* const kQDAPIAppName;

class TQDAPIClient : public TAPIClientBase {
 public:
  // With the given transport (its time-out is set to 15 seconds); the program passes
  // MakeHttpsTransport() of net/http.h.
  TQDAPIClient(std::unique_ptr<IHttpTransport> http, const std::string& aServer,
               const std::string& aUsername, const std::string& aPassword);
  TQDAPIClient(std::unique_ptr<IHttpTransport> http, const std::string& aServer, const std::string& aKey);
  virtual ~TQDAPIClient();

  bool auth_User();
  bool auth_Key();
  bool auth_logout();
  bool auth_validate();
  std::string update_getLatestVersion();
  bool update_validateVersion();
  TFileListArray update_listFiles();
  // Downloads aFilename into aLocalpath + "\" + aFilename. On any failure no file is left
  // under that name (an earlier file of that name is removed too).
  bool update_downloadFile(const std::string& aFilename, const std::string& aLocalpath);
  // Downloads aFilename into `target` as it arrives (DownloadRanged: over several connections
  // where the server answers ranges) and gives its size. False on any failure, with the reason
  // in lastErrorMsg (a transport error is also logged); the target then holds no whole file.
  bool update_downloadFile(const std::string& aFilename, IDownloadTarget& target, uint64_t& size);
  bool setVersion(const std::string& aVersion);

  const std::string& sid() const { return _sid; }

  const std::string& branch() const { return _branch; }
  void setBranch(const std::string& v) { _branch = v; }
  const std::string& appname() const { return _appname; }
  void setAppname(const std::string& v) { _appname = v; }
  const std::string& version() const { return _version; }
  const std::string& key() const { return _key; }
  void setKey(const std::string& v) { _key = v; }


 private:
  bool Request(const char* logText, const std::function<std::string()>& request, TJSONReader& r);
  bool PostForSid(const char* logText, const std::string& body);
  std::string UpdateUrl(bool withVersion) const;
  void TakeFailureMessage(const std::string& answer);

  std::string _server;
  std::string _username;
  std::string _password;
  std::string _key;
  std::string _sid;
  std::string _appname;
  std::string _version;
  std::string _branch = "stable";
};

// The steps of checkNewVersion on a given client (its key, branch and application name
// already set); installedVersion gives the installed executable's file version.
bool CheckNewVersionWith(TQDAPIClient& client, const std::function<std::string()>& installedVersion,
                         std::string& latest);

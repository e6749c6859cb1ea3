#pragma once
// Records shared between the parts of the program.
#include <string>
#include <vector>

// The parameters of one install or update.
struct TInstallRec {
  std::string Username;
  std::string Password;
  std::string PrinterName;
  std::string ApplicationName;
  std::string Server;  // declared only; stays empty
  std::string Sid;     // declared only; stays empty
  std::string Partner;
  std::string Provider;
  std::string Producer;
  std::string InstPath;
  std::string Language;
  std::string FromDir;
  std::string Users;  // "all" or "me"
  std::string Version;
  std::string PartnerVersion;
  bool Update = false;
  bool ReInstall = false;
};

// Which links were made ("-1") or not ("0"), kept for the uninstall data.
struct TUninstallRec {
  std::string ShortCut;
  std::string AutoStart;
  std::string StartMenu;
};

// How the HTTP clients reach the Internet.
struct TProxyRecord {
  bool ProxyAutoDetect = false;
  std::string ProxyAutoDetectUsername;
  std::string ProxyAutoDetectPassword;
  std::string ProxyUsername;
  std::string ProxyPassword;
  std::string ProxyServer;
  std::string ProxyPort;  // decimal digits or empty
};

// One component of "setup.json".
struct TComponentList {
  std::string component;
  std::string name;
  std::string cmd;
};
using TComponentListArray = std::vector<TComponentList>;

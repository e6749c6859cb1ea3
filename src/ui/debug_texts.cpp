#include "ui/debug_texts.h"

namespace {

std::string Label(const char* name, const std::string& value) {
  return std::string(name) + "\r\n" + value;
}

}  // namespace

std::vector<DebugLabel> InstallRecLabels(const TInstallRec& rec) {
  return {
      {"Label1", Label("AppliacationName: ", rec.ApplicationName)},
      {"Label2", Label("FromDir: ", rec.FromDir)},
      {"Label3", Label("InstPath: ", rec.InstPath)},
      {"Label4", Label("Language: ", rec.Language)},
      {"Label10", Label("Partner: ", rec.Partner)},
      {"Label11", Label("PrinterName: ", rec.PrinterName)},
      {"Label12", Label("Provider: ", rec.Provider)},
      {"Label13", Label("Producer: ", rec.Producer)},
      {"Label14", Label("Server: ", rec.Server)},
      {"Label15", Label("SID: ", rec.Sid)},
      {"Label16", Label("Users: ", rec.Users)},
      {"Label19", Label("Version", rec.Version)},
      {"Label20", Label("Partner Version", rec.PartnerVersion)},
  };
}

std::vector<DebugLabel> EnvironmentLabels(const EnvironmentValues& env) {
  return {
      {"Label5", Label("APPDATA: ", env.appData)},
      {"Label6", Label("ALLUSERSPROFILE : ", env.allUsersProfile)},
      {"Label7", Label("PROGRAMFILES: ", env.programFiles)},
      {"Label8", Label("rootpath: ", env.exeDir)},
      {"Label9", Label("TEMP: ", env.temp)},
      {"Label17", Label("Desktop: ", env.desktop)},
      {"Label18", Label("PublicDesktop: ", env.publicDesktop)},
  };
}

std::string SilentModeText(bool silent) { return silent ? "true" : "false"; }

std::string WindowsName(unsigned major, unsigned minor) {
  struct Row {
    unsigned major, minor;
    const char* name;
  };
  static constexpr Row kNames[] = {
      {4, 0, "Windows 95"},    {4, 10, "Windows 98"},    {4, 90, "Windows ME"},
      {5, 0, "Windows 2000"},  {5, 1, "Windows XP"},     {6, 0, "Windows Vista"},
      {6, 1, "Windows 7"},     {6, 2, "Windows 8"},      {6, 3, "Windows 8.1"},
      {10, 0, "Windows 10"},
  };
  for (const Row& r : kNames)
    if (r.major == major && r.minor == minor) return r.name;
  return "Unknown (Windows " + std::to_string(major) + "." + std::to_string(minor) + ")";
}

std::string WindowsVersionText(unsigned major, unsigned minor) {
  return "OS type: " + WindowsName(major, minor);
}

bool IsAdministrator(const TokenAnswers& token, const std::string& windowsName) {
  if (!token.opened) return false;
  const bool oldSystem = windowsName == "Windows 95" || windowsName == "Windows 98" ||
                         windowsName == "Windows XP";
  bool admin = false;
  if (token.elevationType) admin = *token.elevationType == 2;  // TokenElevationTypeFull
  else if (oldSystem) admin = true;
  if (token.elevated) admin = *token.elevated;
  else if (oldSystem) admin = true;
  return admin;
}

std::string RightsText(bool admin) { return admin ? "(Administrator)" : "(NOT Administrator)"; }

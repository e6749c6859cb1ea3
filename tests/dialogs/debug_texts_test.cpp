#include "ui/debug_texts.h"

#include <gtest/gtest.h>

#include "ui/proxy_settings.h"

namespace {

TEST(DebugTexts, WindowsNames) {
  struct Case {
    unsigned major, minor;
    const char* name;
  };
  const Case cases[] = {
      {4, 0, "Windows 95"},      {4, 10, "Windows 98"},   {4, 90, "Windows ME"},
      {5, 0, "Windows 2000"},    {5, 1, "Windows XP"},    {6, 0, "Windows Vista"},
      {6, 1, "Windows 7"},       {6, 2, "Windows 8"},     {6, 3, "Windows 8.1"},
      {10, 0, "Windows 10"},     {6, 4, "Unknown (Windows 6.4)"},
      {5, 2, "Unknown (Windows 5.2)"}, {10, 1, "Unknown (Windows 10.1)"},
      {0, 0, "Unknown (Windows 0.0)"}, {4, 1, "Unknown (Windows 4.1)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WindowsName(c.major, c.minor), c.name) << c.major << "." << c.minor;
  EXPECT_EQ(WindowsVersionText(10, 0), "OS type: Windows 10");
}

TEST(DebugTexts, RightsFollowTheTokenAndOnlyOldSystemsWhereItCannotSay) {
  using T = TokenAnswers;
  struct Case {
    T token;
    const char* system;
    bool admin;
  };
  const Case cases[] = {
      {T{false, 2, true}, "Windows 10", false},         // token not opened
      {T{false, {}, {}}, "Windows XP", false},          // not even on XP
      {T{true, 2, true}, "Windows 10", true},           // full and elevated
      {T{true, 3, false}, "Windows 10", false},         // limited: the filtered admin token
      {T{true, 1, false}, "Windows 10", false},         // default, not elevated
      {T{true, 1, true}, "Windows 10", true},           // elevation decides last
      {T{true, 2, false}, "Windows 10", false},
      {T{true, {}, {}}, "Windows XP", true},            // neither question known
      {T{true, {}, {}}, "Windows 98", true},
      {T{true, {}, {}}, "Windows 2000", false},
      {T{true, {}, {}}, "Windows 10", false},
      {T{true, 2, {}}, "Windows 7", true},              // type alone where elevation fails
      {T{true, 3, {}}, "Windows XP", true},             // the old-system rule wins then
      {T{true, {}, false}, "Windows XP", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsAdministrator(c.token, c.system), c.admin)
        << c.system << " opened=" << c.token.opened << " type="
        << (c.token.elevationType ? int(*c.token.elevationType) : -1) << " elevated="
        << (c.token.elevated ? int(*c.token.elevated) : -1);
  }
  EXPECT_EQ(RightsText(true), "(Administrator)");
  EXPECT_EQ(RightsText(false), "(NOT Administrator)");
}

TEST(DebugTexts, InstallRecLabelsShowNameAndValueOnTwoLines) {
  TInstallRec rec;
  rec.ApplicationName = "Brixaro Fax";
  rec.FromDir = "C:\\Temp\\Orfeda\\orfeda_release";
  rec.InstPath = "C:\\Program Files (x86)\\Brixaro\\Fax";
  rec.Language = "German";
  rec.Partner = "lumora";
  rec.PrinterName = "Brixaro Fax Printer";
  rec.Provider = "Brixaro";
  rec.Producer = "Fax";
  rec.Users = "me";
  rec.Version = "2.5.0.0";
  rec.PartnerVersion = "1.0.3";
  rec.Username = "not shown";
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Label1", "AppliacationName: \r\nBrixaro Fax"},
      {"Label2", "FromDir: \r\nC:\\Temp\\Orfeda\\orfeda_release"},
      {"Label3", "InstPath: \r\nC:\\Program Files (x86)\\Brixaro\\Fax"},
      {"Label4", "Language: \r\nGerman"},
      {"Label10", "Partner: \r\nlumora"},
      {"Label11", "PrinterName: \r\nBrixaro Fax Printer"},
      {"Label12", "Provider: \r\nBrixaro"},
      {"Label13", "Producer: \r\nFax"},
      {"Label14", "Server: \r\n"},
      {"Label15", "SID: \r\n"},
      {"Label16", "Users: \r\nme"},
      {"Label19", "Version\r\n2.5.0.0"},
      {"Label20", "Partner Version\r\n1.0.3"},
  };
  const auto labels = InstallRecLabels(rec);
  ASSERT_EQ(labels.size(), expected.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    EXPECT_EQ(labels[i].control, expected[i].first);
    EXPECT_EQ(labels[i].text, expected[i].second);
  }
}

TEST(DebugTexts, EnvironmentLabelsAndSilentFlag) {
  EnvironmentValues env{"C:\\users\\a\\AppData\\Roaming", "C:\\ProgramData", "C:\\Program Files (x86)",
                        "Z:\\dl\\", "C:\\users\\a\\Temp", "C:\\users\\a\\Desktop", "C:\\users\\Public\\Desktop"};
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Label5", "APPDATA: \r\nC:\\users\\a\\AppData\\Roaming"},
      {"Label6", "ALLUSERSPROFILE : \r\nC:\\ProgramData"},
      {"Label7", "PROGRAMFILES: \r\nC:\\Program Files (x86)"},
      {"Label8", "rootpath: \r\nZ:\\dl\\"},
      {"Label9", "TEMP: \r\nC:\\users\\a\\Temp"},
      {"Label17", "Desktop: \r\nC:\\users\\a\\Desktop"},
      {"Label18", "PublicDesktop: \r\nC:\\users\\Public\\Desktop"},
  };
  const auto labels = EnvironmentLabels(env);
  ASSERT_EQ(labels.size(), expected.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    EXPECT_EQ(labels[i].control, expected[i].first);
    EXPECT_EQ(labels[i].text, expected[i].second);
  }
  EXPECT_EQ(EnvironmentLabels(EnvironmentValues{})[4].text, "TEMP: \r\n");
  EXPECT_EQ(SilentModeText(true), "true");
  EXPECT_EQ(SilentModeText(false), "false");
}

TEST(ProxySettings, SaveStoresOnlyTheDialogsThreeFields) {
  TProxyRecord record;
  record.ProxyAutoDetect = true;
  record.ProxyServer = "proxy.example";
  record.ProxyPort = "3128";
  record.ProxyUsername = "manual";
  record.ProxyPassword = "manual-pw";

  ProxyDialogValues shown = ProxyDialogValuesOf(record);
  EXPECT_TRUE(shown.autoDetect);
  EXPECT_EQ(shown.username, "");
  EXPECT_EQ(shown.password, "");

  StoreProxyDialogValues({false, "user", "p\"w d"}, record);
  EXPECT_FALSE(record.ProxyAutoDetect);
  EXPECT_EQ(record.ProxyAutoDetectUsername, "user");
  EXPECT_EQ(record.ProxyAutoDetectPassword, "p\"w d");
  // The manual proxy belongs to the debug window, not to this dialog.
  EXPECT_EQ(record.ProxyServer, "proxy.example");
  EXPECT_EQ(record.ProxyPort, "3128");
  EXPECT_EQ(record.ProxyUsername, "manual");
  EXPECT_EQ(record.ProxyPassword, "manual-pw");

  shown = ProxyDialogValuesOf(record);
  EXPECT_FALSE(shown.autoDetect);
  EXPECT_EQ(shown.username, "user");
  EXPECT_EQ(shown.password, "p\"w d");
}

}  // namespace

// Registry records written through the real registry and read back with the Windows API,
// in the program's 32-bit view and in the 64-bit view.
#include <gtest/gtest.h>

#include "state/state.h"
#include "install/files.h"
#include "install/registry_records.h"
#include "install/uninstall_command.h"
#include "install_records/win_fixture.h"

namespace {

const std::string kUninstallParent64 =
    "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class RegistryRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    // Wine redirects every later HKCU\Software read of a 32-bit program once
    // HKCU\Software\Wow6432Node exists; Windows does not. Leave the hive as it was found.
    hadUserWow64Node_ = KeyExists(HKEY_CURRENT_USER, "Software\\Wow6432Node", kView64);
    provider_ = "Records Test " + RunTag();
    InstallRec.Provider = provider_;
    InstallRec.Producer = "Palvoro";
  }
  void TearDown() override {
    DeleteTree(HKEY_CURRENT_USER, "Software\\" + provider_, kView64);
    DeleteTree(HKEY_CURRENT_USER, "Software\\" + provider_, kView32);
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\" + provider_, kView32);
    for (const auto& name : entries_) {
      DeleteTree(HKEY_LOCAL_MACHINE, kUninstallParent64 + name, kView64);
      DeleteTree(HKEY_CURRENT_USER, kUninstallParent64 + name, kView64);
    }
    if (!hadUserWow64Node_) DeleteTree(HKEY_CURRENT_USER, "Software\\Wow6432Node", kView64);
    ResetSetupState();
  }
  std::string Entry(const std::string& base) {
    entries_.push_back(base + " " + RunTag());
    return entries_.back();
  }

  bool hadUserWow64Node_ = false;
  std::string provider_;
  std::vector<std::string> entries_;
};

TEST_F(RegistryRecords, OptionsKeyStoresScrambledCredentialsAndBranchOnlyWhenNotStable) {
  struct Case {
    const char* branch;
    const char* username;
    const char* password;
    std::optional<std::string> storedBranch;
  };
  // Runs in order on the same key: "stable" after "unstable" removes the stored branch.
  const Case cases[] = {
      {"unstable", "alice@example.com", "s3cret", std::string("unstable")},
      {"stable", "bob", "", std::nullopt},
      {"beta", "carol", "x", std::string("beta")},
      {"stable", "d\xC3\xA4niel", "p\xE2\x82\xAC", std::nullopt},
  };
  const std::string path = "Software\\" + provider_ + "\\Palvoro\\options";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.branch);
    Branch = c.branch;
    InstallRec.Username = c.username;
    InstallRec.Password = c.password;
    InstallRec.Language = "German";
    WriteOptionsKey();
    const REGSAM view = kView64;
    EXPECT_EQ(ReadSz(HKEY_CURRENT_USER, path, "username", view),
              ScrambleCredential(c.username, 27193));
    EXPECT_EQ(ReadSz(HKEY_CURRENT_USER, path, "password", view),
              ScrambleCredential(c.password, 27193));
    EXPECT_EQ(ReadSz(HKEY_CURRENT_USER, path, "language", view), "German");
    EXPECT_EQ(ReadSz(HKEY_CURRENT_USER, path, "partnertag", view), "lumora");
    EXPECT_EQ(ReadSz(HKEY_CURRENT_USER, path, "branch", view), c.storedBranch);
  }
  // The last case: a one-character password is six characters ending in "$00".
  InstallRec.Password = "z";
  WriteOptionsKey();
  auto stored = ReadSz(HKEY_CURRENT_USER, path, "password", kView64);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->size(), 6u);
  EXPECT_EQ(stored->substr(3), "$00");
  // An empty password is an empty value, not a missing one.
  InstallRec.Password.clear();
  WriteOptionsKey();
  EXPECT_EQ(ReadSz(HKEY_CURRENT_USER, path, "password", kView64), "");
}

TEST_F(RegistryRecords, OptionsKeyStaysInSoftwareAfterAPerUserEntryOn64BitWindows) {
  // A per-user installation before this one left HKCU\Software\Wow6432Node behind.
  const std::string entry = Entry("Earlier Per-User Install");
  InstallRec.Username = "u";
  ASSERT_TRUE(CreateSoftwareEntryUser(entry, "no Comment", "", "C:\\x\\uninstall.exe", "p", "1", "",
                                      "", entry));
  ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Wow6432Node", kView64));
  WriteOptionsKey();
  const std::string path = "Software\\" + provider_ + "\\Palvoro\\options";
  EXPECT_EQ(ReadSz(HKEY_CURRENT_USER, path, "username", kView64), ScrambleCredential("u", 27193));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Wow6432Node\\" + provider_, kView64));
  // The lookup finds the entry it wrote.
  EXPECT_EQ(GetSoftwareEntryUser(entry),
            "\"C:\\x\\uninstall.exe\" -uninstall \"\\Software\\" + provider_ + "\\Palvoro\\uninstall\"");
}

TEST_F(RegistryRecords, UninstallKeyHoldsTheNineValuesInTheProgramsView) {
  InstallRec.PrinterName = "Palvoro Fax Printer";
  InstallRec.ApplicationName = "Palvoro Fax";
  InstallRec.InstPath = "C:\\Program Files (x86)\\Palvoro Fax\\Palvoro";
  InstallRec.Users = "me";
  UninstallRec = {"-1", "0", "-1"};
  LogCapture log;
  EXPECT_TRUE(WriteUninstallKey());

  const std::pair<const char*, std::string> expected[] = {
      {"PrinterName", "Palvoro Fax Printer"}, {"ApplicationName", "Palvoro Fax"},
      {"Provider", provider_},                {"Producer", "Palvoro"},
      {"InstPath", InstallRec.InstPath},      {"Users", "me"},
      {"ShortCut", "-1"},                     {"AutoStart", "0"},
      {"StartMenu", "-1"},
  };
  // HKLM\Software of a 32-bit program is the 64-bit view's Software\Wow6432Node.
  const std::string path32 = "Software\\" + provider_ + "\\Palvoro\\uninstall";
  const std::string path64 = IsWow64()
                                 ? "Software\\Wow6432Node\\" + provider_ + "\\Palvoro\\uninstall"
                                 : path32;
  for (const auto& [name, value] : expected) {
    EXPECT_EQ(ReadSz(HKEY_LOCAL_MACHINE, path32, name, kView32), value) << name;
    EXPECT_EQ(ReadSz(HKEY_LOCAL_MACHINE, path64, name, kView64), value) << name;
  }
  EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE, path32, kView32), 9u);
  EXPECT_FALSE(log.Contains("Error creating Registry Key"));
}

TEST_F(RegistryRecords, KeysThatCannotBeCreatedAreLoggedAndNotFatal) {
  // A key name longer than the registry allows cannot be created.
  InstallRec.Producer = std::string(300, 'p');
  LogCapture log;
  EXPECT_TRUE(WriteUninstallKey());
  WriteOptionsKey();
  const auto lines = log.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Error creating Registry Key"), 2);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\" + provider_ + "\\" + InstallRec.Producer, kView32));

  EXPECT_FALSE(CreateSoftwareEntryAll(std::string(300, 'k'), "no Comment", "", "C:\\x\\uninstall.exe",
                                      "p", "1", "", "", "n"));
  EXPECT_EQ(GetSoftwareEntryUser(std::string(300, 'k')), "");
}

TEST_F(RegistryRecords, SoftwareEntryInBothHivesFollowsTheWow6432NodeRule) {
  ASSERT_TRUE(IsWow64()) << "the Wine prefix runs this 32-bit test under WoW64";
  InstallRec.Provider = "Palvoro Fax";  // the entry names the product key; it writes no product key
  struct Case {
    const char* variant;
    HKEY hive;
    bool (*create)(const std::string&, const std::string&, const std::string&, const std::string&,
                   const std::string&, const std::string&, const std::string&, const std::string&,
                   const std::string&);
    std::string (*get)(const std::string&);
  };
  const Case cases[] = {
      {"All", HKEY_LOCAL_MACHINE, CreateSoftwareEntryAll, GetSoftwareEntryAll},
      {"User", HKEY_CURRENT_USER, CreateSoftwareEntryUser, GetSoftwareEntryUser},
  };
  const std::string root = "C:\\Program Files (x86)\\Palvoro Fax\\Palvoro";
  const std::string uninstallString =
      "\"" + root + "\\uninstall.exe\" -uninstall \"\\Software\\Palvoro Fax\\Palvoro\\uninstall\"";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.variant);
    const std::string name = Entry(std::string("Palvoro Fax ") + c.variant);
    {
      LogCapture log;
      EXPECT_TRUE(c.create(name, "no Comment", "", root + "\\uninstall.exe", "Palvoro Fax", "8.1.2",
                           "", "", name));
      const std::vector<std::string> expectedLog = {
          std::string("start CreateSoftwareEntry") + c.variant,
          "BitKey: \\" + kUninstallParent64, "write regkeys",
          std::string("end CreateSoftwareEntry") + c.variant + " -1"};
      EXPECT_EQ(log.Lines(), expectedLog);
    }
    // Read in the 64-bit view at the literal Wow6432Node path.
    const std::string path = kUninstallParent64 + name;
    const std::pair<const char*, std::string> values[] = {
        {"Comments", "no Comment"}, {"Contact", ""},          {"DisplayIcon", ""},
        {"DisplayName", name},      {"DisplayVersion", "8.1.2"}, {"HelpLink", ""},
        {"Publisher", "Palvoro Fax"}, {"UninstallString", uninstallString},
    };
    for (const auto& [value, text] : values)
      EXPECT_EQ(ReadSz(c.hive, path, value, kView64), text) << value;
    EXPECT_EQ(ValueCount(c.hive, path, kView64), 8u);
    if (c.hive == HKEY_LOCAL_MACHINE) {
      // The program's own view sees the same key under the plain path.
      EXPECT_EQ(ReadSz(c.hive, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name,
                       "UninstallString", kView32),
                uninstallString);
    }

    LogCapture log;
    EXPECT_EQ(c.get(name), uninstallString);
    const std::vector<std::string> expectedLog = {
        std::string("start GetSoftwareEntry") + c.variant, "BitKey: \\" + kUninstallParent64,
        "AppName: " + name, "read regkey",
        std::string("end GetSoftwareEntry") + c.variant + " " + uninstallString};
    EXPECT_EQ(log.Lines(), expectedLog);
    EXPECT_EQ(InstallRootOfUninstallCommand(uninstallString), root);
  }
}

TEST_F(RegistryRecords, LookupOfAMissingEntryIsEmptyAndLeavesAnEmptyKey) {
  for (auto [variant, hive, get] :
       {std::tuple{"User", HKEY_CURRENT_USER, &GetSoftwareEntryUser},
        std::tuple{"All", HKEY_LOCAL_MACHINE, &GetSoftwareEntryAll}}) {
    SCOPED_TRACE(variant);
    const std::string name = Entry(std::string("Never Installed ") + variant);
    LogCapture log;
    EXPECT_EQ(get(name), "");
    const std::vector<std::string> expectedLog = {
        std::string("start GetSoftwareEntry") + variant, "BitKey: \\" + kUninstallParent64,
        "AppName: " + name, "read regkey", "key doesnt exist.",
        std::string("end GetSoftwareEntry") + variant + " "};
    EXPECT_EQ(log.Lines(), expectedLog);
    EXPECT_TRUE(KeyExists(hive, kUninstallParent64 + name, kView64));
    EXPECT_EQ(ValueCount(hive, kUninstallParent64 + name, kView64), 0u);
  }
}

}  // namespace

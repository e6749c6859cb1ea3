#include <gtest/gtest.h>

#include "state/state.h"
#include "lang/language.h"
#include "workers/silent_parameters.h"

namespace {

struct ParamCase {
  const char* name;
  std::string path, language, users;
  bool folderOk;
  bool result;
  std::string wantPath, wantLanguage, wantUsers;
};

class SilentParameters : public ::testing::TestWithParam<ParamCase> {};

TEST_P(SilentParameters, CompletesAndChecks) {
  const ParamCase& c = GetParam();
  ResetSetupState();
  ProgramFilesDir = "C:\\Program Files (x86)";
  LanguageName = "German";
  InstallRec.InstPath = c.path;
  InstallRec.Language = c.language;
  InstallRec.Users = c.users;
  std::string tested;
  const bool ok = CheckSilentParameters([&](const std::string& f) {
    tested = f;
    return c.folderOk;
  });
  EXPECT_EQ(ok, c.result);
  EXPECT_EQ(InstallRec.Provider, "Palvoro Fax");
  EXPECT_EQ(InstallRec.Producer, "Palvoro");
  EXPECT_EQ(tested, c.path);  // the given folder itself is tested, never the default
  if (ok) {
    EXPECT_EQ(InstallRec.InstPath, c.wantPath);
    EXPECT_EQ(InstallRec.Language, c.wantLanguage);
    EXPECT_EQ(InstallRec.Users, c.wantUsers);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SilentParameters,
    ::testing::Values(
        ParamCase{"Defaults", "", "", "", true, true, "C:\\Program Files (x86)\\Palvoro Fax\\Palvoro", "German", "all"},
        ParamCase{"GivenPath", "D:\\Apps", "englisch", "me", true, true, "D:\\Apps\\Palvoro Fax\\Palvoro", "English", "me"},
        ParamCase{"TrailingBackslash", "D:\\Apps\\", "", "", true, true, "D:\\Apps\\Palvoro Fax\\Palvoro", "German", "all"},
        ParamCase{"GermanNames", "", "german", "", true, true, "C:\\Program Files (x86)\\Palvoro Fax\\Palvoro", "Deutsch", "all"},
        ParamCase{"OtherLanguageAsGiven", "", "French", "everyone", true, true, "C:\\Program Files (x86)\\Palvoro Fax\\Palvoro", "French", "everyone"},
        ParamCase{"FolderNotWritable", "Q:\\nope", "", "", false, false, "", "", ""}),
    [](const ::testing::TestParamInfo<ParamCase>& i) { return std::string(i.param.name); });

TEST(SilentParameters, RelativeOrDevicePathIsRefusedWithoutCreatingAnything) {
  for (const char* path : {"relapps", "apps\\x", "\\apps", "D:apps", "\\\\?\\C:\\apps"}) {
    ResetSetupState();
    ProgramFilesDir = "C:\\Program Files (x86)";
    InstallRec.InstPath = path;
    bool tested = false;
    EXPECT_FALSE(CheckSilentParameters([&](const std::string&) { return tested = true; })) << path;
    EXPECT_FALSE(tested) << path;
  }
}

}  // namespace

#include "workers/silent_params.h"

#include <gtest/gtest.h>

namespace {

TEST(SilentParams, DownloadNamesMustStayInTheDownloadArea) {
  for (const char* ok : {"orfeda_release.zip", "partner kqx.zip", "a.b.c.zip", "noext", "x&y.zip"})
    EXPECT_TRUE(silent::IsSafeDownloadName(ok)) << ok;
  for (const char* bad : {"", ".", "..", "..\\evil.zip", "../evil.zip", "sub/a.zip", "sub\\a.zip",
                          "C:evil.zip", "C:\\x.zip", ".zip", "a.zip.", "a.zip ", "a\tb.zip",
                          "a?.zip", "a*.zip", "a|b.zip", "a\"b.zip", "a<b>.zip"})
    EXPECT_FALSE(silent::IsSafeDownloadName(bad)) << bad;
  EXPECT_FALSE(silent::IsSafeDownloadName(std::string(201, 'a')));
}

TEST(SilentParams, ArchiveFolderDropsOnlyTheLastExtension) {
  EXPECT_EQ(silent::ArchiveFolderName("release.zip"), "release");
  EXPECT_EQ(silent::ArchiveFolderName("release.1.2.zip"), "release.1.2");
  EXPECT_EQ(silent::ArchiveFolderName("release"), "release");
}

TEST(SilentParams, OnlyDriveAndUncPathsAreAbsolute) {
  for (const char* ok : {"C:\\", "d:\\Apps", "D:\\Apps\\", "\\\\server\\share",
                         "\\\\server\\share\\Apps"})
    EXPECT_TRUE(silent::IsAbsolutePath(ok)) << ok;
  for (const char* bad : {"", "relapps", "apps\\x", ".\\apps", "..\\apps", "\\apps", "/apps",
                          "C:", "C:apps", "C:/apps", "1:\\apps", "\\\\", "\\\\server",
                          "\\\\server\\", "\\\\\\share", "\\\\?\\C:\\apps", "\\\\.\\C:\\apps"})
    EXPECT_FALSE(silent::IsAbsolutePath(bad)) << bad;
}

TEST(SilentParams, InsideFolderComparesWholeNamesWithoutCase) {
  const std::string pf = "C:\\Program Files (x86)";
  EXPECT_TRUE(silent::IsInsideFolder(pf, pf));
  EXPECT_TRUE(silent::IsInsideFolder("c:\\program files (X86)\\Palvoro Fax\\Palvoro", pf));
  EXPECT_TRUE(silent::IsInsideFolder(pf + "\\x", pf + "\\"));
  EXPECT_FALSE(silent::IsInsideFolder("C:\\Program Files (x86)2\\x", pf));
  EXPECT_FALSE(silent::IsInsideFolder("C:\\Program Files\\x", pf));
  EXPECT_FALSE(silent::IsInsideFolder("D:\\Apps", ""));
}

TEST(SilentParams, ExitCodes) {
  EXPECT_EQ(silent::ExitCodeFor(silent::Outcome::Done), 0);
  EXPECT_EQ(silent::ExitCodeFor(silent::Outcome::RestartRequired), 3010);
  EXPECT_EQ(silent::ExitCodeFor(silent::Outcome::Failed), 1603);
}

}  // namespace

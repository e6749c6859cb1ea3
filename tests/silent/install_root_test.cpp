#include "workers/install_root.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(InstallRoot, OnlyDriveAndUncPathsAreAbsolute) {
  for (const char* ok : {"C:\\", "d:\\Apps", "D:\\Apps\\", "\\\\server\\share",
                         "\\\\server\\share\\Apps"})
    EXPECT_TRUE(silent::IsAbsolutePath(ok)) << ok;
  for (const char* bad : {"", "relapps", "apps\\x", ".\\apps", "..\\apps", "\\apps", "/apps",
                          "C:", "C:apps", "C:/apps", "1:\\apps", "\\\\", "\\\\server",
                          "\\\\server\\", "\\\\\\share", "\\\\?\\C:\\apps", "\\\\.\\C:\\apps"})
    EXPECT_FALSE(silent::IsAbsolutePath(bad)) << bad;
}

TEST(InstallRoot, InsideFolderComparesWholeNamesWithoutCase) {
  const std::string pf = "C:\\Program Files (x86)";
  EXPECT_TRUE(silent::IsInsideFolder(pf, pf));
  EXPECT_TRUE(silent::IsInsideFolder("c:\\program files (X86)\\Palvoro Fax\\Palvoro", pf));
  EXPECT_TRUE(silent::IsInsideFolder(pf + "\\x", pf + "\\"));
  EXPECT_FALSE(silent::IsInsideFolder("C:\\Program Files (x86)2\\x", pf));
  EXPECT_FALSE(silent::IsInsideFolder("C:\\Program Files\\x", pf));
  EXPECT_FALSE(silent::IsInsideFolder("D:\\Apps", ""));
}

}  // namespace

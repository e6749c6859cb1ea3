// Folders created with the access rules of Program Files, read back from the file system.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/file_system.h"
#include "base/win_text.h"
#include "install/files.h"
#include "install/folder_security.h"
#include "test_support.h"

namespace {

TEST(ForceProtectedDirectories, EveryCreatedFolderGetsTheRulesOfProgramFiles) {
  ScratchFolder dir;
  const std::string expected = ReferenceDacl(
      dir / "reference", L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)");
  ASSERT_TRUE(ForceDirectories(dir / "plain"));
  const std::string plain = DaclText(dir / "plain");
  ASSERT_NE(expected, plain) << "the file system keeps no difference to test";

  ASSERT_TRUE(ForceDirectories(dir / "given"));  // exists before: stays as it is
  EXPECT_TRUE(ForceProtectedDirectories(dir / "given\\Palvoro Fax\\Palvoro\\"));
  EXPECT_EQ(DaclText(dir / "given\\Palvoro Fax"), expected);
  EXPECT_EQ(DaclText(dir / "given\\Palvoro Fax\\Palvoro"), expected);
  EXPECT_EQ(DaclText(dir / "given"), plain);

  EXPECT_TRUE(ForceProtectedDirectories(dir / "given\\Palvoro Fax\\Palvoro"));  // exists now
  EXPECT_FALSE(ForceProtectedDirectories("Q:\\no\\such\\drive"));
  EXPECT_FALSE(ForceProtectedDirectories(""));
}

}  // namespace

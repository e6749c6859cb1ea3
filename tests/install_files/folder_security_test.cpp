// Folders created with the access rules of Program Files, read back from the file system.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "base/file_system.h"
#include "base/win_text.h"
#include "install/files.h"
#include "install/folder_security.h"
#include "test_support.h"

namespace {

// The folder's DACL as SDDL text, as an administrator's tools show it.
std::string DaclText(const std::string& path) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoW(Widen(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
    return "(unreadable)";
  LPWSTR sddl = nullptr;
  std::string result = "(unconvertible)";
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1,
                                                           DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
    result = Narrow(sddl);
    LocalFree(sddl);
  }
  LocalFree(sd);
  return result;
}

// A folder made directly with the given rules: what the file system keeps of them. Wine
// keeps no DACL of a file itself (it maps it to the Unix mode and derives the DACL it reports
// from that), so the folders under test are compared with such a reference, which holds on
// Windows and under Wine alike.
std::string ReferenceDacl(const std::string& path, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr));
  SECURITY_ATTRIBUTES sa{sizeof(sa), sd, FALSE};
  EXPECT_TRUE(CreateDirectoryW(Widen(path).c_str(), &sa));
  LocalFree(sd);
  return DaclText(path);
}

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

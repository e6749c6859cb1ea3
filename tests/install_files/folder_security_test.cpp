// Folders created with the access rules of Program Files, read back from the file system.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/handles.h"
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

// The download area's rules as the program builds them: Wine keeps no owner or DACL of a file,
// so what can be checked there is the descriptor itself and what the file system keeps of it.
TEST(CreateFreshProtectedFolder, TheDownloadAreasRulesAreAdministratorsAndSystemOnly) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(kStagingSddl, SDDL_REVISION_1, &sd, nullptr));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);  // nothing inherited from TEMP

  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(sd, &owner, &defaulted));
  ASSERT_NE(owner, nullptr);
  EXPECT_TRUE(IsWellKnownSid(owner, WinBuiltinAdministratorsSid));

  BOOL present = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl);
  ASSERT_EQ(dacl->AceCount, 2);
  const WELL_KNOWN_SID_TYPE wanted[] = {WinBuiltinAdministratorsSid, WinLocalSystemSid};
  for (WORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_EQ(ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
              OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_TRUE(IsWellKnownSid(&ace->SidStart, wanted[i])) << i;  // no user, no Users group
  }
  LocalFree(sd);
}

TEST(CreateFreshProtectedFolder, WhateverWasThereIsRemovedAndTheNewFolderIsHeld) {
  ScratchFolder dir;
  const std::string expected = ReferenceDacl(dir / "reference", kStagingSddl);

  // An earlier run's folder with content, and a file in the folder's place.
  const std::string area = dir / "Orfeda";
  ASSERT_TRUE(ForceDirectories(area + "\\orfeda_release\\files"));
  WriteFileBytes(area + "\\orfeda_release\\files\\planted.dll", "planted");
  WriteFileBytes(area + "\\planted.txt", "planted");
  SetFileAttributesW(Widen(area + "\\planted.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  const std::string asFile = dir / "AsFile";
  WriteFileBytes(asFile, "planted");

  for (const std::string& path : {area, asFile}) {
    UniqueFile held = CreateFreshProtectedFolder(path, kStagingSddl);
    ASSERT_TRUE(held) << path;
    EXPECT_TRUE(DirectoryExists(path)) << path;
    EXPECT_FALSE(PathExists(path + "\\planted.txt")) << path;
    EXPECT_FALSE(PathExists(path + "\\orfeda_release")) << path;
    EXPECT_EQ(DaclText(path), expected) << path;
    // Files can be made inside; the folder itself can be neither renamed nor removed.
    WriteFileBytes(path + "\\inside.txt", "x");
    EXPECT_EQ(ReadFileBytes(path + "\\inside.txt"), "x");
    EXPECT_FALSE(MoveFileW(Widen(path).c_str(), Widen(path + "-moved").c_str())) << path;
    EXPECT_FALSE(RemoveDirectoryW(Widen(path).c_str())) << path;
    held.reset();
    EXPECT_TRUE(MoveFileW(Widen(path).c_str(), Widen(path + "-moved").c_str())) << path;
  }

  // Its parent must exist; the reason is given.
  try {
    CreateFreshProtectedFolder(dir / "missing\\Orfeda", kStagingSddl);
    ADD_FAILURE() << "created below a missing folder";
  } catch (const EOSError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot create the folder"), std::string::npos) << e.what();
  }
  EXPECT_EQ(FindReparsePoint(dir / "Orfeda-moved\\inside.txt"), "");
  EXPECT_EQ(FindReparsePoint("Q:\\no\\such\\drive"), "");
}

}  // namespace

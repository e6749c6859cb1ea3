#include <gtest/gtest.h>

#include "state/state.h"
#include "install/config_files.h"
#include "install/registry_records.h"
#include "install/uninstall_command.h"

namespace {

struct ScrambleCase {
  const char* input;  // UTF-8
  uint16_t key;
  const char* expected;
};

// Worked out by hand from the algorithm: r = low byte XOR (K >> 8), then
// K = ((K + r) * 38461 + 21187) mod 65536. With K = 27193, K >> 8 = 0x6A; for "ab" the
// second key is (27204 * 38461 + 21187) mod 65536 = 31991, 31991 >> 8 = 0x7C.
const ScrambleCase kCases[] = {
    {"", 27193, ""},
    {"a", 27193, "$0B$00"},                       // 0x61 ^ 0x6A
    {"A", 27193, "$2B$00"},                       // 0x41 ^ 0x6A
    {"ab", 27193, "$0B$00$1E$00"},                // 0x62 ^ 0x7C
    {"abc", 0, "$61$00$5D$00$3C$00"},             // K=0: first byte passes unchanged
    {"abc", 65535, "$9E$00$14$00$63$00"},         // key wraps at 16 bits
    {"secret", 27193, "$19$00$D1$00$6D$00$2C$00$D5$00$EC$00"},
    {"p@ss w0rd", 27193, "$1A$00$0A$00$A3$00$D4$00$26$00$7E$00$A8$00$28$00$F8$00"},
    {"\xC3\xA4", 27193, "$8E$00"},                // U+00E4: 0xE4 ^ 0x6A
    {"\xC2\xAC", 27193, "$C6$00"},                // U+00AC
    {"\xE2\x82\xAC", 27193, "$C6$00"},            // U+20AC: only its low byte 0xAC counts
    {"\xC4\x80", 27193, "$6A$00"},                // U+0100: low byte 0
    {"\xC3\x84\xE2\x82\xAC", 27193, "$AE$00$89$00"},
    {"\xF0\x9F\x98\x80", 27193, "$57$00$17$00"},  // U+1F600: two UTF-16 units
};

TEST(ScrambleCredential, KnownInputsAndOutputs) {
  for (const auto& c : kCases) {
    EXPECT_EQ(ScrambleCredential(c.input, c.key), c.expected) << "input '" << c.input << "' key " << c.key;
  }
}

TEST(ScrambleCredential, SixCharactersPerInputCharacter) {
  const std::string out = ScrambleCredential("x", kCredentialKey);
  ASSERT_EQ(out.size(), 6u);
  EXPECT_EQ(out.substr(3), "$00");
  EXPECT_EQ(ScrambleCredential(std::string(200, 'z'), kCredentialKey).size(), 1200u);
}

TEST(ScrambleCredential, MalformedUtf8NeverReadsPastTheEnd) {
  // Truncated and stray continuation bytes each stand for one replacement character.
  for (const char* bad : {"\xC3", "\xE2\x82", "\x80", "a\xF0\x9F"}) {
    const std::string out = ScrambleCredential(bad, kCredentialKey);
    EXPECT_FALSE(out.empty());
    EXPECT_EQ(out.size() % 6, 0u);
  }
}

TEST(RecordTexts, KeyPathsAndUpdaterValue) {
  ResetSetupState();
  InstallRec.Provider = "Palvoro Fax";
  InstallRec.Producer = "Palvoro";
  EXPECT_EQ(ProductKeyPath(), "\\Software\\Palvoro Fax\\Palvoro");
  EXPECT_EQ(UninstallParentPath(true),
            "\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
  EXPECT_EQ(UninstallParentPath(false), "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");

  TempDir = "C:\\T";
  EXPECT_EQ(UpdaterIniValue(), "'C:\\T\\Palvoro Fax\\Palvoro\\updater.ini'");
  InstallRec.Provider = "O'Brien's Fax";
  TempDir = "C:\\Users\\d'Arcy\\Temp";
  EXPECT_EQ(UpdaterIniValue(), "'C:\\Users\\d''Arcy\\Temp\\O''Brien''s Fax\\Palvoro\\updater.ini'");
  ResetSetupState();
}

}  // namespace

namespace {

struct UninstallCommandCase {
  const char* name;
  const char* command;
  const char* root;
};

const UninstallCommandCase kUninstallCommands[] = {
    {"quoted, as written now",
     "\"C:\\Program Files (x86)\\Palvoro Fax\\Palvoro\\uninstall.exe\" -uninstall "
     "\"\\Software\\Palvoro Fax\\Palvoro\\uninstall\"",
     "C:\\Program Files (x86)\\Palvoro Fax\\Palvoro"},
    {"unquoted, written by earlier versions",
     "C:\\Program Files (x86)\\Palvoro Fax\\Palvoro\\uninstall.exe -uninstall "
     "\"\\Software\\Palvoro Fax\\Palvoro\\uninstall\"",
     "C:\\Program Files (x86)\\Palvoro Fax\\Palvoro"},
    {"quoted, key path holding -uninstall",
     "\"D:\\Apps\\Fax\\uninstall.exe\" -uninstall \"\\Software\\A-uninstall\\B\\uninstall\"",
     "D:\\Apps\\Fax"},
    {"unquoted, key path holding -uninstall",
     "D:\\Apps\\Fax\\uninstall.exe -uninstall \"\\Software\\A-uninstall\\B\\uninstall\"",
     "D:\\Apps\\Fax"},
    {"quoted, install root holding -uninstall", "\"D:\\x-uninstall\\uninstall.exe\" -uninstall \"k\"",
     "D:\\x-uninstall"},
    {"long root",
     "\"C:\\A very long folder name\\with many parts\\and blanks in it\\and more\\Palvoro "
     "Fax\\Palvoro\\uninstall.exe\" -uninstall \"\\Software\\Palvoro Fax\\Palvoro\\uninstall\"",
     "C:\\A very long folder name\\with many parts\\and blanks in it\\and more\\Palvoro "
     "Fax\\Palvoro"},
    {"UNC root", "\"\\\\srv\\share\\Fax\\uninstall.exe\" -uninstall \"k\"", "\\\\srv\\share\\Fax"},
    {"no -uninstall: the whole command is the program", "C:\\Fax\\uninstall.exe", "C:\\Fax"},
    {"leading blanks", "  \"C:\\Fax\\uninstall.exe\" -uninstall \"k\"", "C:\\Fax"},
    {"quote never closed", "\"C:\\Fax\\uninstall.exe -uninstall", "C:\\Fax"},
    {"no folder", "uninstall.exe -uninstall \"k\"", ""},
    {"empty", "", ""},
    {"blanks only", "   ", ""},
};

TEST(UninstallCommand, InstallRootIsReadFromQuotedAndUnquotedCommands) {
  for (const auto& c : kUninstallCommands) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(InstallRootOfUninstallCommand(c.command), c.root);
  }
}

TEST(UninstallCommand, ProgramPathIsQuotedAndReadsBackAsTheRoot) {
  const std::string root = "C:\\Program Files (x86)\\Palvoro Fax\\Palvoro";
  const std::string command =
      UninstallCommand(root + "\\uninstall.exe", "\\Software\\Palvoro Fax\\Palvoro");
  EXPECT_EQ(command, "\"" + root + "\\uninstall.exe\" -uninstall \"\\Software\\Palvoro Fax\\Palvoro\\uninstall\"");
  EXPECT_EQ(InstallRootOfUninstallCommand(command), root);
}

}  // namespace

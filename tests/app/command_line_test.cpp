#include <gtest/gtest.h>

#include "base/lifecycle.h"
#include "app/command_line.h"
#include "state/state.h"
#include "app/time_stamp.h"
#include "base/text.h"

namespace {

// Records what reading the command line showed and asked for.
class RecordingUi : public TCommandLineUi {
 public:
  std::string Lower(const std::string& s) override { return text::ToLower(s); }
  void ShowMessage(const std::string& t) override { messages.push_back(t); }
  std::string AskDebugPassword() override {
    ++dialogs;
    return dialogAnswer;
  }
  void RequestProgramEnd(int code) override { ends.push_back(code); }
  std::string Title() override { return "setup"; }
  std::string AppVersion() override { return "1.1.2.0"; }

  std::vector<std::string> messages;
  std::vector<int> ends;
  int dialogs = 0;
  std::string dialogAnswer;
};

std::vector<std::string> Argv(std::initializer_list<std::string> args) {
  std::vector<std::string> v{"setup.exe"};
  v.insert(v.end(), args);
  return v;
}

struct Case {
  const char* name;
  std::vector<std::string> args;
  std::string branch, version, partnerVersion;
  bool silent, debug;
  std::string username, password, path, language, users;
  int messages, dialogs;
  bool helpShown;
};

class CommandLine : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { ResetSetupState(); }
};

TEST_P(CommandLine, SetsStateAndShowsMessages) {
  const Case& c = GetParam();
  RecordingUi ui;
  std::vector<std::string> argv{"setup.exe"};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  ParseArguments(argv, ui);
  EXPECT_EQ(Branch, c.branch);
  EXPECT_EQ(InstallRec.Version, c.version);
  EXPECT_EQ(InstallRec.PartnerVersion, c.partnerVersion);
  EXPECT_EQ(SilentMode, c.silent);
  EXPECT_EQ(DebugMode, c.debug);
  EXPECT_EQ(InstallRec.Username, c.username);
  EXPECT_EQ(InstallRec.Password, c.password);
  EXPECT_EQ(InstallRec.InstPath, c.path);
  EXPECT_EQ(InstallRec.Language, c.language);
  EXPECT_EQ(InstallRec.Users, c.users);
  EXPECT_EQ(static_cast<int>(ui.messages.size()), c.messages);
  EXPECT_EQ(ui.dialogs, c.dialogs);
  const bool help = !ui.ends.empty() && ui.ends[0] == kExitUnknownArgument;
  EXPECT_EQ(help, c.helpShown);
}

// name, args, branch, version, partnerVersion, silent, debug, username, password, path,
// language, users, messages, dialogs, help
INSTANTIATE_TEST_SUITE_P(
    Table, CommandLine,
    ::testing::Values(
        Case{"Empty", {}, "stable", "", "", false, false, "", "", "", "", "", 0, 0, false},
        Case{"BranchKeepsCase", {"-branch", "Unstable"}, "Unstable", "", "", false, false, "", "", "", "", "", 0, 0, false},
        Case{"UpperCaseOption", {"-BRANCH", "x", "-Version", "2.0"}, "x", "2.0", "", false, false, "", "", "", "", "", 0, 0, false},
        Case{"ValueStartingWithDashIsOption", {"-version", "-partnerversion", "7"}, "stable", "", "7", false, false, "", "", "", "", "", 0, 0, false},
        Case{"OptionAtEndHasNoEffect", {"-branch"}, "stable", "", "", false, false, "", "", "", "", "", 0, 0, false},
        Case{"DebugRightPassword", {"-debug", "zorqin"}, "stable", "", "", false, true, "", "", "", "", "", 0, 0, false},
        Case{"DebugWrongCase", {"-debug", "ZORQIN"}, "stable", "", "", false, false, "", "", "", "", "", 1, 0, false},
        Case{"DebugThenSilentOpensDialog", {"-debug", "-silent"}, "stable", "", "", true, false, "", "", "", "", "", 1, 1, false},
        Case{"LogwinWordIsUnknown", {"-logwin", "word"}, "stable", "", "", false, false, "", "", "", "", "", 1, 0, true},
        Case{"ShutdownSkipsNext", {"-shutdown", "-silent"}, "stable", "", "", false, false, "", "", "", "", "", 0, 0, false},
        Case{"AppversionSkipsSilent", {"-appversion", "-silent"}, "stable", "", "", false, false, "", "", "", "", "", 0, 0, false},
        Case{"UnknownShowsHelpAndGoesOn", {"-bogus", "-branch", "b"}, "b", "", "", false, false, "", "", "", "", "", 1, 0, true},
        Case{"SilentSubOptions", {"-SILENT", "/username", "u", "/password", "p", "/path", "C:\\x", "/language", "German", "/users", "me"},
             "stable", "", "", true, false, "u", "p", "C:\\x", "German", "me", 0, 0, false},
        Case{"SubOptionsAnyOrder", {"-silent", "/user", "me", "/path", "D:\\Apps"}, "stable", "", "", true, false, "", "", "D:\\Apps", "", "me", 0, 0, false},
        Case{"SubOptionNameAsValue", {"-silent", "/username", "/password", "pw"}, "stable", "", "", true, false, "/password", "pw", "", "", "", 0, 0, false},
        Case{"SubOptionNamesAreCaseSensitive", {"-silent", "/Username", "u"}, "stable", "", "", true, false, "", "", "", "", "", 0, 0, false},
        Case{"InstallIsNoSubOption", {"-silent", "/install", "C:\\y", "/user", "me"}, "stable", "", "", true, false, "", "", "", "", "me", 0, 0, false},
        Case{"SubOptionAtEndIsEmpty", {"-silent", "/branch"}, "", "", "", true, false, "", "", "", "", "", 0, 0, false},
        Case{"DashEndsSubOptions", {"-silent", "/user", "me", "-branch", "b"}, "b", "", "", true, false, "", "", "", "", "me", 0, 0, false},
        Case{"OptionRightAfterSilentIsRead", {"-silent", "-branch", "b"}, "b", "", "", true, false, "", "", "", "", "", 0, 0, false},
        Case{"SilentVersions", {"-silent", "/version", "1.2", "/partnerversion", "3"}, "stable", "1.2", "3", true, false, "", "", "", "", "", 0, 0, false}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(CommandLineDialog, EscapeMeansWrongPassword) {
  ResetSetupState();
  RecordingUi ui;
  ParseArguments(Argv({"-debug"}), ui);
  EXPECT_EQ(ui.dialogs, 1);
  EXPECT_FALSE(DebugMode);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "Wrong Debug Password. Debugging disabled.");

  ResetSetupState();
  RecordingUi right;
  right.dialogAnswer = "zorqin";
  ParseArguments(Argv({"-debug"}), right);
  EXPECT_TRUE(DebugMode);
  EXPECT_TRUE(right.messages.empty());
}

TEST(UnattendedRun, SilentAnywhereOnTheCommandLine) {
  RecordingUi ui;
  EXPECT_TRUE(AsksForSilentRun(Argv({"-SILENT", "/username", "u"}), ui));
  EXPECT_TRUE(AsksForSilentRun(Argv({"-bogus", "-silent"}), ui));
  EXPECT_TRUE(AsksForSilentRun(Argv({"-appversion", "-Silent"}), ui));  // the parser skips it
  EXPECT_FALSE(AsksForSilentRun(Argv({}), ui));
  EXPECT_FALSE(AsksForSilentRun(Argv({"-debug", "silent", "/silent", "-silently"}), ui));
  EXPECT_FALSE(AsksForSilentRun({"-silent"}, ui));  // the program's own name is no argument
}

TEST(UnattendedRun, BoxTimeOutCanOnlyBeShortened) {
  EXPECT_EQ(UnattendedBoxTimeout(""), 60000u);
  EXPECT_EQ(UnattendedBoxTimeout("2000"), 2000u);
  EXPECT_EQ(UnattendedBoxTimeout("1"), 1u);
  EXPECT_EQ(UnattendedBoxTimeout("60000"), 60000u);
  for (const char* ignored : {"0", "00000", "60001", "99999", "123456", "-5", "+5", " 20", "1e3", "abc"})
    EXPECT_EQ(UnattendedBoxTimeout(ignored), 60000u) << ignored;
}

TEST(UnattendedRun, DebugPasswordIsNeitherAskedForNorRefusedInABox) {
  struct Case {
    std::vector<std::string> args;
    bool debug;
    std::string refusal;
  } cases[] = {
      {{"-debug", "-silent"}, false, "No debug password dialog in a silent run. Debugging disabled."},
      {{"-silent", "-debug"}, false, "No debug password dialog in a silent run. Debugging disabled."},
      {{"-silent", "-debug", "guess"}, false, "Wrong Debug Password. Debugging disabled."},
      {{"-silent", "-debug", "zorqin"}, true, ""},
  };
  for (const auto& c : cases) {
    ResetSetupState();
    Unattended = true;
    RecordingUi ui;
    ui.dialogAnswer = "zorqin";  // would switch debug mode on if the dialog were shown
    std::vector<std::string> argv{"setup.exe"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ParseArguments(argv, ui);
    const std::string name = ::testing::PrintToString(c.args);
    EXPECT_EQ(ui.dialogs, 0) << name;
    EXPECT_TRUE(ui.messages.empty()) << name;
    EXPECT_EQ(DebugMode, c.debug) << name;
    EXPECT_EQ(DebugModeRefusal, c.refusal) << name;
  }
  ResetSetupState();
}

TEST(HelpText, ExactText) {
  const std::string expected =
      "Parameter \"-Foo\" unknown.\r\n\r\nsetup Help\r\n\r\nPossible Parameter\r\n\r\n"
      "-debug : Start debug mode\r\n\r\n-branch : stable or unstable\r\n\r\n"
      "-logwin : Open logwin on startup\r\n\r\n-shutdown : Force to close app\r\n\r\n"
      "-appversion : Shows app version\r\n\r\n-version: define version to install\r\n\r\n"
      "-partnerversion : define a partnerversion\r\n\r\n"
      "-silent : enter parameter for silent install\r\n"
      "  /install path (if empty then standard path)\r\n"
      "  /language (if empty then system language)\r\n  /users (if empty then: all)\r\n"
      "  /version (if empty then latest will be installed)\r\n"
      "  /partnerversion (if empty then latest will be installed)";
  EXPECT_EQ(HelpText("-Foo", "setup"), expected);
  ResetSetupState();
  RecordingUi ui;
  ParseArguments(Argv({"-Foo"}), ui);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], expected);  // quoted as given, not lower-cased
}

TEST(InstanceOptions, ShutdownAndAppversion) {
  RecordingUi ui;
  HandleInstanceArguments(Argv({"-shutdown", "now", "-appversion", "-silent"}), ui);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0], "shutdown : now");
  EXPECT_EQ(ui.messages[1], "version : 1.1.2.0");
  EXPECT_EQ(ui.ends, std::vector<int>{0});

  RecordingUi last;
  HandleInstanceArguments(Argv({"-shutdown"}), last);
  HandleInstanceArguments(Argv({"-shutdown", "-x"}), last);
  EXPECT_TRUE(last.messages.empty());
  EXPECT_TRUE(last.ends.empty());
}

TEST(StartupTexts, TimeStampAndDefaultTitle) {
  EXPECT_EQ(FormatTimeStamp(2024, 3, 5, 9, 7), "2024-3-5_9-7");
  EXPECT_EQ(FormatTimeStamp(2024, 12, 31, 23, 59), "2024-12-31_23-59");
  EXPECT_EQ(FormatTimeStamp(2024, 1, 1, 0, 0), "2024-1-1_0-0");
  EXPECT_EQ(DefaultTitleFromFileName("C:\\Downloads\\setup.exe"), "setup");
  EXPECT_EQ(DefaultTitleFromFileName("SETUP.EXE"), "Setup");
  EXPECT_EQ(DefaultTitleFromFileName("my.setup.exe"), "my");
}

TEST(EndRequest, FirstExitCodeWins) {
  ResetSetupState();
  ResetEndRequest();
  EXPECT_FALSE(EndRequested());
  RequestProgramEnd(1639);
  RequestProgramEnd(1603);
  RequestProgramEnd();
  EXPECT_TRUE(EndRequested());
  EXPECT_EQ(ProgramExitCode(), 1639);
  ResetEndRequest();
}

}  // namespace

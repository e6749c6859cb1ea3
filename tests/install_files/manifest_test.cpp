// The manifest's components and its scripts: real .bat files started through the shell.
#include <windows.h>

#include <gtest/gtest.h>

#include "state/state.h"
#include "base/errors.h"
#include "base/file_system.h"
#include "install/files.h"
#include "install/manifest.h"
#include "test_support.h"

namespace {

struct StagingFixture : ::testing::Test {
  ScratchFolder dir;
  LogCapture log;
  void SetUp() override {
    ResetSetupState();
    InstallRec.FromDir = dir / "staging";
    InstallRec.InstPath = dir / "Orfeda";  // not created yet, as on a first installation
    ForceDirectories(dir / "staging\\exec");
  }
  void TearDown() override { ResetSetupState(); }
  void Script(const std::string& name, int code) {
    // Each script notes its name and working folder, so order and place show.
    WriteFileBytes(dir / ("staging\\exec\\" + name),
                   "@echo off\r\necho " + name + " %CD%>> \"%~dp0..\\ran.txt\"\r\nexit /b " +
                       std::to_string(code) + "\r\n");
  }
  void Manifest(const std::string& json) { WriteFileBytes(dir / "staging\\setup.json", json); }
  std::string Ran() { return ReadFileBytes(dir / "staging\\ran.txt"); }
};

}  // namespace

using ReadComponentsTest = StagingFixture;

TEST_F(ReadComponentsTest, FillsTheListInManifestOrder) {
  Manifest(R"({"components": {"orfeda": {"Name": "Orfeda", "cmd": "run"},
                              "manual": {},
                              "q": {"Name": "say \"hi\"", "cmd": 42}}})");
  EXPECT_TRUE(ReadComponents(dir / "staging\\setup.json"));
  ASSERT_EQ(ComponentList.size(), 3u);
  EXPECT_EQ(ComponentList[0].component, "orfeda");
  EXPECT_EQ(ComponentList[0].name, "Orfeda");
  EXPECT_EQ(ComponentList[0].cmd, "run");
  EXPECT_EQ(ComponentList[1].component, "manual");
  EXPECT_EQ(ComponentList[1].name, "manual");
  EXPECT_EQ(ComponentList[1].cmd, "");
  EXPECT_EQ(ComponentList[2].name, "say hi");  // the escaped quotes are removed
  EXPECT_EQ(ComponentList[2].cmd, "42");
  EXPECT_TRUE(log.Has("| FileExists ok " + dir / "staging\\setup.json"));

  Manifest(R"({"components": {}})");
  EXPECT_TRUE(ReadComponents(dir / "staging\\setup.json"));
  EXPECT_TRUE(ComponentList.empty());
}

TEST_F(ReadComponentsTest, MissingFileOrMemberLeavesTheListAndBadJsonRaises) {
  ComponentList = {{"keep", "Keep", ""}};
  EXPECT_TRUE(ReadComponents(dir / "nothing.json"));
  EXPECT_TRUE(log.Has("| FileExists NOT ok " + dir / "nothing.json"));
  Manifest(R"({"preexec": []})");
  EXPECT_TRUE(ReadComponents(dir / "staging\\setup.json"));
  ASSERT_EQ(ComponentList.size(), 1u);
  EXPECT_EQ(ComponentList[0].component, "keep");
  Manifest(R"({"components": {"a": )");
  EXPECT_THROW(ReadComponents(dir / "staging\\setup.json"), EJSONError);
  EXPECT_EQ(ComponentList.size(), 1u);
}

TEST_F(ReadComponentsTest, ReadsEveryTextEncoding) {
  // "Fax-Büro" in each encoding the manifest may come in.
  const std::string utf8 = "{\"components\":{\"c\":{\"Name\":\"Fax-B\xC3\xBCro\"}}}";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (unsigned char ch : std::string("{\"components\":{\"c\":{\"Name\":\"Fax-B\xFCro\"}}}")) {
    le += static_cast<char>(ch);
    le += '\0';
    be += '\0';
    be += static_cast<char>(ch);
  }
  const std::string ansi = "{\"components\":{\"c\":{\"Name\":\"Fax-B\xFCro\"}}}";  // code page 1252
  for (const std::string& bytes : {"\xEF\xBB\xBF" + utf8, le, be, ansi}) {
    Manifest(bytes);
    ComponentList.clear();
    ReadComponents(dir / "staging\\setup.json");
    ASSERT_EQ(ComponentList.size(), 1u);
    EXPECT_EQ(ComponentList[0].name, "Fax-B\xC3\xBCro");
  }
}

using ScriptsTest = StagingFixture;

TEST_F(ScriptsTest, RunsAllScriptsInOrderAndReportsAFailure) {
  Script("one.bat", 0);
  Script("two.bat", 1);
  Script("three.bat", 0);
  Manifest(R"({"postexec": ["one.bat", "two.bat", "three.bat"]})");
  ForceDirectories(InstallRec.InstPath);
  EXPECT_FALSE(RunPostExec());
  const std::vector<std::string> expected = {
      "start postexecute",
      "reading file: " + dir / "staging\\setup.json",
      "Execution of postexec script \"one.bat\" succeed.",
      "Execution of postexec script \"two.bat\" failed.",
      "Execution of postexec script \"three.bat\" succeed.",
      "end postexecute"};
  EXPECT_EQ(log.Lines(), expected);
  const std::string root = InstallRec.InstPath;
  EXPECT_EQ(Ran(), "one.bat " + root + "\r\ntwo.bat " + root + "\r\nthree.bat " + root + "\r\n");
}

TEST_F(ScriptsTest, PreexecBeforeTheInstallRootExistsSucceeds) {
  Script("prepare.bat", 0);
  Manifest(R"({"preexec": ["prepare.bat"], "postexec": ["missing.bat"]})");
  EXPECT_TRUE(RunPreExec());
  EXPECT_TRUE(log.Has("Execution of preexec script \"prepare.bat\" succeed."));
  EXPECT_NE(Ran().find("prepare.bat"), std::string::npos);
  EXPECT_FALSE(RunPostExec());  // a script that cannot start counts as failed
  EXPECT_TRUE(log.Has("Execution of postexec script \"missing.bat\" failed."));
}

TEST_F(ScriptsTest, NoListRunsNothingAndNamesLeavingExecAreRefused) {
  Manifest(R"({"components": {}})");
  EXPECT_TRUE(RunPreExec());
  const std::vector<std::string> expected = {"start preexecute",
                                             "reading file: " + dir / "staging\\setup.json",
                                             "end preexecute"};
  EXPECT_EQ(log.Lines(), expected);

  // A script outside the exec folder that must never run.
  WriteFileBytes(dir / "staging\\evil.bat", "@echo off\r\necho evil> \"%~dp0evil.txt\"\r\nexit /b 0\r\n");
  for (const char* name : {"..\\\\evil.bat", "../evil.bat", "C:\\\\evil.bat"}) {
    Manifest(std::string("{\"preexec\": [\"") + name + "\"]}");
    EXPECT_FALSE(RunPreExec()) << name;
  }
  EXPECT_FALSE(PathExists(dir / "staging\\evil.txt"));
}

TEST_F(ScriptsTest, MissingOrInvalidManifestRaises) {
  EXPECT_THROW(RunPreExec(), EInOutError);
  Manifest("not json");
  EXPECT_THROW(RunPostExec(), EJSONError);
}

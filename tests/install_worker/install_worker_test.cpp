// The install page's worker on the real file system, registry and Windows Installer: the
// statuses and log lines of a whole run, the tree it installs, what it records, the
// components it passes over, and the driver packages asking for a restart or failing.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "base/file_system.h"
#include "base/win_text.h"
#include "install/files.h"
#include "lang/language.h"
#include "state/state.h"
#include "test_support.h"
#include "worker_test_support.h"
#include "workers/install_step.h"
#include "workers/install_worker.h"

namespace {

// Every folder and file below `root` with the file's content ("<folder>" for folders).
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> tree;
  const std::filesystem::path base(Widen(root));
  if (!std::filesystem::exists(base)) return tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(base)) {
    const std::string rel = Narrow(entry.path().lexically_relative(base).wstring());
    tree[rel] = entry.is_directory() ? "<folder>" : ReadFileBytes(Narrow(entry.path().wstring()));
  }
  return tree;
}

void WriteFiles(const std::string& folder, const std::map<std::string, std::string>& files) {
  for (const auto& [name, content] : files) {
    const std::string path = folder + "\\" + name;
    ForceDirectories(path.substr(0, path.find_last_of('\\')));
    WriteFileBytes(path, content);
  }
}

// Answers the boxes another program (Windows Installer running a package with someone at the
// screen) shows while it lives, as that person would: OK. Keeps their texts.
class BoxAnswerer {
 public:
  BoxAnswerer() : thread_([this] { Run(); }) {}
  ~BoxAnswerer() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> hold(lock_);
    return texts_;
  }

 private:
  void Run() {
    while (!stop_) {
      EnumWindows(&BoxAnswerer::Visit, reinterpret_cast<LPARAM>(this));
      Sleep(100);
    }
  }
  static BOOL CALLBACK Visit(HWND h, LPARAM self) {
    reinterpret_cast<BoxAnswerer*>(self)->Answer(h);
    return TRUE;
  }
  void Answer(HWND h) {
    wchar_t cls[16] = {};
    GetClassNameW(h, cls, 16);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (wcscmp(cls, L"#32770") != 0 || pid == GetCurrentProcessId() || !IsWindowVisible(h)) return;
    std::lock_guard<std::mutex> hold(lock_);
    if (!answered_.insert(h).second) return;
    std::string text;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      wchar_t t[512] = {};
      GetClassNameW(c, cls, 16);
      if (wcscmp(cls, L"Static") == 0 && GetWindowTextW(c, t, 512) > 0) text += Narrow(t);
    }
    texts_.push_back(text);
    PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(h, IDOK)));
  }

  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::set<HWND> answered_;
  std::vector<std::string> texts_;
  std::thread thread_;
};

const std::string kManifest = R"({"components": {"orfeda": {"Name": "Orfeda"}, "manual": {"Name": "Manual"}}})";

class InstallWorker : public ::testing::Test {
 public:
  void SetUp() override {
    ResetSetupState();
    LoadLanguageTextsFor("English", "lumora");
    TempDir = dir_ / "temp";
    ForceDirectories(TempDir);
    staging_ = dir_ / "staging";
    installation_ = std::make_unique<TestInstallation>(dir_.path());
    InstallRec.FromDir = staging_;
    root_ = InstallRec.InstPath;
    WriteFiles(staging_, {{"setup.json", kManifest},
                          {"files\\Orfeda.exe", "exe"},
                          {"files\\doc\\manual.txt", "manual"},
                          {"files\\partner\\version.txt", "1.0.3\r\n"}});
  }
  void TearDown() override {
    installation_.reset();
    ResetSetupState();
  }
  // A driver package of the test's packages as the partner package delivers it.
  void AddDriverPackage(const std::string& package) {
    const std::string source = TestBinaryDir() + "\\msi\\" + package;
    ASSERT_TRUE(FileExists(source)) << "the packages are built by the ctest fixture install_worker_packages";
    const std::string nova = staging_ + "\\files\\partner\\nova";
    ForceDirectories(nova);
    ASSERT_TRUE(CopyFileW(Widen(source).c_str(),
                          Widen(nova + "\\" + PackageFile("novaPDF8PrinterDriver")).c_str(), FALSE));
  }
  static std::string PackageFile(const std::string& base) { return base + (IsWow64() ? "(x64)" : "(x86)") + ".msi"; }

  InstallResult Run(const ComponentChoices& choices = {{"Orfeda", true}, {"Manual", false}}) {
    InstallResult result;
    RunInstallWorker(choices, sink_, result);
    return result;
  }

  ScratchFolder dir_;
  std::unique_ptr<TestInstallation> installation_;
  std::string staging_, root_;
  RecordingSink sink_;
};

TEST_F(InstallWorker, InstallsTheReleaseReportingEveryStep) {
  LogCapture log;
  const InstallResult result = Run();
  EXPECT_FALSE(result.failed);
  EXPECT_FALSE(result.restartRequired);

  const std::vector<std::string> statuses = {
      "pbInstall.Position=10", "pbInstall.Position=20", "lbInstall.Caption=Orfeda", "pbInstall.Position=30",
      "pbInstall.Position=40", "pbInstall.Position=50", "pbInstall.Position=70",
      "lbInstall.Caption=" + InstallRec.PrinterName, "pbInstall.Position=80", "pbInstall.Position=90",
      "lbInstall.Caption=Add program information...", "pbInstall.Position=100", "finish=finish (ready)"};
  EXPECT_EQ(sink_.statuses, statuses);
  EXPECT_TRUE(sink_.messages.empty());

  // The staging folder's files moved into the install root, beside the product's files.
  const std::map<std::string, std::string> tree = Tree(root_);
  for (const auto& [name, content] : std::map<std::string, std::string>{
           {"Orfeda.exe", "exe"}, {"doc\\manual.txt", "manual"}, {"partner\\version.txt", "1.0.3\r\n"}})
    EXPECT_EQ(tree.count(name) ? tree.at(name) : "<missing>", content) << name;
  EXPECT_NE(ReadFileBytes(root_ + "\\Orfeda.ini").find("[details]"), std::string::npos);
  EXPECT_NE(ReadFileBytes(root_ + "\\updater.cfg").find("[updater]"), std::string::npos);
  EXPECT_FALSE(FileExists(staging_ + "\\files\\Orfeda.exe"));

  // The uninstall entry for all users with the installed version, the options key, and the
  // machine's ORFEDAINSTALLPATH.
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, UninstallEntryKey(), "DisplayVersion"), "2.5.0.0");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, UninstallEntryKey(), "Publisher"), InstallRec.Provider);
  EXPECT_NE(RegText(HKEY_LOCAL_MACHINE, UninstallEntryKey(), "UninstallString").find(root_ + "\\uninstall.exe"),
            std::string::npos);
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\" + InstallRec.Provider + "\\Palvoro\\options"));
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager\\Environment",
                    "ORFEDAINSTALLPATH"),
            root_ + "\\Orfeda.exe");

  const std::string nova = root_ + "\\partner\\nova\\";
  const std::string os = IsWow64() ? "OS x64..." : "OS x32...";
  const std::vector<std::string> lines = log.Lines();
  const std::vector<std::string> expected = {
      std::string(59, '-'), "start install", "start preexecute", "end preexecute", "start components",
      "component : Orfeda", "ForceDirectories " + root_ + " ok", "CreateOrfedaini ok", "Createupdatercfg ok",
      "component : Orfeda", "ORFEDAINSTALLPATH : " + root_ + "\\Orfeda.exe", "SetGlobalEnvironment done",
      "start install printer driver...", os, "File not found:" + nova + PackageFile("novaPDF8PrinterDriver"), os,
      "File not found:" + nova + PackageFile("novaPDF8OEM"), "end components", "start postexecute",
      "end postexecute", "Add program information...", "install finished"};
  EXPECT_TRUE(MissingInOrder(lines, expected).empty()) << ::testing::PrintToString(MissingInOrder(lines, expected));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "install finished");
  // Unticked and other components are passed over without a line.
  for (const std::string& line : lines) EXPECT_EQ(line.find("Manual"), std::string::npos) << line;
}

TEST_F(InstallWorker, WithoutTheApplicationTickedNothingIsInstalledAndTheRunFinishes) {
  LogCapture log;
  EXPECT_FALSE(Run({{"Orfeda", false}, {"Manual", true}}).failed);
  EXPECT_TRUE(Tree(root_).empty());
  EXPECT_EQ(sink_.statuses.back(), "finish=finish (ready)");
  const std::vector<std::string> lines = log.Lines();
  const auto start = std::find(lines.begin(), lines.end(), "start components");
  ASSERT_NE(start, lines.end());
  EXPECT_EQ(*(start + 1), "end components");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, UninstallEntryKey(), "DisplayVersion"), "2.5.0.0");
}

TEST_F(InstallWorker, ADriverPackageAskingForARestartCountsAsInstalled) {
  AddDriverPackage("reboot.msi");
  LogCapture log;
  const InstallResult result = Run();
  EXPECT_FALSE(result.failed);
  EXPECT_TRUE(result.restartRequired);
  EXPECT_EQ(sink_.statuses.back(), "finish=finish (ready)");
  const std::string name = PackageFile("novaPDF8PrinterDriver");
  const std::string found = IsWow64() ? "found x64 PrinterDriver..." : "found x32 PrinterDriver...";
  const std::string stem = name.substr(0, name.size() - 4);
  const std::vector<std::string> expected = {found, "Execution of " + stem + " succeed.",
                                             stem + " requires a restart of Windows (exit code *",
                                             "install finished"};
  EXPECT_TRUE(MissingInOrder(log.Lines(), expected).empty())
      << ::testing::PrintToString(MissingInOrder(log.Lines(), expected));
  EXPECT_FALSE(log.Has("Printer not installed!"));
}

// Each failure is logged where it happens, the run goes on to the uninstall entry, and the
// page learns it from the "exit" status, never waiting for a status that does not come.
TEST_F(InstallWorker, FailuresEndWithTheExitStatus) {
  struct Case {
    const char* name;
    std::function<void()> prepare;
    std::vector<std::string> lines;
    bool entryWritten;
  };
  const std::string staging = staging_;
  const Case cases[] = {
      {"driver package refused", [this] { AddDriverPackage("refuse.msi"); },
       {"Execution of *", "Printer not installed!", "end components", "Add program information...",
        "install failed"},
       true},
      {"no files to install",
       [staging] { std::filesystem::remove_all(std::filesystem::path(Widen(staging + "\\files"))); },
       {"copy of files failed with error: *", "end components", "install failed"}, true},
      {"unreadable manifest", [staging] { WriteFileBytes(staging + "\\setup.json", R"({"components": {"orfeda": )"); },
       {"start preexecute", "Exception Error in: TInstallData", "*"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    c.prepare();
    LogCapture log;
    BoxAnswerer user;
    const InstallResult result = Run();
    EXPECT_TRUE(result.failed);
    ASSERT_FALSE(sink_.statuses.empty());
    EXPECT_EQ(sink_.statuses.back(), "exit=exit");
    for (const std::string& s : sink_.statuses) EXPECT_EQ(s.find("finish"), std::string::npos) << s;
    EXPECT_TRUE(MissingInOrder(log.Lines(), c.lines).empty()) << ::testing::PrintToString(log.Lines());
    EXPECT_FALSE(log.Has("install finished"));
    EXPECT_EQ(!RegText(HKEY_LOCAL_MACHINE, UninstallEntryKey(), "DisplayVersion").empty(), c.entryWritten);
    // The refused package told the person at the screen why, through Windows Installer.
    if (std::string(c.name) == "driver package refused") {
      EXPECT_EQ(user.Texts(), std::vector<std::string>{"Refused by its launch condition"});
    }
    sink_.statuses.clear();
  }
}

// The silent install's run of the same step keeps its own lines and reports nothing.
TEST_F(InstallWorker, TheSilentRunOfTheStepLogsItsOwnLines) {
  ComponentList = {{"orfeda", "Orfeda", ""}, {"manual", "Manual", ""}};
  LogCapture log;
  bool restart = false;
  EXPECT_TRUE(InstallComponents(restart));
  EXPECT_FALSE(restart);
  EXPECT_TRUE(FileExists(root_ + "\\Orfeda.exe"));
  const std::vector<std::string> lines = log.Lines();
  const auto start = std::find(lines.begin(), lines.end(), "start components");
  ASSERT_NE(start, lines.end());
  const std::string nova = root_ + "\\partner\\nova\\";
  const std::vector<std::string> expected = {
      "start components", "component : Orfeda", "ForceDirectories " + root_ + " ok", "CreateOrfedaini ok",
      "Createupdatercfg ok", "ORFEDAINSTALLPATH : " + root_ + "\\Orfeda.exe",
      "File not found:" + nova + PackageFile("novaPDF8PrinterDriver"),
      "File not found:" + nova + PackageFile("novaPDF8OEM"), "Install Printer ok", "end components"};
  EXPECT_EQ(std::vector<std::string>(start, start + static_cast<long>(expected.size())), expected);
}

}  // namespace

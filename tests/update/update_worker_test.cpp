// The update on the real file system, registry and ZIP engine: a release replacing an
// installation, the restore rules, and a table of failures after each of which the install
// root must be exactly as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include "base/file_system.h"
#include "base/handles.h"
#include "base/win_text.h"
#include "install/files.h"
#include "install/registry_records.h"
#include "lang/language.h"
#include "state/state.h"
#include "test_support.h"
#include "workers/status_sink.h"
#include "workers/update_worker.h"

namespace {

class RecordingSink : public StatusSink {
 public:
  void Status(const std::string& field, const std::string& value, bool ready) override {
    statuses.push_back(field + "=" + value + (ready ? " (ready)" : ""));
  }
  void Message(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> statuses;
  std::vector<std::string> messages;
};

// Every folder and file below `root` with the file's content, "updater.lock" left out.
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> tree;
  const std::filesystem::path base(Widen(root));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(base)) {
    const std::string rel = Narrow(entry.path().lexically_relative(base).wstring());
    if (rel == "updater.lock") continue;
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

// The entry's displayed version, read in the 64-bit view at the literal path.
std::string DisplayVersion(const std::string& application) {
  const std::wstring key = Widen(UninstallParentPath(IsWow64()).substr(1) + application);
  wchar_t value[64] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DisplayVersion",
                   RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, value, &size) != ERROR_SUCCESS)
    return {};
  return Narrow(value);
}

class Update : public ::testing::Test {
 public:
  void SetUp() override {
    ResetSetupState();
    LoadLanguageTextsFor("English", "lumora");
    root_ = dir_ / "Palvoro Fax\\Palvoro";
    staging_ = dir_ / "staging";
    ForceDirectories(dir_ / "temp");
    WriteFiles(root_, {{"Orfeda.exe", "old exe"},
                       {"Orfeda.ini", "[details]\r\nold=1\r\n"},
                       {"settings.ini", "old settings"},
                       {"profiles\\me\\a.xml", "old profile"},
                       {"data\\db.bin", "old data"},
                       {"version.txt", "2.4.0.0"}});
    ForceDirectories(root_ + "\\empty");
    WriteFiles(staging_, {{"files\\Orfeda.exe", "new exe"},
                          {"files\\settings.ini", "new settings"},
                          {"files\\profiles\\default.xml", "new profile"},
                          {"files\\bin\\new.dll", "new dll"},
                          {"setup.json", "{}"}});
    InstallRec.InstPath = root_;
    InstallRec.FromDir = staging_;
    InstallRec.Version = "2.5.0.0";
    InstallRec.Users = "all";
    InstallRec.Provider = "Palvoro Fax";
    InstallRec.Producer = "Palvoro";
    InstallRec.ApplicationName = "Orfeda update test " + std::to_string(GetCurrentProcessId());
    TempDir = dir_ / "temp";
    before_ = Tree(root_);
  }
  void TearDown() override {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE,
                    Widen(UninstallParentPath(IsWow64()).substr(1) + InstallRec.ApplicationName).c_str(),
                    KEY_WOW64_64KEY, 0);
    ResetSetupState();
  }
  UpdateOutcome Run() { return RunUpdate(sink_, UpdateOptions{0}); }

  ScratchFolder dir_;
  std::string root_, staging_;
  std::map<std::string, std::string> before_;
  RecordingSink sink_;
  UniqueFile held_;        // a file of the root another program holds open
  UniqueHandle running_;   // a process named "Orfeda.exe"
};

TEST_F(Update, ReplacesTheReleaseAndRestoresWhatUpdateJsonKeeps) {
  WriteFileBytes(staging_ + "\\update.json",
                 R"({"restore":{"folder":["profiles","missing"],"files":["settings.ini","..\\..\\x"]}})");
  LogCapture log;
  ASSERT_EQ(Run(), UpdateOutcome::Completed);
  const std::map<std::string, std::string> expected = {
      {"Orfeda.exe", "new exe"},
      {"bin", "<folder>"},
      {"bin\\new.dll", "new dll"},
      {"profiles", "<folder>"},
      {"profiles\\me", "<folder>"},
      {"profiles\\me\\a.xml", "old profile"},  // the old folder replaced the release's
      {"settings.ini", "old settings"},
      {"updater.cfg", ReadFileBytes(root_ + "\\updater.cfg")},
      {"version.txt", "2.5.0.0"},
  };
  EXPECT_EQ(Tree(root_), expected);
  EXPECT_NE(ReadFileBytes(root_ + "\\updater.cfg").find("[updater]"), std::string::npos);
  EXPECT_EQ(DisplayVersion(InstallRec.ApplicationName), "2.5.0.0");
  EXPECT_TRUE(FileExists(root_ + "\\updater.lock"));  // stays after a completed update
  for (const char* line : {"Folder does not exist in backup: missing", "Succeed to restore folder: profiles",
                           "Succeed to restore file: settings.ini",
                           "restore rule refused, it leaves the install root: ..\\..\\x", "Execute End"})
    EXPECT_TRUE(log.Has(line)) << line;
  const std::vector<std::string> statuses = {
      "pbInstall.Position=10", "lbInstall.Caption=check paths...",
      "pbInstall.Position=20", "lbInstall.Caption=check LOCK...",
      "pbInstall.Position=30", "lbInstall.Caption=create TEMP...",
      "pbInstall.Position=40", "lbInstall.Caption=create backup...",
      "pbInstall.Position=50", "lbInstall.Caption=process files...",
      "pbInstall.Position=58", "lbInstall.Caption=preexec...",
      "pbInstall.Position=66", "lbInstall.Caption=clear local contents...",
      "pbInstall.Position=74", "lbInstall.Caption=copy new files...",
      "pbInstall.Position=82", "lbInstall.Caption=restore files...",
      "pbInstall.Position=90",
      "pbInstall.Position=90", "lbInstall.Caption=create version file...",
      "pbInstall.Position=95", "lbInstall.Caption=Update program information...",
      "pbInstall.Position=100 (ready)"};
  EXPECT_EQ(sink_.statuses, statuses);
}

TEST_F(Update, WithoutUpdateJsonNothingOfTheOldInstallationStays) {
  LogCapture log;
  ASSERT_EQ(Run(), UpdateOutcome::Completed);
  const auto tree = Tree(root_);
  EXPECT_EQ(tree.count("Orfeda.ini"), 0u);
  EXPECT_EQ(tree.count("profiles\\me\\a.xml"), 0u);
  EXPECT_EQ(tree.at("settings.ini"), "new settings");
  EXPECT_EQ(tree.at("version.txt"), "2.5.0.0");
  EXPECT_FALSE(log.Has("restoring folder"));
}

struct Fault {
  const char* name;
  std::function<void(Update&)> arrange;
  std::vector<const char*> lines;  // in the log, in this order
  UpdateOutcome outcome = UpdateOutcome::Failed;
};

TEST_F(Update, AfterEveryFailureTheInstallRootIsAsItWas) {
  // Each row starts from the same installation and release.
  const Fault faults[] = {
      {"lock not creatable",
       [](Update& u) { ForceDirectories(u.root_ + "\\updater.lock"); },
       {"lock could not be created", "LOCK not OK"}},
      {"temporary folder not creatable",
       [](Update& u) {
         WriteFileBytes(u.dir_ / "tempfile", "");
         TempDir = u.dir_ / "tempfile";
       },
       {"could not create tmpDir: "}},
      {"backup not writable",
       [](Update&) { ForceDirectories(TempDir + "\\orfeda_2018\\backup.zip"); },
       {"zip fails with result: "}},
      {"a file held open by another program",
       [](Update& u) {
         u.held_.reset(CreateFileW(Widen(u.root_ + "\\data\\db.bin").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
       },
       {"cannot be deleted: ", "the installation is in use; nothing was changed"}},
      {"restore target not writable",
       [](Update& u) {
         WriteFileBytes(u.staging_ + "\\update.json", R"({"restore":{"files":["settings.ini","x\\y.ini"]}})");
         WriteFiles(u.root_, {{"x\\y.ini", "old y"}});
         ForceDirectories(u.staging_ + "\\files\\x\\y.ini\\inside");  // a folder in its place
         u.before_ = Tree(u.root_);
       },
       {"Failed to restore file: x\\y.ini", "Restore failed.", "Starting rollback", "clear local repo",
        "Extract backup", "Finished Rollback"}},
      {"update.json invalid",
       [](Update& u) { WriteFileBytes(u.staging_ + "\\update.json", "{\"restore\":"); },
       {"update failed: ", "Starting rollback", "Finished Rollback"}},
      {"setup.json missing while update.json asks for scripts",
       [](Update& u) {
         WriteFileBytes(u.staging_ + "\\update.json", "{}");
         DeleteFileW(Widen(u.staging_ + "\\setup.json").c_str());
       },
       {"update failed: ", "Starting rollback", "Finished Rollback"}},
      {"version.txt not creatable",
       [](Update& u) { ForceDirectories(u.staging_ + "\\files\\version.txt"); },
       {"error creating local version file", "Starting rollback", "Finished Rollback"}},
      {"updater.cfg not writable",
       [](Update& u) { ForceDirectories(u.staging_ + "\\files\\updater.cfg\\inside"); },
       {"Createupdatercfg error", "Starting rollback", "Finished Rollback"}},
      {"the application running",
       [](Update& u) {
         const std::string exe = u.dir_ / "run\\Orfeda.exe";
         ForceDirectories(u.dir_ / "run");
         ASSERT_TRUE(CopyFileW(Widen(CHILD_HELPER).c_str(), Widen(exe).c_str(), FALSE));
         std::wstring command = L"\"" + Widen(exe) + L"\" 0 60000";
         STARTUPINFOW si{sizeof(si)};
         PROCESS_INFORMATION pi{};
         ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, &si, &pi));
         CloseHandle(pi.hThread);
         u.running_.reset(pi.hProcess);
       },
       {"backup created", "Found running process!"},
       UpdateOutcome::ApplicationRunning},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.name);
    TearDown();
    DeleteTree(dir_.path());
    ForceDirectories(dir_.path());
    SetUp();
    sink_ = RecordingSink{};
    fault.arrange(*this);
    if (HasFatalFailure()) return;
    LogCapture log;
    const UpdateOutcome outcome = Run();
    if (running_) {
      TerminateProcess(running_.get(), 0);
      WaitForSingleObject(running_.get(), 5000);
      running_.reset();
    }
    held_.reset();
    EXPECT_EQ(outcome, fault.outcome);
    EXPECT_EQ(UpdateExitCode(outcome), 1603);
    EXPECT_EQ(Tree(root_), before_);
    const auto lines = log.Lines();
    auto at = lines.begin();
    for (const char* expected : fault.lines) {
      at = std::find_if(at, lines.end(), [&](const std::string& l) { return l.rfind(expected, 0) == 0; });
      EXPECT_NE(at, lines.end()) << "missing in order: " << expected << "\n"
                                 << ::testing::PrintToString(lines);
      if (at == lines.end()) break;
    }
    if (fault.outcome == UpdateOutcome::ApplicationRunning) {
      EXPECT_EQ(sink_.messages, std::vector<std::string>{"Application still running!"});
      EXPECT_EQ(sink_.statuses.back(), "exit=exit");
    } else {
      EXPECT_TRUE(sink_.messages.empty());
      EXPECT_TRUE(std::none_of(sink_.statuses.begin(), sink_.statuses.end(),
                               [](const std::string& s) { return s.find("(ready)") != std::string::npos; }));
    }
  }
}

}  // namespace

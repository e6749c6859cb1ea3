// Profile files and version files read back as bytes; the machine environment read back
// from the registry and from a newly started process.
#include <gtest/gtest.h>

#include <userenv.h>

#include <atomic>
#include <thread>

#include "state/state.h"
#include "base/errors.h"
#include "base/file_system.h"
#include "base/handles.h"
#include "base/win_text.h"
#include "install/config_files.h"
#include "install_records/win_fixture.h"

namespace {

class ConfigFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    InstallRec.InstPath = scratch_.path();
    InstallRec.Provider = "Palvoro Fax";
    InstallRec.Producer = "Palvoro";
    InstallRec.Language = "German";
    InstallRec.Partner = "lumora";
    TempDir = "C:\\T";
  }
  void TearDown() override { ResetSetupState(); }
  std::string File(const char* name) const { return scratch_.path() + "\\" + name; }

  ScratchDir scratch_;
};

TEST_F(ConfigFiles, ProductIniIsWrittenOnceAndKeptOnReinstall) {
  InstallRec.Provider = "P\xC3\xA4lvoro Fax";  // non-ASCII: stored in the ANSI code page
  EXPECT_TRUE(CreateProductIni());
  const std::string expected = "[details]\r\nprovider=" + ToAnsi(InstallRec.Provider) +
                               "\r\nproducer=Palvoro\r\nlanguage=German\r\npartner=lumora\r\n";
  EXPECT_EQ(ReadBytes(File("Orfeda.ini")), expected);

  InstallRec.Provider = "Other";
  InstallRec.Partner = "other";
  EXPECT_TRUE(CreateProductIni());
  EXPECT_EQ(ReadBytes(File("Orfeda.ini")), expected);
}

TEST_F(ConfigFiles, UpdaterCfgQuotesThePathAndIsAlwaysRewritten) {
  struct Case {
    const char* provider;
    const char* line;
  };
  const Case cases[] = {
      {"Palvoro Fax", "inifile='C:\\T\\Palvoro Fax\\Palvoro\\updater.ini'"},
      {"O'Brien Fax", "inifile='C:\\T\\O''Brien Fax\\Palvoro\\updater.ini'"},
      {"'", "inifile='C:\\T\\''\\Palvoro\\updater.ini'"},
  };
  // An earlier file with other content is replaced, not merged.
  WriteBytes(File("updater.cfg"), "[other]\r\nkey=1\r\n[updater]\r\ninifile=old\r\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.provider);
    InstallRec.Provider = c.provider;
    EXPECT_TRUE(WriteUpdaterCfg());
    EXPECT_EQ(ReadBytes(File("updater.cfg")), std::string("[updater]\r\n") + c.line + "\r\n");
  }
}

TEST_F(ConfigFiles, UpdaterCfgThatCannotBeDeletedReportsFalseAndStaysAsItWas) {
  const std::string old = "[updater]\r\ninifile='old'\r\n";
  WriteBytes(File("updater.cfg"), old);
  {
    // Another program holds the file open without sharing deletion.
    UniqueFile held(CreateFileW(Widen(File("updater.cfg")).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(WriteUpdaterCfg());
  }
  EXPECT_EQ(ReadBytes(File("updater.cfg")), old);
  EXPECT_TRUE(WriteUpdaterCfg());
  EXPECT_EQ(ReadBytes(File("updater.cfg")),
            "[updater]\r\ninifile='C:\\T\\Palvoro Fax\\Palvoro\\updater.ini'\r\n");
}

TEST_F(ConfigFiles, ReadOnlyUpdaterCfgIsReplaced) {
  WriteBytes(File("updater.cfg"), "[updater]\r\ninifile='old'\r\n");
  ASSERT_TRUE(SetFileAttributesW(Widen(File("updater.cfg")).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(WriteUpdaterCfg());
  EXPECT_EQ(ReadBytes(File("updater.cfg")),
            "[updater]\r\ninifile='C:\\T\\Palvoro Fax\\Palvoro\\updater.ini'\r\n");
}

TEST_F(ConfigFiles, VersionFileIsOneLineReplacingTheOldOne) {
  WriteBytes(File("version.txt"), "0.0.1-very-long-old-version\r\nsecond line\r\n");
  EXPECT_TRUE(WriteVersionFile("8.1.2", scratch_.path()));
  EXPECT_EQ(ReadBytes(File("version.txt")), "8.1.2\r\n");
  EXPECT_TRUE(WriteVersionFile("", scratch_.path()));
  EXPECT_EQ(ReadBytes(File("version.txt")), "\r\n");
}

TEST_F(ConfigFiles, FilesInAMissingFolderRaise) {
  const std::string missing = scratch_.path() + "\\missing";
  InstallRec.InstPath = missing;
  EXPECT_THROW(WriteVersionFile("1", missing), EOSError);
  EXPECT_THROW(CreateProductIni(), EOSError);
  EXPECT_THROW(WriteUpdaterCfg(), EOSError);
  EXPECT_FALSE(PathExists(missing));
}

// Runs "cmd /c echo %NAME%" in the environment a freshly logged-on program gets (built from
// the registry, not inherited from this process) and returns what it printed.
std::string EchoInFreshEnvironment(const std::string& name) {
  void* env = nullptr;
  if (!CreateEnvironmentBlock(&env, nullptr, FALSE)) return "<no environment block>";
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readRaw = nullptr, writeRaw = nullptr;
  CreatePipe(&readRaw, &writeRaw, &sa, 0);
  UniqueHandle readEnd(readRaw), writeEnd(writeRaw);
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd.get();
  si.hStdError = writeEnd.get();
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"cmd.exe /c echo %" + Widen(name) + L"%";
  BOOL ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE,
                           CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, env, nullptr, &si, &pi);
  DestroyEnvironmentBlock(env);
  if (!ok) return "<cmd did not start>";
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  writeEnd.reset();
  std::string out;
  char buf[512];
  DWORD got = 0;
  while (ReadFile(readEnd.get(), buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  WaitForSingleObject(process.get(), 30000);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
  return FromAnsi(out);
}

// A hidden top-level window on a thread of its own that records the setting-change
// broadcasts it receives.
class BroadcastListener {
 public:
  BroadcastListener() {
    thread_ = std::thread([this] { Run(); });
    while (!ready_) Sleep(1);
  }
  ~BroadcastListener() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  std::vector<std::string> Received() const { return received_; }  // read after the send

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTINGCHANGE) {
      auto* self = reinterpret_cast<BroadcastListener*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      if (self) self->received_.push_back(lp ? Narrow(reinterpret_cast<const wchar_t*>(lp)) : "");
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  void Run() {
    threadId_ = GetCurrentThreadId();
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"RecordsBroadcastListener";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    MSG m;
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here
    ready_ = true;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    DestroyWindow(hwnd);
  }

  std::thread thread_;
  std::atomic<bool> ready_{false};
  DWORD threadId_ = 0;
  std::vector<std::string> received_;
};

TEST(MachineEnvironment, VariableReachesRegistryThisProcessAndNewProcesses) {
  const std::string key = "System\\CurrentControlSet\\Control\\Session Manager\\Environment";
  const std::string name = "ORFEDAINSTALLPATH";
  const auto before = ReadSz(HKEY_LOCAL_MACHINE, key, name, kView64);
  const std::string value = "C:\\Program Files (x86)\\Palvoro Fax\\Palvoro " + RunTag() + "\\Orfeda.exe";

  {
    BroadcastListener listener;
    EXPECT_TRUE(SetMachineEnvironment(name, value));
    // SendMessageTimeout returns after every window handled the broadcast.
    EXPECT_EQ(listener.Received(), std::vector<std::string>{"Environment"});
  }
  // Not redirected: the same value in both views.
  EXPECT_EQ(ReadSz(HKEY_LOCAL_MACHINE, key, name, kView64), value);
  EXPECT_EQ(ReadSz(HKEY_LOCAL_MACHINE, key, name, kView32), value);
  wchar_t buf[1024] = {};
  GetEnvironmentVariableW(Widen(name).c_str(), buf, 1024);
  EXPECT_EQ(Narrow(buf), value);
  EXPECT_EQ(EchoInFreshEnvironment(name), value);
  // The fresh environment comes from the registry: a variable of this process alone is absent.
  SetEnvironmentVariableW(L"ORFEDA_PROCESS_ONLY", L"1");
  EXPECT_EQ(EchoInFreshEnvironment("ORFEDA_PROCESS_ONLY"), "%ORFEDA_PROCESS_ONLY%");

  // Leave the prefix as it was.
  UniqueHKey env;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(key).c_str(), 0, KEY_ALL_ACCESS, env.put()),
            ERROR_SUCCESS);
  if (before) {
    std::wstring w = Widen(*before);
    RegSetValueExW(env.get(), Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                   static_cast<DWORD>((w.size() + 1) * 2));
  } else {
    RegDeleteValueW(env.get(), Widen(name).c_str());
  }
}

}  // namespace

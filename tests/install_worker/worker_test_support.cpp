#include "worker_test_support.h"

#include "base/file_system.h"
#include "base/win_text.h"
#include "install/files.h"
#include "install/registry_records.h"
#include "state/state.h"

namespace {
const wchar_t kEnvironmentKey[] = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
const wchar_t kVariable[] = L"ORFEDAINSTALLPATH";
}  // namespace

std::string RegText(HKEY hive, const std::string& path, const std::string& name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(hive, Widen(path).c_str(), Widen(name).c_str(), RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY,
                   nullptr, value, &size) != ERROR_SUCCESS)
    return {};
  return Narrow(value);
}

bool RegKeyExists(HKEY hive, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(hive, Widen(path).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

std::string MachineProductKey() {
  return std::string(IsWow64() ? "Software\\Wow6432Node\\" : "Software\\") + InstallRec.Provider + "\\" +
         InstallRec.Producer;
}

std::string UninstallEntryKey() { return UninstallParentPath(IsWow64()).substr(1) + InstallRec.ApplicationName; }

TestInstallation::TestInstallation(const std::string& folder) {
  const std::string tag = std::to_string(GetCurrentProcessId());
  InstallRec.Provider = "Orfeda Worker Test " + tag;
  InstallRec.Producer = "Palvoro";
  InstallRec.ApplicationName = "Orfeda Worker Test App " + tag;
  InstallRec.PrinterName = "Orfeda Worker Test Printer";
  InstallRec.Partner = "kqx";
  InstallRec.Version = "2.5.0.0";
  InstallRec.Users = "all";
  InstallRec.Language = "English";
  InstallRec.InstPath = folder + "\\" + InstallRec.Provider + "\\" + InstallRec.Producer;
  wchar_t value[2048] = {};
  DWORD size = sizeof(value);
  hadEnvironment_ = RegGetValueW(HKEY_LOCAL_MACHINE, kEnvironmentKey, kVariable, RRF_RT_REG_SZ, nullptr, value,
                                 &size) == ERROR_SUCCESS;
  environment_ = value;
}

TestInstallation::~TestInstallation() {
  const std::wstring provider = Widen(InstallRec.Provider);
  for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (const std::wstring& parent : {std::wstring(L"Software\\"), std::wstring(L"Software\\Wow6432Node\\")}) {
      HKEY key = nullptr;
      if (RegOpenKeyExW(hive, (parent + provider).c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) ==
          ERROR_SUCCESS) {
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExW(hive, (parent + provider).c_str(), KEY_WOW64_64KEY, 0);
      }
    }
    RegDeleteKeyExW(hive, Widen(UninstallEntryKey()).c_str(), KEY_WOW64_64KEY, 0);
  }
  if (hadEnvironment_)
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kEnvironmentKey, kVariable, REG_SZ, environment_.c_str(),
                    static_cast<DWORD>((environment_.size() + 1) * sizeof(wchar_t)));
  else
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kEnvironmentKey, kVariable);
}

std::vector<std::string> MissingInOrder(const std::vector<std::string>& lines,
                                        const std::vector<std::string>& expected) {
  std::vector<std::string> missing;
  size_t i = 0;
  for (const std::string& want : expected) {
    const bool prefix = !want.empty() && want.back() == '*';
    const std::string stem = prefix ? want.substr(0, want.size() - 1) : want;
    size_t j = i;
    while (j < lines.size() && !(prefix ? lines[j].rfind(stem, 0) == 0 : lines[j] == want)) ++j;
    if (j == lines.size()) {
      missing.push_back(want);
    } else {
      i = j + 1;
    }
  }
  return missing;
}

// Configuration files of the install root and the machine environment.
#include "install/config_files.h"

#include <windows.h>

#include "state/state.h"
#include "base/errors.h"
#include "base/file_system.h"
#include "base/handles.h"
#include "base/win_error.h"
#include "base/win_text.h"

namespace {

void WriteProfileValue(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                       const std::string& value) {
  if (!WritePrivateProfileStringW(section, key, Widen(value).c_str(), file.c_str()))
    RaiseLastOSError();
}

}  // namespace

bool CreateProductIni() {
  const std::string path = InstallRec.InstPath + "\\Orfeda.ini";
  // The branding of an earlier installation stays in force.
  if (FileExists(path)) return true;
  const std::wstring file = Widen(path);
  WriteProfileValue(file, L"details", L"provider", InstallRec.Provider);
  WriteProfileValue(file, L"details", L"producer", InstallRec.Producer);
  WriteProfileValue(file, L"details", L"language", InstallRec.Language);
  WriteProfileValue(file, L"details", L"partner", InstallRec.Partner);
  return true;
}

bool WriteUpdaterCfg() {
  const std::string path = InstallRec.InstPath + "\\updater.cfg";
  const std::wstring file = Widen(path);
  if (FileExists(path)) {
    // A read-only copy left behind is still ours to replace.
    DWORD attr = GetFileAttributesW(file.c_str());
    if (attr & FILE_ATTRIBUTE_READONLY)
      SetFileAttributesW(file.c_str(), attr & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    // Held open by another program: reported once, never retried.
    if (!DeleteFileW(file.c_str())) return false;
  }
  WriteProfileValue(file, L"updater", L"inifile", UpdaterIniValue());
  return true;
}

bool WriteVersionFile(const std::string& version, const std::string& folder) {
  const std::wstring file = Widen(folder + "\\version.txt");
  const std::string bytes = ToAnsi(version) + "\r\n";
  UniqueFile h(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) RaiseLastOSError();
  DWORD written = 0;
  if (!WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    RaiseLastOSError();
  return true;
}

bool SetMachineEnvironment(const std::string& name, const std::string& value) {
  UniqueHKey key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                      L"System\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                      nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, key.put(),
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring wname = Widen(name);
  const std::wstring wvalue = Widen(value);
  if (RegSetValueExW(key.get(), wname.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(wvalue.c_str()),
                     static_cast<DWORD>((wvalue.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
    return false;
  RegFlushKey(key.get());
  key.reset();
  SetEnvironmentVariableW(wname.c_str(), wvalue.c_str());
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                      reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000, nullptr);
  return true;
}

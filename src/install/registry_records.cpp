// Registry records of an installation, on the program's own (32-bit) registry view.
#include "install/registry_records.h"

#include <windows.h>

#include "state/state.h"
#include "base/errors.h"
#include "base/handles.h"
#include "base/text.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "install/files.h"
#include "install/uninstall_command.h"
#include "log/log.h"

namespace {

// Key paths are held with a leading "\" (absolute below the hive); the API wants them
// relative to the hive.
std::wstring RelativeKeyPath(const std::string& path) {
  size_t start = 0;
  while (start < path.size() && path[start] == '\\') ++start;
  return Widen(std::string_view(path).substr(start));
}

// Opens the key with full access, creating it and its missing parents. HKLM keys are in
// the 32-bit view, this 32-bit program's own (named, so a 64-bit test build uses it too). HKCU\Software is one key for both views on Windows;
// naming the 64-bit view keeps it so under Wine too, which otherwise sends a 32-bit
// program's HKCU\Software keys below HKCU\Software\Wow6432Node once that key exists
// (as after a per-user installation on 64-bit Windows).
UniqueHKey OpenOrCreateKey(HKEY hive, const std::string& path) {
  UniqueHKey key;
  const REGSAM view = hive == HKEY_CURRENT_USER ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  LONG rc = RegCreateKeyExW(hive, RelativeKeyPath(path).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, nullptr, key.put(),
                            nullptr);
  if (rc != ERROR_SUCCESS) key.reset();
  return key;
}

void WriteString(HKEY key, const std::string& name, const std::string& value) {
  std::wstring w = Widen(value);
  LONG rc = RegSetValueExW(key, Widen(name).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(w.c_str()),
                           static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
  if (rc != ERROR_SUCCESS) RaiseOSError(static_cast<uint32_t>(rc));
}

// The string value, or nothing when the value does not exist or is not a string.
bool ReadString(HKEY key, const std::string& name, std::string& out) {
  std::wstring wname = Widen(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                       &got) != ERROR_SUCCESS)
    return false;
  buf.resize(got / sizeof(wchar_t));
  while (!buf.empty() && buf.back() == L'\0') buf.pop_back();
  out = Narrow(buf);
  return true;
}

// Errors while writing values reach the user; a silent run has nobody to answer a box.
void ReportWriteError(const std::exception& e) {
  if (SilentMode) {
    WriteLog(text::ReplaceAll(e.what(), "\r\n", " "));
    return;
  }
  MessageBoxW(nullptr, Widen(e.what()).c_str(), L"Setup", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

bool CreateSoftwareEntry(HKEY hive, const char* opName, const std::string& keyName,
                         const std::string& comments, const std::string& contact,
                         const std::string& uninstallerPath, const std::string& publisher,
                         const std::string& displayVersion, const std::string& displayIcon,
                         const std::string& helpLink, const std::string& displayName) {
  const std::string name = opName;
  WriteLog("start " + name);
  const std::string parent = UninstallParentPath(IsWow64());
  WriteLog("BitKey: " + parent);
  UniqueHKey key = OpenOrCreateKey(hive, parent + keyName);
  if (!key) return false;
  WriteLog("write regkeys");
  try {
    WriteString(key.get(), "Comments", comments);
    WriteString(key.get(), "Contact", contact);
    WriteString(key.get(), "DisplayIcon", displayIcon);
    WriteString(key.get(), "DisplayName", displayName);
    WriteString(key.get(), "DisplayVersion", displayVersion);
    WriteString(key.get(), "HelpLink", helpLink);
    WriteString(key.get(), "Publisher", publisher);
    WriteString(key.get(), "UninstallString", UninstallCommand(uninstallerPath, ProductKeyPath()));
  } catch (const std::exception& e) {
    // An entry written only in part would list the application without a way to remove it.
    WriteLog(name + ": " + e.what());
    return false;
  }
  key.reset();
  WriteLog("end " + name + " -1");
  return true;
}

std::string GetSoftwareEntry(HKEY hive, const char* opName, const std::string& appName) {
  const std::string name = opName;
  WriteLog("start " + name);
  const std::string parent = UninstallParentPath(IsWow64());
  WriteLog("BitKey: " + parent);
  WriteLog("AppName: " + appName);
  UniqueHKey key = OpenOrCreateKey(hive, parent + appName);
  if (!key) return {};
  WriteLog("read regkey");
  std::string result;
  if (!ReadString(key.get(), "UninstallString", result)) {
    WriteLog("key doesnt exist.");
    result.clear();
  }
  key.reset();
  WriteLog("end " + name + " " + result);
  return result;
}

}  // namespace

void WriteOptionsKey() {
  UniqueHKey key = OpenOrCreateKey(HKEY_CURRENT_USER, ProductKeyPath() + "\\options");
  if (!key) {
    WriteLog("Error creating Registry Key");
    return;
  }
  try {
    WriteString(key.get(), "username", ScrambleCredential(InstallRec.Username, kCredentialKey));
    WriteString(key.get(), "password", ScrambleCredential(InstallRec.Password, kCredentialKey));
    WriteString(key.get(), "language", InstallRec.Language);
    WriteString(key.get(), "branch", Branch);
    WriteString(key.get(), "partnertag", PartnerTag);
    if (Branch == "stable") {
      LONG rc = RegDeleteValueW(key.get(), L"branch");
      if (rc != ERROR_SUCCESS) RaiseOSError(static_cast<uint32_t>(rc));
    } else {
      WriteString(key.get(), "branch", Branch);
    }
  } catch (const std::exception& e) {
    ReportWriteError(e);
  }
}

bool WriteUninstallKey() {
  UniqueHKey key = OpenOrCreateKey(HKEY_LOCAL_MACHINE, ProductKeyPath() + "\\uninstall");
  if (!key) {
    WriteLog("Error creating Registry Key");
    return true;
  }
  try {
    WriteString(key.get(), "PrinterName", InstallRec.PrinterName);
    WriteString(key.get(), "ApplicationName", InstallRec.ApplicationName);
    WriteString(key.get(), "Provider", InstallRec.Provider);
    WriteString(key.get(), "Producer", InstallRec.Producer);
    WriteString(key.get(), "InstPath", InstallRec.InstPath);
    WriteString(key.get(), "Users", InstallRec.Users);
    WriteString(key.get(), "ShortCut", UninstallRec.ShortCut);
    WriteString(key.get(), "AutoStart", UninstallRec.AutoStart);
    WriteString(key.get(), "StartMenu", UninstallRec.StartMenu);
  } catch (const std::exception& e) {
    ReportWriteError(e);
    return false;
  }
  return true;
}

bool CreateSoftwareEntryAll(const std::string& keyName, const std::string& comments,
                            const std::string& contact, const std::string& uninstallerPath,
                            const std::string& publisher, const std::string& displayVersion,
                            const std::string& displayIcon, const std::string& helpLink,
                            const std::string& displayName) {
  return CreateSoftwareEntry(HKEY_LOCAL_MACHINE, "CreateSoftwareEntryAll", keyName, comments, contact,
                             uninstallerPath, publisher, displayVersion, displayIcon, helpLink,
                             displayName);
}

bool CreateSoftwareEntryUser(const std::string& keyName, const std::string& comments,
                             const std::string& contact, const std::string& uninstallerPath,
                             const std::string& publisher, const std::string& displayVersion,
                             const std::string& displayIcon, const std::string& helpLink,
                             const std::string& displayName) {
  return CreateSoftwareEntry(HKEY_CURRENT_USER, "CreateSoftwareEntryUser", keyName, comments, contact,
                             uninstallerPath, publisher, displayVersion, displayIcon, helpLink,
                             displayName);
}

std::string GetSoftwareEntryAll(const std::string& appName) {
  return GetSoftwareEntry(HKEY_LOCAL_MACHINE, "GetSoftwareEntryAll", appName);
}

std::string GetSoftwareEntryUser(const std::string& appName) {
  return GetSoftwareEntry(HKEY_CURRENT_USER, "GetSoftwareEntryUser", appName);
}

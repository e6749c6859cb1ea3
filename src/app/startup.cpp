#include "app/startup.h"

#include <windows.h>

#include <vector>

#include "state/state.h"
#include "app/time_stamp.h"
#include "base/errors.h"
#include "base/handles.h"
#include "base/text.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "install/files.h"
#include "log/log.h"

namespace {

std::string EnvironmentValue(const wchar_t* name) {
  const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return {};
  std::wstring v(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(name, v.data(), n);
  v.resize(got < n ? got : 0);
  return Narrow(v);
}

}  // namespace

std::string GetAppVersion() {
  const std::wstring path = Widen(ProgramFilePath());
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return {};
  std::vector<unsigned char> info(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data())) return {};
  void* value = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &len) ||
      len < sizeof(DWORD))
    return {};
  const DWORD translation = *static_cast<const DWORD*>(value);
  wchar_t digits[16];
  wsprintfW(digits, L"%04X%04X", LOWORD(translation), HIWORD(translation));
  const std::wstring query = std::wstring(L"\\StringFileInfo\\") + digits + L"\\FileVersion";
  if (!VerQueryValueW(info.data(), query.c_str(), &value, &len) || len == 0) return {};
  return Narrow(static_cast<const wchar_t*>(value));
}

std::string TimeStampText() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return FormatTimeStamp(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute);
}

void ReadEnvironmentPaths() {
  try {
    AppDataDir = EnvironmentValue(L"APPDATA");
    AllUsersProfileDir = EnvironmentValue(L"ALLUSERSPROFILE");
#ifdef _WIN64
    // The 64-bit test build sees the folder the 32-bit program is given.
    ProgramFilesDir = EnvironmentValue(L"ProgramFiles(x86)");
#else
    ProgramFilesDir = EnvironmentValue(L"PROGRAMFILES");
#endif
    TempDir = EnvironmentValue(L"TEMP");
    ExeDir = ProgramFolder();
  } catch (const std::exception& e) {
    WriteLog("Exception Error in: Environment");
    WriteLog(DescribeError(e));
  }
}

bool HasAdminRights() {
  UniqueHKey key;
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\SetupTest", 0, nullptr, 0,
                         KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, key.put(),
                         nullptr) == ERROR_SUCCESS;
}

bool HasDotNet4() {
  UniqueHKey ndp;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Net Framework Setup\\NDP", 0,
                    KEY_ALL_ACCESS | KEY_WOW64_32KEY, ndp.put()) != ERROR_SUCCESS)
    return false;
  for (const wchar_t* sub : {L"v4", L"v4.0"}) {
    UniqueHKey k;
    if (RegOpenKeyExW(ndp.get(), sub, 0, KEY_READ, k.put()) == ERROR_SUCCESS) return true;
  }
  return false;
}

std::string SystemLanguageName() {
  const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, nullptr, 0);
  if (n <= 0) return {};
  std::wstring buf(static_cast<size_t>(n), L'\0');
  const int got = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, buf.data(), n);
  if (got <= 0) return {};
  buf.resize(static_cast<size_t>(got) - 1);
  return Narrow(buf);
}

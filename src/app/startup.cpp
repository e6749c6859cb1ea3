#include "app/startup.h"

#include <windows.h>

#include <vector>

#include "app/state.h"
#include "app/time_stamp.h"
#include "base/errors.h"
#include "base/handles.h"
#include "base/text.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "log/log.h"

namespace {

std::wstring ModulePath() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) RaiseLastOSError();
    if (n < buf.size()) return std::wstring(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

std::string EnvironmentValue(const wchar_t* name) {
  const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return {};
  std::wstring v(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(name, v.data(), n);
  v.resize(got < n ? got : 0);
  return Narrow(v);
}

// Writes one RCDATA resource to a file, replacing it. A half-written file is removed.
void SaveResource(const wchar_t* name, const std::string& path) {
  HRSRC res = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!res) throw EOSError("Resource " + Narrow(name) + " not found");
  HGLOBAL data = LoadResource(nullptr, res);
  const void* bytes = data ? LockResource(data) : nullptr;
  const DWORD size = SizeofResource(nullptr, res);
  if (!bytes) throw EOSError("Resource " + Narrow(name) + " cannot be loaded");

  const std::wstring wpath = Widen(path);
  UniqueFile f(CreateFileW(wpath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) {
    const DWORD code = GetLastError();
    throw EInOutError("Cannot create file \"" + path + "\". " + SystemErrorText(code));
  }
  DWORD written = 0;
  if (!WriteFile(f.get(), bytes, size, &written, nullptr) || written != size) {
    const DWORD code = GetLastError();
    f.reset();
    DeleteFileW(wpath.c_str());
    throw EInOutError("Cannot write file \"" + path + "\". " + SystemErrorText(code));
  }
}

bool FileExistsW(const std::string& path) {
  const DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::string ProgramFolder() {
  return text::IncludeTrailingBackslash(text::ExtractFileDir(Narrow(ModulePath())));
}

std::string GetAppVersion() {
  const std::wstring path = ModulePath();
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
    ProgramFilesDir = EnvironmentValue(L"PROGRAMFILES");
    TempDir = EnvironmentValue(L"TEMP");
    ExeDir = ProgramFolder();
  } catch (const std::exception& e) {
    WriteLog("Exception Error in: Environment");
    WriteLog(DescribeError(e));
  }
}

bool ExportZipDlls() {
  WriteLog("start DLL export...");
  const std::string dir = ProgramFolder();
  std::exception_ptr failure;
  try {
    SaveResource(L"DelZip192x64", dir + "DelZip192x64.dll");
    SaveResource(L"DelZip192", dir + "DelZip192.dll");
  } catch (...) {
    failure = std::current_exception();
  }
  const bool ok = FileExistsW(dir + "DelZip192x64.dll") && FileExistsW(dir + "DelZip192.dll");
  if (failure) std::rethrow_exception(failure);
  return ok;
}

void RemoveZipDlls() {
  const std::string dir = ProgramFolder();
  DeleteFileW(Widen(dir + "DelZip192x64.dll").c_str());
  DeleteFileW(Widen(dir + "DelZip192.dll").c_str());
}

bool HasAdminRights() {
  UniqueHKey key;
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\SetupTest", 0, nullptr, 0,
                         KEY_ALL_ACCESS, nullptr, key.put(), nullptr) == ERROR_SUCCESS;
}

bool HasDotNet4() {
  UniqueHKey ndp;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Net Framework Setup\\NDP", 0,
                    KEY_ALL_ACCESS, ndp.put()) != ERROR_SUCCESS)
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

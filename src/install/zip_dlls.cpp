// The ZIP engine's two library files, written next to the program at start-up.
#include "install/zip_dlls.h"

#include <windows.h>

#include <exception>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/handles.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "install/files.h"
#include "log/log.h"

namespace {

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

}  // namespace

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
  const bool ok = FileExists(dir + "DelZip192x64.dll") && FileExists(dir + "DelZip192.dll");
  if (failure) std::rethrow_exception(failure);
  return ok;
}

void RemoveZipDlls() {
  const std::string dir = ProgramFolder();
  DeleteFileW(Widen(dir + "DelZip192x64.dll").c_str());
  DeleteFileW(Widen(dir + "DelZip192.dll").c_str());
}


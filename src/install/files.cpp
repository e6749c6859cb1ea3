#include "install/files.h"

#include <aclapi.h>
#include <bcrypt.h>
#include <shlobj.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/handles.h"
#include "base/lifecycle.h"
#include "base/lifecycle_win.h"
#include "base/text.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "log/log.h"

namespace {

constexpr DWORD kMd5Block = 1u << 20;  // 1 MiB per read

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

bool IsDots(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool IsLinkedFolder(DWORD attrs) {
  return (attrs & FILE_ATTRIBUTE_DIRECTORY) && (attrs & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Deletes a file, clearing a read-only attribute first. On failure the attribute is put
// back and GetLastError() describes the failure.
bool DeleteFileForced(const std::wstring& path, DWORD attrs) {
  bool cleared = false;
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
    cleared = SetFileAttributesW(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY) != 0;
  if (DeleteFileW(path.c_str())) return true;
  DWORD error = GetLastError();
  if (cleared) SetFileAttributesW(path.c_str(), attrs);
  SetLastError(error);
  return false;
}

// Removes a link (junction, symbolic link) itself through a handle to the link. The handle
// must show a reparse point: a system that opens the link's target instead (Wine does) would
// remove the target, so the link then stays in place. True when the link is gone.
bool DeleteLinkOnly(const std::wstring& path) {
  UniqueFile link(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr));
  if (!link) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(link.get(), &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  FILE_DISPOSITION_INFO dispose{TRUE};
  return SetFileInformationByHandle(link.get(), FileDispositionInfo, &dispose, sizeof(dispose)) != 0;
}

void DeleteTreeW(const std::wstring& folder) {
  DWORD attrs = Attributes(folder);
  if (attrs != INVALID_FILE_ATTRIBUTES && IsLinkedFolder(attrs)) {
    DeleteLinkOnly(folder);  // the link only, never its target's contents
    return;
  }
  WIN32_FIND_DATAW fd;
  UniqueFind find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &fd,
                                   FindExSearchNameMatch, nullptr, 0));
  if (!find) return;
  do {
    if (IsDots(fd.cFileName)) continue;
    std::wstring path = folder + L"\\" + fd.cFileName;
    if (IsLinkedFolder(fd.dwFileAttributes)) DeleteLinkOnly(path);
    else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DeleteTreeW(path);
    else DeleteFileForced(path, fd.dwFileAttributes);
  } while (FindNextFileW(find.get(), &fd));
  find.reset();
  RemoveDirectoryW(folder.c_str());
}

bool SameTextNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Full path without a trailing separator; raises for an invalid path.
std::wstring FullPath(const std::string& path) {
  if (path.empty() || path.find_first_of("<>\"|?*") != std::string::npos)
    throw Exception("Invalid path: '" + path + "'");
  std::wstring w = Widen(path);
  DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (n == 0) throw Exception("Invalid path: '" + path + "'");
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
  if (n == 0 || n >= full.size()) throw Exception("Invalid path: '" + path + "'");
  full.resize(n);
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  return full;
}

// Root of a full path: "C:\" or "\\server\share\".
std::wstring RootOf(const std::wstring& full) {
  if (full.size() >= 2 && full[1] == L':') return full.substr(0, 2) + L"\\";
  if (full.rfind(L"\\\\", 0) == 0) {
    size_t server = full.find(L'\\', 2);
    if (server == std::wstring::npos) return full + L"\\";
    size_t share = full.find(L'\\', server + 1);
    return (share == std::wstring::npos ? full : full.substr(0, share)) + L"\\";
  }
  return full;
}

// One log line per entry that could not be copied, with the system's reason.
void LogCopyFailure(const std::wstring& path, DWORD error, unsigned& failures) {
  WriteLog("copy of " + Narrow(path) + " failed: " + SystemErrorText(error));
  ++failures;
}

enum class Transfer { Copy, Move };

struct FolderEntry {
  std::wstring name;
  bool folder;
  bool link;  // a junction or symbolic link to a folder: never followed
};

// The entries of a folder, read completely before anything in it changes.
bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) {
  WIN32_FIND_DATAW fd;
  UniqueFind find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &fd,
                                   FindExSearchNameMatch, nullptr, 0));
  if (!find) return false;
  do {
    if (!IsDots(fd.cFileName))
      entries.push_back({fd.cFileName, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         IsLinkedFolder(fd.dwFileAttributes)});
  } while (FindNextFileW(find.get(), &fd));
  return true;
}

// A moved item keeps the security descriptor of the folder it came from. Dropping its own
// entries and clearing protection lets the new parent's inheritable entries apply to it and
// to everything below it, as for a file created there.
bool InheritFromNewParent(const std::wstring& path) {
  ACL empty{};
  if (!InitializeAcl(&empty, sizeof(empty), ACL_REVISION)) return false;
  const DWORD rc = SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                         DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, &empty, nullptr);
  SetLastError(rc);
  return rc == ERROR_SUCCESS;
}

// Moves an item by renaming it; true when it is in its new place with its new parent's
// permissions. A failed permission reset counts as a failure of the item.
bool MoveItem(const std::wstring& from, const std::wstring& to, DWORD flags, unsigned& failures) {
  if (!MoveFileExW(from.c_str(), to.c_str(), flags)) return false;
  if (!InheritFromNewParent(to)) LogCopyFailure(to, GetLastError(), failures);
  return true;
}

// Copies (or moves) what it can and counts (and logs) what it could not. A move renames a
// folder whole when the destination has none of that name, moves single files otherwise,
// and copies what cannot be moved (another volume, a file held open).
void TransferTreeW(const std::wstring& source, const std::wstring& destination, Transfer mode,
                   unsigned& failures) {
  std::vector<FolderEntry> entries;
  if (!ListFolder(source, entries)) {
    LogCopyFailure(source, GetLastError(), failures);  // a folder that cannot be read
    return;
  }
  for (const auto& entry : entries) {
    std::wstring from = source + L"\\" + entry.name;
    std::wstring to = destination + L"\\" + entry.name;
    if (entry.folder) {
      if (mode == Transfer::Move && Attributes(to) == INVALID_FILE_ATTRIBUTES &&
          MoveItem(from, to, 0, failures))
        continue;
      if (!CreateDirectoryW(to.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        const DWORD attrs = Attributes(to);
        // A file in the folder's place: every file below fails as well and says so.
        if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY))
          LogCopyFailure(to, error, failures);
      }
      TransferTreeW(from, to, mode, failures);
    } else if (mode == Transfer::Move && MoveItem(from, to, MOVEFILE_REPLACE_EXISTING, failures)) {
      continue;
    } else if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
      LogCopyFailure(to, GetLastError(), failures);
    }
  }
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // A quit request is an end request; the message loop must still see it.
      RequestProgramEnd();
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

[[noreturn]] void RaiseStatus(const char* what, NTSTATUS status) {
  char hex[16];
  wsprintfA(hex, "%08lX", static_cast<unsigned long>(status));
  throw EOSError(std::string(what) + " failed with status 0x" + hex);
}

std::wstring ModulePathW() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) RaiseLastOSError();
    if (n < buf.size()) return std::wstring(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

std::string GetFileVersionText(const std::string& path) {
  std::wstring w = Widen(path);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(w.c_str(), &ignored);
  if (size == 0) RaiseLastOSError();
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(w.c_str(), 0, size, data.data())) RaiseLastOSError();
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO))
    throw EOSError("No fixed version information in " + path);
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionLS));
}

std::string UniqueFileName(const std::string& path) {
  // Any entry counts as taken: a folder of that name would make the copy fail as well.
  if (!PathExists(path)) return path;
  std::string name = text::ExtractFileName(path);
  std::string folder = path.substr(0, path.size() - name.size());
  std::string ext = text::ExtractFileExt(path);
  std::string base = name;
  if (!ext.empty()) {
    std::string lowerExt = text::ToLower(ext);
    for (size_t at; (at = text::ToLower(base).find(lowerExt)) != std::string::npos;)
      base.erase(at, ext.size());
  }
  for (unsigned long n = 1;; ++n) {
    std::string candidate = folder + base + "_" + std::to_string(n) + ext;
    if (!PathExists(candidate)) return candidate;
  }
}

bool MoveFileTo(const std::string& source, const std::string& destination, std::string& used) {
  used.clear();
  try {
    std::string folder = text::ExtractFileDir(destination);
    if (!folder.empty() && !ForceDirectories(folder)) {
      WriteLog("Cannot creating destinationpath");
      return false;
    }
    used = UniqueFileName(destination);
    if (!CopyFileW(Widen(source).c_str(), Widen(used).c_str(), TRUE)) {
      WriteLog("Error Moving file: '" + source + "' to '" + used);
      return false;
    }
    std::wstring ws = Widen(source);
    if (!DeleteFileForced(ws, Attributes(ws))) {
      WriteLog("Error deleting File " + source);
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    WriteLog("Error Moving file: '" + source + "' to '" + destination + " (" + e.what() + ")");
    return false;
  }
}

bool IsWow64() {
#ifdef _WIN64
  return true;  // a 64-bit build runs on 64-bit Windows only
#endif
  using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return false;
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
  BOOL wow = FALSE;
  return fn && fn(GetCurrentProcess(), &wow) && wow;
}

std::string FileMD5(const std::string& path) {
  UniqueFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) RaiseLastOSError();
  return FileMD5(file.get());
}

std::string FileMD5(HANDLE file) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) RaiseLastOSError();

  BCRYPT_ALG_HANDLE alg = nullptr;
  NTSTATUS st = BCryptOpenAlgorithmProvider(&alg, BCRYPT_MD5_ALGORITHM, nullptr, 0);
  if (!BCRYPT_SUCCESS(st)) RaiseStatus("BCryptOpenAlgorithmProvider", st);
  ScopeExit closeAlg([&] { BCryptCloseAlgorithmProvider(alg, 0); });

  DWORD objectLength = 0, got = 0;
  st = BCryptGetProperty(alg, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                         sizeof(objectLength), &got, 0);
  if (!BCRYPT_SUCCESS(st)) RaiseStatus("BCryptGetProperty", st);
  std::vector<UCHAR> object(objectLength ? objectLength : 1);
  BCRYPT_HASH_HANDLE hash = nullptr;
  st = BCryptCreateHash(alg, &hash, object.data(), objectLength, nullptr, 0, 0);
  if (!BCRYPT_SUCCESS(st)) RaiseStatus("BCryptCreateHash", st);
  ScopeExit destroyHash([&] { BCryptDestroyHash(hash); });

  std::vector<UCHAR> buffer(kMd5Block);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer.data(), kMd5Block, &read, nullptr)) RaiseLastOSError();
    if (read == 0) break;
    st = BCryptHashData(hash, buffer.data(), read, 0);
    if (!BCRYPT_SUCCESS(st)) RaiseStatus("BCryptHashData", st);
  }
  UCHAR digest[16];
  st = BCryptFinishHash(hash, digest, sizeof(digest), 0);
  if (!BCRYPT_SUCCESS(st)) RaiseStatus("BCryptFinishHash", st);
  static const char kHex[] = "0123456789abcdef";
  std::string result;
  for (UCHAR b : digest) {
    result += kHex[b >> 4];
    result += kHex[b & 15];
  }
  return result;
}

int RunAndWait(const std::string& file, const std::string& workdir, const std::string& params) {
  // Windows refuses to start a process in a folder that does not exist (the install root
  // before a first installation, for instance): start it in its own folder then.
  std::string folder = workdir;
  if (!folder.empty() && !DirectoryExists(folder)) folder = text::ExtractFileDir(file);

  std::wstring wfile = Widen(file), wfolder = Widen(folder), wparams = Widen(params);
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof(sei);
  sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  sei.hwnd = nullptr;
  sei.lpVerb = L"open";
  sei.lpFile = wfile.c_str();
  sei.lpParameters = wparams.empty() ? nullptr : wparams.c_str();
  sei.lpDirectory = wfolder.empty() ? nullptr : wfolder.c_str();
  sei.nShow = SW_HIDE;
  if (!ShellExecuteExW(&sei)) return 1;
  if (!sei.hProcess) return 1;  // handed to a running program: its result is unknown
  UniqueHandle process(sei.hProcess);

  // Waits for the process or the end request, whichever comes first; on the UI thread the
  // windows keep answering meanwhile.
  const bool ui = IsUIThread();
  HANDLE waits[2] = {process.get(), EndRequestEvent()};
  for (;;) {
    if (ui) PumpMessages();
    const DWORD wait = ui ? MsgWaitForMultipleObjects(2, waits, FALSE, INFINITE, QS_ALLINPUT)
                          : WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    DWORD code = STILL_ACTIVE;
    if (!GetExitCodeProcess(process.get(), &code)) return 1;
    // A process that ended is done even when its exit code happens to be 259.
    if (wait == WAIT_OBJECT_0 || code != STILL_ACTIVE) return static_cast<int>(code);
    if (wait == WAIT_FAILED || EndRequested()) return static_cast<int>(code);
  }
}

void DeleteTree(const std::string& folder) {
  if (folder.empty()) throw Exception("Could not delete empty path");
  DeleteTreeW(Widen(folder));
}

bool DeletePathEntry(const std::string& path) {
  if (path.empty()) return false;
  const std::wstring w = Widen(path);
  const DWORD attrs = Attributes(w);
  if (attrs == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND ||
                                               GetLastError() == ERROR_PATH_NOT_FOUND;
  if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (!DeleteLinkOnly(w)) return false;
  } else if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
    DeleteTreeW(w);
  } else if (!DeleteFileForced(w, attrs)) {
    return false;
  }
  if (Attributes(w) != INVALID_FILE_ATTRIBUTES) {
    SetLastError(ERROR_DIR_NOT_EMPTY);
    return false;
  }
  return true;
}

std::string KnownFolderPath(const GUID& folderId) {
  PWSTR path = nullptr;
  HRESULT hr = SHGetKnownFolderPath(folderId, 0, nullptr, &path);
  std::string result = SUCCEEDED(hr) && path ? Narrow(path) : std::string();
  CoTaskMemFree(path);
  return result;
}

std::string SystemDrive() {
  wchar_t buffer[MAX_PATH];
  UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) RaiseLastOSError();
  std::wstring w(buffer, n);
  return Narrow(w.substr(0, w.size() >= 2 && w[1] == L':' ? 2 : w.size()));
}

namespace {

void CollectUndeletable(const std::wstring& folder, const std::vector<std::string>& keep,
                        std::vector<std::string>& found) {
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, entries)) {
    found.push_back(Narrow(folder) + ": " + SystemErrorText(GetLastError()));
    return;
  }
  for (const auto& entry : entries) {
    if (std::find(keep.begin(), keep.end(), Narrow(entry.name)) != keep.end()) continue;
    const std::wstring path = folder + L"\\" + entry.name;
    // Opening for deletion fails, as the deletion would, when another program holds the
    // entry open without delete sharing.
    UniqueFile probe(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!probe) {
      found.push_back(Narrow(path) + ": " + SystemErrorText(GetLastError()));
      continue;
    }
    probe.reset();
    if (entry.folder && !entry.link) CollectUndeletable(path, {}, found);
  }
}

}  // namespace

std::vector<std::string> EntriesThatCannotBeDeleted(const std::string& folder,
                                                    const std::vector<std::string>& keep) {
  std::vector<std::string> found;
  CollectUndeletable(Widen(folder), keep, found);
  return found;
}

void ClearFolderExcept(const std::string& folder, const std::vector<std::string>& keep) {
  std::wstring wfolder = Widen(folder);
  WIN32_FIND_DATAW fd;
  UniqueFind find(FindFirstFileExW((wfolder + L"\\*").c_str(), FindExInfoBasic, &fd,
                                   FindExSearchNameMatch, nullptr, 0));
  if (!find) return;
  do {
    if (IsDots(fd.cFileName)) continue;
    std::string name = Narrow(fd.cFileName);
    bool kept = false;
    for (const auto& k : keep) kept = kept || k == name;
    if (kept) continue;
    std::wstring path = wfolder + L"\\" + fd.cFileName;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      try {
        DeleteTreeW(path);
      } catch (...) {
        RaiseLastOSError();
      }
    } else if (!DeleteFileForced(path, fd.dwFileAttributes)) {
      RaiseLastOSError();
    }
  } while (FindNextFileW(find.get(), &fd));
}

namespace {

void TransferFolderTree(const std::string& source, const std::string& destination, Transfer mode) {
  std::wstring from = FullPath(source);
  std::wstring to = FullPath(destination);
  if (!DirectoryExists(Narrow(from)))
    throw Exception("Source folder does not exist: '" + source + "'");
  if (!PathExists(Narrow(RootOf(to))))
    throw Exception("Destination drive does not exist: '" + destination + "'");
  if (SameTextNoCase(from, to))
    throw Exception("Source and destination are the same folder: '" + source + "'");
  // Copying into itself would keep finding the copies it just made.
  std::wstring prefix = from.back() == L'\\' ? from : from + L"\\";
  if (to.size() > prefix.size() && SameTextNoCase(to.substr(0, prefix.size()), prefix))
    throw Exception("Destination '" + destination + "' lies inside the source '" + source + "'");
  if (!ForceDirectories(Narrow(to)))
    throw Exception("Cannot create the destination folder '" + destination + "'");
  unsigned failures = 0;
  TransferTreeW(from, to, mode, failures);
  if (failures > 0)
    throw EOSError(std::to_string(failures) + (failures == 1 ? " file" : " files") +
                   " could not be copied into '" + destination + "'");
}

}  // namespace

void CopyFolderTree(const std::string& source, const std::string& destination) {
  TransferFolderTree(source, destination, Transfer::Copy);
}

void MoveFolderTree(const std::string& source, const std::string& destination) {
  TransferFolderTree(source, destination, Transfer::Move);
}

void ListProcessNames(std::vector<std::string>& names) {
  names.clear();
  UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) RaiseLastOSError();
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  if (!Process32FirstW(snapshot.get(), &entry)) RaiseLastOSError();
  do {
    entry.szExeFile[MAX_PATH - 1] = 0;
    names.push_back(Narrow(entry.szExeFile));
    entry.dwSize = sizeof(entry);
  } while (Process32NextW(snapshot.get(), &entry));
}

bool IsAppRunning() {
  std::vector<std::string> names;
  ListProcessNames(names);
  for (const auto& n : names)
    if (n == "Orfeda.exe") return true;
  return false;
}

int32_t FileSizeOf(const std::string& path) {
  // Looked up by its exact name: wildcard characters in a file name match nothing else.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data))
    return -1;
  return static_cast<int32_t>(data.nFileSizeLow);
}

std::string ProgramFilePath() { return Narrow(ModulePathW()); }

std::string ProgramFolder() {
  return text::IncludeTrailingBackslash(text::ExtractFileDir(ProgramFilePath()));
}

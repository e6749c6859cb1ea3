#include "install/folder_security.h"

#include <sddl.h>
#include <winternl.h>

#include <vector>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/text.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "install/files.h"

namespace {

// A security descriptor built from SDDL, freed with the object.
class SecurityDescriptor {
 public:
  explicit SecurityDescriptor(const wchar_t* sddl) {
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd_, nullptr))
      sd_ = nullptr;
  }
  ~SecurityDescriptor() {
    if (sd_) LocalFree(sd_);
  }
  SecurityDescriptor(const SecurityDescriptor&) = delete;
  SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;
  explicit operator bool() const { return sd_ != nullptr; }
  SECURITY_ATTRIBUTES Attributes() const { return {sizeof(SECURITY_ATTRIBUTES), sd_, FALSE}; }
  PSECURITY_DESCRIPTOR Get() const { return sd_; }

 private:
  PSECURITY_DESCRIPTOR sd_ = nullptr;
};

[[noreturn]] void Raise(const std::string& what, DWORD code) {
  throw EOSError(what + ": " + SystemErrorText(code));
}

// Creates the folder (never an existing one) and opens it in one step, so that nothing can
// take its place between the creation and the opening: the system call below
// CreateDirectoryW, reached in ntdll, which every process has loaded.
UniqueFile CreateAndOpenFolder(const std::string& path, PSECURITY_DESCRIPTOR sd, DWORD access,
                               DWORD share) {
  using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                          PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
  using DosToNtFn = BOOLEAN(NTAPI*)(PCWSTR, PUNICODE_STRING, PCWSTR*, PVOID);
  using FreeStringFn = VOID(NTAPI*)(PUNICODE_STRING);
  using StatusToErrorFn = ULONG(NTAPI*)(NTSTATUS);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto find = [&](const char* name) {
    return ntdll ? reinterpret_cast<void*>(GetProcAddress(ntdll, name)) : nullptr;
  };
  auto createFile = reinterpret_cast<NtCreateFileFn>(find("NtCreateFile"));
  auto dosToNt = reinterpret_cast<DosToNtFn>(find("RtlDosPathNameToNtPathName_U"));
  auto freeString = reinterpret_cast<FreeStringFn>(find("RtlFreeUnicodeString"));
  auto statusToError = reinterpret_cast<StatusToErrorFn>(find("RtlNtStatusToDosError"));
  if (!createFile || !dosToNt || !freeString || !statusToError)
    Raise("Cannot create the folder \"" + path + "\"", ERROR_PROC_NOT_FOUND);

  UNICODE_STRING ntPath{};
  if (!dosToNt(Widen(path).c_str(), &ntPath, nullptr, nullptr))
    Raise("Cannot create the folder \"" + path + "\"", ERROR_INVALID_NAME);
  ScopeExit freePath([&] { freeString(&ntPath); });
  OBJECT_ATTRIBUTES object;
  InitializeObjectAttributes(&object, &ntPath, OBJ_CASE_INSENSITIVE, nullptr, sd);
  IO_STATUS_BLOCK io{};
  HANDLE handle = INVALID_HANDLE_VALUE;
  const NTSTATUS status =
      createFile(&handle, access | SYNCHRONIZE, &object, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                 FILE_CREATE, FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT,
                 nullptr, 0);
  // Fails when anything is at the place already: then it is not ours.
  if (status < 0) Raise("Cannot create the folder \"" + path + "\"", statusToError(status));
  return UniqueFile(handle);
}

}  // namespace

bool ForceProtectedDirectories(const std::string& folder, const wchar_t* sddl) {
  const std::string path = text::ExcludeTrailingBackslash(folder);
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;

  SecurityDescriptor descriptor(sddl);
  if (!descriptor) return false;
  SECURITY_ATTRIBUTES attributes = descriptor.Attributes();

  // The missing folders, innermost first; created from the top down.
  std::vector<std::string> missing;
  for (std::string p = path; !p.empty() && !DirectoryExists(p);) {
    missing.push_back(p);
    std::string parent = text::ExtractFileDir(p);
    if (parent == p) break;
    p = parent;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    CreateDirectoryW(Widen(*it).c_str(), &attributes);
  return DirectoryExists(path);
}

std::string FindReparsePoint(const std::string& path) {
  std::vector<std::string> parts;
  for (std::string p = text::ExcludeTrailingBackslash(path); !p.empty();) {
    parts.push_back(p);
    std::string parent = text::ExcludeTrailingBackslash(text::ExtractFileDir(p));
    if (parent == p || parent.size() >= p.size()) break;
    p = parent;
  }
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
    const DWORD attrs = GetFileAttributesW(Widen(*it).c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) return *it;
  }
  return {};
}

UniqueFile CreateFreshProtectedFolder(const std::string& folder, const wchar_t* sddl) {
  const std::string path = text::ExcludeTrailingBackslash(folder);
  const std::string parent = text::ExtractFileDir(path);
  const std::string link = FindReparsePoint(parent);
  if (!link.empty()) throw EOSError("\"" + link + "\" on the path of \"" + path + "\" is a link");

  if (!DeletePathEntry(path))
    Raise("What is at \"" + path + "\" cannot be removed", GetLastError());

  SecurityDescriptor descriptor(sddl);
  if (!descriptor) Raise("Invalid access rules for \"" + path + "\"", GetLastError());
  // Held open by this handle (with data access: a handle without it takes no part in the
  // sharing rules) the folder can be neither renamed nor removed, nor can a folder above it,
  // so the path keeps naming this folder.
  UniqueFile handle = CreateAndOpenFolder(path, descriptor.Get(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle.get(), &info)) Raise("Cannot read \"" + path + "\"", GetLastError());
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    throw EOSError("\"" + path + "\" is not the folder that was created");
  return handle;
}

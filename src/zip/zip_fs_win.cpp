// Win32 backend of the ZIP engine's file layer: wide-character API throughout, so UTF-8
// names of any script work; reparse points (symlinks, junctions) are reported, never
// followed by the engine.
#include <windows.h>

#include <string>
#include <utility>

#include "zip/zip_fs.h"

namespace orfzip::fs {
namespace {

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

// A path for the wide API; long absolute paths get the "\\?\" form so that deep trees
// beyond MAX_PATH can be read and written.
std::wstring Wide(const std::string& s) {
  std::wstring w = Widen(s);
  if (w.size() < 240 || w.rfind(L"\\\\?\\", 0) == 0) return w;
  std::wstring f(32768, L'\0');
  const DWORD n = GetFullPathNameW(w.c_str(), 32768, f.data(), nullptr);  // also resolves "/" and "."
  if (n == 0 || n >= 32768) return w;
  f.resize(n);
  if (f.size() >= 3 && f[1] == L':' && f[2] == L'\\') return L"\\\\?\\" + f;
  if (f.rfind(L"\\\\", 0) == 0 && f.rfind(L"\\\\.\\", 0) != 0) return L"\\\\?\\UNC\\" + f.substr(2);
  return w;
}

std::string Narrow(const wchar_t* w) {
  int len = static_cast<int>(wcslen(w));
  if (len == 0) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w, len, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, len, s.data(), n, nullptr, nullptr);
  return s;
}

FileTime FromFt(const FILETIME& ft) {
  return (static_cast<FileTime>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME ToFt(FileTime t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(t);
  ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return ft;
}

// An open file; a borrowed handle belongs to the caller and is never closed here.
class WinFile : public File {
 public:
  WinFile(HANDLE h, bool owned) : h_(h), owned_(owned) {}
  ~WinFile() override {
    if (owned_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  bool Read(void* buf, std::size_t n, std::size_t& got) override {
    DWORD r = 0;
    if (!ReadFile(h_, buf, static_cast<DWORD>(n), &r, nullptr)) return false;
    got = r;
    return true;
  }
  bool Write(const void* buf, std::size_t n) override {
    const auto* p = static_cast<const char*>(buf);
    while (n > 0) {
      DWORD w = 0;
      if (!WriteFile(h_, p, static_cast<DWORD>(n), &w, nullptr) || w == 0) return false;
      p += w;
      n -= w;
    }
    return true;
  }
  bool WriteAt(std::uint64_t offset, const void* buf, std::size_t n) override {
    LARGE_INTEGER here{}, zero{};
    if (!SetFilePointerEx(h_, zero, &here, FILE_CURRENT)) return false;
    if (!Seek(offset) || !Write(buf, n)) return false;
    return Seek(static_cast<std::uint64_t>(here.QuadPart));
  }
  bool Seek(std::uint64_t offset) override {
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(h_, li, nullptr, FILE_BEGIN) != 0;
  }
  bool Truncate(std::uint64_t size) override { return Seek(size) && SetEndOfFile(h_); }
  std::uint64_t Size() override {
    LARGE_INTEGER li{};
    return GetFileSizeEx(h_, &li) ? static_cast<std::uint64_t>(li.QuadPart) : 0;
  }
  // One call sets the times and the attributes (FILE_BASIC_INFO: a zero time or
  // attribute field leaves that value as it is).
  bool SetTimesAndAttributes(FileTime modified, FileTime accessed, FileTime created,
                             std::uint32_t dosAttributes) override {
    FILE_BASIC_INFO bi{};
    bi.LastWriteTime.QuadPart = static_cast<LONGLONG>(modified);
    bi.LastAccessTime.QuadPart = static_cast<LONGLONG>(accessed);
    bi.CreationTime.QuadPart = static_cast<LONGLONG>(created);
    const DWORD keep = dosAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (keep) bi.FileAttributes = keep | FILE_ATTRIBUTE_ARCHIVE;
    if (!modified && !accessed && !created && !keep) return true;
    return SetFileInformationByHandle(h_, FileBasicInfo, &bi, sizeof bi) != 0;
  }
  bool Close() override {
    HANDLE h = std::exchange(h_, INVALID_HANDLE_VALUE);
    return !owned_ || h == INVALID_HANDLE_VALUE || CloseHandle(h);
  }

 private:
  HANDLE h_;
  bool owned_;
};

}  // namespace

Info Stat(const std::string& path) {
  Info info;
  WIN32_FILE_ATTRIBUTE_DATA d{};
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &d)) return info;
  info.exists = true;
  info.isDir = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.isLink = (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  info.hidden = (d.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
  info.system = (d.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0;
  info.size = info.isDir ? 0 : (static_cast<std::uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
  info.modified = FromFt(d.ftLastWriteTime);
  info.accessed = FromFt(d.ftLastAccessTime);
  info.created = FromFt(d.ftCreationTime);
  info.dosAttributes = d.dwFileAttributes & 0x37;
  return info;
}

bool ListDir(const std::string& dir, std::vector<std::string>& names) {
  names.clear();
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW(Wide(dir + "\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
    names.push_back(Narrow(fd.cFileName));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return true;
}

bool CreateDir(const std::string& path) { return CreateDirectoryW(Wide(path).c_str(), nullptr) != 0; }

bool RemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) != 0; }

bool RenameReplace(const std::string& from, const std::string& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool SetTimes(const std::string& path, FileTime modified, FileTime accessed, FileTime created) {
  HANDLE h = CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME m = ToFt(modified), a = ToFt(accessed), c = ToFt(created);
  BOOL ok = SetFileTime(h, created ? &c : nullptr, accessed ? &a : nullptr, modified ? &m : nullptr);
  CloseHandle(h);
  return ok != 0;
}

bool FreeSpace(const std::string& dir, std::uint64_t& bytes) {
  std::wstring w = Wide(dir);
  if (!w.empty() && w.back() != L'\\' && w.back() != L'/') w += L'\\';
  ULARGE_INTEGER avail{};
  if (!GetDiskFreeSpaceExW(w.c_str(), &avail, nullptr, nullptr)) return false;
  bytes = avail.QuadPart;
  return true;
}

bool FileId(const std::string& path, std::uint64_t& volume, std::uint64_t& index) {
  HANDLE h = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION bi{};
  const BOOL ok = GetFileInformationByHandle(h, &bi);
  CloseHandle(h);
  if (!ok) return false;
  volume = bi.dwVolumeSerialNumber;
  index = (static_cast<std::uint64_t>(bi.nFileIndexHigh) << 32) | bi.nFileIndexLow;
  return true;
}

std::string LastErrorText() {
  const DWORD code = GetLastError();
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::string text = n && buf ? Narrow(buf) : "system error " + std::to_string(code);
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::unique_ptr<File> OpenRead(const std::string& path) {
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WinFile>(h, true);
}

std::unique_ptr<File> CreateNew(const std::string& path) {
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WinFile>(h, true);
}

std::unique_ptr<File> BorrowHandle(void* handle) {
  return std::make_unique<WinFile>(static_cast<HANDLE>(handle), false);
}

}  // namespace orfzip::fs

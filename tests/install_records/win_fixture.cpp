#include "install_records/win_fixture.h"

#include <atomic>
#include <fstream>
#include <sstream>

#include "state/state.h"
#include "base/handles.h"
#include "base/win_text.h"
#include "log/log.h"

namespace {
std::wstring Rel(const std::string& path) {
  return Widen(path.size() && path[0] == '\\' ? path.substr(1) : path);
}
std::string TempFolder() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  std::string t = Narrow(std::wstring(buf, n));
  while (!t.empty() && t.back() == '\\') t.pop_back();
  return t;
}
}  // namespace

LogCapture::LogCapture() {
  static std::atomic<int> counter{0};
  path_ = TempFolder() + "\\records_log_" + RunTag() + "_" + std::to_string(++counter) + ".log";
  DeleteFileW(Widen(path_).c_str());
  log_ = new TLog(path_);
  previous_ = SetupLog;
  SetupLog = log_;
}

LogCapture::~LogCapture() {
  SetupLog = previous_;
  delete log_;
  DeleteFileW(Widen(path_).c_str());
}

std::vector<std::string> LogCapture::Lines() const {
  std::vector<std::string> out;
  auto bytes = ReadBytes(path_);
  if (!bytes) return out;
  std::istringstream in(*bytes);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t sep = line.find(": ");
    out.push_back(FromAnsi(sep == std::string::npos ? line : line.substr(sep + 2)));
  }
  return out;
}

bool LogCapture::Contains(const std::string& line) const {
  for (const auto& l : Lines())
    if (l == line) return true;
  return false;
}

bool KeyExists(HKEY hive, const std::string& path, REGSAM view) {
  UniqueHKey key;
  return RegOpenKeyExW(hive, Rel(path).c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

std::optional<std::string> ReadSz(HKEY hive, const std::string& path, const std::string& name,
                                  REGSAM view) {
  UniqueHKey key;
  if (RegOpenKeyExW(hive, Rel(path).c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0, size = 0;
  std::wstring wname = Widen(name);
  if (RegQueryValueExW(key.get(), wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return std::nullopt;
  std::wstring buf(size / 2 + 1, L'\0');
  size = static_cast<DWORD>(buf.size() * 2);
  RegQueryValueExW(key.get(), wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size);
  buf.resize(size / 2);
  while (!buf.empty() && buf.back() == L'\0') buf.pop_back();
  return Narrow(buf);
}

DWORD ValueCount(HKEY hive, const std::string& path, REGSAM view) {
  UniqueHKey key;
  if (RegOpenKeyExW(hive, Rel(path).c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
    return 0;
  DWORD values = 0;
  RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                   nullptr, nullptr, nullptr, nullptr);
  return values;
}

void DeleteTree(HKEY hive, const std::string& path, REGSAM view) {
  UniqueHKey key;
  if (RegOpenKeyExW(hive, Rel(path).c_str(), 0, KEY_ALL_ACCESS | view, key.put()) != ERROR_SUCCESS)
    return;
  RegDeleteTreeW(key.get(), nullptr);
  key.reset();
  RegDeleteKeyExW(hive, Rel(path).c_str(), view, 0);
}

std::string RunTag() { return std::to_string(GetCurrentProcessId()); }

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  path_ = TempFolder() + "\\records_" + RunTag() + "_" + std::to_string(++counter);
  RemoveTree(path_);
  CreateDirectoryW(Widen(path_).c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

std::optional<std::string> ReadBytes(const std::string& path) {
  UniqueFile h(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr));
  if (!h) return std::nullopt;
  std::string out;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(h.get(), buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  return out;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  UniqueFile h(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (h) WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void RemoveTree(const std::string& path) {
  const std::wstring w = Widen(path);
  DWORD attr = GetFileAttributesW(w.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) return;
  if (!(attr & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(w.c_str());
    return;
  }
  WIN32_FIND_DATAW fd;
  UniqueFind find(FindFirstFileW((w + L"\\*").c_str(), &fd));
  if (find) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      RemoveTree(path + "\\" + Narrow(name));
    } while (FindNextFileW(find.get(), &fd));
  }
  find.reset();
  RemoveDirectoryW(w.c_str());
}

#include "test_support.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <atomic>

#include "state/state.h"
#include "base/file_system.h"
#include "base/win_text.h"
#include "install/files.h"
#include "log/log.h"

ScratchFolder::ScratchFolder() {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::string base = Narrow(temp);
  while (!base.empty() && base.back() == '\\') base.pop_back();
  path_ = base + "\\orfeda_if_" + std::to_string(GetCurrentProcessId()) + "_" +
          std::to_string(++counter);
  DeleteTree(path_);
  ForceDirectories(path_);
}

ScratchFolder::~ScratchFolder() { DeleteTree(path_); }

LogCapture::LogCapture() : file_(folder_ / "setup.log") {
  delete SetupLog;
  SetupLog = TLog::CreateClean(file_);
}

LogCapture::~LogCapture() {
  delete SetupLog;
  SetupLog = nullptr;
}

std::vector<std::string> LogCapture::Lines() const {
  std::string all = FromAnsi(ReadFileBytes(file_));
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find("\r\n", start);
    if (end == std::string::npos) end = all.size();
    std::string line = all.substr(start, end - start);
    // Lines start with the time stamp and ": ".
    size_t sep = line.find(": ");
    lines.push_back(sep == std::string::npos ? line : line.substr(sep + 2));
    start = end + 2;
  }
  return lines;
}

bool LogCapture::Has(const std::string& line) const {
  for (const auto& l : Lines())
    if (l == line) return true;
  return false;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

std::string ReadFileBytes(const std::string& path) {
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string data;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got) data.append(buffer, got);
  CloseHandle(h);
  return data;
}

std::string TestBinaryDir() {
  wchar_t exe[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::string path = Narrow(std::wstring(exe, n));
  return path.substr(0, path.find_last_of('\\'));
}

std::string DaclText(const std::string& path) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoW(Widen(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
    return "(unreadable)";
  LPWSTR sddl = nullptr;
  std::string result = "(unconvertible)";
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1,
                                                           DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
    result = Narrow(sddl);
    LocalFree(sddl);
  }
  LocalFree(sd);
  return result;
}

std::string ReferenceDacl(const std::string& path, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr));
  SECURITY_ATTRIBUTES sa{sizeof(sa), sd, FALSE};
  EXPECT_TRUE(CreateDirectoryW(Widen(path).c_str(), &sa));
  LocalFree(sd);
  return DaclText(path);
}

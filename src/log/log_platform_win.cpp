// The log's system services on Windows.
#include <windows.h>

#include "base/lifecycle.h"
#include "base/errors.h"
#include "base/handles.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "log/log_platform.h"
#include "state/state.h"

namespace logsys {

namespace {
TLocalTime FromSystemTime(const SYSTEMTIME& st) {
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

[[noreturn]] void RaiseIO(const std::string& what, const std::string& path) {
  const DWORD code = GetLastError();
  throw EInOutError(what + " \"" + path + "\": " + SystemErrorText(code));
}
}  // namespace

TLocalTime SystemNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return FromSystemTime(st);
}

std::string DateTimeText(const TLocalTime& t) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  st.wMilliseconds = static_cast<WORD>(t.millisecond);
  wchar_t date[128] = {0};
  wchar_t time[128] = {0};
  if (!GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128, nullptr))
    date[0] = 0;
  if (!GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, time, 128)) time[0] = 0;
  return JoinDateTime(Narrow(date), Narrow(time), t);
}

std::string ToFileEncoding(const std::string& utf8) { return ToAnsi(utf8); }

void TruncateFile(const std::string& path) {
  UniqueFile f(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) RaiseIO("Cannot create file", path);
}

void AppendToFile(const std::string& path, const std::string& bytes) {
  UniqueFile f(CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) RaiseIO("Cannot open file", path);
  DWORD written = 0;
  if (!WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    RaiseIO("Cannot write file", path);
}

std::vector<TDirEntry> ListFiles(const std::string& dir) {
  std::vector<TDirEntry> out;
  WIN32_FIND_DATAW fd;
  UniqueFind h(FindFirstFileW(Widen(dir + "*").c_str(), &fd));
  if (!h) return out;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    FILETIME local;
    SYSTEMTIME st;
    FileTimeToLocalFileTime(&fd.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &st);
    out.push_back({Narrow(fd.cFileName), FromSystemTime(st)});
  } while (FindNextFileW(h.get(), &fd));
  return out;
}

void DeleteFileQuiet(const std::string& path) { DeleteFileW(Widen(path).c_str()); }

void ReportDirectoryError(const std::string& message) {
  // An unattended run has nobody to read a box (and no log to write it to): it just ends
  // as failed.
  if (Unattended) {
    RequestProgramEnd(1603);
    return;
  }
  MessageBoxW(nullptr, Widen(message).c_str(), Widen(ApplicationTitle()).c_str(),
              MB_OK | MB_ICONERROR);
  RequestProgramEnd();
}

}  // namespace logsys

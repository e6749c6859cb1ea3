// The log's system services on the host build (unit tests): plain files, a fixed
// day.month.year hour:minute:second stamp, UTF-8 text.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "base/lifecycle.h"
#include "base/errors.h"
#include "log/log_platform.h"

namespace fs = std::filesystem;

namespace logsys {

namespace {
TLocalTime FromTm(const std::tm& tm, int ms) {
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms};
}
}  // namespace

TLocalTime SystemNow() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm;
  localtime_r(&ts.tv_sec, &tm);
  return FromTm(tm, static_cast<int>(ts.tv_nsec / 1000000));
}

std::string DateTimeText(const TLocalTime& t) {
  char date[32], time[32];
  std::snprintf(date, sizeof date, "%02d.%02d.%04d", t.day, t.month, t.year);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return JoinDateTime(date, time, t);
}

std::string ToFileEncoding(const std::string& utf8) { return utf8; }

void TruncateFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw EInOutError("Cannot create file \"" + path + "\": " + std::strerror(errno));
  std::fclose(f);
}

void AppendToFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (!f) throw EInOutError("Cannot open file \"" + path + "\": " + std::strerror(errno));
  const size_t n = std::fwrite(bytes.data(), 1, bytes.size(), f);
  const bool ok = std::fclose(f) == 0 && n == bytes.size();
  if (!ok) throw EInOutError("Cannot write file \"" + path + "\"");
}

std::vector<TDirEntry> ListFiles(const std::string& dir) {
  std::vector<TDirEntry> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir.empty() ? "." : dir, ec)) {
    if (!e.is_regular_file(ec)) continue;
    struct stat st;
    if (stat(e.path().c_str(), &st) != 0) continue;
    std::tm tm;
    localtime_r(&st.st_mtime, &tm);
    out.push_back({e.path().filename().string(), FromTm(tm, 0)});
  }
  return out;
}

void DeleteFileQuiet(const std::string& path) { std::remove(path.c_str()); }

void ReportDirectoryError(const std::string&) { RequestProgramEnd(); }

}  // namespace logsys

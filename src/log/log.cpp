#include "log/log.h"

#include <atomic>

#include "state/state.h"
#include "base/file_system.h"
#include "base/text.h"
#include "log/log_form.h"
#include "log/log_platform.h"

namespace {
std::atomic<TLog::ClockFn> g_clock{nullptr};
}

void TLog::SetClock(ClockFn clock) { g_clock = clock; }

TLocalTime TLog::Now() {
  ClockFn c = g_clock;
  return c ? c() : logsys::SystemNow();
}

TLog::TLog(const std::string& file) : logfile(file) {}

TLog::~TLog() {
  if (logwin) FreeLogForm(logwin);
}

TLog* TLog::CreateClean(const std::string& file) {
  auto* l = new TLog(file);
  try {
    l->cleanFile(file);
  } catch (...) {
    delete l;
    throw;
  }
  return l;
}

TLog* TLog::CreateLongTime(const std::string& file, bool rot, int k) {
  auto* l = new TLog(file);
  l->keep = k;
  l->rotate = rot;
  if (rot) l->logfile = DatedLogFile(file, Now());
  return l;
}

std::string TLog::getLogFile() const {
  std::lock_guard<std::recursive_mutex> g(lock_);
  return logfile;
}

void TLog::cleanFile(const std::string& filepath) { logsys::TruncateFile(filepath); }

void TLog::log(const std::string& text) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  const TLocalTime now = Now();
  const std::string line = LogLine(logsys::DateTimeText(now), text);
  if (logwin) LogFormAppend(logwin, line);
  if (logfile.empty()) return;
  if (rotate) rotateStep();
  writeToFile(line);
}

void TLog::rotateStep() {
  const TRotation r = PlanRotation(logfile, Now());
  logfile = r.logfile;
  std::vector<std::string> entries;
  for (const auto& f : logsys::ListFiles(r.dir)) {
    if (MatchesRotation(r, f.name)) entries.push_back(RotationEntry(PackDosDateTime(f.lastWrite), f.name));
  }
  for (const auto& name : RotationVictims(std::move(entries), keep))
    logsys::DeleteFileQuiet(r.dir + name);
}

void TLog::writeToFile(const std::string& lineText) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (logfile.empty()) return;
  if (!FileExists(logfile)) {
    const std::string dir = text::ExtractFileDir(logfile);
    if (!dir.empty() && !DirectoryExists(dir) && !ForceDirectories(dir)) {
      logsys::ReportDirectoryError("Error creating logfile directory for: " + logfile +
                                   "\r\nTerminating.");
    }
  }
  logsys::AppendToFile(logfile, logsys::ToFileEncoding(lineText) + "\r\n");
}

void TLog::showLogWin() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (logwin) return;
  logwin = OpenLogForm(text::ExtractFileName(logfile), logfile, [this] { logWinClosed(); });
}

void TLog::logWinClosed() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  logwin = nullptr;
}

void WriteLog(const std::string& text) {
  if (TLog* l = SetupLog) l->log(text);
}

// Minimal placeholder so that other parts link; the full log comes with its own change.
#include "log/log.h"

#include <fstream>
#include <mutex>

#include "app/state.h"

TLog::TLog(void*, const std::string& file) : logfile(file) {}
TLog::~TLog() = default;

TLog* TLog::CreateClean(void* sender, const std::string& file) {
  auto* l = new TLog(sender, file);
  l->cleanFile(file);
  return l;
}

TLog* TLog::CreateLongTime(void* sender, const std::string& file, bool rot, int k) {
  auto* l = new TLog(sender, file);
  l->rotate = rot;
  l->keep = k;
  return l;
}

void TLog::cleanFile(const std::string& filepath) { std::ofstream(filepath, std::ios::trunc); }
void TLog::writeToFile(const std::string& line) {
  if (logfile.empty()) return;
  std::ofstream(logfile, std::ios::app | std::ios::binary) << line << "\r\n";
}
void TLog::log(const std::string& text) { writeToFile(": " + text); }
void TLog::showLogWin() {}
void TLog::logWinClosed() { logwin = nullptr; }

void WriteLog(const std::string& text) {
  static std::mutex m;
  std::lock_guard<std::mutex> lock(m);
  if (SetupLog) SetupLog->log(text);
}

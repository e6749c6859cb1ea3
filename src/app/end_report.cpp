#include "app/end_report.h"

#include <windows.h>

#include <exception>
#include <memory>

#include "app/startup.h"
#include "base/win_text.h"
#include "install/files.h"
#include "log/log.h"
#include "state/state.h"

namespace {

constexpr wchar_t kEventSource[] = L"Orfeda Setup";

// The log's own way of writing lines, into the fallback file next to the program.
bool WriteFallbackFile(const std::vector<std::string>& lines) {
  try {
    TLog fallback(ProgramFolder() + "Setup_" + TimeStampText() + ".log");
    for (const auto& line : lines) fallback.log(line);
    return true;
  } catch (...) {
    return false;
  }
}

bool WriteSetupLog(const std::vector<std::string>& lines) {
  if (!SetupLog) return false;
  try {
    for (const auto& line : lines) SetupLog->log(line);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

void ReportToEventLog(const std::vector<std::string>& lines, bool error) {
  try {
    std::wstring text;
    for (const auto& line : lines) text += Widen(line) + L"\r\n";
    HANDLE source = RegisterEventSourceW(nullptr, kEventSource);
    if (!source) return;
    const wchar_t* strings[1] = {text.c_str()};
    ReportEventW(source, error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr,
                 1, 0, strings, nullptr);
    DeregisterEventSource(source);
  } catch (...) {
  }
}

void LogEndReason(const std::vector<std::string>& lines) {
  if (WriteSetupLog(lines)) return;
  std::vector<std::string> withLog;
  if (!LogFilePath.empty()) withLog.push_back("The setup log " + LogFilePath + " could not be written.");
  withLog.insert(withLog.end(), lines.begin(), lines.end());
  WriteFallbackFile(withLog);
  ReportToEventLog(withLog, true);
}

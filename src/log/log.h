#pragma once
// The setup log: one time-stamped line per call, appended to a text file in the ANSI code
// page. WriteLog is the one way the rest of the program writes to it.
#include <mutex>
#include <string>

#include "log/log_format.h"

class TLogForm;

class TLog {
 public:
  // Stores the path; keep 1, no rotation. The file is not touched.
  explicit TLog(const std::string& logfile);
  // As above, then the file exists and is empty. Raises EInOutError.
  static TLog* CreateClean(const std::string& logfile);
  // With rotation the file name gets "_yyyy-mm-dd" (today) before its extension, and each
  // line first moves to today's file and deletes the oldest siblings beyond `keep`.
  static TLog* CreateLongTime(const std::string& logfile, bool rotate, int keep);
  ~TLog();
  TLog(const TLog&) = delete;
  TLog& operator=(const TLog&) = delete;

  // Writes one line: local date and time, ": ", the text. Safe from several threads at once.
  // An I/O failure raises EInOutError; the line is lost.
  void log(const std::string& text);
  // Creates the file or empties it. Raises EInOutError.
  void cleanFile(const std::string& filepath);
  // Appends the line and CR LF to the current file (none when the path is empty).
  void writeToFile(const std::string& lineText);
  std::string getLogFile() const;
  // Opens the log window on the current file unless one is open.
  void showLogWin();

  // Replaces the clock of every log (nullptr: the system clock again). For tests.
  using ClockFn = TLocalTime (*)();
  static void SetClock(ClockFn clock);
  static TLocalTime Now();

 private:
  void logWinClosed();
  void rotateStep();

  int keep = 1;
  bool rotate = false;
  std::string logfile;
  TLogForm* logwin = nullptr;
  mutable std::recursive_mutex lock_;
};

// Writes one line through SetupLog; dropped while SetupLog does not exist. Safe to call
// from several threads at once: lines are neither lost nor mixed.
void WriteLog(const std::string& text);

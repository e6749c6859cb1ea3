#pragma once
// The setup log: one time-stamped line per call, appended to a text file in the ANSI code
// page. WriteLog is the one way the rest of the program writes to it.
#include <string>

class TLogForm;

class TLog {
 public:
  // Stores the path; the file is not touched.
  TLog(void* sender, const std::string& logfile);
  // As above, then the file exists and is empty.
  static TLog* CreateClean(void* sender, const std::string& logfile);
  // With rotation the file name gets "_yyyy-mm-dd" before its extension.
  static TLog* CreateLongTime(void* sender, const std::string& logfile, bool rotate, int keep);
  ~TLog();
  TLog(const TLog&) = delete;
  TLog& operator=(const TLog&) = delete;

  void log(const std::string& text);
  void cleanFile(const std::string& filepath);
  void writeToFile(const std::string& lineText);
  std::string getLogFile() const { return logfile; }
  void showLogWin();

 private:
  void logWinClosed();

  int keep = 1;
  bool rotate = false;
  std::string logfile;
  TLogForm* logwin = nullptr;
};

// Writes one line through SetupLog; dropped while SetupLog does not exist. Safe to call
// from several threads at once.
void WriteLog(const std::string& text);

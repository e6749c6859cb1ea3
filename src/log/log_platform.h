#pragma once
// What the log needs from the system: the clock, the locale's date and time texts, the
// file encoding and a few file operations. Implemented once for Windows and once for the
// host build that runs the unit tests.
#include <string>
#include <vector>

#include "log/log_format.h"

namespace logsys {

// The current local time (from the clock TLog::SetClock installed, else the system's).
TLocalTime SystemNow();
// The locale's short date and long time of the user, joined as a log line stamp.
std::string DateTimeText(const TLocalTime& t);
// A UTF-8 text in the encoding of the log file (the ANSI code page on Windows).
std::string ToFileEncoding(const std::string& utf8);

// Creates the file or empties it. Raises EInOutError.
void TruncateFile(const std::string& path);
// Opens the file for appending (creating it when missing), writes, closes. Raises EInOutError.
void AppendToFile(const std::string& path, const std::string& bytes);

struct TDirEntry {
  std::string name;
  TLocalTime lastWrite;  // local time
};
// The files (not folders) of a folder; dir is empty or ends with its separator.
std::vector<TDirEntry> ListFiles(const std::string& dir);
// Deletes a file; failures are ignored.
void DeleteFileQuiet(const std::string& path);

// Tells the user that the log folder could not be created and requests the end (in an
// unattended run without a box, with exit code 1603).
void ReportDirectoryError(const std::string& message);

}  // namespace logsys

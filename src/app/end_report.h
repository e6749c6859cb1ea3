#pragma once
// The reason a run ends, written where an administrator looks for it, also when the setup log
// cannot take it (not created yet, TEMP pointing nowhere, the file locked or the disk full).
#include <string>
#include <vector>

// Writes the lines to the setup log. When the log does not exist or cannot be written, they
// go instead to "<program folder>\Setup_<time stamp>.log" (appended, lines as in the log) and
// to the Windows event log (Application, source "Orfeda Setup", as an error). Never raises.
void LogEndReason(const std::vector<std::string>& lines);

// Adds the lines to the Windows event log only (Application, source "Orfeda Setup"). Never
// raises.
void ReportToEventLog(const std::vector<std::string>& lines, bool error);

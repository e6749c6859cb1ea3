#pragma once
// The portable rules of the log: how a line is assembled, how a dated file name is built
// and which old files a rotation deletes. No file or clock access here.
#include <cstdint>
#include <string>
#include <vector>

struct TLocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// "date time", or the date alone at exactly midnight (the locale's convention for a
// date-time value without a time part).
std::string JoinDateTime(const std::string& dateText, const std::string& timeText,
                         const TLocalTime& t);

// One log line without its line end: stamp + ": " + text.
std::string LogLine(const std::string& stamp, const std::string& text);

// "yyyy-mm-dd" with leading zeros.
std::string IsoDate(const TLocalTime& t);

// The text with every occurrence of `part` removed, compared without regard to ASCII case.
std::string RemoveAllNoCase(const std::string& text, const std::string& part);

// The pieces of a log path: folder with its trailing separator, file name without any
// occurrence of its extension, and the extension with its dot.
struct TLogPathParts {
  std::string dir;
  std::string name;
  std::string ext;
};
TLogPathParts SplitLogPath(const std::string& logfile);

// folder + name + "_" + yyyy-mm-dd + extension: the daily file of a rotating log.
std::string DatedLogFile(const std::string& logfile, const TLocalTime& today);

// What one rotation step works with: the new current file and the pattern of its siblings
// (dir + stem + "_*" + ext).
struct TRotation {
  std::string logfile;
  std::string dir;
  std::string stem;
  std::string ext;
};
TRotation PlanRotation(const std::string& logfile, const TLocalTime& today);

// Whether a file name matches stem + "_*" + ext (ASCII case ignored, as the file system does).
bool MatchesRotation(const TRotation& r, const std::string& fileName);

// A file's last-write time as a packed DOS date-time value.
uint32_t PackDosDateTime(const TLocalTime& t);
// The sort entry of one sibling: 8 hex digits of its DOS time, a blank, its name.
std::string RotationEntry(uint32_t dosTime, const std::string& fileName);

// The file names to delete so that at most keep + 1 siblings remain: the oldest ones
// when there are keep + 2 or more. Entries are those of RotationEntry, in any order.
std::vector<std::string> RotationVictims(std::vector<std::string> entries, int keep);

#include "log/log_format.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"

std::string JoinDateTime(const std::string& dateText, const std::string& timeText,
                         const TLocalTime& t) {
  if (t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0) return dateText;
  return dateText + " " + timeText;
}

std::string LogLine(const std::string& stamp, const std::string& text) {
  return stamp + ": " + text;
}

std::string IsoDate(const TLocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  return buf;
}

std::string RemoveAllNoCase(const std::string& text, const std::string& part) {
  if (part.empty()) return text;
  const std::string lowText = text::ToLower(text);
  const std::string lowPart = text::ToLower(part);
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (lowText.compare(i, lowPart.size(), lowPart) == 0) {
      i += part.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

TLogPathParts SplitLogPath(const std::string& logfile) {
  TLogPathParts p;
  const std::string fileName = text::ExtractFileName(logfile);
  p.dir = logfile.substr(0, logfile.size() - fileName.size());
  p.ext = text::ExtractFileExt(logfile);
  p.name = RemoveAllNoCase(fileName, p.ext);
  return p;
}

std::string DatedLogFile(const std::string& logfile, const TLocalTime& today) {
  const TLogPathParts p = SplitLogPath(logfile);
  return p.dir + p.name + "_" + IsoDate(today) + p.ext;
}

TRotation PlanRotation(const std::string& logfile, const TLocalTime& today) {
  const TLogPathParts p = SplitLogPath(logfile);
  TRotation r;
  r.dir = p.dir;
  r.ext = p.ext;
  r.stem = p.name.size() > 11 ? p.name.substr(0, p.name.size() - 11) : std::string();
  r.logfile = r.dir + r.stem + "_" + IsoDate(today) + r.ext;
  return r;
}

bool MatchesRotation(const TRotation& r, const std::string& fileName) {
  const std::string head = text::ToLower(r.stem + "_");
  const std::string tail = text::ToLower(r.ext);
  const std::string name = text::ToLower(fileName);
  return name.size() >= head.size() + tail.size() && text::StartsWith(name, head) &&
         text::EndsWith(name, tail);
}

uint32_t PackDosDateTime(const TLocalTime& t) {
  const uint32_t date = (static_cast<uint32_t>(t.year - 1980) << 9) |
                        (static_cast<uint32_t>(t.month) << 5) | static_cast<uint32_t>(t.day);
  const uint32_t time = (static_cast<uint32_t>(t.hour) << 11) |
                        (static_cast<uint32_t>(t.minute) << 5) |
                        static_cast<uint32_t>(t.second / 2);
  return (date << 16) | time;
}

std::string RotationEntry(uint32_t dosTime, const std::string& fileName) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.8x ", static_cast<unsigned>(dosTime));
  return buf + fileName;
}

std::vector<std::string> RotationVictims(std::vector<std::string> entries, int keep) {
  std::sort(entries.begin(), entries.end());
  std::vector<std::string> victims;
  const long count = static_cast<long>(entries.size());
  if (count >= static_cast<long>(keep) + 2) {
    // A negative keep would ask for more files than exist: never read past the list.
    const long n = std::min(count, count - static_cast<long>(keep) - 1);
    for (long i = 0; i < n; ++i) victims.push_back(entries[i].substr(9));
  }
  return victims;
}

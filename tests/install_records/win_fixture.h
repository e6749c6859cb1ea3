#pragma once
// Shared helpers of the Windows tests: a captured setup log, registry reads in a chosen
// view, scratch folders and files read as bytes.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class TLog;

// Sends WriteLog to a file of its own for the lifetime of the object.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  // The texts logged so far (the time stamp before ": " removed).
  std::vector<std::string> Lines() const;
  bool Contains(const std::string& line) const;

 private:
  std::string path_;
  TLog* log_ = nullptr;
  TLog* previous_ = nullptr;
};

// Views of the registry for reads: the 32-bit one this program uses, and the 64-bit one.
inline constexpr REGSAM kView32 = KEY_WOW64_32KEY;
inline constexpr REGSAM kView64 = KEY_WOW64_64KEY;

bool KeyExists(HKEY hive, const std::string& path, REGSAM view);
// A string value (type REG_SZ checked), or nothing.
std::optional<std::string> ReadSz(HKEY hive, const std::string& path, const std::string& name,
                                  REGSAM view);
DWORD ValueCount(HKEY hive, const std::string& path, REGSAM view);
void DeleteTree(HKEY hive, const std::string& path, REGSAM view);

// A unique suffix for names of this run.
std::string RunTag();

// A new empty folder below the TEMP folder, removed with its content on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::optional<std::string> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
void RemoveTree(const std::string& path);

#pragma once
// Shared pieces of the install tests: a scratch folder, the log captured into a file,
// and small file helpers working on UTF-8 paths.
#include <string>
#include <vector>

// A fresh folder below TEMP, deleted with everything in it at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Sends WriteLog into a file of its own while it lives.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  // The texts written so far, one per line, without the time stamp.
  std::vector<std::string> Lines() const;
  bool Has(const std::string& line) const;

 private:
  ScratchFolder folder_;
  std::string file_;
};

void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);  // empty when missing
// Folder of the running test binary (its helpers and packages lie there).
std::string TestBinaryDir();

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

// The DACL of a file or folder as SDDL text, as an administrator's tools show it.
std::string DaclText(const std::string& path);
// A folder made directly with the given rules: what the file system keeps of them, as SDDL
// text. Wine keeps no DACL of a file itself (it maps it to the Unix mode and derives the DACL
// it reports from that), so what is under test is compared with such a reference, which
// holds on Windows and under Wine alike.
std::string ReferenceDacl(const std::string& path, const wchar_t* sddl);

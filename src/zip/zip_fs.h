#pragma once
// The small file-system layer of the ZIP engine. Paths are UTF-8; the Windows backend
// widens them for the wide-character API, so any name works there.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zip/zip.h"

namespace orfzip::fs {

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

struct Info {
  bool exists = false;
  bool isDir = false;
  bool isLink = false;  // symlink, junction or other reparse point; never followed
  bool hidden = false;
  bool system = false;
  std::uint64_t size = 0;
  FileTime modified = 0, accessed = 0, created = 0;
  std::uint32_t dosAttributes = 0;  // readonly 0x01, hidden 0x02, system 0x04, archive 0x20
};

// Information about the path itself (a link is reported as a link, not followed).
Info Stat(const std::string& path);
// Names in a folder, without "." and "..". False when the folder cannot be read.
bool ListDir(const std::string& dir, std::vector<std::string>& names);
// Creates one folder; true only when it was made now. False when anything (a folder, a
// file, a link) exists at the path or the folder cannot be made: LastErrorText tells why.
bool CreateDir(const std::string& path);
bool RemoveFile(const std::string& path);
// Renames, replacing an existing file at `to`.
bool RenameReplace(const std::string& from, const std::string& to);
// Sets the times that are non-zero (used for folders; files get theirs through File).
bool SetTimes(const std::string& path, FileTime modified, FileTime accessed, FileTime created);
// An identity of the file (device and index); false when it cannot be opened.
bool FileId(const std::string& path, std::uint64_t& volume, std::uint64_t& index);
// Bytes free for this process on the volume that holds the existing folder `dir`.
bool FreeSpace(const std::string& dir, std::uint64_t& bytes);
// Text of the last system error of this thread.
std::string LastErrorText();

// An open file. Reads and writes are sequential from the current position.
class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes; 0 at the end; false on errors.
  virtual bool Read(void* buf, std::size_t n, std::size_t& got) = 0;
  virtual bool Write(const void* buf, std::size_t n) = 0;
  virtual bool WriteAt(std::uint64_t offset, const void* buf, std::size_t n) = 0;
  virtual bool Seek(std::uint64_t offset) = 0;
  virtual bool Truncate(std::uint64_t size) = 0;  // sets the end and the position there
  virtual std::uint64_t Size() = 0;
  // Sets the times that are non-zero and, on Windows, the hidden and system attributes
  // among `dosAttributes`, through the open file (no second open by name).
  virtual bool SetTimesAndAttributes(FileTime modified, FileTime accessed, FileTime created,
                                     std::uint32_t dosAttributes) = 0;
  virtual bool Close() = 0;  // flushes; false when data could not be written
};

// nullptr on failure (LastErrorText tells why).
std::unique_ptr<File> OpenRead(const std::string& path);
// Creates a new file; fails when anything exists at the path (a link is not followed).
std::unique_ptr<File> CreateNew(const std::string& path);
#ifdef _WIN32
// A File over a HANDLE that the caller opened (with read access) and keeps owning: it is
// never closed here. Reads move the handle's file position.
std::unique_ptr<File> BorrowHandle(void* handle);
#endif

}  // namespace orfzip::fs

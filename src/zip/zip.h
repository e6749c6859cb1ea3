#pragma once
// The ZIP engine: reads and writes ZIP archives over zlib.
//
// Supported: stored and deflate entries, ZIP64 (archives and entries over 4 GiB, more than
// 65,535 entries), CRC-32 checked on every entry read, UTF-8 and CP437 names (see Names
// below), folder entries, NTFS time stamps (extra field 0x000A) read and written, the Unix
// time extra field (0x5455) read. Encrypted entries and other compression methods are
// refused with an error that names the method.
//
// All paths and names are UTF-8. Entry names are stored with "/" separators; on disk the
// native separator is used. Memory use stays flat whatever the archive or file size: data
// is streamed in fixed chunks; only the list of entry names is held.
//
// Safety: an entry whose name would leave the destination folder (absolute path, drive
// letter, "..") or holds a name component that fails the file-name check of
// base/file_names.h (such as "a:b", "CON", "NUL.zip", "COM¹", "name."), a link entry
// (Unix symlink or Windows reparse point), or an entry reached through a link already
// present below the destination is refused with an error naming the entry. All entry
// names are checked before the first file is written, so a hostile archive writes nothing.
// Damaged archives (bad offsets, lengths, CRC, truncated data) end with an error, never a
// crash or an endless loop; an entry that fails is never left half-written: a new file is
// created exclusively and removed again when its data fails, and a file that replaces an
// existing one is written under a temporary name next to it and renamed into place only
// once its size and CRC are verified, so the old file stays intact on a failure. Entries
// whose data overlap (one block of data reused by many entries) are refused. An archive
// whose selected files need more room than the destination's volume has free (with a
// margin, see Extract) is refused before anything is written.
//
// Names: UTF-8 when flagged so (bit 11); otherwise the Info-ZIP Unicode path field
// (0x7075) when its CRC matches the stored name; otherwise a stored name that is valid
// UTF-8 is taken as UTF-8 (as archivers on Linux and macOS write it), the rest as CP437.
//
// The archive is read sequentially through a read-ahead window. Unpacking costs few
// system calls per file: a file is created exclusively first (the target is looked at
// only when that fails), its times and attributes are set on the open handle, and folders
// made or checked once are remembered for the rest of the job.
//
// Usage (one instance per job, used on one thread):
//   TZipEngine zip;
//   zip.ZipFileName = archive;
//   zip.ExtrBaseDir = dest;
//   zip.ExtrOptions.ExtrForceDirs = true;
//   if (zip.Extract() != 0) log(zip.ErrCode(), zip.ErrMessage());
//
// The engine never asks the user anything. Every operation returns an integer result, 0 on
// success, otherwise the error code also held in ErrCode(); with RaiseErrors set, a failure
// is raised as EZipError (base/errors.h) carrying ErrMessage() instead, after ErrCode() and
// ErrMessage() have been set.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orfzip {

// Result and error codes. 0 is success. The codes are stable (callers log them) and never
// take the values 204 or 215.
enum ZipErrorCode : int {
  kZipOk = 0,
  kZipNoArchive = 1,       // the archive cannot be opened or does not exist
  kZipBadArchive = 2,      // no end of central directory, or the directory is damaged
  kZipBadEntry = 3,        // an entry's local header or data does not fit the archive
  kZipCrcError = 4,        // data does not match its CRC-32 or its stored size
  kZipUnsupported = 5,     // encrypted entry or compression method other than stored/deflate
  kZipUnsafePath = 6,      // entry name would leave the destination, or is not a valid name
  kZipLinkRefused = 7,     // the entry is a link, or its path goes through a link
  kZipNoDestination = 8,   // the extraction folder does not exist and may not be created
  kZipCreateFailed = 9,    // a folder or file could not be created or written
  kZipReadFailed = 10,     // a file to be added could not be read
  kZipNoRoot = 11,         // the root folder for adding does not exist
  kZipWriteFailed = 12,    // the archive could not be written or put in place
  kZipBadParameter = 13,   // missing archive name, folder or an invalid setting
  kZipInternal = 14,       // out of memory or an unexpected failure
  kZipNoSpace = 15,        // the destination's volume has too little free space
};

namespace fs {
class File;
}

// 100 ns ticks since 1601-01-01 UTC (a Windows FILETIME); 0 means "not known".
using FileTime = std::uint64_t;

// Options of Extract().
struct TExtrOptions {
  bool ExtrDirNames = true;    // keep the stored folder names; otherwise only the file name
  bool ExtrForceDirs = false;  // create the base folder when it is missing
  bool ExtrOverWrite = false;  // replace existing files; otherwise they are skipped
  bool ExtrNTFS = false;       // restore creation and access times as well as the
                               // modification time (that one is always restored)
};

// Options of Add().
struct TAddOptions {
  bool AddDirNames = true;      // store paths relative to RootDir; otherwise file names only
  bool AddRecurseDirs = false;  // descend into sub-folders of RootDir
  bool AddHiddenFiles = false;  // include hidden and system files and folders
  bool AddNTFS = false;         // store creation, access and modification times (NTFS field)
};

// Options of the archive file written by Add().
struct TWriteOptions {
  bool ZwoForceDest = false;  // create the archive's folder (and its parents) when missing
  bool ForceZip64 = false;    // write ZIP64 records even where not needed (compatibility
                              // tests); archives over the limits use ZIP64 anyway
};

// One entry of an archive as listed by List().
struct TZipEntryInfo {
  std::string Name;             // UTF-8, "/" separators, as stored (folders end with "/")
  bool IsFolder = false;
  bool IsLink = false;
  bool Encrypted = false;
  std::uint16_t Method = 0;     // 0 stored, 8 deflate
  std::uint32_t Crc = 0;
  std::uint64_t CompressedSize = 0;
  std::uint64_t UncompressedSize = 0;
  std::uint32_t ExternalAttributes = 0;
  FileTime Modified = 0;        // from the NTFS or Unix time field, else the DOS time
  FileTime Accessed = 0;        // from the NTFS field only
  FileTime Created = 0;         // from the NTFS field only
};

// Masks (include and exclude, for both Extract and Add) are Windows-like: case-insensitive
// for ASCII letters, "*" matches any run of characters and "?" exactly one. Either
// separator may be used. A mask without a folder part ("*.lock") is matched against the
// file name alone, wherever the file is; a mask with a folder part ("bin\*.dll",
// "data\*") is matched against the whole path relative to the root or base folder, and
// its "*" also spans folder separators, so "data\*" takes everything below "data".
bool MatchesMask(const std::string& relativePath, const std::string& mask);

class TZipEngine {
 public:
  // The archive to read or write.
  std::string ZipFileName;
  // An archive the caller has already opened and keeps owning (fs::OpenRead, or on
  // Windows fs::BorrowHandle over its own HANDLE with read access): Extract, Test and List
  // read it instead of opening ZipFileName, which then only names it in messages. So an
  // archive can be checked and unpacked through one handle that nobody else can write.
  // The engine moves the file's position; the file must stay open during the call.
  fs::File* ArchiveFile = nullptr;

  // Extract(): destination folder, options and the entries taken: those matching any of
  // IncludeSpecs (all when empty) and none of ExcludeSpecs. Folder entries are created
  // with folder names kept; a folder entry is taken when a mask matches its path.
  std::string ExtrBaseDir;
  TExtrOptions ExtrOptions;

  // Add(): the root folder whose files are archived, the masks and the options. The new
  // archive replaces any file at ZipFileName, and only once it is complete: on a failure
  // the old file is kept and no partial archive is left behind. Links and junctions
  // below the root are never followed or stored; the archive itself is never added.
  std::string RootDir;
  TAddOptions AddOptions;
  TWriteOptions WriteOptions;
  int CompressionLevel = 6;  // zlib level 1..9; 0 stores every entry

  // Raise failures as EZipError instead of returning their code.
  bool RaiseErrors = false;

  // Selection masks used by both Extract() and Add().
  std::vector<std::string> IncludeSpecs;
  std::vector<std::string> ExcludeSpecs;

  // Bytes free on the volume of an existing folder; empty means the system's figure.
  // Returns false when it is not known (the check is then left out).
  std::function<bool(const std::string& folder, std::uint64_t& bytes)> FreeSpaceOf;

  // Unpacks the selected entries. Existing files are skipped unless ExtrOverWrite. An
  // unsafe, link, encrypted or unsupported entry anywhere in the archive stops the job
  // before anything is written, and so does too little room: the selected files' sizes
  // from the central directory (the data is checked against them while unpacking), each
  // rounded up to whole 4 KiB clusters, plus 1/32 of that for folder records and 1 MiB,
  // must fit into the free space of the destination's volume (kZipNoSpace).
  int Extract();
  // Writes a new archive of the selected files below RootDir.
  int Add();
  // Reads and checks every selected entry (sizes and CRC) without writing anything.
  int Test();
  // Reads the central directory into `entries`.
  int List(std::vector<TZipEntryInfo>& entries);

  int ErrCode() const { return errCode_; }
  const std::string& ErrMessage() const { return errMessage_; }
  // Files written (Extract), added (Add) or checked (Test) by the last operation, and
  // entries skipped because the file existed (Extract without ExtrOverWrite).
  int SuccessCnt() const { return successCnt_; }
  int SkippedCnt() const { return skippedCnt_; }

 private:
  int Run(int (TZipEngine::*op)());
  int DoExtract();
  int DoAdd();
  int DoTest();
  int DoList();
  int errCode_ = 0;
  std::string errMessage_;
  int successCnt_ = 0;
  int skippedCnt_ = 0;
  std::vector<TZipEntryInfo>* listOut_ = nullptr;
};

}  // namespace orfzip

#pragma once
// The ZIP file format: reading the central directory and entry data from any random-access
// input, and writing archives to any seekable output. No file system access here, so the
// reader can be fuzzed from memory.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "zip/zip.h"

struct z_stream_s;  // zlib's stream state

namespace orfzip {

class EntryData;

// A failure inside the engine; the engine turns it into ErrCode/ErrMessage.
class ZipFault : public std::runtime_error {
 public:
  ZipFault(int code, const std::string& message) : std::runtime_error(message), code(code) {}
  int code;
};

class IZipInput {
 public:
  virtual ~IZipInput() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads exactly n bytes at offset; false when they are not all there.
  virtual bool ReadAt(std::uint64_t offset, void* buf, std::size_t n) = 0;
};

class MemoryInput : public IZipInput {
 public:
  MemoryInput(const void* data, std::size_t size) : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buf, std::size_t n) override;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

class IZipOutput {
 public:
  virtual ~IZipOutput() = default;
  virtual void Write(const void* data, std::size_t n) = 0;  // throws ZipFault
  virtual std::uint64_t Tell() const = 0;
  // Overwrites bytes already written at offset (the writer patches local headers).
  virtual void WriteAt(std::uint64_t offset, const void* data, std::size_t n) = 0;
  // Drops everything from `size` on; later writes continue there.
  virtual void Truncate(std::uint64_t size) = 0;
};

class MemoryOutput : public IZipOutput {
 public:
  void Write(const void* data, std::size_t n) override;
  std::uint64_t Tell() const override { return bytes.size(); }
  void WriteAt(std::uint64_t offset, const void* data, std::size_t n) override;
  void Truncate(std::uint64_t size) override;
  std::vector<std::uint8_t> bytes;
};

// A source of data for one entry; Read returns 0 at its end and throws ZipFault on errors.
class IZipSource {
 public:
  virtual ~IZipSource() = default;
  virtual std::size_t Read(void* buf, std::size_t n) = 0;
  // Back to the start (used to store an entry that did not compress); false if impossible.
  virtual bool Rewind() = 0;
};

struct ZipEntry {
  TZipEntryInfo info;
  std::uint16_t versionMadeBy = 0;
  std::uint16_t flags = 0;
  std::uint64_t localOffset = 0;
};

// Reads an archive. Sizes and offsets stored in the archive are checked against the
// input before they are used.
class TZipReader {
 public:
  explicit TZipReader(IZipInput& in) : in_(in) {}
  void Open();  // reads the central directory; throws ZipFault
  const std::vector<ZipEntry>& Entries() const { return entries_; }
  // Streams the entry's data to `sink` in chunks, checking the stored size and CRC;
  // throws ZipFault. The sink may throw to stop.
  void ReadEntry(const ZipEntry& e, const std::function<void(const void*, std::size_t)>& sink);

 private:
  void ReadCentralDirectory(std::uint64_t cdOffset, std::uint64_t cdSize, std::uint64_t count);
  IZipInput& in_;
  std::vector<ZipEntry> entries_;
  std::uint64_t cdStart_ = 0;
  std::vector<std::uint8_t> inBuf_, outBuf_;  // reused by every entry
};

// Writes an archive sequentially: entries, then the central directory.
class TZipWriter {
 public:
  TZipWriter(IZipOutput& out, int level, bool forceZip64) : out_(out), level_(level), forceZip64_(forceZip64) {}
  struct Times {
    FileTime modified = 0, accessed = 0, created = 0;
    bool storeNtfs = false;
  };
  // `name` is UTF-8 with "/" separators; folders end with "/". sizeHint is the expected
  // size (it decides whether the local header carries ZIP64 sizes).
  void AddFolder(const std::string& name, const Times& t, std::uint32_t dosAttributes);
  void AddFile(const std::string& name, IZipSource& src, std::uint64_t sizeHint, const Times& t,
               std::uint32_t dosAttributes);
  void Finish();
  std::uint64_t EntryCount() const { return central_.size(); }

 private:
  struct Central {
    std::string name;
    std::uint16_t flags, method, dosTime, dosDate;
    std::uint32_t crc, attributes;
    std::uint64_t csize, usize, offset;
    Times times;
  };
  enum class DeflateResult { kSmaller, kNotSmaller, kGaveUp };
  void WriteLocalHeader(Central& c, bool zip64Local);
  void StoreData(Central& c, EntryData& data);
  DeflateResult DeflateData(Central& c, EntryData& data);
  void PatchLocalHeader(const Central& c, bool zip64Local);
  ::z_stream_s& Deflater();  // one deflate stream, reset for each entry
  IZipOutput& out_;
  int level_;
  bool forceZip64_;
  std::vector<Central> central_;
  std::vector<std::uint8_t> inBuf_, outBuf_;  // reused by every entry
  std::shared_ptr<void> deflater_;            // one deflate stream, reset per entry
};

// Helpers shared with the engine.
// "compression method 9 (Deflate64)": the method's number and, when known, its name.
std::string DescribeMethod(std::uint16_t method);
std::string Cp437ToUtf8(const std::string& raw);
bool IsAscii(const std::string& s);
FileTime DosToFileTime(std::uint16_t dosDate, std::uint16_t dosTime);
void FileTimeToDos(FileTime t, std::uint16_t& dosDate, std::uint16_t& dosTime);
FileTime UnixToFileTime(std::int64_t seconds);

}  // namespace orfzip

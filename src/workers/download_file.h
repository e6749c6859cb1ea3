#pragma once
// The file of one download in the download area. It is created by the download itself, as
// "<name>.part", and held from then on: nobody else may write, delete or rename it. Its MD5
// sum is computed over the bytes as they arrive (bytes that arrive ahead of a gap are read
// back once the gap is filled); once complete it takes its own name through the same handle,
// which then goes on to the unpacking. A file that is not kept is deleted through its handle,
// so nothing is left under its names. While the download runs, a reader can wait for the
// bytes it needs (the unpacking that runs alongside the download).
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/handles.h"
#include "net/ranged_download.h"

class DownloadFile final : public IDownloadTarget {
 public:
  // Creates `path` + ".part", which must not exist yet. Raises EOSError when it cannot.
  explicit DownloadFile(std::string path);
  // Deletes the file unless it was kept (Keep()).
  ~DownloadFile() override;
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

  // Safe from several threads at once for ranges that do not overlap.
  void Write(uint64_t offset, const char* data, size_t size) override;
  void Expect(uint64_t size) override;

  // No more bytes arrive: waiting readers are woken, and those whose bytes are missing fail.
  void EndArrivals();
  // Blocks until the file's size is known (false: the download ended without telling it).
  bool WaitForSize(uint64_t& size);
  // Blocks until the `size` bytes at `offset` have arrived (false: they never will).
  bool WaitForBytes(uint64_t offset, uint64_t size);

  // The download delivered `size` bytes (no more arrive): the file takes its own name (the
  // path without ".part"). Raises EOSError when it cannot (the file keeps its partial name
  // and is deleted later).
  void Complete(uint64_t size);
  // The MD5 sum of the complete file in lower-case hex: what was not hashed as it arrived is
  // read back through the handle. Raises EOSError.
  std::string Md5();
  // The file's own name and its size.
  const std::string& Path() const { return path_; }
  uint64_t Size() const { return size_; }
  // The open file (read access; nobody else may write, rename or delete it).
  HANDLE Handle() const { return file_.get(); }
  // Deletes the file now (it is not kept).
  void Discard();
  // The file stays when this object goes; its handle is closed then.
  void Keep() { kept_ = true; }

 private:
  class Md5Hash;
  void WriteAt(uint64_t offset, const char* data, size_t size);
  void ReadAt(uint64_t offset, char* data, DWORD size);
  void HashArrived(std::unique_lock<std::mutex>& lock, uint64_t offset, const char* data, size_t size);
  // Hashes the bytes from `from` read back from the file, at most one buffer's worth and not
  // beyond `upTo`; returns where it stopped.
  uint64_t HashFromFile(uint64_t from, uint64_t upTo, std::vector<char>& buffer);
  uint64_t ArrivedFrom(uint64_t offset) const;

  std::string path_;
  std::string partial_;
  UniqueFile file_;
  bool kept_ = false;
  std::mutex mu_;
  std::condition_variable changed_;
  std::map<uint64_t, uint64_t> arrived_;  // the bytes written so far: start -> end, disjoint
  bool sizeKnown_ = false;
  uint64_t expected_ = 0;
  bool ended_ = false;    // no more bytes arrive
  bool hashing_ = false;  // a thread is adding bytes to the sum
  Md5Hash* hash_ = nullptr;  // owned
  uint64_t hashed_ = 0;      // the bytes hashed so far, from the start
  uint64_t size_ = 0;
};

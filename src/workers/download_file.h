#pragma once
// The file of one download in the download area. It is created by the download itself, as
// "<name>.part", and held from then on: nobody else may write, delete or rename it. Its MD5
// sum is computed over the bytes as they arrive; once complete it takes its own name through
// the same handle, which then goes on to the unpacking. A file that is not kept is deleted
// through its handle, so nothing is left under its names.
#include <cstdint>
#include <mutex>
#include <string>

#include "base/handles.h"
#include "net/ranged_download.h"

class DownloadFile final : public IDownloadTarget {
 public:
  // Creates `path` + ".part", which must not exist yet. Raises EOSError when it cannot.
  explicit DownloadFile(std::string path);
  // Deletes the file unless it was handed on by Release().
  ~DownloadFile() override;
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

  // Safe from several threads at once for ranges that do not overlap.
  void Write(uint64_t offset, const char* data, size_t size) override;

  // The file, `size` bytes long, takes its own name (the path without ".part"). Raises
  // EOSError when it cannot (the file keeps its partial name and is deleted later).
  void Complete(uint64_t size);
  // The MD5 sum of the complete file in lower-case hex: what did not arrive in order is read
  // back through the handle. Raises EOSError.
  std::string Md5();
  // The file's own name and its size.
  const std::string& Path() const { return path_; }
  uint64_t Size() const { return size_; }
  // Deletes the file now (it is not kept).
  void Discard();
  // Hands the handle on; the file stays.
  UniqueFile Release();

 private:
  class Md5Hash;
  void HashFromDisk(uint64_t end);

  std::string path_;
  std::string partial_;
  UniqueFile file_;
  std::mutex mu_;
  Md5Hash* hash_ = nullptr;  // owned
  uint64_t hashed_ = 0;      // the bytes hashed so far, from the start
  uint64_t size_ = 0;
};

#include "workers/unpack_ahead.h"

#include <windows.h>

#include <algorithm>

#include "base/file_system.h"
#include "base/win_text.h"
#include "install/archive_jobs.h"
#include "install/files.h"
#include "workers/download_file.h"
#include "zip/zip_fs.h"

namespace {

// The archive as the ZIP engine reads it while it downloads: each read waits until its bytes
// have arrived, and fails when they never will or the unpacking is to stop.
class ArrivingArchive final : public orfzip::fs::File {
 public:
  ArrivingArchive(DownloadFile& file, const std::atomic<bool>& stop) : file_(file), stop_(stop) {
    if (!file_.WaitForSize(size_)) size_ = 0;
  }
  bool Read(void* buf, std::size_t n, std::size_t& got) override {
    got = 0;
    if (pos_ >= size_ || n == 0) return true;
    const DWORD want = static_cast<DWORD>(std::min<uint64_t>({n, size_ - pos_, 1u << 30}));
    if (stop_ || !file_.WaitForBytes(pos_, want) || stop_) {
      SetLastError(ERROR_OPERATION_ABORTED);
      return false;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(pos_);
    at.OffsetHigh = static_cast<DWORD>(pos_ >> 32);
    DWORD read = 0;
    if (!ReadFile(file_.Handle(), buf, want, &read, &at)) return false;
    pos_ += read;
    got = read;
    return true;
  }
  bool Seek(std::uint64_t offset) override {
    pos_ = offset;
    return true;
  }
  std::uint64_t Size() override { return size_; }
  bool Write(const void*, std::size_t) override { return Refuse(); }
  bool WriteAt(std::uint64_t, const void*, std::size_t) override { return Refuse(); }
  bool Truncate(std::uint64_t) override { return Refuse(); }
  bool SetTimesAndAttributes(orfzip::FileTime, orfzip::FileTime, orfzip::FileTime, std::uint32_t) override {
    return Refuse();
  }
  bool Close() override { return true; }

 private:
  static bool Refuse() {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  DownloadFile& file_;
  const std::atomic<bool>& stop_;
  uint64_t size_ = 0;
  uint64_t pos_ = 0;
};

}  // namespace

UnpackAhead::UnpackAhead(DownloadFile& file, std::string archive, std::string folder)
    : file_(file), archive_(std::move(archive)), folder_(std::move(folder)) {
  try {
    thread_ = std::thread(&UnpackAhead::Run, this);
  } catch (...) {
    // No thread: the archive is unpacked after its download.
  }
}

UnpackAhead::~UnpackAhead() {
  stop_ = true;
  if (thread_.joinable()) {
    file_.EndArrivals();
    thread_.join();
  }
  if (!moved_) DeleteTree(folder_);
}

std::string UnpackAhead::FolderFor(const std::string& area, size_t index) {
  return area + "\\.unpacking-" + std::to_string(index);
}

void UnpackAhead::Run() {
  try {
    ArrivingArchive input(file_, stop_);
    succeeded_ = UnzipArchiveQuietly(archive_, input, folder_) == 0;
  } catch (...) {
    succeeded_ = false;
  }
}

bool UnpackAhead::Finish() {
  if (thread_.joinable()) thread_.join();
  return succeeded_ && !stop_;
}

bool UnpackAhead::MoveTo(const std::string& target) {
  if (!succeeded_ || moved_ || thread_.joinable()) return false;
  moved_ = MoveFileExW(Widen(folder_).c_str(), Widen(target).c_str(), 0) != 0;
  return moved_;
}

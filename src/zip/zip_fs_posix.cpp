// POSIX backend of the ZIP engine's file layer (host builds and tests).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "zip/zip_format.h"
#include "zip/zip_fs.h"

namespace orfzip::fs {
namespace {

FileTime ToFileTime(const struct timespec& ts) {
  return UnixToFileTime(ts.tv_sec) + static_cast<FileTime>(ts.tv_nsec / 100);
}

struct timespec ToTimespec(FileTime t) {
  struct timespec ts{};
  if (t == 0) {
    ts.tv_nsec = UTIME_OMIT;
    return ts;
  }
  const std::int64_t secs = static_cast<std::int64_t>(t / 10000000ULL) - 11644473600LL;
  ts.tv_sec = static_cast<time_t>(secs);
  ts.tv_nsec = static_cast<long>((t % 10000000ULL) * 100);
  return ts;
}

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Read(void* buf, std::size_t n, std::size_t& got) override {
    for (;;) {
      ssize_t r = ::read(fd_, buf, n);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) return false;
      got = static_cast<std::size_t>(r);
      return true;
    }
  }
  bool Write(const void* buf, std::size_t n) override {
    const auto* p = static_cast<const char*>(buf);
    while (n > 0) {
      ssize_t r = ::write(fd_, p, n);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      p += r;
      n -= static_cast<std::size_t>(r);
    }
    return true;
  }
  bool WriteAt(std::uint64_t offset, const void* buf, std::size_t n) override {
    const auto* p = static_cast<const char*>(buf);
    while (n > 0) {
      ssize_t r = ::pwrite(fd_, p, n, static_cast<off_t>(offset));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      p += r;
      n -= static_cast<std::size_t>(r);
      offset += static_cast<std::uint64_t>(r);
    }
    return true;
  }
  bool Seek(std::uint64_t offset) override { return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0; }
  bool Truncate(std::uint64_t size) override {
    return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 && Seek(size);
  }
  std::uint64_t Size() override {
    struct stat st{};
    return ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  }
  bool SetTimesAndAttributes(FileTime modified, FileTime accessed, FileTime /*created*/,
                             std::uint32_t /*dosAttributes*/) override {
    if (!modified && !accessed) return true;
    struct timespec ts[2] = {ToTimespec(accessed), ToTimespec(modified)};
    return ::futimens(fd_, ts) == 0;
  }
  bool Close() override {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

Info Stat(const std::string& path) {
  Info info;
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0) return info;
  info.exists = true;
  info.isDir = S_ISDIR(st.st_mode);
  info.isLink = S_ISLNK(st.st_mode);
  info.size = info.isDir ? 0 : static_cast<std::uint64_t>(st.st_size);
  info.modified = ToFileTime(st.st_mtim);
  info.accessed = ToFileTime(st.st_atim);
  info.created = info.modified;
  const auto slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  info.hidden = !name.empty() && name[0] == '.' && name != "." && name != "..";
  info.dosAttributes = (info.hidden ? 0x02u : 0u) | ((st.st_mode & S_IWUSR) ? 0u : 0x01u) |
                       (info.isDir ? 0x10u : 0x20u);
  return info;
}

bool ListDir(const std::string& dir, std::vector<std::string>& names) {
  names.clear();
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  while (struct dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names.emplace_back(e->d_name);
  }
  ::closedir(d);
  return true;
}

bool CreateDir(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RenameReplace(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool SetTimes(const std::string& path, FileTime modified, FileTime accessed, FileTime /*created*/) {
  struct timespec ts[2] = {ToTimespec(accessed), ToTimespec(modified)};
  return ::utimensat(AT_FDCWD, path.c_str(), ts, AT_SYMLINK_NOFOLLOW) == 0;
}

bool FreeSpace(const std::string& dir, std::uint64_t& bytes) {
  struct statvfs sv{};
  if (::statvfs(dir.c_str(), &sv) != 0) return false;
  bytes = static_cast<std::uint64_t>(sv.f_bavail) * sv.f_frsize;
  return true;
}

bool FileId(const std::string& path, std::uint64_t& volume, std::uint64_t& index) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return false;
  volume = static_cast<std::uint64_t>(st.st_dev);
  index = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

std::string LastErrorText() { return std::strerror(errno); }

std::unique_ptr<File> OpenRead(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixFile>(fd);
}

std::unique_ptr<File> CreateNew(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixFile>(fd);
}

}  // namespace orfzip::fs
